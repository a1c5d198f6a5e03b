#pragma once

#include "DialogService.h"
#include "DynArray.h"
#include "EditorRules.h"
#include "EditorState.h"
#include "TextureRule.h"
#include "UndoHistory.h"

#include <QGroupBox>

#include <functional>
#include <optional>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class TCoordinateGrid;
class TPolygonListBox;

// The "Polygon Editor " group: polygons typed in, picked from the list box, changed and
// removed. The polygon list and the list box stay aligned entry for entry: entry index i is
// the polygon at position i + 1.
class TPolygonEditor : public QGroupBox {
    Q_OBJECT
public:
    // Every change the editor makes to the polygon list goes through history.
    TPolygonEditor(UndoHistory& history, DialogService& dialogs, TextureLoader loader,
                   std::function<void()> drawScene, QWidget* parent = nullptr);

    // The editor's part of the start state: empty type text, grid headings, working colour 0,
    // no polygon selected.
    void SetInitialState();
    // Back to Idle with empty, disabled inputs (after Update, Remove, and the file commands
    // New and Open).
    void ResetEditor();

    TPolygonListBox* polygonListBox() const;
    // Appends the names of the polygons from position firstPosition to the end of the list
    // as list-box entries, in one batch (for Open and Import).
    void appendListEntries(int firstPosition);
    // The list box and the editor after an undo or redo made change: the list box follows
    // the list; a polygon being typed in stays, a loaded one is let go, as the commands do.
    void showListChange(const ListChange& change);

    const EditorState& state() const { return state_; }
    // The colour shown as the background of edtPathColor, kColorNone for none.
    int32_t swatch() const { return swatch_; }
    // The settings the two dialogs keep for the whole run.
    const ColorDialogSettings& colorDialog() const { return colorDialog_; }
    const FileDialogSettings& pictureDialog() const { return pictureDialog_; }

    void ClearCoordinateGrid();
    void EnableEditorInputs(bool enabled);
    void ClearEditorInputs();
    // True when the inputs are complete; otherwise the faults have been shown.
    bool ValidateEditor();
    // The polygon the inputs describe (textureId and links unset); nullopt after showing a
    // conversion error.
    std::optional<tElement> BuildElementFromEditor();

    // Key handlers of the grid, the name field and the display-only fields.
    void stringGridKeyPress(QChar& key);
    void stringGridKeyUp(int key);
    void edtNameKeyPress(QChar& key);

public slots:
    void btnNewClick();
    void btnCancelClick();
    void btnAddClick();
    void btnUpdateClick();
    void btnRemoveClick();
    void lbPolygonClick();
    void cmbTypeChange();
    void rdbColorClick();
    void rdbTextureClick();
    void btnChooseClick();
    void btnPathClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    EditorInputs readInputs() const;
    // The inputs as a polygon once they pass the check; nullopt after a message was shown.
    std::optional<tElement> checkedElement();
    void setSwatch(int32_t color);
    void setTextureText(const QString& text);
    void setWorkColor(int32_t color);
    void selectType(int index);   // without running cmbTypeChange
    void clearListSelection();
    void showError(const QString& text);
    // Runs a handler so that no exception reaches the event loop.
    template <typename F> void guarded(F&& handler);

    UndoHistory& history_;
    CDynArray& list_;
    DialogService& dialogs_;
    TextureLoader loader_;
    std::function<void()> drawScene_;
    EditorState state_;
    int32_t swatch_ = kColorNone;
    ColorDialogSettings colorDialog_;
    FileDialogSettings pictureDialog_;

    QPushButton* btnNew_ = nullptr;
    QPushButton* btnCancel_ = nullptr;
    QLabel* label1_ = nullptr;
    QComboBox* cmbType_ = nullptr;
    QLabel* label2_ = nullptr;
    QLineEdit* edtName_ = nullptr;
    QLabel* label3_ = nullptr;
    TCoordinateGrid* stringGrid_ = nullptr;
    QLabel* label4_ = nullptr;
    QPushButton* btnChoose_ = nullptr;
    QRadioButton* rdbColor_ = nullptr;
    QPushButton* btnPath_ = nullptr;
    QRadioButton* rdbTexture_ = nullptr;
    QLineEdit* edtPathColor_ = nullptr;
    QLabel* label5_ = nullptr;
    QPushButton* btnAdd_ = nullptr;
    QPushButton* btnUpdate_ = nullptr;
    TPolygonListBox* lbPolygon_ = nullptr;
    QPushButton* btnRemove_ = nullptr;
};
