// The view presents its frames on its own: a frame is the scene and one swap of the view,
// and the controls around it are not repainted for it.
#include "FormFixture.h"

#include <QWindow>
#include <functional>

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

struct ExposeCounter : QObject {
    int exposures = 0;
    bool eventFilter(QObject*, QEvent* e) override { return exposures += e->type() == QEvent::Expose, false; }
};

TEST_F(ViewTest, AnExposureOfAnUnchangedPictureShowsTheLastFrameAndDrawsNoScene)
{
    ASSERT_TRUE(form->addPolygon(quad("q", {-80, -60, 40, 80, -60, 40, 80, 60, 40, -80, 60, 40}, 200, 40, 40)));
    ExposeCounter counter;
    form->glPanel()->installEventFilter(&counter);
    // A window over the view, as a dialog is; `whenGone` runs once it is hidden and before
    // the view's exposure is handled, as the command does that the dialog returns to.
    auto uncover = [&](const std::function<void()>& whenGone) {
        QWidget cover(nullptr, Qt::ToolTip);
        cover.setGeometry(QRect(find<QWidget>("GLPanel")->mapToGlobal(QPoint(40, 40)), QSize(200, 150)));
        cover.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&cover));
        settle();
        counter.exposures = 0;
        cover.hide();
        whenGone();
        ASSERT_TRUE(QTest::qWaitFor([&] { return counter.exposures > 0; }, 3000));
        settle();
    };
    const long drawn = form->framesDrawn();
    uncover([&] { form->FileImportExecute(); });   // cancelled, and drawn all the same
    EXPECT_EQ(form->framesDrawn(), drawn + 1) << "the exposure drew the scene a second time";

    uncover([] {});
    const QImage shown = frame();
    form->DrawScene();
    EXPECT_EQ(shown, frame()) << "what came back from under the window is not the frame";

    uncover([&] { form->objectTransform().rotY = 40.0f; });
    const QImage turned = frame();
    form->DrawScene();
    EXPECT_EQ(turned, frame()) << "the exposure showed the picture from before the change";
}

} // namespace
