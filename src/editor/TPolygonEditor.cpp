#include "TPolygonEditor.h"

#include "TCoordinateGrid.h"
#include "TPolygonListBox.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QValidator>

#include <algorithm>
#include <exception>

namespace {

// Names are stored as Latin-1 bytes; a character Latin-1 cannot hold is refused while typing
// or pasting, so what the list box shows is what the file keeps.
class Latin1Validator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override
    {
        for (QChar c : input)
            if (c.unicode() > 0xFF)
                return Invalid;
        return Acceptable;
    }
};

bool isEnterKey(const QKeyEvent* event)
{
    return event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
}

// Whether a key press types a character (the keys the display-only fields throw away).
// Tab and Shift+Tab are focus moves, not typing.
bool typesCharacter(const QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Delete: return false;
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Backspace: return true;
    default: return !event->text().isEmpty();
    }
}

} // namespace

TPolygonEditor::TPolygonEditor(UndoHistory& history, DialogService& dialogs, TextureLoader loader,
                               std::function<void()> drawScene, QWidget* parent)
    : QGroupBox(parent), history_(history), list_(history.list()), dialogs_(dialogs), loader_(std::move(loader)),
      drawScene_(std::move(drawScene))
{
    pictureDialog_.filter = kPictureFilter;
    pictureDialog_.filterIndex = 1;
    createControls();
}

void TPolygonEditor::createControls()
{
    setObjectName(QStringLiteral("GroupBox3"));
    setTitle(QStringLiteral("Polygon Editor "));
    setFixedSize(161, 537);

    auto button = [this](const char* name, const char* caption, QRect geometry) {
        auto* b = new QPushButton(QString::fromLatin1(caption), this);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(geometry);
        b->setAutoDefault(false);
        return b;
    };
    auto label = [this](const char* name, const char* caption, QPoint at) {
        auto* l = new QLabel(QString::fromLatin1(caption), this);
        l->setObjectName(QString::fromLatin1(name));
        l->move(at);
        l->adjustSize();
        return l;
    };

    btnNew_ = button("btnNew", "New", {8, 16, 70, 25});
    btnCancel_ = button("btnCancel", "Cancel", {82, 16, 70, 25});
    label1_ = label("Label1", "1: Type", {8, 43});

    cmbType_ = new QComboBox(this);
    cmbType_->setObjectName(QStringLiteral("cmbType"));
    cmbType_->setGeometry(8, 59, 145, 21);
    cmbType_->addItems({QStringLiteral("Triangle"), QStringLiteral("Quad")});
    cmbType_->setCurrentIndex(-1);

    label2_ = label("Label2", "2: Name", {8, 86});
    edtName_ = new QLineEdit(this);
    edtName_->setObjectName(QStringLiteral("edtName"));
    edtName_->setGeometry(8, 102, 145, 21);
    edtName_->setValidator(new Latin1Validator(edtName_));

    label3_ = label("Label3", "3: Coordinates", {8, 128});
    stringGrid_ = new TCoordinateGrid(this);
    stringGrid_->setObjectName(QStringLiteral("stringGrid"));
    stringGrid_->setGeometry(8, 144, 145, 108);

    label4_ = label("Label4", "4: Color or Texture", {8, 264});
    btnChoose_ = button("btnChoose", "Choose", {8, 280, 67, 25});
    rdbColor_ = new QRadioButton(QStringLiteral("Color"), this);
    rdbColor_->setObjectName(QStringLiteral("rdbColor"));
    rdbColor_->setGeometry(80, 284, 49, 17);
    rdbColor_->setChecked(true);
    btnPath_ = button("btnPath", "Choose", {8, 305, 67, 25});
    rdbTexture_ = new QRadioButton(QStringLiteral("Texture"), this);
    rdbTexture_->setObjectName(QStringLiteral("rdbTexture"));
    rdbTexture_->setGeometry(80, 309, 57, 17);

    // The option captions are wider than their designed boxes in the fonts of this platform;
    // there is room to the right, so the boxes grow there instead of clipping the caption.
    for (QRadioButton* r : {rdbColor_, rdbTexture_})
        r->resize(std::max(r->width(), r->sizeHint().width()), r->height());

    edtPathColor_ = new QLineEdit(this);
    edtPathColor_->setObjectName(QStringLiteral("edtPathColor"));
    edtPathColor_->setGeometry(8, 337, 145, 21);
    edtPathColor_->setReadOnly(true);
    edtPathColor_->setFocusPolicy(Qt::ClickFocus);

    label5_ = label("Label5", "5: Add/Update Polygon", {8, 368});
    btnAdd_ = button("btnAdd", "Add", {8, 384, 70, 25});
    btnUpdate_ = button("btnUpdate", "Update", {82, 384, 70, 25});

    lbPolygon_ = new TPolygonListBox(list_, this);
    lbPolygon_->setObjectName(QStringLiteral("lbPolygon"));
    lbPolygon_->setGeometry(8, 428, 145, 72);
    lbPolygon_->setToolTip(QStringLiteral("Polygonlist"));

    btnRemove_ = button("btnRemove", "Remove", {9, 503, 145, 25});

    QWidget* order[] = {btnNew_,    btnCancel_, cmbType_, edtName_,   stringGrid_,
                        btnChoose_, rdbColor_,  btnPath_, rdbTexture_, btnAdd_,
                        btnUpdate_, lbPolygon_, btnRemove_};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);

    for (QWidget* w : {static_cast<QWidget*>(btnCancel_), static_cast<QWidget*>(cmbType_),
                       static_cast<QWidget*>(edtName_), static_cast<QWidget*>(stringGrid_),
                       static_cast<QWidget*>(btnChoose_), static_cast<QWidget*>(rdbColor_),
                       static_cast<QWidget*>(btnPath_), static_cast<QWidget*>(rdbTexture_),
                       static_cast<QWidget*>(edtPathColor_), static_cast<QWidget*>(btnAdd_),
                       static_cast<QWidget*>(btnUpdate_), static_cast<QWidget*>(btnRemove_)})
        w->setEnabled(false);

    cmbType_->installEventFilter(this);
    cmbType_->view()->installEventFilter(this);
    edtPathColor_->installEventFilter(this);
    edtName_->installEventFilter(this);

    connect(btnNew_, &QPushButton::clicked, this, &TPolygonEditor::btnNewClick);
    connect(btnCancel_, &QPushButton::clicked, this, &TPolygonEditor::btnCancelClick);
    connect(btnAdd_, &QPushButton::clicked, this, &TPolygonEditor::btnAddClick);
    connect(btnUpdate_, &QPushButton::clicked, this, &TPolygonEditor::btnUpdateClick);
    connect(btnRemove_, &QPushButton::clicked, this, &TPolygonEditor::btnRemoveClick);
    connect(btnChoose_, &QPushButton::clicked, this, &TPolygonEditor::btnChooseClick);
    connect(btnPath_, &QPushButton::clicked, this, &TPolygonEditor::btnPathClick);
    connect(rdbColor_, &QRadioButton::clicked, this, &TPolygonEditor::rdbColorClick);
    connect(rdbTexture_, &QRadioButton::clicked, this, &TPolygonEditor::rdbTextureClick);
    connect(lbPolygon_, &TPolygonListBox::entryPicked, this, &TPolygonEditor::lbPolygonClick);
    // The program selects types with the signal blocked (selectType), so this is the user's
    // pick of a different type.
    connect(cmbType_, &QComboBox::currentIndexChanged, this, &TPolygonEditor::cmbTypeChange);

    stringGrid_->onKeyPress = [this](QChar& key) { guarded([&] { stringGridKeyPress(key); }); };
    stringGrid_->onKeyUp = [this](int key) { guarded([&] { stringGridKeyUp(key); }); };
}

template <typename F> void TPolygonEditor::guarded(F&& handler)
{
    try {
        handler();
    } catch (const std::exception& e) {
        showError(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        showError(QStringLiteral("Unknown error"));
    }
}

void TPolygonEditor::showError(const QString& text)
{
    try {
        dialogs_.showMessage(kApplicationTitle, text, MessageIcon::Critical, MessageButtons::Ok);
    } catch (...) {
        // Nothing left to report with; the handler still ends cleanly.
    }
}

TPolygonListBox* TPolygonEditor::polygonListBox() const { return lbPolygon_; }

void TPolygonEditor::appendListEntries(int firstPosition)
{
    lbPolygon_->appendEntries(list_.Count() - firstPosition + 1);
}

void TPolygonEditor::showListChange(const ListChange& change)
{
    switch (change.kind) {
    case ListChange::Kind::None: return;
    case ListChange::Kind::Appended:
        if (change.count == 1)
            lbPolygon_->appendShownEntry();
        else
            lbPolygon_->appendEntries(change.count);
        break;
    case ListChange::Kind::Removed: lbPolygon_->removeEntry(change.position - 1); break;
    case ListChange::Kind::Inserted: lbPolygon_->insertShownEntry(change.position - 1); break;
    case ListChange::Kind::Changed: lbPolygon_->entryChanged(change.position - 1); break;
    case ListChange::Kind::Replaced:
        lbPolygon_->clear();
        lbPolygon_->appendEntries(list_.Count());
        break;
    }
    // The polygon a loaded entry stood for may have moved or gone; one being typed in
    // belongs to no entry.
    if (state_.mode != EditorMode::NewPolygon)
        ResetEditor();
}

// --- shared routines -------------------------------------------------------------------------

void TPolygonEditor::SetInitialState()
{
    selectType(-1);
    static const char* const axes[] = {"X", "Y", "Z"};
    for (int col = 1; col <= 3; ++col)
        stringGrid_->setCell(col, 0, QString::fromLatin1(axes[col - 1]));
    for (int row = 1; row <= 4; ++row)
        stringGrid_->setCell(0, row, QStringLiteral("P%1").arg(row));
    state_.workColor = state_.workRed = state_.workGreen = state_.workBlue = 0;
    state_.selectedPosition = 0;
}

void TPolygonEditor::ClearCoordinateGrid()
{
    for (int row = 1; row <= 4; ++row)
        for (int col = 1; col <= 3; ++col)
            stringGrid_->setCell(col, row, QString());
    stringGrid_->setCurrentCoordinate(1, 1);
}

void TPolygonEditor::EnableEditorInputs(bool enabled)
{
    for (QWidget* w : {static_cast<QWidget*>(btnCancel_), static_cast<QWidget*>(cmbType_),
                       static_cast<QWidget*>(edtName_), static_cast<QWidget*>(stringGrid_),
                       static_cast<QWidget*>(btnChoose_), static_cast<QWidget*>(rdbColor_),
                       static_cast<QWidget*>(rdbTexture_), static_cast<QWidget*>(edtPathColor_),
                       static_cast<QWidget*>(btnAdd_)})
        w->setEnabled(enabled);
    selectType(0);
}

void TPolygonEditor::ClearEditorInputs()
{
    EnableEditorInputs(false);
    selectType(-1);
    edtName_->setText(QString());   // unlike clear(), nothing the field's own undo brings back
    rdbColor_->setChecked(true);
    btnChoose_->setEnabled(false);
    btnPath_->setEnabled(false);
    setTextureText(QString());
    setSwatch(kColorNone);
    ClearCoordinateGrid();
    stringGrid_->setPointRows(3);
}

void TPolygonEditor::ResetEditor()
{
    guarded([this] {
        btnNew_->setEnabled(true);
        btnCancel_->setEnabled(false);
        selectType(-1);
        cmbType_->setEnabled(false);
        edtName_->setText(QString());
        edtName_->setEnabled(false);
        ClearCoordinateGrid();
        stringGrid_->setEnabled(false);
        rdbColor_->setChecked(true);
        for (QWidget* w : {static_cast<QWidget*>(rdbColor_), static_cast<QWidget*>(btnChoose_),
                           static_cast<QWidget*>(btnPath_), static_cast<QWidget*>(rdbTexture_)})
            w->setEnabled(false);
        setTextureText(QString());
        setSwatch(kColorNone);
        edtPathColor_->setEnabled(false);
        btnAdd_->setEnabled(false);
        btnUpdate_->setEnabled(false);
        clearListSelection();
        btnRemove_->setEnabled(false);
        state_.mode = EditorMode::Idle;
    });
}

EditorInputs TPolygonEditor::readInputs() const
{
    EditorInputs in;
    in.typeText = cmbType_->currentText();
    in.name = edtName_->text();
    in.pointRows = stringGrid_->pointRows();
    for (int row = 1; row <= 4; ++row)
        for (int col = 1; col <= 3; ++col)
            in.cells[row - 1][col - 1] = stringGrid_->cell(col, row);
    in.colorChecked = rdbColor_->isChecked();
    in.swatch = swatch_;
    in.textureText = edtPathColor_->text();
    return in;
}

bool TPolygonEditor::ValidateEditor()
{
    const QString faults = ValidationFaults(readInputs());
    if (faults.isEmpty())
        return true;
    dialogs_.showMessage(QStringLiteral("Warning"), faults, MessageIcon::Warning,
                         MessageButtons::Ok);
    drawScene_();
    return false;
}

std::optional<tElement> TPolygonEditor::BuildElementFromEditor()
{
    QString error;
    std::optional<tElement> e = BuildElement(readInputs(), state_, error);
    if (!e)
        showError(error);
    return e;
}

void TPolygonEditor::setSwatch(int32_t color)
{
    swatch_ = color;
    QPalette pal = QApplication::palette(edtPathColor_);
    if (color != kColorNone)
        pal.setColor(QPalette::Base, ColorOfValue(color));
    edtPathColor_->setPalette(pal);
}

void TPolygonEditor::setTextureText(const QString& text)
{
    edtPathColor_->setText(text);
    edtPathColor_->setCursorPosition(0);   // a long name shows its start
}

void TPolygonEditor::setWorkColor(int32_t color)
{
    const auto bits = static_cast<uint32_t>(color);
    state_.workColor = color;
    state_.workRed = int32_t(bits & 0xFF);
    state_.workGreen = int32_t((bits >> 8) & 0xFF);
    state_.workBlue = int32_t((bits >> 16) & 0xFF);
}

void TPolygonEditor::selectType(int index)
{
    const QSignalBlocker block(cmbType_);
    cmbType_->setCurrentIndex(index);
}

void TPolygonEditor::clearListSelection()
{
    lbPolygon_->clearSelectionAndCurrent();
}

// --- modes and the list box ------------------------------------------------------------------

void TPolygonEditor::btnNewClick()
{
    guarded([this] {
        btnNew_->setEnabled(false);
        stringGrid_->setPointRows(3);
        btnUpdate_->setEnabled(false);
        btnRemove_->setEnabled(false);
        clearListSelection();
        EnableEditorInputs(true);
        state_.mode = EditorMode::NewPolygon;
    });
}

void TPolygonEditor::btnCancelClick()
{
    guarded([this] {
        ClearEditorInputs();
        btnNew_->setEnabled(true);
        btnUpdate_->setEnabled(false);
        btnRemove_->setEnabled(false);
        clearListSelection();
        state_.mode = EditorMode::Idle;
    });
}

void TPolygonEditor::lbPolygonClick()
{
    guarded([this] {
        const int index = lbPolygon_->currentRow();
        if (index < 0 || !lbPolygon_->isRowSelected(index))
            return;
        const tElement* p = list_.GetAt(index + 1);
        if (!p)
            return;

        btnNew_->setEnabled(false);
        state_.selectedPosition = index + 1;
        setTextureText(QString());
        setSwatch(kColorNone);
        edtName_->setText(FromElementText(p->name));
        edtName_->setCursorPosition(0);   // a long name shows its start
        for (int row = 1; row <= 3; ++row)
            for (int col = 1; col <= 3; ++col)
                stringGrid_->setCell(col, row, FormatCorner(p->vertex[(row - 1) * 3 + col - 1]));
        if (p->isTriangle()) {
            selectType(0);
            stringGrid_->setPointRows(3);
        } else {
            selectType(1);
            stringGrid_->setPointRows(4);
            for (int col = 1; col <= 3; ++col)
                stringGrid_->setCell(col, 4, FormatCorner(p->vertex[9 + col - 1]));
        }
        if (p->isTextured()) {
            setTextureText(FromElementText(p->texture));
            rdbTexture_->setChecked(true);
            btnChoose_->setEnabled(false);
            btnPath_->setEnabled(true);
        } else {
            setSwatch(p->color);
            rdbColor_->setChecked(true);
            btnChoose_->setEnabled(true);
            btnPath_->setEnabled(false);
        }
        state_.workColor = p->color;
        state_.workRed = p->red;
        state_.workGreen = p->green;
        state_.workBlue = p->blue;
        for (QWidget* w : {static_cast<QWidget*>(btnCancel_), static_cast<QWidget*>(cmbType_),
                           static_cast<QWidget*>(edtName_), static_cast<QWidget*>(stringGrid_),
                           static_cast<QWidget*>(rdbColor_), static_cast<QWidget*>(rdbTexture_),
                           static_cast<QWidget*>(edtPathColor_)})
            w->setEnabled(true);
        btnAdd_->setEnabled(false);
        btnUpdate_->setEnabled(true);
        btnRemove_->setEnabled(true);
        state_.mode = EditorMode::EditPolygon;
    });
}

std::optional<tElement> TPolygonEditor::checkedElement()
{
    if (!ValidateEditor())
        return std::nullopt;
    return BuildElementFromEditor();
}

void TPolygonEditor::btnAddClick()
{
    guarded([this] {
        std::optional<tElement> e = checkedElement();
        if (!e)
            return;
        if (!history_.add(*e, loader_)) {
            dialogs_.showMessage(QStringLiteral("Warning"), kNoMemoryMessage,
                                 MessageIcon::Warning, MessageButtons::Ok);
            return;
        }
        lbPolygon_->appendShownEntry();
        ClearEditorInputs();
        btnNew_->setEnabled(true);
        state_.mode = EditorMode::Idle;
        drawScene_();
    });
}

void TPolygonEditor::btnUpdateClick()
{
    guarded([this] {
        std::optional<tElement> e = checkedElement();
        if (!e)
            return;
        const tElement* p = list_.GetAt(state_.selectedPosition);
        if (!p)
            return;
        const bool nameChanged = !(p->name == e->name);
        history_.update(state_.selectedPosition, *e, loader_);

        if (nameChanged)
            lbPolygon_->entryChanged(state_.selectedPosition - 1);
        ResetEditor();
        drawScene_();
    });
}

void TPolygonEditor::btnRemoveClick()
{
    guarded([this] {
        const int n = lbPolygon_->count();
        const int p = state_.selectedPosition;
        if (p >= 1 && p <= n && history_.remove(p))
            lbPolygon_->removeEntry(p - 1);
        ResetEditor();
        drawScene_();
    });
}

// --- coordinate entry --------------------------------------------------------------------------

void TPolygonEditor::cmbTypeChange()
{
    guarded([this] {
        const bool quad = cmbType_->currentText() == u"Quad";
        ClearCoordinateGrid();
        stringGrid_->setPointRows(quad ? 4 : 3);
        stringGrid_->setCurrentCoordinate(1, 1);
        edtName_->setFocus(Qt::OtherFocusReason);
    });
}

void TPolygonEditor::stringGridKeyPress(QChar& key)
{
    switch (FilterGridChar(key)) {
    case GridCharAction::Keep: return;
    case GridCharAction::FocusChoose:
        (rdbColor_->isChecked() ? btnChoose_ : btnPath_)->setFocus(Qt::OtherFocusReason);
        break;
    case GridCharAction::Discard: break;
    }
    key = QChar();
}

void TPolygonEditor::stringGridKeyUp(int key)
{
    const int col = stringGrid_->currentCol();
    const int row = stringGrid_->currentRowIndex();
    if (col < 1 || row < 1)
        return;
    const QString before = stringGrid_->cell(col, row);
    const CellCleanup r = CleanUpCell(before);
    auto write = [&](const QString& text) {
        if (stringGrid_->cell(col, row) != text)
            stringGrid_->setCell(col, row, text);
    };
    if (r.conversionError) {
        write(r.text);
        showError(r.errorText);
        return;
    }
    if (r.rangeMessage) {
        write(r.textAtMessage);
        dialogs_.showMessage(QStringLiteral("Information"), kRangeMessage, MessageIcon::Warning,
                             MessageButtons::Ok);
    }
    write(r.text);
    if (r.mayNavigate && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
        const GridCell next = NextCellOnEnter({col, row}, stringGrid_->pointRows());
        stringGrid_->setCurrentCoordinate(next.col, next.row);
    }
}

void TPolygonEditor::edtNameKeyPress(QChar& key)
{
    if (key == QChar(13) && !edtName_->text().isEmpty()) {
        key = QChar();
        stringGrid_->setFocus(Qt::OtherFocusReason);
    }
}

bool TPolygonEditor::eventFilter(QObject* watched, QEvent* event)
{
    // The type changes only by picking an item: a wheel notch over the box, focused or not,
    // would empty every coordinate without a word.
    if (watched == cmbType_ && event->type() == QEvent::Wheel) {
        event->ignore();
        return true;
    }
    if (event->type() != QEvent::KeyPress)
        return QGroupBox::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    if (watched == edtName_) {
        if (!isEnterKey(key))
            return false;
        QChar c(13);
        guarded([&] { edtNameKeyPress(c); });
        return c.isNull();
    }
    if (watched == cmbType_ || watched == edtPathColor_)
        return typesCharacter(key);   // KeyPressZero
    if (watched == cmbType_->view()) {
        // The open list still picks with Enter, Esc and Space, but letters do not search it.
        const QString text = key->text();
        return !text.isEmpty() && text.front().isPrint() && text.front() != u' ';
    }
    return QGroupBox::eventFilter(watched, event);
}

// --- colour and texture ------------------------------------------------------------------------

void TPolygonEditor::rdbColorClick()
{
    guarded([this] {
        btnPath_->setEnabled(false);
        btnChoose_->setEnabled(true);
        setTextureText(QString());
    });
}

void TPolygonEditor::rdbTextureClick()
{
    guarded([this] {
        btnChoose_->setEnabled(false);
        btnPath_->setEnabled(true);
        setSwatch(kColorNone);
    });
}

void TPolygonEditor::btnChooseClick()
{
    guarded([this] {
        // OK or Cancel makes no difference: the dialog's colour is the last one picked with OK.
        dialogs_.executeColorDialog(colorDialog_);
        const int32_t c = colorDialog_.color ? ColorValue(*colorDialog_.color) : kColorNone;
        setSwatch(c);
        setWorkColor(c);
    });
}

void TPolygonEditor::btnPathClick()
{
    guarded([this] {
        chooseFile(dialogs_, FileDialogKind::OpenPicture, pictureDialog_);
        setTextureText(TextureTextFromFileName(pictureDialog_.fileName));
    });
}
