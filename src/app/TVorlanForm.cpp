#include "TVorlanForm.h"

#include "DialogsWithReserve.h"
#include "Geometry.h"
#include "ObjectFile.h"
#include "TAboutForm.h"
#include "TBitBtn.h"
#include "TGLPanel.h"
#include "THelpWindow.h"
#include "TMotionTimer.h"
#include "TPolygonEditor.h"
#include "TPolygonListBox.h"
#include "TReadingFeedback.h"
#include "TextureLoader.h"

#include <GL/gl.h>

#include <cmath>

#include <QAction>
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <QTextEdit>
#include <QEvent>
#include <QFile>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QMetaObject>
#include <QMimeData>
#include <QOpenGLContext>
#include <QPainter>
#include <QPushButton>
#include <QResizeEvent>
#include <QResource>
#include <QSlider>
#include <QStatusBar>
#include <QStringList>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>

static void initVorlanResources()
{
    Q_INIT_RESOURCE(resources);
}

namespace {

const char* const kImageFiles[19] = {
    "00-new",         "01-open",      "02-save",       "03-help",        "04-cull-on",
    "05-cull-off",    "06-depth-on",  "07-depth-off",  "08-outline-on",  "09-outline-off",
    "10-light-on",    "11-light-off", "12-shading-smooth", "13-shading-flat", "14-hints-on",
    "15-hints-off",   "16-precise-on", "17-precise-off", "18-import",
};

struct MotionButtonDesign {
    const char* name;
    const char* hint;
    const char* glyph;
};
// In the order of the hold flags; two columns, left first, seven rows.
const MotionButtonDesign kMotionButtons[kMotionButtonCount] = {
    {"BitBtnYCCW", "Y-Rotate CCW", "y-ccw"},      {"BitBtnYCW", "Y-Rotate CW", "y-cw"},
    {"BitBtnXCW", "X-Rotate CW", "x-cw"},         {"BitBtnXCCW", "X-Rotate CCW", "x-ccw"},
    {"BitBtnZCW", "Z-Rotate CW", "z-cw"},         {"BitBtnZCCW", "Z-Rotate CCW", "z-ccw"},
    {"BitBtnTUp", "Y-Translate up", "t-up"},      {"BitBtnTDown", "Y-Translate down", "t-down"},
    {"BitBtnTLeft", "X-Translate left", "t-left"}, {"BitBtnTRight", "X-Translate right", "t-right"},
    {"BitBtnTBack", "Z-Translate back", "t-back"}, {"BitBtnTFront", "Z-Translate front", "t-front"},
    {"BitBtnSIn", "Size up", "s-in"},             {"BitBtnSOut", "Size down", "s-out"},
};

const char* const kHintProperty = "vorlanHint";
const char* const kImageProperty = "vorlanImage";

// One of the program's square pictures, kept as bare premultiplied RGBA bytes.
QPixmap ownPixmap(const QString& path, qreal ratio)
{
    const QByteArray bytes = QResource(path).uncompressedData();
    const int side = int(std::lround(std::sqrt(bytes.size() / 4)));
    if (side == 0 || qsizetype(side) * side * 4 != bytes.size())
        return {};
    QPixmap pixmap = QPixmap::fromImage(
        QImage(reinterpret_cast<const uchar*>(bytes.constData()), side, side, side * 4,
               QImage::Format_RGBA8888_Premultiplied));
    pixmap.setDevicePixelRatio(ratio);
    return pixmap;
}

// An icon at the screen's scale 1 and 2, drawn when the program was built.
QIcon ownIcon(const QString& name)
{
    QIcon icon;
    icon.addPixmap(ownPixmap(QStringLiteral(":/%1.rgba").arg(name), 1.0));
    icon.addPixmap(ownPixmap(QStringLiteral(":/%1@2x.rgba").arg(name), 2.0));
    return icon;
}

// The client area: reports its size changes to the window.
class TClientArea : public QWidget {
public:
    explicit TClientArea(std::function<void(int, int)> onResize)
        : onResize_(std::move(onResize))
    {
    }

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        QWidget::resizeEvent(event);
        onResize_(event->size().width(), event->size().height());
    }

private:
    std::function<void(int, int)> onResize_;
};

QSlider* makeTrackBar(QWidget* parent, const char* name, QRect geometry, int position)
{
    auto* bar = new QSlider(Qt::Horizontal, parent);
    bar->setObjectName(name);
    bar->setGeometry(geometry);
    bar->setRange(1, 10);
    bar->setSingleStep(1);
    bar->setPageStep(2);
    bar->setTickPosition(QSlider::TicksBelow);
    bar->setTickInterval(1);
    bar->setValue(position);
    return bar;
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption, QRect geometry)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setGeometry(geometry);
    button->setAutoDefault(false);
    return button;
}

QLabel* makeLabel(QWidget* parent, const char* name, const QString& caption, QPoint place)
{
    auto* label = new QLabel(caption, parent);
    label->setObjectName(name);
    label->move(place);
    label->adjustSize();
    return label;
}

} // namespace

TVorlanForm::TVorlanForm(DialogService* dialogs, QWidget* parent)
    : QMainWindow(parent),
      ownDialogs_(dialogs ? nullptr : std::make_unique<QtDialogService>(this)),
      dialogs_(dialogs ? dialogs : ownDialogs_.get()),
      motion_(transform_, motionState_, *this, random_)
{
    reservedDialogs_ = std::make_unique<DialogsWithReserve>(*dialogs_, messageReserve_);
    dialogs_ = reservedDialogs_.get();
    readingFeedback_ = new TReadingFeedback(this);
    initVorlanResources();
    setObjectName("VorlanForm");
    setWindowTitle("3D-Vorlan V0.9");
    setWindowIcon(ownIcon("app-icon"));
    loadImages();

    client = new TClientArea([this](int w, int h) { FormResize(w, h); });
    client->setObjectName("ClientArea");
    setCentralWidget(client);

    createActions();
    createMenus();
    createToolBar(client);

    Panel1 = new QFrame(client);
    Panel1->setObjectName("Panel1");
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setLineWidth(1);
    Panel1->setGeometry(4, 37, kViewDesignWidth + 2, kViewDesignHeight + 2);
    GLPanel = new TGLPanel;
    GLPanel->setObjectName("GLPanel");
    GLPanel->OnContextCreated = [this] { FormCreateContext(); };
    GLPanel->OnResize = [this](int w, int h) { GLPanelResize(w, h); };
    GLPanel->OnPaint = [this] { GLPanelPaint(); };
    GLPanel->OnContextFault = [this](TGLPanel::ContextFault fault) {
        using Fault = TGLPanel::ContextFault;
        showStartupMessage(fault == Fault::NoSurface   ? "hdc == NULL"
                           : fault == Fault::NoContext ? "hrc == NULL"
                                                       : "Could not Make Current");
    };
    // The view is a window of its own inside the panel, so that its frames are swapped
    // on their own and never recompose the controls around it.
    GLPanelHost = QWidget::createWindowContainer(GLPanel, Panel1);
    GLPanelHost->setObjectName("GLPanel");
    GLPanelHost->setFocusPolicy(Qt::NoFocus);
    GLPanelHost->setGeometry(1, 1, kViewDesignWidth, kViewDesignHeight);

    createControlGroup(client);
    createLightGroup(client);

    textureLoader_ = [this](const std::string& file, int minFilter, int magFilter, int wrap) {
        return loadTexture(file, minFilter, magFilter, wrap);
    };
    // The editor draws after every change it makes to the list (and after a refused entry,
    // which costs one needless rebuild of the arrays).
    GroupBox3 = new TPolygonEditor(history_, *dialogs_, textureLoader_, [this] {
        markObjectChanged();
        DrawScene();
    }, client);
    GroupBox3->move(624, 32);

    StatusBar1 = new QStatusBar(client);
    StatusBar1->setObjectName("StatusBar1");
    StatusBar1->setSizeGripEnabled(false);
    statusPanel = new QLabel(StatusBar1);
    statusPanel->setObjectName("StatusPanel");
    StatusBar1->addWidget(statusPanel, 1);

    Timer1 = new TMotionTimer(this);
    Timer1->setObjectName("Timer1");
    connect(Timer1, &TMotionTimer::timeout, this, &TVorlanForm::Timer1Timer);

    OpenDialog1.filter = "3D Objects (*.3do)|*.3do";
    OpenDialog1.filterIndex = 2;
    SaveDialog1.filter = "All Files (*.*)|*.*|3D Objects (*.3do)|*.3do";
    SaveDialog1.filterIndex = 2;
    SaveDialog1.defaultExt = "3do";

    hintControls_ = {NewButton,  OpenButton,  SaveButton,  CullButton,    DepthButton,
                     OutlineButton, ShadingButton, LightButton, PreciseButton, HelpButton,
                     HintButton};
    for (TBitBtn* b : motionButtons)
        hintControls_.push_back(b);
    for (QWidget* w : std::initializer_list<QWidget*>{
             XScaling, YScaling, ZScaling, TrackBar1, btnResetControl, btnAuto, AutomodeButton,
             TBAmbient, TBDiffuse, TBSpecular, btnResetLight})
        hintControls_.push_back(w);
    QWidget* list = GroupBox3->polygonListBox();
    setHint(list, list->toolTip());
    // Undo lives where the design leaves room for it: the list box's context menu, and its
    // keys anywhere in the window.
    EditUndo = new QAction("&Undo\tCtrl+Z", list);
    EditUndo->setObjectName("EditUndo");
    EditRedo = new QAction("&Redo\tCtrl+Shift+Z", list);
    EditRedo->setObjectName("EditRedo");
    connect(EditUndo, &QAction::triggered, this, &TVorlanForm::EditUndoExecute);
    connect(EditRedo, &QAction::triggered, this, &TVorlanForm::EditRedoExecute);
    list->addAction(EditUndo);
    list->addAction(EditRedo);
    list->setContextMenuPolicy(Qt::ActionsContextMenu);
    updateUndoActions();
    qApp->installEventFilter(this);
    hintControls_.push_back(list);

    // The window's size limits keep the design's client sizes of 792 x 594 to 1280 x 978.
    const int menuHeight = menuBar()->sizeHint().height();
    setMinimumSize(kDesignClientWidth, kDesignClientHeight + menuHeight);
    setMaximumSize(1280, 978 + menuHeight);
    resize(kDesignClientWidth, kDesignClientHeight + menuHeight);

    // The start-up steps that need no GL context; the rest follow when the view's
    // context exists.
    SetInitialState();
    MakeShadowMatrix(kGroundPlanePoints, viewOptions_.lightPosition, shadowMatrix_);

    AboutForm = new TAboutForm(this);
    AboutForm->hide();

    // An object file dropped anywhere on the window is opened. Over the view, the platform
    // hands the drag to the view's own window, through its container.
    setAcceptDrops(true);
    GLPanel->installEventFilter(this);
}

TVorlanForm::~TVorlanForm()
{
    // The controls going away move the focus; the window is half gone by then.
    disconnect(qApp, &QApplication::focusChanged, this, nullptr);
    qApp->removeEventFilter(this);
    history_.setSink(nullptr);
    Timer1->setEnabled(false);
    // The GL context goes first, with the view; the polygon list clears itself afterwards.
    delete GLPanelHost;   // and the view window it holds
    GLPanelHost = nullptr;
    GLPanel = nullptr;
}

void TVorlanForm::loadImages()
{
    for (int i = 0; i < 19; ++i)
        ImageList1[i] = ownIcon(QStringLiteral("icons/%1").arg(kImageFiles[i]));
}

void TVorlanForm::createActions()
{
    auto action = [this](const char* name, const QString& caption, const QString& hint, int image) {
        auto* a = new QAction(caption, this);
        a->setObjectName(name);
        a->setToolTip(hint);
        a->setStatusTip(QString());
        if (image >= 0)
            a->setIcon(ImageList1[image]);
        a->setProperty(kImageProperty, image);
        addAction(a);
        return a;
    };
    FileNew = action("FileNew", "&New", "Create new 3D Object", 0);
    FileOpen = action("FileOpen", "&Open", "Open File", 1);
    FileImport = action("FileImport", "&Import", "Import", 18);
    FileSave = action("FileSave", "&Save", "Save File", 2);
    FileExit = action("FileExit", "E&xit", "Exit application", -1);
    Precise = action("Precise", "Precise", QString(), 16);
    HelpContents = action("HelpContents", "HelpContents", "Help", 3);
    Cull = action("Cull", "Cull", "Cull", 4);
    Depth = action("Depth", "Depth", "Depth", 6);
    Outline = action("Outline", "Outline", "Outline", 8);
    Lightning = action("Lightning", "Lightning", "Lightning", 10);
    Shading = action("Shading", "Shading", "Shading (Smooth/Flat)", 12);
    Hint = action("Hint", "Hint", "Hint", 15);

    connect(FileNew, &QAction::triggered, this, &TVorlanForm::FileNewExecute);
    connect(FileOpen, &QAction::triggered, this, &TVorlanForm::FileOpenExecute);
    connect(FileImport, &QAction::triggered, this, &TVorlanForm::FileImportExecute);
    connect(FileSave, &QAction::triggered, this, &TVorlanForm::FileSaveExecute);
    connect(FileExit, &QAction::triggered, this, &TVorlanForm::FileExitExecute);
    connect(Precise, &QAction::triggered, this, &TVorlanForm::PreciseExecute);
    connect(HelpContents, &QAction::triggered, this, &TVorlanForm::HelpContentsExecute);
    connect(Cull, &QAction::triggered, this, &TVorlanForm::CullExecute);
    connect(Depth, &QAction::triggered, this, &TVorlanForm::DepthExecute);
    connect(Outline, &QAction::triggered, this, &TVorlanForm::OutlineExecute);
    connect(Lightning, &QAction::triggered, this, &TVorlanForm::LightningExecute);
    connect(Shading, &QAction::triggered, this, &TVorlanForm::ShadingExecute);
    connect(Hint, &QAction::triggered, this, &TVorlanForm::HintExecute);
}

void TVorlanForm::createMenus()
{
    QMenuBar* bar = menuBar();
    bar->setObjectName("MainMenu1");

    // Items linked to an action show its caption and image and run it.
    auto linked = [this](QMenu* menu, const char* name, QAction* target, const QString& caption,
                         const QString& hint) {
        auto* item = menu->addAction(target->icon(), caption);
        item->setObjectName(name);
        item->setToolTip(hint.isEmpty() ? target->toolTip() : hint);
        connect(item, &QAction::triggered, target, &QAction::trigger);
        return item;
    };
    auto option = [this](QMenu* menu, const char* name, const QString& caption, bool checked,
                         void (TVorlanForm::*handler)(), const QString& hint = QString()) {
        auto* item = menu->addAction(caption);
        item->setObjectName(name);
        item->setCheckable(true);
        item->setChecked(checked);
        if (!hint.isEmpty())
            item->setToolTip(hint);
        connect(item, &QAction::triggered, this, handler);
        return item;
    };

    QMenu* file = bar->addMenu("&File");
    file->setObjectName("File1");
    New1 = linked(file, "New1", FileNew, "&New", QString());
    Open1 = linked(file, "Open1", FileOpen, "&Open", QString());
    Import1 = linked(file, "Import1", FileImport, "&Import", "Import File");
    Save1 = linked(file, "Save1", FileSave, "&Save As", "Save As");
    file->addSeparator()->setObjectName("N1");
    Exit1 = linked(file, "Exit1", FileExit, "E&xit", QString());

    QMenu* options = bar->addMenu("&Options");
    options->setObjectName("Options1");
    OptionsCull = option(options, "OptionsCull", "Cull (Backside)", false, &TVorlanForm::CullExecute);
    OptionsDepth = option(options, "OptionsDepth", "Depth", true, &TVorlanForm::DepthExecute);
    OptionsOutline =
        option(options, "OptionsOutline", "Outline", false, &TVorlanForm::OutlineExecute);
    OptionsShading = option(options, "OptionsShading", "Shading", true,
                            &TVorlanForm::ShadingExecute, "Smooth/Flat");
    OptionsPrecise =
        option(options, "OptionsPrecise", "Precise", false, &TVorlanForm::PreciseExecute);
    OptionsSourcelight = option(options, "OptionsSourcelight", "Sourcelight", true,
                                &TVorlanForm::LightningExecute);
    OptionsHints = option(options, "OptionsHints", "Hints", true, &TVorlanForm::HintExecute);
    OptionsGround =
        option(options, "OptionsGround", "Ground", true, &TVorlanForm::OptionsGroundClick);
    OptionsGrid = option(options, "OptionsGrid", "3D Cartesian Coordinates", true,
                         &TVorlanForm::OptionsGridClick);

    QMenu* help = bar->addMenu("&Help");
    help->setObjectName("Help1");
    Contents1 = linked(help, "Contents1", HelpContents, "Manual", QString());
    About1 = help->addAction("&About...");
    About1->setObjectName("About1");
    connect(About1, &QAction::triggered, this, &TVorlanForm::HelpAboutExecute);
}

void TVorlanForm::createToolBar(QWidget* parent)
{
    ToolBar1 = new QToolBar(parent);
    ToolBar1->setObjectName("ToolBar1");
    ToolBar1->setGeometry(0, 0, kDesignClientWidth, 29);
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setIconSize(QSize(16, 16));
    ToolBar1->setStyleSheet("QToolBar { border-top: 1px solid palette(light);"
                            " border-bottom: 1px solid palette(mid); spacing: 0px; }");

    auto button = [this](const char* name, QAction* action, const QString& hint, int image) {
        auto* b = new QToolButton(ToolBar1);
        b->setObjectName(name);
        b->setAutoRaise(true);
        b->setFixedSize(23, 22);
        b->setToolButtonStyle(Qt::ToolButtonIconOnly);
        b->setFocusPolicy(Qt::NoFocus);
        setButtonImage(b, image);
        setHint(b, hint);
        connect(b, &QToolButton::clicked, action, &QAction::trigger);
        ToolBar1->addWidget(b);
        return b;
    };
    auto separator = [this](const char* name) {
        auto* gap = new QWidget(ToolBar1);
        gap->setObjectName(name);
        gap->setFixedSize(8, 22);
        ToolBar1->addWidget(gap);
    };

    // The first button is indented by 4 pixels (the tool bar's own margins do not reach
    // the layout of its items).
    auto* indent = new QWidget(ToolBar1);
    indent->setObjectName("ToolBar1Indent");
    indent->setFixedSize(4, 22);
    ToolBar1->addWidget(indent);
    NewButton = button("NewButton", FileNew, "Create new 3D Object", 0);
    OpenButton = button("OpenButton", FileOpen, "Open File", 1);
    SaveButton = button("SaveButton", FileSave, "Save As", 2);
    separator("ToolButton7");
    CullButton = button("CullButton", Cull, "Cull (On/Off)", 5);
    DepthButton = button("DepthButton", Depth, "Depth (On/Off)", 6);
    OutlineButton = button("OutlineButton", Outline, "Outline (On/Off)", 9);
    ShadingButton = button("ShadingButton", Shading, "Shading (Smooth/Flat)", 12);
    PreciseButton = button("PreciseButton", Precise, "Precision (On/Off)", 17);
    LightButton = button("LightButton", Lightning, "Sourcelight", 10);
    separator("ToolButton9");
    HelpButton = button("HelpButton", HelpContents, "Help", 3);
    HintButton = button("HintButton", Hint, "Hints (On/Off)", 14);
}

void TVorlanForm::createControlGroup(QWidget* parent)
{
    GroupBox1 = new QGroupBox(" Control  ", parent);
    GroupBox1->setObjectName("GroupBox1");
    GroupBox1->setGeometry(536, 32, 81, 345);

    for (int i = 0; i < kMotionButtonCount; ++i) {
        auto* b = new TBitBtn(GroupBox1);
        b->setObjectName(kMotionButtons[i].name);
        b->setGeometry(i % 2 == 0 ? 8 : 40, 16 + 32 * (i / 2), 33, 33);
        b->setIcon(ownIcon(QStringLiteral("glyphs/%1").arg(kMotionButtons[i].glyph)));
        b->setIconSize(QSize(24, 24));
        setHint(b, kMotionButtons[i].hint);
        connect(b, &TBitBtn::mouseDown, this, &TVorlanForm::ControlBitBtnMouseDown);
        connect(b, &TBitBtn::mouseUp, this, &TVorlanForm::ControlBitBtnMouseUp);
        motionButtons[i] = b;
    }

    QFont bold = GroupBox1->font();
    bold.setBold(true);
    XScaling = makeButton(GroupBox1, "XScaling", "X", QRect(8, 241, 17, 17));
    YScaling = makeButton(GroupBox1, "YScaling", "Y", QRect(32, 241, 17, 17));
    ZScaling = makeButton(GroupBox1, "ZScaling", "Z", QRect(56, 241, 17, 17));
    const char* scalingHints[3] = {"XSizing (On/Off)", "YSizing (On/Off)", "ZSizing (On/Off)"};
    QPushButton* scaling[3] = {XScaling, YScaling, ZScaling};
    for (int axis = 0; axis < 3; ++axis) {
        scaling[axis]->setFont(bold);
        scaling[axis]->setStyleSheet("padding: 0px;");
        setHint(scaling[axis], scalingHints[axis]);
    }
    connect(XScaling, &QPushButton::clicked, this, &TVorlanForm::XScalingClick);
    connect(YScaling, &QPushButton::clicked, this, &TVorlanForm::YScalingClick);
    connect(ZScaling, &QPushButton::clicked, this, &TVorlanForm::ZScalingClick);

    TrackBar1 = makeTrackBar(GroupBox1, "TrackBar1", QRect(2, 263, 77, 27), 3);
    setHint(TrackBar1, "Speed/Multiplier");
    connect(TrackBar1, &QSlider::valueChanged, this, &TVorlanForm::TrackBar1Change);
    connect(qApp, &QApplication::focusChanged, this,
            [this](QWidget*, QWidget* now) { focusMoved(now); });

    btnAuto = makeButton(GroupBox1, "btnAuto", "Auto", QRect(9, 297, 45, 20));
    setHint(btnAuto, "Autorotate object");
    connect(btnAuto, &QPushButton::clicked, this, &TVorlanForm::btnAutoClick);
    AutomodeButton = makeButton(GroupBox1, "AutomodeButton", "1", QRect(55, 297, 17, 20));
    AutomodeButton->setStyleSheet("padding: 0px;");
    setHint(AutomodeButton, "Control disabled");
    connect(AutomodeButton, &QPushButton::clicked, this, &TVorlanForm::AutomodeButtonClick);
    btnResetControl = makeButton(GroupBox1, "btnResetControl", "Reset", QRect(9, 318, 63, 20));
    setHint(btnResetControl, "Reset object");
    connect(btnResetControl, &QPushButton::clicked, this, &TVorlanForm::btnResetControlClick);
}

void TVorlanForm::createLightGroup(QWidget* parent)
{
    GroupBox2 = new QGroupBox("Light", parent);
    GroupBox2->setObjectName("GroupBox2");
    GroupBox2->setGeometry(536, 384, 81, 185);

    makeLabel(GroupBox2, "Ambient", "Ambient:", QPoint(9, 17));
    TBAmbient = makeTrackBar(GroupBox2, "TBAmbient", QRect(2, 30, 77, 27), 3);
    setHint(TBAmbient, "Ambient intensity");
    makeLabel(GroupBox2, "Diffuse", "Diffuse:", QPoint(8, 61));
    TBDiffuse = makeTrackBar(GroupBox2, "TBDiffuse", QRect(2, 72, 77, 30), 7);
    setHint(TBDiffuse, "Diffuse intensity");
    makeLabel(GroupBox2, "Specular", "Specular:", QPoint(8, 102));
    TBSpecular = makeTrackBar(GroupBox2, "TBSpecular", QRect(2, 113, 77, 27), 10);
    setHint(TBSpecular, "Specular highlight intensity");
    btnResetLight = makeButton(GroupBox2, "btnResetLight", "Reset", QRect(8, 152, 65, 25));
    setHint(btnResetLight, "Reset Sourcelightsettings");

    connect(TBAmbient, &QSlider::valueChanged, this, &TVorlanForm::TBAmbientChange);
    connect(TBDiffuse, &QSlider::valueChanged, this, &TVorlanForm::TBDiffuseChange);
    connect(TBSpecular, &QSlider::valueChanged, this, &TVorlanForm::TBSpecularChange);
    connect(btnResetLight, &QPushButton::clicked, this, &TVorlanForm::btnResetLightClick);
}

// ---------------------------------------------------------------- start-up and view

void TVorlanForm::SetInitialState()
{
    viewOptions_ = ViewOptions{};
    motion_.setInitialState();
    GroupBox3->SetInitialState();
}

void TVorlanForm::FormCreateContext()
{
    // The panel has made its context current; the faults before this point it reports.
    scene::SetFixedState();
    scene::SetupLightAndMaterial();
    // Switches or light levels changed before the view existed take effect now.
    applyGlSwitches();
    scene::SetLightLevel(GL_AMBIENT, TBAmbient->value());
    scene::SetLightLevel(GL_DIFFUSE, TBDiffuse->value());
    scene::SetLightLevel(GL_SPECULAR, TBSpecular->value());
}

void TVorlanForm::FormResize(int clientWidth, int clientHeight)
{
    ToolBar1->setGeometry(0, 0, clientWidth, 29);
    StatusBar1->setGeometry(0, clientHeight - 19, clientWidth, 19);
    const int rightShift = clientWidth - kDesignClientWidth;
    GroupBox1->move(536 + rightShift, 32);
    GroupBox2->move(536 + rightShift, 384);
    GroupBox3->move(624 + rightShift, 32);
    Panel1->resize(clientWidth - kPanelMarginWidth, clientHeight - kPanelMarginHeight);
    // The view's own resize takes its new size and sets viewport and projection.
    GLPanelHost->resize(Panel1->width() - 2, Panel1->height() - 2);
}

void TVorlanForm::GLPanelResize(int width, int height)
{
    viewWidth_ = width;
    viewHeight_ = height == 0 ? 1 : height;
    scene::SetProjection(viewWidth_, viewHeight_, GLPanel->deviceWidth(), GLPanel->deviceHeight(),
                         viewOptions_.lightPosition);
}

void TVorlanForm::GLPanelPaint()
{
    // A paint while a file command reads keeps the frame the view has; the command draws
    // the object when it is read.
    if (readingFeedback_->reading())
        return;
    if (presentedInputs_ && *presentedInputs_ == frameInputs() && GLPanel->presentKeptFrame())
        return;
    DrawScene();
}

ObjectPose TVorlanForm::pose() const
{
    const ObjectTransform& t = transform_;
    return {t.rotX, t.rotY, t.rotZ, t.transX, t.transY, t.transZ, t.scaleX, t.scaleY, t.scaleZ};
}

TVorlanForm::FrameInputs TVorlanForm::frameInputs() const
{
    const ObjectTransform& t = transform_;
    const ViewOptions& o = viewOptions_;
    FrameInputs in{{t.rotX, t.rotY, t.rotZ, t.transX, t.transY, t.transZ, t.scaleX, t.scaleY, t.scaleZ},
                   {o.cullFace, o.depthTest, o.outline, o.lighting, o.smoothShading, o.precise,
                    o.hints, o.ground, o.axes},
                   {o.lightPosition[0], o.lightPosition[1], o.lightPosition[2], o.lightPosition[3]},
                   {TBAmbient->value(), TBDiffuse->value(), TBSpecular->value()},
                   polygons_.Count(),
                   polygons_.First(),
                   polygons_.Last(),
                   objectRevision_,
                   viewWidth_,
                   viewHeight_,
                   GLPanel->deviceWidth(),
                   GLPanel->deviceHeight()};
    return in;
}

void TVorlanForm::DrawScene()
{
    ++framesDrawn_;
    presentedInputs_.reset();
    if (!GLPanel || !GLPanel->beginFrame())
        return;
    scene::DrawScene(polygons_, objectArrays_, pose(), viewOptions_, shadowMatrix_);
    if (GLPanel->endFrame())
        presentedInputs_ = frameInputs();
}

uint32_t TVorlanForm::loadTexture(const std::string& fileName, int minFilter, int magFilter,
                                  int wrapMode)
{
    if (!GLPanel || !GLPanel->makeContextCurrent())
        return 0;
    return LoadTexture(fileName, minFilter, magFilter, wrapMode);
}

bool TVorlanForm::addPolygon(const tElement& element)
{
    if (!history_.add(element, textureLoader_))
        return false;
    markObjectChanged();
    GroupBox3->polygonListBox()->appendShownEntry();
    updateUndoActions();
    return true;
}

// ---------------------------------------------------------------- render switches, light

void TVorlanForm::applyGlSwitches()
{
    if (GLPanel && GLPanel->makeContextCurrent())
        scene::ApplySwitches(viewOptions_);
}

void TVorlanForm::toggleSwitch(uint8_t& value, QToolButton* button, int onImage, QAction* menuItem)
{
    value = isOn(value) ? 0 : 1;
    applyGlSwitches();
    setButtonImage(button, isOn(value) ? onImage : onImage + 1);
    menuItem->setChecked(isOn(value));
    DrawScene();
}

void TVorlanForm::CullExecute() { toggleSwitch(viewOptions_.cullFace, CullButton, 4, OptionsCull); }
void TVorlanForm::DepthExecute() { toggleSwitch(viewOptions_.depthTest, DepthButton, 6, OptionsDepth); }
void TVorlanForm::OutlineExecute() { toggleSwitch(viewOptions_.outline, OutlineButton, 8, OptionsOutline); }
void TVorlanForm::ShadingExecute() { toggleSwitch(viewOptions_.smoothShading, ShadingButton, 12, OptionsShading); }
void TVorlanForm::LightningExecute() { toggleSwitch(viewOptions_.lighting, LightButton, 10, OptionsSourcelight); }

void TVorlanForm::PreciseExecute()
{
    if (isOn(viewOptions_.precise)) {
        switchPreciseOff();
        return;
    }
    motion_.stopForPrecise();
    viewOptions_.precise = 1;
    setButtonImage(PreciseButton, 16);
    OptionsPrecise->setChecked(true);
}

void TVorlanForm::OptionsGroundClick()
{
    viewOptions_.ground = isOn(viewOptions_.ground) ? 0 : 1;
    OptionsGround->setChecked(isOn(viewOptions_.ground));
    DrawScene();
}

void TVorlanForm::OptionsGridClick()
{
    viewOptions_.axes = isOn(viewOptions_.axes) ? 0 : 1;
    OptionsGrid->setChecked(isOn(viewOptions_.axes));
    DrawScene();
}

void TVorlanForm::setLightLevel(unsigned parameter, int position)
{
    if (GLPanel && GLPanel->makeContextCurrent())
        scene::SetLightLevel(parameter, position);
    DrawScene();
}

void TVorlanForm::TBAmbientChange() { setLightLevel(GL_AMBIENT, TBAmbient->value()); }
void TVorlanForm::TBDiffuseChange() { setLightLevel(GL_DIFFUSE, TBDiffuse->value()); }
void TVorlanForm::TBSpecularChange() { setLightLevel(GL_SPECULAR, TBSpecular->value()); }

void TVorlanForm::ResetLight()
{
    TBAmbient->setValue(3);
    TBDiffuse->setValue(7);
    TBSpecular->setValue(10);
}

void TVorlanForm::btnResetLightClick()
{
    ResetLight();
    DrawScene();
}

// ---------------------------------------------------------------- Control panel

void TVorlanForm::ControlBitBtnMouseDown()
{
    for (int i = 0; i < kMotionButtonCount; ++i)
        if (sender() == motionButtons[i])
            motion_.press(static_cast<MotionButton>(i));
}

void TVorlanForm::ControlBitBtnMouseUp()
{
    for (int i = 0; i < kMotionButtonCount; ++i)
        if (sender() == motionButtons[i])
            motion_.release(static_cast<MotionButton>(i));
}

void TVorlanForm::Timer1Timer() { motion_.tick(); }
void TVorlanForm::btnAutoClick() { motion_.autoClick(); }
void TVorlanForm::ToggleAutoRotation() { motion_.toggleAutoRotation(); }
void TVorlanForm::AutomodeButtonClick() { motion_.automodeClick(); }
void TVorlanForm::TrackBar1Change() { motion_.speedChanged(TrackBar1->value()); }
void TVorlanForm::TrackBar1Exit() { motion_.speedExit(); }
void TVorlanForm::XScalingClick() { motion_.scalingClick(0); }
void TVorlanForm::YScalingClick() { motion_.scalingClick(1); }
void TVorlanForm::ZScalingClick() { motion_.scalingClick(2); }
void TVorlanForm::ResetObject() { motion_.resetObject(); }

void TVorlanForm::btnResetControlClick()
{
    ResetObject();
    DrawScene();
}

void TVorlanForm::focusMoved(QWidget* now)
{
    // Leaving the track bar is another control of this window taking the focus, or none
    // while the window stays active. A menu, the menu bar or another window borrowing it for
    // a while is not: the track bar is left when the focus goes on from them to another
    // control, however the menu was closed.
    const bool ownControl = now ? now->window() == this && !qobject_cast<QMenuBar*>(now)
                                : isActiveWindow();
    if (!ownControl)
        return;
    const bool leftTrackBar = lastFocusedControl_ == TrackBar1 && now != TrackBar1;
    lastFocusedControl_ = now;
    if (leftTrackBar)
        TrackBar1Exit();
}

bool TVorlanForm::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && takeUndoKey(watched, event))
        return true;
    if (watched == GLPanel) {
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove:
            dragMoveEvent(static_cast<QDragMoveEvent*>(event));
            return true;
        case QEvent::Drop:
            dropEvent(static_cast<QDropEvent*>(event));
            return true;
        default:
            break;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

namespace {

// The object file among files dragged onto the window: the first local ".3do" file.
QString droppedObjectFile(const QMimeData* data)
{
    if (!data || !data->hasUrls())
        return QString();
    for (const QUrl& url : data->urls()) {
        const QString name = url.toLocalFile();
        if (!name.isEmpty() && name.endsWith(QLatin1String(".3do"), Qt::CaseInsensitive))
            return name;
    }
    return QString();
}

} // namespace

void TVorlanForm::dragEnterEvent(QDragEnterEvent* event)
{
    if (!droppedObjectFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void TVorlanForm::dragMoveEvent(QDragMoveEvent* event)
{
    if (!droppedObjectFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void TVorlanForm::dropEvent(QDropEvent* event)
{
    const QString file = droppedObjectFile(event->mimeData());
    if (file.isEmpty())
        return;
    event->acceptProposedAction();
    // Opened after the drop has ended, so the program the file came from is not kept
    // waiting by a message Open may show.
    QMetaObject::invokeMethod(this, [this, file] { openFile(file); }, Qt::QueuedConnection);
}

int TVorlanForm::speed() const { return TrackBar1->value(); }
void TVorlanForm::setSpeed(int position) { TrackBar1->setValue(position); }
void TVorlanForm::setStatusText(const std::string& text) { statusPanel->setText(QString::fromStdString(text)); }
QString TVorlanForm::statusText() const { return statusPanel->text(); }
void TVorlanForm::setAutoCaption(const std::string& caption) { btnAuto->setText(QString::fromStdString(caption)); }
void TVorlanForm::setAutoHint(const std::string& hint) { setHint(btnAuto, QString::fromStdString(hint)); }

void TVorlanForm::setAutomodeButton(const std::string& caption, const std::string& hint)
{
    AutomodeButton->setText(QString::fromStdString(caption));
    setHint(AutomodeButton, QString::fromStdString(hint));
}

void TVorlanForm::setScalingButton(int axis, const std::string& caption, bool bold)
{
    QPushButton* button = axis == 0 ? XScaling : axis == 1 ? YScaling : ZScaling;
    button->setText(QString::fromStdString(caption));
    QFont font = button->font();
    font.setBold(bold);
    button->setFont(font);
}

void TVorlanForm::setTimerEnabled(bool enabled) { Timer1->setEnabled(enabled); }
bool TVorlanForm::precise() const { return isOn(viewOptions_.precise); }

void TVorlanForm::switchPreciseOff()
{
    viewOptions_.precise = 0;
    setButtonImage(PreciseButton, 17);
    OptionsPrecise->setChecked(false);
}

int TVorlanForm::polygonCount() const { return polygons_.Count(); }

void TVorlanForm::showExclamation(const std::string& caption, const std::string& text)
{
    dialogs_->showMessage(QString::fromStdString(caption), QString::fromStdString(text),
                          MessageIcon::Warning, MessageButtons::Ok);
}

// ---------------------------------------------------------------- file commands

// A plain message under the application title with OK, as for the view's start-up faults.
void TVorlanForm::showStartupMessage(const QString& text)
{
    dialogs_->showMessage(QApplication::applicationName(), text, MessageIcon::NoIcon,
                          MessageButtons::Ok);
}

void TVorlanForm::showInformation(const QString& text)
{
    dialogs_->showMessage("Information", text, MessageIcon::Information, MessageButtons::Ok);
}

bool TVorlanForm::openDialog(FileDialogKind kind, FileDialogSettings& settings)
{
    return chooseFile(*dialogs_, kind, settings);
}

void TVorlanForm::clearListBox()
{
    GroupBox3->polygonListBox()->clear();
}

bool TVorlanForm::readObjectFile(const QString& fileName, CDynArray& list)
{
    // A large object takes a while to read: the wait cursor, and the window kept painted.
    // The list box reads its rows from the list and keeps nothing per polygon, so the
    // budget needs no charge for it beyond the polygon itself.
    ReadOptions options;
    options.progress = [this] { readingFeedback_->progress(); };
    TReadingFeedback::Scope feedback(*readingFeedback_);
    markObjectChanged();
    return ReadObjectFile(QFile::encodeName(fileName).toStdString(), list, textureLoader_,
                          options);
}

void TVorlanForm::FileNewExecute()
{
    if (motionState_.autoRotating)
        ToggleAutoRotation();
    if (polygons_.Count() == 0) {
        GroupBox3->ResetEditor();
        return;
    }
    if (dialogs_->showMessage("Information", "Sure to delete all data and start with a new object?",
                              MessageIcon::Question, MessageButtons::YesNo) != MessageAnswer::Yes)
        return;
    clearListBox();
    history_.replace({}, {});
    markObjectChanged();
    GroupBox3->ResetEditor();
    ResetObject();
    updateUndoActions();
    DrawScene();
}

void TVorlanForm::FileOpenExecute()
{
    openObject([this] { return openDialog(FileDialogKind::Open, OpenDialog1); });
}

void TVorlanForm::openFile(const QString& fileName)
{
    // As if chosen in the open dialog: its folder current, and offered by the dialog next.
    openObject([this, &fileName] {
        OpenDialog1.fileName = enterFolderOf(fileName);
        return true;
    });
}

void TVorlanForm::openObject(const std::function<bool()>& chooseFile)
{
    if (motionState_.autoRotating)
        ToggleAutoRotation();
    if (chooseFile()) {
        GroupBox3->ResetEditor();
        clearListBox();
        const QString name = OpenDialog1.fileName;
        if (!history_.replace([&](CDynArray& list) { return readObjectFile(name, list); },
                              QFile::encodeName(name).toStdString()))
            showInformation("Loading not possible");
        GroupBox3->appendListEntries(1);
        ResetObject();
        updateUndoActions();
    }
    DrawScene();
}

void TVorlanForm::FileImportExecute()
{
    if (motionState_.autoRotating)
        ToggleAutoRotation();
    if (openDialog(FileDialogKind::Open, OpenDialog1)) {
        const int countBefore = polygons_.Count();
        const QString name = OpenDialog1.fileName;
        if (!history_.append([&](CDynArray& list) { return readObjectFile(name, list); },
                             QFile::encodeName(name).toStdString()))
            showInformation("Importing not possible");
        GroupBox3->appendListEntries(countBefore + 1);
        updateUndoActions();
    }
    DrawScene();
}

void TVorlanForm::FileSaveExecute()
{
    if (motionState_.autoRotating)
        ToggleAutoRotation();
    const int count = polygons_.Count();
    const tElement* first = polygons_.First();
    if (!openDialog(FileDialogKind::Save, SaveDialog1))
        return;
    const std::string name = QFile::encodeName(SaveDialog1.fileName).toStdString();
    if (!WriteObjectFile(name, first, count))
        showInformation("Saving not possible");
    else if (journal_)
        journal_->saved();
}

// ---------------------------------------------------------------- undo, journal

void TVorlanForm::updateUndoActions()
{
    EditUndo->setEnabled(history_.canUndo());
    EditRedo->setEnabled(history_.canRedo());
}

void TVorlanForm::showUndone(const ListChange& change)
{
    if (motionState_.autoRotating)
        ToggleAutoRotation();
    GroupBox3->showListChange(change);
    markObjectChanged();
    // A whole other object is shown as Open and New show theirs.
    if (change.kind == ListChange::Kind::Replaced)
        ResetObject();
    updateUndoActions();
    DrawScene();
}

void TVorlanForm::EditUndoExecute()
{
    if (history_.canUndo())
        showUndone(history_.undo());
}

void TVorlanForm::EditRedoExecute()
{
    if (history_.canRedo())
        showUndone(history_.redo());
}

namespace {

// The field whose own typing a key of undo or redo is for, when it has some to take back.
bool hasOwnUndo(QWidget* w, bool redo)
{
    auto lineEdit = [redo](const QLineEdit* e) {
        return e && !e->isReadOnly() && (redo ? e->isRedoAvailable() : e->isUndoAvailable());
    };
    if (auto* e = qobject_cast<QLineEdit*>(w))
        return lineEdit(e);
    if (auto* spin = qobject_cast<QAbstractSpinBox*>(w))
        return lineEdit(spin->findChild<QLineEdit*>());
    if (auto* combo = qobject_cast<QComboBox*>(w))
        return lineEdit(combo->lineEdit());
    auto document = [redo](bool readOnly, const QTextDocument* d) {
        return !readOnly && (redo ? d->isRedoAvailable() : d->isUndoAvailable());
    };
    if (auto* text = qobject_cast<QTextEdit*>(w))
        return document(text->isReadOnly(), text->document());
    if (auto* text = qobject_cast<QPlainTextEdit*>(w))
        return document(text->isReadOnly(), text->document());
    return false;
}

} // namespace

bool TVorlanForm::takeUndoKey(QObject* receiver, QEvent* event)
{
    // A click on the view can give its own window the keyboard.
    auto* widget = receiver == GLPanel ? GLPanelHost : qobject_cast<QWidget*>(receiver);
    if (!widget || widget->window() != this)
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    const Qt::KeyboardModifiers mods =
        key->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier | Qt::MetaModifier);
    const bool undo = key->key() == Qt::Key_Z && mods == Qt::ControlModifier;
    const bool redo = (key->key() == Qt::Key_Z && mods == (Qt::ControlModifier | Qt::ShiftModifier)) ||
                      (key->key() == Qt::Key_Y && mods == Qt::ControlModifier);
    if (!undo && !redo)
        return false;
    if (hasOwnUndo(widget, redo))
        return false;
    if (undo)
        EditUndoExecute();
    else
        EditRedoExecute();
    return true;
}

void TVorlanForm::startJournal(const std::string& folder)
{
    JournalContents contents;
    if (std::unique_ptr<Journal> orphan = Journal::TakeOrphan(folder, contents)) {
        const MessageAnswer answer = dialogs_->showMessage(
            "Information",
            "3D-Vorlan ended without Exit while the object had changes that were not saved."
            " Restore the object as it was then?",
            MessageIcon::Question, MessageButtons::YesNo);
        if (answer == MessageAnswer::Yes) {
            GroupBox3->ResetEditor();
            clearListBox();
            // The journal holds the object from nothing on; what is shown now goes as Open
            // would take it away.
            if (polygons_.Count() > 0)
                history_.replace({}, {});
            {
                TReadingFeedback::Scope feedback(*readingFeedback_);
                ReplayJournal(contents.entries, folder, history_, textureLoader_);
            }
            orphan->adopt(contents);
            journal_ = std::move(orphan);
            GroupBox3->appendListEntries(1);
            ResetObject();
            updateUndoActions();
            DrawScene();
        } else {
            orphan->discard();
        }
    }
    if (!journal_)
        journal_ = Journal::Create(folder);
    history_.setSink(journal_.get());
}

void TVorlanForm::discardJournal()
{
    history_.setSink(nullptr);
    if (journal_)
        journal_->discard();
    journal_.reset();
}

void TVorlanForm::FileExitExecute()
{
    close();
}

// ---------------------------------------------------------------- shell

void TVorlanForm::setHint(QWidget* control, const QString& hint)
{
    control->setProperty(kHintProperty, hint);
    control->setToolTip(isOn(viewOptions_.hints) ? hint : QString());
}

QString TVorlanForm::hintOf(const QWidget* control) const
{
    return control->property(kHintProperty).toString();
}

void TVorlanForm::ShowControlHints(bool on)
{
    for (QWidget* control : hintControls_)
        control->setToolTip(on ? hintOf(control) : QString());
}

void TVorlanForm::HintExecute()
{
    viewOptions_.hints = isOn(viewOptions_.hints) ? 0 : 1;
    const bool on = isOn(viewOptions_.hints);
    ShowControlHints(on);
    setButtonImage(HintButton, on ? 14 : 15);
    OptionsHints->setChecked(on);
}

void TVorlanForm::setButtonImage(QToolButton* button, int index)
{
    button->setIcon(ImageList1[index]);
    button->setProperty(kImageProperty, index);
}

int TVorlanForm::imageIndexOf(const QToolButton* button) const
{
    return button->property(kImageProperty).toInt();
}

void TVorlanForm::HelpContentsExecute()
{
    if (!helpWindow_) {
        helpWindow_ = new THelpWindow(this);
        helpWindow_->placeOver(frameGeometry());
    }
    if (!helpWindow_->showContents())
        showInformation("The manual could not be found beside the program.");
}

void TVorlanForm::HelpAboutExecute()
{
    AboutForm->execCentredOn(this);
}
