// Open and Import of an object that takes a while to read: the wait cursor, the window
// repainted where another window had covered it, and no other handler run in between.
#include "FormFixture.h"

#include "ObjectFile.h"
#include "TReadingFeedback.h"

#include <QTemporaryDir>
#include <QTimer>

// Looked at through a connection of its own, so that what Qt has not yet sent to the
// display does not count.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

using std::chrono::milliseconds;

class ReadingFeedbackTest : public FormTest {
protected:
    void SetUp() override
    {
        FormTest::SetUp();
        ASSERT_TRUE(dir.isValid());
        display = XOpenDisplay(nullptr);
        ASSERT_NE(display, nullptr);
        CDynArray list;
        for (int i = 0; i < 3 * kProgressRecords; ++i)
            list.Add(quad("q", {0, 0, 0, 10, 0, 0, 10, 10, 0, 0, 10, 0}, 1, 2, 3));
        file = dir.filePath("many.3do");
        ASSERT_TRUE(WriteObjectFile(file.toStdString(), list.First(), list.Count()));
        feedback = find<TReadingFeedback>("ReadingFeedback");
        feedback->setTimes(milliseconds(0), milliseconds(0));
    }
    void TearDown() override
    {
        if (display)
            XCloseDisplay(display);
        FormTest::TearDown();
    }

    // How many pixels of the screen rectangle have the given colour.
    int pixelsOf(QRect r, QColor colour) const
    {
        XImage* image = XGetImage(display, DefaultRootWindow(display), r.x(), r.y(),
                                  unsigned(r.width()), unsigned(r.height()), AllPlanes, ZPixmap);
        if (!image)
            return -1;
        int n = 0;
        for (int y = 0; y < r.height(); ++y)
            for (int x = 0; x < r.width(); ++x)
                n += QColor::fromRgb(QRgb(XGetPixel(image, x, y) & 0xFFFFFF)) == colour;
        XDestroyImage(image);
        return n;
    }

    QTemporaryDir dir;
    QString file;
    TReadingFeedback* feedback = nullptr;
    Display* display = nullptr;
};

TEST_F(ReadingFeedbackTest, WindowIsRepaintedUnderTheWaitCursorAndNothingElseRuns)
{
    // A window over the Light panel, gone when reading starts, as the file dialog is.
    const QRect covered(find<QWidget>("GroupBox2")->mapToGlobal(QPoint(10, 10)), QSize(120, 60));
    const QColor magenta(255, 0, 255);
    QWidget cover(nullptr, Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint);
    cover.setAutoFillBackground(true);
    cover.setPalette(QPalette(magenta));
    cover.setGeometry(covered);
    cover.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&cover));
    settle();
    ASSERT_EQ(pixelsOf(covered, magenta), covered.width() * covered.height());

    struct Seen {
        int repaints = 0;
        bool waitCursor = true;
        int magentaLeft = 0;
        bool otherHandlerRan = false;
    } seen;
    bool queuedRan = false;
    bool timerRan = false;
    QMetaObject::invokeMethod(form.get(), [&] { queuedRan = true; }, Qt::QueuedConnection);
    QTimer::singleShot(0, form.get(), [&] { timerRan = true; });
    QObject::connect(feedback, &TReadingFeedback::repainted, form.get(), [&] {
        ++seen.repaints;
        const QCursor* cursor = QApplication::overrideCursor();
        seen.waitCursor = seen.waitCursor && cursor && cursor->shape() == Qt::WaitCursor;
        seen.magentaLeft = pixelsOf(covered, magenta);
        seen.otherHandlerRan = seen.otherHandlerRan || queuedRan || timerRan;
    });

    cover.hide();
    dialogs.files.push_back(file);
    form->FileOpenExecute();
    EXPECT_EQ(seen.repaints, 3) << "once per block of records read";
    EXPECT_TRUE(seen.waitCursor);
    EXPECT_EQ(seen.magentaLeft, 0) << "the covered part of the window was not repainted";
    EXPECT_FALSE(seen.otherHandlerRan);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the cursor is back after reading";
    EXPECT_EQ(form->polygons().Count(), 3 * kProgressRecords);

    // Import reads the same way; afterwards what waited runs, in order.
    dialogs.files.push_back(file);
    form->FileImportExecute();
    EXPECT_EQ(seen.repaints, 6);
    settle();
    EXPECT_TRUE(queuedRan && timerRan);
}

TEST_F(ReadingFeedbackTest, AQuickReadIsNotRepaintedAndDrawsOnlyItsOwnFrame)
{
    int repaints = 0;
    QObject::connect(feedback, &TReadingFeedback::repainted, form.get(), [&] { ++repaints; });
    feedback->setTimes(milliseconds(60000), milliseconds(0));
    dialogs.files.push_back(file);
    const long frames = form->framesDrawn();
    form->FileOpenExecute();
    EXPECT_EQ(repaints, 0);
    EXPECT_EQ(form->framesDrawn(), frames + 1);

    // Repaints while reading never draw the half-read object.
    feedback->setTimes(milliseconds(0), milliseconds(0));
    dialogs.files.push_back(file);
    const long before = form->framesDrawn();
    form->FileOpenExecute();
    EXPECT_EQ(repaints, 3);
    EXPECT_EQ(form->framesDrawn(), before + 1);
}

} // namespace
