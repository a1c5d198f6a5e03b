// The window as the user meets it: layout, switches, hints, light, About and the manual.
#include "FormFixture.h"

#include "TAboutForm.h"
#include "THelpWindow.h"
#include "TPolygonEditor.h"
#include "TVorlanApplication.h"
#include "Version.h"

#include <GL/gl.h>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTextBrowser>
#include <QTimer>
#include <QToolButton>

namespace {

using ShellTest = FormTest;

TEST_F(ShellTest, StartsWithTheDesignedTitleAndNoMessages)
{
    EXPECT_EQ(form->windowTitle(), "3D-Vorlan V0.9");
    EXPECT_EQ(QApplication::applicationName(), "3DVorlan");
    EXPECT_TRUE(dialogs.messages.empty()) << dialogs.messages.front().text.toStdString();
    EXPECT_FALSE(form->motionTimer()->enabled());
    EXPECT_EQ(form->motionTimer()->interval(), 1);
    EXPECT_EQ(form->statusText(), "");
    const float expected[16] = {500, 0, 0, 0, 0, 150, -50, -1, 0, 0, 500, 0, 0, -52500, -7500, 350};
    for (int i = 0; i < 16; ++i)
        EXPECT_FLOAT_EQ(form->shadowMatrix()[i], expected[i]) << i;
}

TEST_F(ShellTest, ControlsSitWhereTheLayoutPutsThem)
{
    struct Place {
        const char* name;
        QRect geometry;
    };
    const Place places[] = {
        {"GroupBox1", {536, 32, 81, 345}},     {"GroupBox2", {536, 384, 81, 185}},
        {"GroupBox3", {624, 32, 161, 537}},    {"BitBtnYCCW", {8, 16, 33, 33}},
        {"BitBtnYCW", {40, 16, 33, 33}},       {"BitBtnSOut", {40, 208, 33, 33}},
        {"XScaling", {8, 241, 17, 17}},        {"ZScaling", {56, 241, 17, 17}},
        {"TrackBar1", {2, 263, 77, 27}},       {"btnAuto", {9, 297, 45, 20}},
        {"AutomodeButton", {55, 297, 17, 20}}, {"btnResetControl", {9, 318, 63, 20}},
        {"TBAmbient", {2, 30, 77, 27}},        {"TBDiffuse", {2, 72, 77, 30}},
        {"TBSpecular", {2, 113, 77, 27}},      {"btnResetLight", {8, 152, 65, 25}},
        {"GLPanel", {1, 1, 523, 529}},         {"Panel1", {4, 37, 525, 531}},
    };
    for (const Place& p : places) {
        QWidget* w = find<QWidget>(p.name);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->geometry(), p.geometry) << p.name;
    }
    EXPECT_EQ(find<QPushButton>("btnAuto")->text(), "Auto");
    EXPECT_EQ(find<QGroupBox>("GroupBox1")->title(), " Control  ");
    EXPECT_EQ(find<QSlider>("TrackBar1")->value(), 3);
    EXPECT_EQ(find<QSlider>("TBDiffuse")->value(), 7);
}

TEST_F(ShellTest, ResizingKeepsThePanelsBesideTheView)
{
    const int menu = form->height() - form->centralWidget()->height();
    EXPECT_EQ(form->centralWidget()->size(), QSize(792, 594));
    form->resize(1000, 700 + menu);
    settle();
    EXPECT_EQ(find<QFrame>("Panel1")->size(), QSize(733, 637));
    EXPECT_EQ(form->glPanel()->size(), QSize(731, 635));
    EXPECT_EQ(form->viewWidth(), 731);
    EXPECT_EQ(form->viewHeight(), 635);
    EXPECT_EQ(find<QWidget>("GroupBox3")->pos(), QPoint(624 + 208, 32));
    EXPECT_EQ(find<QWidget>("GroupBox1")->pos(), QPoint(536 + 208, 32));
    EXPECT_EQ(frame().size(), form->glPanel()->size() * form->glPanel()->devicePixelRatioF());

    form->resize(792, 594 + menu);
    settle();
    EXPECT_EQ(find<QFrame>("Panel1")->size(), QSize(525, 531));
    EXPECT_EQ(form->glPanel()->size(), QSize(523, 529));

    form->resize(300, 200);
    settle();
    EXPECT_EQ(form->centralWidget()->size(), QSize(792, 594)) << "no smaller than the design";
}

TEST_F(ShellTest, HintsSwitchTakesEveryHintAwayAndBack)
{
    const auto& controls = form->hintControls();
    ASSERT_EQ(controls.size(), 37u);
    for (QWidget* c : controls)
        EXPECT_FALSE(c->toolTip().isEmpty()) << c->objectName().toStdString();

    QTest::mouseClick(find<QToolButton>("HintButton"), Qt::LeftButton);
    for (QWidget* c : controls)
        EXPECT_TRUE(c->toolTip().isEmpty()) << c->objectName().toStdString();
    EXPECT_EQ(form->imageIndexOf(find<QToolButton>("HintButton")), 15);
    EXPECT_FALSE(form->OptionsHints->isChecked());

    // A hint changed while hints are off is kept for later.
    form->btnAutoClick(); // no polygon: message, nothing else
    form->AutomodeButtonClick();
    EXPECT_TRUE(find<QWidget>("AutomodeButton")->toolTip().isEmpty());

    form->OptionsHints->trigger();
    for (QWidget* c : controls)
        EXPECT_EQ(c->toolTip(), form->hintOf(c)) << c->objectName().toStdString();
    EXPECT_EQ(find<QWidget>("AutomodeButton")->toolTip(), "Control enabled");
    EXPECT_EQ(find<QWidget>("lbPolygon")->toolTip(), "Polygonlist");
    EXPECT_EQ(form->imageIndexOf(find<QToolButton>("HintButton")), 14);
    EXPECT_TRUE(form->OptionsHints->isChecked());
}

// Each switch's tool button and menu item show the same state whichever of them is used.
TEST_F(ShellTest, ToolButtonAndMenuItemOfEachSwitchAgree)
{
    struct Switch {
        const char* button;
        QAction* TVorlanForm::*item;
        const uint8_t ViewOptions::*value;
        int onImage;
    };
    const Switch switches[] = {
        {"CullButton", &TVorlanForm::OptionsCull, &ViewOptions::cullFace, 4},
        {"DepthButton", &TVorlanForm::OptionsDepth, &ViewOptions::depthTest, 6},
        {"OutlineButton", &TVorlanForm::OptionsOutline, &ViewOptions::outline, 8},
        {"ShadingButton", &TVorlanForm::OptionsShading, &ViewOptions::smoothShading, 12},
        {"PreciseButton", &TVorlanForm::OptionsPrecise, &ViewOptions::precise, 16},
        {"LightButton", &TVorlanForm::OptionsSourcelight, &ViewOptions::lighting, 10},
        {"HintButton", &TVorlanForm::OptionsHints, &ViewOptions::hints, 14},
    };
    for (const Switch& s : switches) {
        QToolButton* button = find<QToolButton>(s.button);
        QAction* item = form.get()->*s.item;
        const bool start = form->viewOptions().*s.value == 1;
        auto agree = [&](bool expected, const char* step) {
            const bool on = form->viewOptions().*s.value == 1;
            EXPECT_EQ(on, expected) << s.button << " " << step;
            EXPECT_EQ(item->isChecked(), on) << s.button << " " << step;
            EXPECT_EQ(form->imageIndexOf(button), on ? s.onImage : s.onImage + 1)
                << s.button << " " << step;
        };
        agree(start, "at start");
        QTest::mouseClick(button, Qt::LeftButton);
        agree(!start, "after the button");
        item->trigger();
        agree(start, "after the menu item");
        item->trigger();
        agree(!start, "after the menu item again");
        QTest::mouseClick(button, Qt::LeftButton);
        agree(start, "after the button again");
    }
}

TEST_F(ShellTest, SwitchesDriveTheGlState)
{
    form->CullExecute();
    form->ShadingExecute();
    form->OutlineExecute();
    ASSERT_TRUE(form->glPanel()->makeContextCurrent());
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    GLint shade = 0, modes[2] = {0, 0};
    glGetIntegerv(GL_SHADE_MODEL, &shade);
    glGetIntegerv(GL_POLYGON_MODE, modes);
    EXPECT_EQ(shade, GL_FLAT);
    EXPECT_EQ(modes[0], GL_LINE);
    EXPECT_EQ(modes[1], GL_LINE);

    form->DepthExecute(); // off: a frame's shadow pass must not bring it back
    form->DrawScene();
    ASSERT_TRUE(form->glPanel()->makeContextCurrent());
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    form->LightningExecute();
    ASSERT_TRUE(form->glPanel()->makeContextCurrent());
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
}

TEST_F(ShellTest, LightTrackBarsSetTheLightColours)
{
    auto level = [this](GLenum parameter) {
        EXPECT_TRUE(form->glPanel()->makeContextCurrent());
        GLfloat c[4] = {};
        glGetLightfv(GL_LIGHT0, parameter, c);
        EXPECT_FLOAT_EQ(c[0], c[1]);
        EXPECT_FLOAT_EQ(c[1], c[2]);
        EXPECT_FLOAT_EQ(c[3], 1.0f);
        return c[0];
    };
    EXPECT_FLOAT_EQ(level(GL_AMBIENT), 0.3f);
    EXPECT_FLOAT_EQ(level(GL_DIFFUSE), 0.7f);
    EXPECT_FLOAT_EQ(level(GL_SPECULAR), 1.0f);

    const long before = form->framesDrawn();
    find<QSlider>("TBSpecular")->setValue(1);
    EXPECT_FLOAT_EQ(level(GL_SPECULAR), 0.1f) << "never switched off";
    find<QSlider>("TBAmbient")->setValue(9);
    EXPECT_FLOAT_EQ(level(GL_AMBIENT), 0.9f);
    EXPECT_EQ(form->framesDrawn() - before, 2);

    QTest::mouseClick(find<QPushButton>("btnResetLight"), Qt::LeftButton);
    EXPECT_FLOAT_EQ(level(GL_AMBIENT), 0.3f);
    EXPECT_FLOAT_EQ(level(GL_SPECULAR), 1.0f);
    EXPECT_EQ(form->framesDrawn() - before, 5) << "two changes and the reset's own frame";

    const long again = form->framesDrawn();
    form->btnResetLightClick();
    EXPECT_EQ(form->framesDrawn() - again, 1) << "nothing moved: only the reset's frame";
}

TEST_F(ShellTest, PreciseSwitchedOnStopsAutomaticRotationWhereItIs)
{
    tElement e = quad("One", {0, 0, 0, 10, 0, 0, 10, 10, 0, 0, 10, 0}, 1, 2, 3);
    ASSERT_TRUE(form->addPolygon(e));
    form->btnAutoClick();
    ASSERT_TRUE(form->motionState().autoRotating);
    form->Timer1Timer();
    form->Timer1Timer();
    const ObjectTransform pose = form->objectTransform();
    const long frames = form->framesDrawn();
    form->PreciseExecute();
    EXPECT_FALSE(form->motionState().autoRotating);
    EXPECT_FALSE(form->motionTimer()->enabled());
    EXPECT_EQ(find<QPushButton>("btnAuto")->text(), "Auto");
    EXPECT_EQ(form->hintOf(find<QPushButton>("btnAuto")), "Autorotate object");
    EXPECT_EQ(find<QSlider>("TrackBar1")->value(), 1) << "speed unchanged";
    EXPECT_EQ(form->objectTransform().rotX, pose.rotX);
    EXPECT_EQ(form->objectTransform().rotY, pose.rotY);
    EXPECT_EQ(form->framesDrawn(), frames) << "nothing redrawn";
}

TEST_F(ShellTest, AboutDialogIsCentredAndOkClosesIt)
{
    bool shown = false;
    QTimer::singleShot(50, [&] {
        TAboutForm* about = form->aboutForm();
        shown = about->isVisible();
        EXPECT_EQ(about->windowTitle(), "About");
        EXPECT_EQ(about->size(), QSize(180, 302));
        EXPECT_LE((about->geometry().center() - form->geometry().center()).manhattanLength(), 4);
        QTest::mouseClick(about->findChild<QPushButton*>("OKButton"), Qt::LeftButton);
    });
    form->About1->trigger();
    EXPECT_TRUE(shown);
    EXPECT_FALSE(form->aboutForm()->isVisible());
}

TEST_F(ShellTest, ManualOpensAtItsContentsPage)
{
    QTest::mouseClick(find<QToolButton>("HelpButton"), Qt::LeftButton);
    ASSERT_NE(form->helpWindow(), nullptr);
    EXPECT_TRUE(form->helpWindow()->isVisible());
    const QTextBrowser* browser = form->helpWindow()->browser();
    EXPECT_TRUE(browser->source().toLocalFile().endsWith("manual/index.html"));
    EXPECT_TRUE(browser->toPlainText().contains("Contents"));
    EXPECT_TRUE(browser->toPlainText().contains("Polygon Editor"));
    EXPECT_TRUE(dialogs.messages.empty());

    // Every picture the manual shows lies beside it.
    const QString page = browser->source().toLocalFile();
    QFile file(page);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(file.readAll());
    const QDir folder = QFileInfo(page).dir();
    int pictures = 0;
    static const QRegularExpression image(R"re(<img[^>]*src="([^"]+)")re");
    for (auto it = image.globalMatch(html); it.hasNext(); ++pictures) {
        const QString name = it.next().captured(1);
        EXPECT_TRUE(QFileInfo(folder.filePath(name)).isFile()) << name.toStdString();
    }
    EXPECT_GT(pictures, 30);
}

// Anything thrown inside a handler is shown by the general error display and the program
// goes on.
TEST_F(ShellTest, AnErrorInAHandlerIsShownWithTheApplicationTitle)
{
    struct Throwing : QObject {
        bool event(QEvent* e) override
        {
            if (e->type() == QEvent::User)
                throw std::runtime_error("disk on fire");
            return QObject::event(e);
        }
    } receiver;
    auto* app = static_cast<TVorlanApplication*>(QApplication::instance());
    app->setErrorDisplay(&dialogs);
    QApplication::postEvent(&receiver, new QEvent(QEvent::User));
    QApplication::sendPostedEvents(&receiver, QEvent::User);
    app->setErrorDisplay(nullptr);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].caption, "3DVorlan");
    EXPECT_EQ(dialogs.messages[0].text, "disk on fire");
    EXPECT_EQ(dialogs.messages[0].icon, MessageIcon::Critical);
}

TEST_F(ShellTest, ExitClosesTheWindowWithoutAsking)
{
    ASSERT_TRUE(form->addPolygon(quad("Unsaved", {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}, 1, 1, 1)));
    form->Exit1->trigger();
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(dialogs.messages.empty());
}

// The About dialog tells the version the package is made with; the caption keeps its own.
TEST_F(ShellTest, AboutTellsTheProjectVersion)
{
    EXPECT_EQ(form->aboutForm()->findChild<QLabel*>("Version")->text(), "Version " VORLAN_VERSION);
    EXPECT_EQ(form->windowTitle(), "3D-Vorlan V0.9");
}

} // namespace
