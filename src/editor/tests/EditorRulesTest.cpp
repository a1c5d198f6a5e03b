#include "EditorRules.h"
#include "QStringPrinting.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

// --- the key-release clean-up ------------------------------------------------------------------

struct CleanupCase {
    const char* cell;
    const char* text;       // the cell afterwards
    bool rangeMessage;
    bool mayNavigate;
};

void PrintTo(const CleanupCase& c, std::ostream* os) { *os << '\'' << c.cell << '\''; }

class CellCleanupTest : public testing::TestWithParam<CleanupCase> {};

TEST_P(CellCleanupTest, LeavesTheCellAsTyped)
{
    const CleanupCase& c = GetParam();
    const CellCleanup r = CleanUpCell(QString::fromLatin1(c.cell));
    EXPECT_EQ(r.text, QString::fromLatin1(c.text)) << "cell '" << c.cell << "'";
    EXPECT_EQ(r.rangeMessage, c.rangeMessage) << "cell '" << c.cell << "'";
    EXPECT_FALSE(r.conversionError) << "cell '" << c.cell << "'";
    EXPECT_EQ(r.mayNavigate, c.mayNavigate) << "cell '" << c.cell << "'";
}

INSTANTIATE_TEST_SUITE_P(
    Steps, CellCleanupTest,
    testing::Values(
        // single characters are never range-checked
        CleanupCase{"", "", false, false}, CleanupCase{"7", "7", false, true},
        CleanupCase{"0", "0", false, true}, CleanupCase{"-", "-", false, true},
        // 7 0 0: nothing after the second key, the message after the third
        CleanupCase{"70", "70", false, true}, CleanupCase{"700", "", true, false},
        // the bounds
        CleanupCase{"640", "640", false, true}, CleanupCase{"-640", "-640", false, true},
        CleanupCase{"641", "", true, false}, CleanupCase{"-641", "", true, false},
        // a digit after a leading zero empties the cell, silently
        CleanupCase{"05", "", false, false}, CleanupCase{"00", "", false, false},
        // runs of zeros and negative zeros
        CleanupCase{"-0", "", false, false}, CleanupCase{"000", "", false, false},
        CleanupCase{"00000", "", false, false}, CleanupCase{"-00", "", false, false},
        CleanupCase{"-0000", "", false, false},
        // trailing minus signs disappear, a leading one stays
        CleanupCase{"5-", "5", false, true}, CleanupCase{"12--", "12", false, true},
        CleanupCase{"-5-", "-5", false, true}, CleanupCase{"--", "-", false, true},
        CleanupCase{"0-", "0", false, true},
        // length limits: six characters, five with a leading minus
        CleanupCase{"1234567", "", false, false}, CleanupCase{"-12345", "", false, false},
        CleanupCase{"123456", "", true, false}, CleanupCase{"-6400", "", true, false},
        CleanupCase{"-64", "-64", false, true}));

TEST(CellCleanup, ShowsTheTrimmedTextWhileTheRangeMessageIsOpen)
{
    const CellCleanup r = CleanUpCell(QStringLiteral("700-"));
    EXPECT_TRUE(r.rangeMessage);
    EXPECT_EQ(r.textAtMessage, QStringLiteral("700"));
    EXPECT_EQ(r.text, QString());
}

TEST(CellCleanup, TextThatIsNoIntegerIsReportedAndKept)
{
    for (const char* cell : {"5-3", "1.5", "-1-2", "12.75"}) {
        const CellCleanup r = CleanUpCell(QString::fromLatin1(cell));
        EXPECT_TRUE(r.conversionError) << cell;
        EXPECT_FALSE(r.rangeMessage) << cell;
        EXPECT_FALSE(r.mayNavigate) << cell;
        EXPECT_EQ(r.text, QString::fromLatin1(cell));
        EXPECT_EQ(r.errorText, QStringLiteral("'%1' is not a valid integer value.").arg(cell));
    }
}

// --- the typing filter and Enter ---------------------------------------------------------------

TEST(GridTypingFilter, KeepsDigitsMinusAndBackspaceOnly)
{
    for (char c = '0'; c <= '9'; ++c)
        EXPECT_EQ(FilterGridChar(QChar(c)), GridCharAction::Keep) << c;
    EXPECT_EQ(FilterGridChar(u'-'), GridCharAction::Keep);
    EXPECT_EQ(FilterGridChar(QChar(8)), GridCharAction::Keep);
    EXPECT_EQ(FilterGridChar(QChar(27)), GridCharAction::FocusChoose);
    for (QChar c : {QChar(13), QChar(9), QChar(u'+'), QChar(u'.'), QChar(u','), QChar(u' '),
                    QChar(u'a'), QChar(u'e'), QChar(0xE4)})
        EXPECT_EQ(FilterGridChar(c), GridCharAction::Discard) << int(c.unicode());
}

TEST(EnterNavigation, WalksRowByRowAndWrapsAfterTheLastPoint)
{
    auto walk = [](int pointRows) {
        std::vector<GridCell> cells;
        GridCell at{1, 1};
        for (int i = 0; i < pointRows * 3; ++i) {
            at = NextCellOnEnter(at, pointRows);
            cells.push_back(at);
        }
        return cells;
    };
    const std::vector<GridCell> triangle = walk(3);
    EXPECT_EQ(triangle[0], (GridCell{2, 1}));
    EXPECT_EQ(triangle[1], (GridCell{3, 1}));
    EXPECT_EQ(triangle[2], (GridCell{1, 2}));
    EXPECT_EQ(triangle[7], (GridCell{3, 3}));
    EXPECT_EQ(triangle[8], (GridCell{1, 1}));
    const std::vector<GridCell> quad = walk(4);
    EXPECT_EQ(quad[7], (GridCell{3, 3}));
    EXPECT_EQ(quad[8], (GridCell{1, 4}));
    EXPECT_EQ(quad[10], (GridCell{3, 4}));
    EXPECT_EQ(quad[11], (GridCell{1, 1}));
}

// --- the input check -------------------------------------------------------------------------

EditorInputs completeTriangle()
{
    EditorInputs in;
    in.typeText = QStringLiteral("Triangle");
    in.name = QStringLiteral("roof");
    for (auto& row : in.cells)
        for (QString& cell : row)
            cell = QStringLiteral("1");
    in.swatch = 0x0000FF;
    return in;
}

TEST(ValidationFaults, CompleteInputsPass)
{
    EXPECT_EQ(ValidationFaults(completeTriangle()), QString());
    EditorInputs black = completeTriangle();
    black.swatch = 0;   // black is a colour, not the absence of one
    EXPECT_EQ(ValidationFaults(black), QString());
    EditorInputs blanks = completeTriangle();
    blanks.name = QStringLiteral("   ");
    EXPECT_EQ(ValidationFaults(blanks), QString());
}

TEST(ValidationFaults, NewThenAddListsEveryFaultInOrder)
{
    EditorInputs in;   // empty name and cells, Color checked, no colour
    in.typeText = QStringLiteral("Triangle");
    EXPECT_EQ(ValidationFaults(in),
              QStringLiteral("Please enter a name for polygon\n"
                             "Missing Point1: X-value\nMissing Point1: Y-value\n"
                             "Missing Point1: Z-value\nMissing Point2: X-value\n"
                             "Missing Point2: Y-value\nMissing Point2: Z-value\n"
                             "Missing Point3: X-value\nMissing Point3: Y-value\n"
                             "Missing Point3: Z-value\nChoose a color\n"));
}

TEST(ValidationFaults, QuadChecksItsFourthRowAndTriangleDoesNot)
{
    EditorInputs in = completeTriangle();
    in.cells[3][1].clear();
    in.cells[3][2] = QStringLiteral("-");
    EXPECT_EQ(ValidationFaults(in), QString());
    in.pointRows = 4;
    EXPECT_EQ(ValidationFaults(in),
              QStringLiteral("Missing Point4: Y-value\n"
                             "A single '-' for Point4: Z-value is not possible\n"));
}

TEST(ValidationFaults, SingleMinusAndMissingValuesInterleaveByCell)
{
    EditorInputs in = completeTriangle();
    in.cells[0][0] = QStringLiteral("-");
    in.cells[1][1].clear();
    in.cells[2][2] = QStringLiteral("-");
    EXPECT_EQ(ValidationFaults(in),
              QStringLiteral("A single '-' for Point1: X-value is not possible\n"
                             "Missing Point2: Y-value\n"
                             "A single '-' for Point3: Z-value is not possible\n"));
}

TEST(ValidationFaults, NamesOfThirtyPassAndThirtyOneAreRefused)
{
    EditorInputs in = completeTriangle();
    in.name = QString(30, u'n');
    EXPECT_EQ(ValidationFaults(in), QString());
    in.name = QString(31, u'n');
    EXPECT_EQ(ValidationFaults(in), QStringLiteral("Polygonname is too long (max. 30 char)\n"));
}

TEST(ValidationFaults, TextureChecksApplyOnlyWithTextureChecked)
{
    EditorInputs in = completeTriangle();
    in.colorChecked = false;
    in.swatch = kColorNone;
    EXPECT_EQ(ValidationFaults(in), QStringLiteral("Choose a texture\n"));
    in.textureText = QString(26, u't') + QStringLiteral(".bmp");
    EXPECT_EQ(ValidationFaults(in), QString());
    in.textureText = QString(27, u't') + QStringLiteral(".bmp");
    EXPECT_EQ(ValidationFaults(in), QStringLiteral("Texturename is too long (max. 30 char)\n"));
    in.colorChecked = true;   // a leftover texture text is no colour
    EXPECT_EQ(ValidationFaults(in), QStringLiteral("Choose a color\n"));
}

TEST(ValidationFaults, NameAndColourFaultsFrameTheCellFaults)
{
    EditorInputs in = completeTriangle();
    in.name = QString(31, u'x');
    in.cells[2][0].clear();
    in.swatch = kColorNone;
    EXPECT_EQ(ValidationFaults(in), QStringLiteral("Polygonname is too long (max. 30 char)\n"
                                                   "Missing Point3: X-value\nChoose a color\n"));
}

// --- number conversions and formatting ---------------------------------------------------------

TEST(Conversions, IntegerTakesSignAndDigitsOnly)
{
    EXPECT_EQ(ConvertInteger(QStringLiteral("640")), 640);
    EXPECT_EQ(ConvertInteger(QStringLiteral("-640")), -640);
    EXPECT_EQ(ConvertInteger(QStringLiteral("+5")), 5);
    EXPECT_EQ(ConvertInteger(QStringLiteral("007")), 7);
    for (const char* bad : {"", "-", "5-3", "1.5", "1e3", "12a", "--1", "99999999999"})
        EXPECT_FALSE(ConvertInteger(QString::fromLatin1(bad)).has_value()) << bad;
}

TEST(Conversions, FloatReadsDecimalTextWithAPoint)
{
    EXPECT_EQ(ConvertFloat(QStringLiteral("100")), 100.0f);
    EXPECT_EQ(ConvertFloat(QStringLiteral("-5")), -5.0f);
    EXPECT_EQ(ConvertFloat(QStringLiteral("1.5")), 1.5f);
    EXPECT_EQ(ConvertFloat(QStringLiteral(".5")), 0.5f);
    EXPECT_EQ(ConvertFloat(QStringLiteral("1e+20")), 1e20f);
    EXPECT_EQ(ConvertFloat(QStringLiteral(" 2 ")), 2.0f);
    for (const char* bad : {"", " ", "-", "1-2", "1,5", ".", "1e", "e5", "inf", "nan",
                            "0x10", "1.2.3", "1e50", "5 5"})
        EXPECT_FALSE(ConvertFloat(QString::fromLatin1(bad)).has_value()) << bad;
}

TEST(Conversions, ErrorTextsQuoteTheCell)
{
    EXPECT_EQ(FloatConversionError(QStringLiteral("1-2")),
              QStringLiteral("'1-2' is not a valid floating point value."));
    EXPECT_EQ(IntegerConversionError(QStringLiteral("5-3")),
              QStringLiteral("'5-3' is not a valid integer value."));
}

TEST(Conversions, CornersAreWrittenInGeneralFormat)
{
    EXPECT_EQ(FormatCorner(100.0f), QStringLiteral("100"));
    EXPECT_EQ(FormatCorner(-5.0f), QStringLiteral("-5"));
    EXPECT_EQ(FormatCorner(-640.0f), QStringLiteral("-640"));
    EXPECT_EQ(FormatCorner(0.5f), QStringLiteral("0.5"));
    EXPECT_EQ(FormatCorner(-0.0f), QStringLiteral("0"));
    EXPECT_EQ(FormatCorner(0.1f), QStringLiteral("0.100000001490116"));
    EXPECT_EQ(FormatCorner(std::ldexp(1.0f, 60)), QStringLiteral("1.15292150460685e+18"));
}

TEST(Conversions, WrittenCornersReadBackToTheSameFloat)
{
    for (float v : {0.1f, -123.456f, 1e-7f, 3.4e38f, -1e20f, 639.999f, 1.0f / 3.0f}) {
        const std::optional<float> back = ConvertFloat(FormatCorner(v));
        ASSERT_TRUE(back.has_value()) << v;
        EXPECT_EQ(*back, v);
    }
}

// --- building the polygon -----------------------------------------------------------------------

TEST(BuildElement, ColouredTriangleTakesTheWorkingColourAndZeroesCornerFour)
{
    EditorInputs in = completeTriangle();
    in.cells[0][0] = QStringLiteral("-640");
    in.cells[2][2] = QStringLiteral("640");
    in.cells[3][0] = QStringLiteral("9");   // hidden row: ignored
    EditorState state;
    state.workColor = 0x563412;
    state.workRed = 0x12;
    state.workGreen = 0x34;
    state.workBlue = 0x56;
    QString error;
    std::optional<tElement> e = BuildElement(in, state, error);
    ASSERT_TRUE(e.has_value()) << error;
    EXPECT_EQ(e->type, "Triangle");
    EXPECT_EQ(e->name, "roof");
    EXPECT_EQ(e->vertex[0], -640.0f);
    EXPECT_EQ(e->vertex[8], 640.0f);
    for (int i = 9; i < 12; ++i)
        EXPECT_EQ(e->vertex[i], 0.0f);
    EXPECT_EQ(e->color, 0x563412);
    EXPECT_EQ(e->red, 0x12);
    EXPECT_EQ(e->green, 0x34);
    EXPECT_EQ(e->blue, 0x56);
    EXPECT_EQ(e->texture, "");
}

TEST(BuildElement, TexturedQuadTakesRowFourAndMinusOnes)
{
    EditorInputs in = completeTriangle();
    in.typeText = QStringLiteral("Quad");
    in.pointRows = 4;
    in.cells[3][2] = QStringLiteral("-7");
    in.colorChecked = false;
    in.textureText = QStringLiteral("brick.bmp");
    EditorState state;
    state.workColor = 255;
    QString error;
    std::optional<tElement> e = BuildElement(in, state, error);
    ASSERT_TRUE(e.has_value()) << error;
    EXPECT_EQ(e->type, "Quad");
    EXPECT_EQ(e->vertex[11], -7.0f);
    EXPECT_EQ(e->color, -1);
    EXPECT_EQ(e->red, -1);
    EXPECT_EQ(e->green, -1);
    EXPECT_EQ(e->blue, -1);
    EXPECT_EQ(e->texture, "brick.bmp");
}

TEST(BuildElement, TextsBecomeLatin1Bytes)
{
    EditorInputs in = completeTriangle();
    in.name = QStringLiteral("K\u00e4se");
    QString error;
    std::optional<tElement> e = BuildElement(in, EditorState{}, error);
    ASSERT_TRUE(e.has_value());
    EXPECT_EQ(e->name, std::string("K\xe4se"));
    EXPECT_EQ(FromElementText(e->name), in.name);
}

TEST(BuildElement, FirstCellThatIsNoNumberIsReported)
{
    EditorInputs in = completeTriangle();
    in.cells[1][0] = QStringLiteral("1-2");
    in.cells[2][1] = QStringLiteral("3-4");
    QString error;
    EXPECT_FALSE(BuildElement(in, EditorState{}, error).has_value());
    EXPECT_EQ(error, QStringLiteral("'1-2' is not a valid floating point value."));
}

// --- colours and texture names ------------------------------------------------------------------

TEST(ColourValues, ComponentsSitInTheLowThreeBytes)
{
    EXPECT_EQ(ColorValue(QColor(255, 0, 0)), 255);
    EXPECT_EQ(ColorValue(QColor(0x12, 0x34, 0x56)), 0x563412);
    EXPECT_EQ(ColorValue(QColor(255, 255, 255)), 0xFFFFFF);
    EXPECT_EQ(ColorOfValue(0x563412), QColor(0x12, 0x34, 0x56));
    // No picked colour can be taken for "none".
    EXPECT_NE(static_cast<uint32_t>(kColorNone) >> 24, 0u);
    EXPECT_NE(ColorValue(QColor(5, 0, 0)), kColorNone);
}

TEST(TextureText, IsTheFileNameWithoutFolderAsFileSystemBytes)
{
    EXPECT_EQ(TextureTextFromFileName(QStringLiteral("/home/u/pics/brick.bmp")),
              QStringLiteral("brick.bmp"));
    EXPECT_EQ(TextureTextFromFileName(QStringLiteral("brick.bmp")), QStringLiteral("brick.bmp"));
    EXPECT_EQ(TextureTextFromFileName(QString()), QString());
    // A name outside ASCII keeps the bytes the file system knows it by, so that the loader
    // opens that very file.
    const QString text = TextureTextFromFileName(QStringLiteral("/p/K\u00fcche.bmp"));
    EXPECT_EQ(ToElementText(text), std::string("K\xc3\xbc" "che.bmp"));
}

} // namespace
