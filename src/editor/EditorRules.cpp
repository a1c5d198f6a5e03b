#include "EditorRules.h"

#include <QFile>
#include <QFileInfo>

#include <charconv>
#include <cmath>
#include <limits>

CellCleanup CleanUpCell(const QString& cellText)
{
    // The cell and t part ways on purpose: emptying the cell does not forget what was typed,
    // so the later steps still judge the text the user entered (a "05" empties the cell but
    // is still range-checked as 5, which passes silently).
    QString cell = cellText;
    QString t = cellText;
    qsizetype n = t.size();

    if (n > 6) {
        cell.clear();
        t.clear();
        n = 0;
    }
    if (t.startsWith(u'-') && n > 5) {
        cell.clear();
        t.clear();
        n = 0;
    }
    if (n == 2 && t.startsWith(u'0'))
        cell.clear();
    if (n > 1) {
        while (t.size() > 1 && t.endsWith(u'-')) {
            t.chop(1);
            cell = t;
            --n;
        }
    }
    if (t == u"000" || t == u"0000" || t == u"00000") {
        cell.clear();
        n = 0;
    }
    if (t == u"-00" || t == u"-000" || t == u"-0000" || t == u"-00000") {
        cell.clear();
        n = 0;
    }
    if (t == u"-0") {
        cell.clear();
        n = 0;
    }

    CellCleanup r;
    if (n > 1) {
        std::optional<int> v = ConvertInteger(t.left(5));
        if (!v) {
            r.text = cell;
            r.conversionError = true;
            r.errorText = IntegerConversionError(cell);
            return r;
        }
        if (*v < kMinCoordinate || *v > kMaxCoordinate) {
            r.rangeMessage = true;
            r.textAtMessage = cell;
            cell.clear();
        }
    }
    r.text = cell;
    r.mayNavigate = !cell.isEmpty();
    return r;
}

GridCharAction FilterGridChar(QChar c)
{
    if (c == QChar(27))
        return GridCharAction::FocusChoose;
    if ((c >= u'0' && c <= u'9') || c == u'-' || c == QChar(8))
        return GridCharAction::Keep;
    return GridCharAction::Discard;
}

GridCell NextCellOnEnter(GridCell from, int pointRows)
{
    if (from.col < 3)
        return {from.col + 1, from.row};
    return {1, from.row >= pointRows ? 1 : from.row + 1};
}

QString ValidationFaults(const EditorInputs& in)
{
    static const char axes[3] = {'X', 'Y', 'Z'};
    QString faults;
    auto fault = [&faults](const QString& entry) { faults += entry + kFaultSeparator; };

    if (in.name.isEmpty())
        fault(QStringLiteral("Please enter a name for polygon"));
    else if (in.name.size() > kMaxNameLength)
        fault(QStringLiteral("Polygonname is too long (max. 30 char)"));

    for (int k = 1; k <= in.pointRows; ++k) {
        for (int a = 0; a < 3; ++a) {
            const QString& cell = in.cells[k - 1][a];
            const QString where = QString::number(k) + QStringLiteral(": ") + QChar(axes[a]);
            if (cell.isEmpty())
                fault(QStringLiteral("Missing Point") + where + QStringLiteral("-value"));
            else if (cell == u"-")
                fault(QStringLiteral("A single '-' for Point") + where +
                      QStringLiteral("-value is not possible"));
        }
    }

    if (in.colorChecked) {
        if (in.swatch == kColorNone)
            fault(QStringLiteral("Choose a color"));
    } else if (in.textureText.isEmpty()) {
        fault(QStringLiteral("Choose a texture"));
    } else if (in.textureText.size() > kMaxNameLength) {
        fault(QStringLiteral("Texturename is too long (max. 30 char)"));
    }
    return faults;
}

namespace {

bool isDigit(QChar c) { return c >= u'0' && c <= u'9'; }

// The span of a number inside blanks: [begin, end) of text, or false when only blanks.
bool trimBlanks(const QString& text, qsizetype& begin, qsizetype& end)
{
    begin = 0;
    end = text.size();
    while (begin < end && text[begin] == u' ')
        ++begin;
    while (end > begin && text[end - 1] == u' ')
        --end;
    return begin < end;
}

} // namespace

std::optional<int> ConvertInteger(const QString& text)
{
    qsizetype i, end;
    if (!trimBlanks(text, i, end))
        return std::nullopt;
    bool negative = false;
    if (text[i] == u'-' || text[i] == u'+') {
        negative = text[i] == u'-';
        ++i;
    }
    if (i == end)
        return std::nullopt;
    long long value = 0;
    for (; i < end; ++i) {
        if (!isDigit(text[i]))
            return std::nullopt;
        value = value * 10 + (text[i].unicode() - u'0');
        if (value > static_cast<long long>(std::numeric_limits<int>::max()) + 1)
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(value);
}

std::optional<float> ConvertFloat(const QString& text)
{
    qsizetype i, end;
    if (!trimBlanks(text, i, end))
        return std::nullopt;
    // Check the shape first: from_chars alone would also take "inf", "nan" and hex forms.
    std::string ascii;
    qsizetype p = i;
    if (text[p] == u'-' || text[p] == u'+') {
        if (text[p] == u'-')
            ascii += '-';
        ++p;
    }
    int digits = 0;
    while (p < end && isDigit(text[p])) {
        ascii += char(text[p++].unicode());
        ++digits;
    }
    if (p < end && text[p] == u'.') {
        ascii += '.';
        ++p;
        while (p < end && isDigit(text[p])) {
            ascii += char(text[p++].unicode());
            ++digits;
        }
    }
    if (digits == 0)
        return std::nullopt;
    if (p < end && (text[p] == u'e' || text[p] == u'E')) {
        ascii += 'e';
        ++p;
        if (p < end && (text[p] == u'-' || text[p] == u'+'))
            ascii += char(text[p++].unicode());
        int expDigits = 0;
        while (p < end && isDigit(text[p])) {
            ascii += char(text[p++].unicode());
            ++expDigits;
        }
        if (expDigits == 0)
            return std::nullopt;
    }
    if (p != end)
        return std::nullopt;

    double value = 0;
    auto [ptr, ec] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
    if (ec != std::errc() || ptr != ascii.data() + ascii.size())
        return std::nullopt;
    if (std::fabs(value) > std::numeric_limits<float>::max())
        return std::nullopt;
    return static_cast<float>(value);
}

QString IntegerConversionError(const QString& text)
{
    return QStringLiteral("'") + text + QStringLiteral("' is not a valid integer value.");
}

QString FloatConversionError(const QString& text)
{
    return QStringLiteral("'") + text + QStringLiteral("' is not a valid floating point value.");
}

QString FormatCorner(float v)
{
    // A negative zero would be written "-0", which the cell clean-up then wipes as soon as
    // the cell is merely reached with an arrow key.
    if (v == 0.0f)
        return QStringLiteral("0");
    return QString::number(static_cast<double>(v), 'g', 15);
}

std::optional<tElement> BuildElement(const EditorInputs& in, const EditorState& state,
                                     QString& error)
{
    tElement e;
    e.type = ToElementText(in.typeText);
    e.name = ToElementText(in.name);
    const int rows = in.pointRows == 4 ? 4 : 3;
    for (int k = 0; k < rows; ++k) {
        for (int a = 0; a < 3; ++a) {
            std::optional<float> v = ConvertFloat(in.cells[k][a]);
            if (!v) {
                error = FloatConversionError(in.cells[k][a]);
                return std::nullopt;
            }
            e.vertex[k * 3 + a] = *v;
        }
    }
    if (in.colorChecked) {
        e.color = state.workColor;
        e.red = state.workRed;
        e.green = state.workGreen;
        e.blue = state.workBlue;
        e.texture.clear();
    } else {
        e.color = e.red = e.green = e.blue = -1;
        e.texture = ToElementText(in.textureText);
    }
    return e;
}

int32_t ColorValue(const QColor& c)
{
    return static_cast<int32_t>(static_cast<uint32_t>(c.red()) |
                                (static_cast<uint32_t>(c.green()) << 8) |
                                (static_cast<uint32_t>(c.blue()) << 16));
}

QColor ColorOfValue(int32_t value)
{
    const auto v = static_cast<uint32_t>(value);
    return QColor(int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF));
}

QString TextureTextFromFileName(const QString& fileName)
{
    if (fileName.isEmpty())
        return {};
    return QString::fromLatin1(QFile::encodeName(QFileInfo(fileName).fileName()));
}
