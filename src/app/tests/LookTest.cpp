// What the window looks like where the style or the window system would otherwise decide:
// group-box frames, the tool bar's indent, where the manual and About open (also under a real
// window manager's frames).
#include "FormFixture.h"

#include "TAboutForm.h"
#include "TBitBtn.h"
#include "THelpWindow.h"

#include <QGroupBox>
#include <QProcess>
#include <QStandardPaths>
#include <QStyle>
#include <QTimer>
#include <QToolButton>

#include <X11/Xlib.h>

namespace {

class LookTest : public FormTest {};

// A window's frame as the window manager placed it: the ancestor just below the root.
QRect frameOnScreen(Display* display, WId id)
{
    Window w = Window(id), root = 0, parent = 0, *children = nullptr;
    for (unsigned n = 0; XQueryTree(display, w, &root, &parent, &children, &n); w = parent) {
        XFree(children);
        if (parent == root)
            break;
    }
    XWindowAttributes a;
    XGetWindowAttributes(display, w, &a);
    return {a.x, a.y, a.width + 2 * a.border_width, a.height + 2 * a.border_width};
}

// The first row from the top, at column x of the picture, that is not the background.
int firstDrawnRow(const QImage& picture, int x, QRgb background)
{
    for (int y = 0; y < picture.height(); ++y)
        if (picture.pixel(x, y) != background)
            return y;
    return -1;
}

TEST_F(LookTest, GroupBoxFramesAndCaptionsSitAboveTheirControls)
{
    for (const char* name : {"GroupBox1", "GroupBox2", "GroupBox3"}) {
        auto* box = find<QGroupBox>(name);
        QPixmap grabbed = box->grab();
        grabbed.setDevicePixelRatio(1.0);
        const QImage picture = grabbed.toImage().scaled(box->size()).convertToFormat(QImage::Format_RGB32);
        const QRgb background = box->palette().color(QPalette::Window).rgb();
        // Right of the caption, left of the controls' right edges: only the frame line.
        const int lineY = firstDrawnRow(picture, box->width() - 6, background);
        EXPECT_GE(lineY, 4) << name;
        EXPECT_LE(lineY, 9) << name << ": the frame line runs through the caption, near the top";
        const int captionBottom = box->fontMetrics().height();
        for (const QWidget* child : box->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (!child->isVisible())
                continue;
            EXPECT_GT(child->y(), lineY + 1) << name << " " << child->objectName().toStdString();
            if (child->x() < 8 + box->fontMetrics().horizontalAdvance(box->title())) {
                EXPECT_GE(child->y(), captionBottom - 1)
                    << name << " " << child->objectName().toStdString() << " under the caption";
            }
        }
    }
}

TEST_F(LookTest, ToolBarButtonsStartFourPixelsIn)
{
    const struct {
        const char* name;
        int left;
    } buttons[] = {{"NewButton", 4}, {"CullButton", 81}, {"HelpButton", 227}, {"HintButton", 250}};
    for (const auto& b : buttons) {
        const auto* button = find<QToolButton>(b.name);
        const int left = button->mapTo(form->centralWidget(), QPoint(0, 0)).x();
        EXPECT_EQ(left, b.left) << b.name;
        EXPECT_EQ(button->width(), 23) << b.name;
    }
}

// Every picture of the tool bar and the motion buttons is there at the screen's scale 1 and 2,
// and so is the chevron the menu bar shows when the window is too narrow for its menus.
TEST_F(LookTest, ToolBarAndButtonPicturesAreDrawnAtBothScales)
{
    auto drawn = [](const QIcon& icon, QSize size, qreal ratio) {
        const QImage image = icon.pixmap(size, ratio).toImage();
        if (image.size() != size * ratio)
            return false;
        int opaque = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                opaque += qAlpha(image.pixel(x, y)) > 128;
        return opaque >= image.width();
    };
    std::vector<std::pair<QString, QIcon>> icons;
    for (auto* button : form->findChildren<QToolButton*>())
        if (button->objectName().endsWith("Button"))
            icons.emplace_back(button->objectName(), button->icon());
    for (auto* button : form->findChildren<TBitBtn*>())
        icons.emplace_back(button->objectName(), button->icon());
    icons.emplace_back("window", form->windowIcon());
    icons.emplace_back("menu extension",
                       form->style()->standardIcon(QStyle::SP_ToolBarHorizontalExtensionButton));
    ASSERT_GE(icons.size(), 14u + 8u + 2u);
    for (const auto& [name, icon] : icons)
        for (qreal ratio : {1.0, 2.0})
            EXPECT_TRUE(drawn(icon, QSize(16, 16), ratio)) << name.toStdString() << " at " << ratio;
}

TEST_F(LookTest, ManualAndAboutOpenOverTheMainWindow)
{
    form->move(300, 200);
    settle();
    form->HelpContentsExecute();
    THelpWindow* help = form->helpWindow();
    ASSERT_NE(help, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(help));
    EXPECT_TRUE(form->frameGeometry().contains(help->frameGeometry().topLeft()))
        << "the manual opens over the main window, not in a corner of the screen";
    help->close();

    QRect client;
    QTimer::singleShot(50, [&] {
        client = form->aboutForm()->geometry();
        form->aboutForm()->reject();
    });
    form->HelpAboutExecute();
    EXPECT_EQ(client.size(), QSize(180, 302));
    EXPECT_LE((client.center() - form->frameGeometry().center()).manhattanLength(), 2)
        << "without a window manager the frame is the client area";
}

// The About dialog's frame is centred on the main window's frame, as a window manager draws
// them; before, its client area was, and the frame sat half a title bar too high.
TEST_F(LookTest, AboutFrameIsCentredOnTheMainWindowFrameOfAWindowManager)
{
    const std::unique_ptr<Display, int (*)(Display*)> connection(XOpenDisplay(nullptr), XCloseDisplay);
    Display* display = connection.get();
    ASSERT_NE(display, nullptr);
    const auto framed = [&] { return frameOnScreen(display, form->winId()) != form->geometry(); };
    QProcess openbox;   // only when the display has no window manager of its own
    if (!framed() && !QStandardPaths::findExecutable("openbox").isEmpty()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("LD_PRELOAD");   // a sanitizer's runtime is for our own programs
        openbox.setProcessEnvironment(env);
        openbox.start("openbox", {"--sm-disable"});
        EXPECT_TRUE(QTest::qWaitFor(framed, 5000));
    }
    if (!framed())
        GTEST_SKIP() << "no window manager (scripts/deps.sh installs openbox)";
    // The first time the dialog's frame is not known before it shows; the second time it is.
    for (const QPoint at : {QPoint(200, 150), QPoint(90, 60)}) {
        form->move(at);
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return form->frameGeometry() == frameOnScreen(display, form->winId()); }, 3000))
            << "Qt knows where the main window's frame is";
        // Looked at once the window manager has framed the dialog and it has stayed put.
        QRect about, main;
        int polls = 0, still = 0;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            const QRect now = frameOnScreen(display, form->aboutForm()->winId());
            still = now == about && now.size() != form->aboutForm()->size() ? still + 1 : 0;
            about = now;
            if (still == 5 || ++polls == 100) {
                main = frameOnScreen(display, form->winId());
                form->aboutForm()->reject();
            }
        });
        poll.start(50);
        form->HelpAboutExecute();
        poll.stop();
        EXPECT_LE(std::abs(2 * about.x() + about.width() - 2 * main.x() - main.width()), 1);
        EXPECT_LE(std::abs(2 * about.y() + about.height() - 2 * main.y() - main.height()), 1)
            << "about " << about.y() << "+" << about.height() << ", main " << main.y() << "+"
            << main.height();
    }
    openbox.terminate();
    openbox.waitForFinished(3000);
}

} // namespace
