// The view presents its frames on its own: a frame is the scene and one swap of the view,
// and the controls around it are not repainted for it.
#include "FormFixture.h"

#include "ObjectFile.h"

#include <QTemporaryDir>
#include <QWindow>

namespace {

using ViewTest = FormTest;

struct RepaintCounter : QObject {
    int repaints = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::UpdateRequest || event->type() == QEvent::Paint)
            ++repaints;
        return false;
    }
};

TEST_F(ViewTest, AFrameIsOneSwapOfTheViewAndRepaintsNoControl)
{
    RepaintCounter counter;
    form->windowHandle()->installEventFilter(&counter);
    for (QWidget* w : form->findChildren<QWidget*>())
        w->installEventFilter(&counter);
    const long presented = form->glPanel()->framesPresented();
    const long drawn = form->framesDrawn();
    int swapsTold = 0;
    QObject::connect(form->glPanel(), &TGLPanel::frameSwapped, [&] { ++swapsTold; });
    for (int i = 0; i < 5; ++i)
        form->DrawScene();
    settle();
    EXPECT_EQ(form->framesDrawn() - drawn, 5);
    EXPECT_EQ(form->glPanel()->framesPresented() - presented, 5);
    EXPECT_EQ(swapsTold, 5);
    EXPECT_EQ(counter.repaints, 0) << "the main window was recomposed for a frame";
}

TEST_F(ViewTest, AResizeDrawsNothingAndThePaintRequestAfterItDraws)
{
    TGLPanel* panel = form->glPanel();
    const auto resize = panel->OnResize;
    int resizes = 0;
    long drawnInResize = 0;
    panel->OnResize = [&](int w, int h) {
        ++resizes;
        const long before = form->framesDrawn();
        resize(w, h);
        drawnInResize += form->framesDrawn() - before;
    };
    const long drawn = form->framesDrawn();
    form->resize(form->width() + 120, form->height() + 40);
    settle();
    EXPECT_GE(resizes, 1);
    EXPECT_EQ(drawnInResize, 0);
    EXPECT_GT(form->framesDrawn(), drawn) << "the paint request after the resize draws";
    const QImage image = frame();
    EXPECT_EQ(image.size(), QSize(panel->deviceWidth(), panel->deviceHeight()));
    // The ground reaches the new lower right corner: the frame was drawn at the new size.
    EXPECT_GT(qGreen(image.pixel(image.width() - 3, image.height() - 3)), 100);
    panel->OnResize = resize;
}

// A window over the view, as a dialog is: taken away, it leaves the view exposed by the X
// server, which is what the counter sees.
struct Cover {
    QWidget window{nullptr, Qt::ToolTip | Qt::FramelessWindowHint};
    explicit Cover(QWidget* over)
    {
        window.setGeometry(QRect(over->mapToGlobal(QPoint(40, 40)), QSize(200, 150)));
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
};

struct ExposeCounter : QObject {
    int exposures = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        exposures += event->type() == QEvent::Expose;
        return false;
    }
};

TEST_F(ViewTest, TheExposureAfterADialogShowsTheCommandsFrameWithoutDrawingTheSceneAgain)
{
    QTemporaryDir dir;
    CDynArray list;
    list.Add(quad("front", {-80, -60, 40, 80, -60, 40, 80, 60, 40, -80, 60, 40}, 200, 40, 40));
    list.Add(triangle("top", {-90, 60, -40, 90, 60, -40, 0, 120, 0}, 40, 40, 220));
    const QString file = dir.filePath("two.3do");
    ASSERT_TRUE(WriteObjectFile(file.toStdString(), list.First(), list.Count()));
    ExposeCounter counter;
    form->glPanel()->installEventFilter(&counter);
    QWidget* view = find<QWidget>("GLPanel");

    // As the user meets it: the dialog goes, the command reads and draws, then the view's
    // exposure is handled.
    auto openThroughDialog = [&] {
        Cover dialog(view);
        settle();
        counter.exposures = 0;
        dialogs.files.push_back(file);
        dialog.window.hide();
        form->FileOpenExecute();
    };
    openThroughDialog();
    const long drawn = form->framesDrawn();
    ASSERT_TRUE(QTest::qWaitFor([&] { return counter.exposures > 0; }, 3000));
    settle();
    EXPECT_EQ(form->framesDrawn(), drawn) << "the exposure drew the scene a second time";

    // Uncovered after the frame has reached the screen: what was under the window comes back
    // from the kept frame, pixel for pixel.
    {
        Cover other(view);
        counter.exposures = 0;
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return counter.exposures > 0; }, 3000));
    settle();
    EXPECT_EQ(form->framesDrawn(), drawn);
    const QImage shown = frame();
    form->DrawScene();
    EXPECT_EQ(shown, frame()) << "the view does not show what drawing it shows";

    // Changed and not yet drawn when the exposure comes: the kept frame would be stale.
    {
        Cover other(view);
        form->objectTransform().rotY = 40.0f;
        counter.exposures = 0;
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return counter.exposures > 0; }, 3000));
    settle();
    const QImage turned = frame();
    form->DrawScene();
    EXPECT_EQ(turned, frame()) << "the exposure showed the picture before the change";
}

} // namespace
