#pragma once

#include "DialogService.h"
#include "DynArray.h"
#include "Journal.h"
#include "MemoryReserve.h"
#include "MotionController.h"
#include "Scene.h"
#include "TextureRule.h"
#include "UndoHistory.h"
#include "ViewOptions.h"

#include <QIcon>
#include <QMainWindow>
#include <QPointer>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QAction;
class QFrame;
class QGroupBox;
class QLabel;
class QListWidget;
class QPushButton;
class QSlider;
class QStatusBar;
class QToolBar;
class QToolButton;
class TAboutForm;
class TBitBtn;
class TGLPanel;
class THelpWindow;
class TMotionTimer;
class TPolygonEditor;
class TReadingFeedback;

// The main window: the view, the Control, Light and Polygon Editor panels, the tool bar,
// the menus and the one polygon list, for the whole run.
class TVorlanForm : public QMainWindow, private MotionHost {
    Q_OBJECT
public:
    // The view's panel takes the client area but for the groups on its right and the bars
    // above and below it; the view fills the panel inside its one-pixel frame.
    static constexpr int kPanelMarginWidth = 267;
    static constexpr int kPanelMarginHeight = 63;
    static constexpr int kDesignClientWidth = kViewDesignWidth + 2 + kPanelMarginWidth;
    static constexpr int kDesignClientHeight = kViewDesignHeight + 2 + kPanelMarginHeight;

    // dialogs: where every dialog and message box goes; the real Qt dialogs when null.
    explicit TVorlanForm(DialogService* dialogs = nullptr, QWidget* parent = nullptr);
    ~TVorlanForm() override;

    DialogService& dialogs() { return *dialogs_; }
    CDynArray& polygons() { return polygons_; }
    UndoHistory& history() { return history_; }
    Journal* journal() const { return journal_.get(); }
    const ViewOptions& viewOptions() const { return viewOptions_; }
    ObjectTransform& objectTransform() { return transform_; }
    const MotionState& motionState() const { return motionState_; }
    RandomSource& randomSource() { return random_; }
    const float* shadowMatrix() const { return shadowMatrix_; }
    TGLPanel* glPanel() const { return GLPanel; }
    TPolygonEditor* editor() const { return GroupBox3; }
    TMotionTimer* motionTimer() const { return Timer1; }
    TAboutForm* aboutForm() const { return AboutForm; }
    THelpWindow* helpWindow() const { return helpWindow_; }
    QString statusText() const;
    const QIcon& image(int index) const { return ImageList1[index]; }
    // Which image of the list a tool button shows now.
    int imageIndexOf(const QToolButton* button) const;
    int viewWidth() const { return viewWidth_; }
    int viewHeight() const { return viewHeight_; }
    // The number of frames drawn so far (paint requests included).
    long framesDrawn() const { return framesDrawn_; }
    // The hint a control shows while hints are on.
    QString hintOf(const QWidget* control) const;

    // The 37 controls whose hints the Hints switch turns on and off, in their order.
    const std::vector<QWidget*>& hintControls() const { return hintControls_; }

    // Loads a bitmap as a texture in the view's context (0 when it cannot be had).
    uint32_t loadTexture(const std::string& fileName, int minFilter, int magFilter, int wrapMode);
    // Appends a polygon as the editor would, with its entry in the list box.
    bool addPolygon(const tElement& element);
    // To be called by whatever changes the polygon list or a polygon in it: the view's arrays
    // are made anew on its next frame, and a kept frame no longer stands for the picture.
    void markObjectChanged()
    {
        objectArrays_.markChanged();
        ++objectRevision_;
    }
    const scene::ObjectArrays& objectArrays() const { return objectArrays_; }
    // Opens an object file named outside the open dialog (on the command line, dropped on
    // the window) as File > Open opens the file chosen in its dialog.
    void openFile(const QString& fileName);

    // Keeps the object's changes in a journal in folder from now on. A journal left there by
    // a run that ended abnormally is offered first; taken, its object is restored and its
    // journal goes on.
    void startJournal(const std::string& folder);
    // The end of a normal run: nothing is kept to be offered.
    void discardJournal();

public slots:
    void DrawScene();

    // File commands
    void FileNewExecute();
    void FileOpenExecute();
    void FileImportExecute();
    void FileSaveExecute();
    void FileExitExecute();
    void EditUndoExecute();
    void EditRedoExecute();

    // Render switches and light
    void CullExecute();
    void DepthExecute();
    void OutlineExecute();
    void ShadingExecute();
    void LightningExecute();
    void PreciseExecute();
    void OptionsGroundClick();
    void OptionsGridClick();
    void TBAmbientChange();
    void TBDiffuseChange();
    void TBSpecularChange();
    void btnResetLightClick();
    void ResetLight();

    // Control panel
    void ControlBitBtnMouseDown();
    void ControlBitBtnMouseUp();
    void Timer1Timer();
    void btnAutoClick();
    void AutomodeButtonClick();
    void TrackBar1Change();
    void TrackBar1Exit();
    void XScalingClick();
    void YScalingClick();
    void ZScalingClick();
    void btnResetControlClick();

    // Shell
    void HintExecute();
    void HelpContentsExecute();
    void HelpAboutExecute();

public:
    void SetInitialState();
    void ShowControlHints(bool on);
    void ToggleAutoRotation();
    void ResetObject();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // MotionHost
    int speed() const override;
    void setSpeed(int position) override;
    void setStatusText(const std::string& text) override;
    void setAutoCaption(const std::string& caption) override;
    void setAutoHint(const std::string& hint) override;
    void setAutomodeButton(const std::string& caption, const std::string& hint) override;
    void setScalingButton(int axis, const std::string& caption, bool bold) override;
    void setTimerEnabled(bool enabled) override;
    bool precise() const override;
    void switchPreciseOff() override;
    int polygonCount() const override;
    void showExclamation(const std::string& caption, const std::string& text) override;
    void drawScene() override { DrawScene(); }

    void createActions();
    void createMenus();
    void createToolBar(QWidget* client);
    void createControlGroup(QWidget* client);
    void createLightGroup(QWidget* client);
    void loadImages();

    void focusMoved(QWidget* now);
    void FormCreateContext();   // the GL steps of start-up, when the view's context exists
    void FormResize(int clientWidth, int clientHeight);
    void GLPanelResize(int width, int height);
    void GLPanelPaint();

    void toggleSwitch(uint8_t& value, QToolButton* button, int onImage, QAction* menuItem);
    void applyGlSwitches();
    void setLightLevel(unsigned parameter, int position);
    void setHint(QWidget* control, const QString& hint);
    void setButtonImage(QToolButton* button, int index);
    void showInformation(const QString& text);
    void showStartupMessage(const QString& text);
    void clearListBox();
    bool openDialog(FileDialogKind kind, FileDialogSettings& settings);
    bool readObjectFile(const QString& fileName, CDynArray& list);   // appends to list
    void showUndone(const ListChange& change);
    // A Ctrl+Z, Ctrl+Shift+Z or Ctrl+Y for the object, not for a text field's own typing.
    bool takeUndoKey(QObject* receiver, QEvent* event);
    void updateUndoActions();
    // Open with the file chosen by `chooseFile`, which leaves its name in OpenDialog1.
    void openObject(const std::function<bool()>& chooseFile);
    ObjectPose pose() const;

    // Everything a frame of the view depends on. A paint request that finds these as they
    // were at the last frame presented (a dialog that closed over the view, the window
    // manager uncovering it) shows that frame again instead of drawing the scene anew.
    struct FrameInputs {
        float pose[9];
        uint8_t switches[9];
        float lightPosition[4];
        int lightLevels[3];
        int polygonCount;
        const tElement* first;
        const tElement* last;
        long objectRevision;
        int width, height, deviceWidth, deviceHeight;
        bool operator==(const FrameInputs&) const = default;
    };
    FrameInputs frameInputs() const;

    std::unique_ptr<DialogService> ownDialogs_;
    DialogService* dialogs_;
    // Given up around every dialog, so that one can be shown when memory has run out.
    MemoryReserve messageReserve_{32u << 20};
    std::unique_ptr<DialogService> reservedDialogs_;
    TReadingFeedback* readingFeedback_ = nullptr;

    CDynArray polygons_;
    UndoHistory history_{polygons_};
    std::unique_ptr<Journal> journal_;
    scene::ObjectArrays objectArrays_;
    TextureLoader textureLoader_;   // textures made in the view's context
    ViewOptions viewOptions_;
    ObjectTransform transform_;
    MotionState motionState_;
    RandomSource random_;
    MotionController motion_;
    float shadowMatrix_[16] = {};
    int viewWidth_ = 0;
    int viewHeight_ = 1;
    long framesDrawn_ = 0;
    // Counts the changes of the list (markObjectChanged): one made in place, by reading or by
    // clearing may leave its count and its ends as they were.
    long objectRevision_ = 0;
    std::optional<FrameInputs> presentedInputs_;

    std::array<QIcon, 19> ImageList1;
    // The control of this window that had the focus last; menus and other windows only
    // borrow it.
    QPointer<QWidget> lastFocusedControl_;

public:
    // Controls, named as the window's design names them.
    QAction* FileNew = nullptr;
    QAction* FileOpen = nullptr;
    QAction* FileImport = nullptr;
    QAction* FileSave = nullptr;
    QAction* FileExit = nullptr;
    QAction* Precise = nullptr;
    QAction* HelpContents = nullptr;
    QAction* Cull = nullptr;
    QAction* Depth = nullptr;
    QAction* Outline = nullptr;
    QAction* Lightning = nullptr;
    QAction* Shading = nullptr;
    QAction* Hint = nullptr;
    // Undo and Redo of the object: on the list box's context menu and their keys.
    QAction* EditUndo = nullptr;
    QAction* EditRedo = nullptr;

    QAction* New1 = nullptr;
    QAction* Open1 = nullptr;
    QAction* Import1 = nullptr;
    QAction* Save1 = nullptr;
    QAction* Exit1 = nullptr;
    QAction* OptionsCull = nullptr;
    QAction* OptionsDepth = nullptr;
    QAction* OptionsOutline = nullptr;
    QAction* OptionsShading = nullptr;
    QAction* OptionsPrecise = nullptr;
    QAction* OptionsSourcelight = nullptr;
    QAction* OptionsHints = nullptr;
    QAction* OptionsGround = nullptr;
    QAction* OptionsGrid = nullptr;
    QAction* Contents1 = nullptr;
    QAction* About1 = nullptr;

    QToolBar* ToolBar1 = nullptr;
    QToolButton* NewButton = nullptr;
    QToolButton* OpenButton = nullptr;
    QToolButton* SaveButton = nullptr;
    QToolButton* CullButton = nullptr;
    QToolButton* DepthButton = nullptr;
    QToolButton* OutlineButton = nullptr;
    QToolButton* ShadingButton = nullptr;
    QToolButton* PreciseButton = nullptr;
    QToolButton* LightButton = nullptr;
    QToolButton* HelpButton = nullptr;
    QToolButton* HintButton = nullptr;

    QWidget* client = nullptr;
    QFrame* Panel1 = nullptr;
    TGLPanel* GLPanel = nullptr;
    QWidget* GLPanelHost = nullptr;   // the container that places GLPanel among the widgets
    QGroupBox* GroupBox1 = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    TPolygonEditor* GroupBox3 = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QLabel* statusPanel = nullptr;

    std::array<TBitBtn*, kMotionButtonCount> motionButtons{};
    QPushButton* XScaling = nullptr;
    QPushButton* YScaling = nullptr;
    QPushButton* ZScaling = nullptr;
    QSlider* TrackBar1 = nullptr;
    QPushButton* btnAuto = nullptr;
    QPushButton* AutomodeButton = nullptr;
    QPushButton* btnResetControl = nullptr;

    QSlider* TBAmbient = nullptr;
    QSlider* TBDiffuse = nullptr;
    QSlider* TBSpecular = nullptr;
    QPushButton* btnResetLight = nullptr;

    FileDialogSettings OpenDialog1;
    FileDialogSettings SaveDialog1;
    TMotionTimer* Timer1 = nullptr;
    TAboutForm* AboutForm = nullptr;

private:
    THelpWindow* helpWindow_ = nullptr;
    std::vector<QWidget*> hintControls_;
};
