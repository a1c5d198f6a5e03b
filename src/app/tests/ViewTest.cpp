// The view presents its frames on its own: a frame is the scene and one swap of the view,
// and the controls around it are not repainted for it.
#include "FormFixture.h"

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

} // namespace
