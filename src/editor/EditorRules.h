#pragma once

// The editor's rules that need no widgets: the clean-up of a coordinate cell after a key
// release, the typing filter of the grid, the input check with its messages and the
// conversion of the inputs into a polygon.

#include "EditorState.h"
#include "Element.h"

#include <QColor>
#include <QString>

#include <cstdint>
#include <optional>

inline constexpr int kMinCoordinate = -640;
inline constexpr int kMaxCoordinate = 640;
inline constexpr int kMaxNameLength = 30;

inline const QString kRangeMessage = QStringLiteral("Only values between -640 and +640 allowed");
inline const QString kNoMemoryMessage =
    QStringLiteral("No memory available for adding more polygons!");
inline const QString kApplicationTitle = QStringLiteral("3DVorlan");
inline const QString kPictureFilter = QStringLiteral("BMP Files (*.bmp)|*.bmp");

// Each entry of the input check's message is followed by this; a message box shows it as a
// line break.
inline const QString kFaultSeparator = QStringLiteral("\n");

// What the key-release clean-up did to one cell.
struct CellCleanup {
    QString text;                 // the cell's text afterwards (range message closed)
    bool rangeMessage = false;    // the out-of-range message is due before the cell empties
    QString textAtMessage;        // what the cell shows while the range message is open
    bool conversionError = false; // the cell's text is no integer; the cell keeps its text
    QString errorText;            // the conversion error's message
    // Enter may move the current cell: the cell is not empty and no conversion failed.
    bool mayNavigate = false;
};

CellCleanup CleanUpCell(const QString& cellText);

enum class GridCharAction { Keep, Discard, FocusChoose };

// The typing filter of the grid for one typed character (Esc is discarded as well as
// moving the focus).
GridCharAction FilterGridChar(QChar c);

// Grid coordinates as the cells are addressed: column 1..3 is X, Y, Z, row 1..4 the point.
struct GridCell {
    int col = 1;
    int row = 1;
    bool operator==(const GridCell&) const = default;
};

// The cell Enter moves to from a filled cell.
GridCell NextCellOnEnter(GridCell from, int pointRows);

// The inputs of the editor, read off its controls.
struct EditorInputs {
    QString typeText;
    QString name;
    int pointRows = 3;
    QString cells[4][3];          // [point - 1][axis]
    bool colorChecked = true;
    int32_t swatch = kColorNone;
    QString textureText;
};

// The input check's message: every fault, in the order of the checks, each followed by
// kFaultSeparator; empty when the inputs are complete.
QString ValidationFaults(const EditorInputs& in);

// Strict conversions of a cell text, as the platform's number conversions read it: blanks
// around the number, an optional sign, decimal digits, for floats a '.' decimal point and an
// exponent. Nothing else, whatever the locale.
std::optional<int> ConvertInteger(const QString& text);
std::optional<float> ConvertFloat(const QString& text);

QString IntegerConversionError(const QString& text);
QString FloatConversionError(const QString& text);

// A corner value as written into a cell: general format, up to 15 significant digits.
QString FormatCorner(float v);

// The polygon the inputs describe, every field but textureId and the links. On a cell that
// is no number, nullopt and the conversion error's message in error.
std::optional<tElement> BuildElement(const EditorInputs& in, const EditorState& state,
                                     QString& error);

// Colour values: red in bits 0..7, green 8..15, blue 16..23.
int32_t ColorValue(const QColor& c);
QColor ColorOfValue(int32_t value);

// The texture text for a file picked in the picture dialog: its name without folder, as the
// bytes the file system knows it by, shown as Latin-1 so that the bytes come back unchanged.
QString TextureTextFromFileName(const QString& fileName);

// tElement texts are 8-bit strings shown as Latin-1.
inline std::string ToElementText(const QString& s) { return s.toLatin1().toStdString(); }
inline QString FromElementText(const std::string& s)
{
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}
