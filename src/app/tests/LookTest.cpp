// What the window looks like where the style or the window system would otherwise decide:
// group-box frames, the tool bar's indent, where the manual and About open.
#include "FormFixture.h"

#include "TAboutForm.h"
#include "TBitBtn.h"
#include "THelpWindow.h"

#include <QGroupBox>
#include <QStyle>
#include <QTimer>
#include <QToolButton>

namespace {

class LookTest : public FormTest {};

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
        << "the client area, not the frame, is centred";
}

} // namespace
