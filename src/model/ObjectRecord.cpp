#include "ObjectRecord.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <string_view>

namespace {

constexpr std::size_t kTypeField = 9;
constexpr std::size_t kNameField = 31;
constexpr std::size_t kTextureField = 32;
constexpr std::size_t kTypeAt = 0;
constexpr std::size_t kNameAt = 9;
constexpr std::size_t kVertexAt = 40;
constexpr std::size_t kColorAt = 88;
constexpr std::size_t kTextureAt = 104;

void putU32(uint8_t* at, uint32_t v)
{
    at[0] = uint8_t(v);
    at[1] = uint8_t(v >> 8);
    at[2] = uint8_t(v >> 16);
    at[3] = uint8_t(v >> 24);
}

// The text, cut so that it and its terminator fit; the rest of the field stays zero, so a
// reader that looks past the terminator finds nothing of an earlier, longer text.
void putText(uint8_t* at, std::size_t field, std::string_view text)
{
    std::size_t n = text.size() < field - 1 ? text.size() : field - 1;
    std::memcpy(at, text.data(), n);
}

// The same for a text kept inline, which is zero after its end: its whole storage is the
// field, the field's last byte kept for the terminator. No search for the text's end.
template <std::size_t Field, std::size_t N>
void putInlineText(uint8_t* at, const tInlineText<N>& text)
{
    static_assert(N <= Field);
    std::memcpy(at, text.data(), N);
    at[Field - 1] = 0;
}

uint32_t getU32(const uint8_t* at)
{
    return uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 | uint32_t(at[3]) << 24;
}

std::string_view getText(const uint8_t* at, std::size_t field)
{
    const void* zero = std::memchr(at, 0, field);
    std::size_t n = zero ? std::size_t(static_cast<const uint8_t*>(zero) - at) : field;
    return std::string_view(reinterpret_cast<const char*>(at), n);
}

} // namespace

void DecodeObjectRecord(const uint8_t (&r)[kObjectRecordSize], tElement& e)
{
    e.type = getText(r + kTypeAt, kTypeField);
    e.name = getText(r + kNameAt, kNameField);
    for (int i = 0; i < 12; ++i)
        e.vertex[i] = std::bit_cast<float>(getU32(r + kVertexAt + 4 * i));
    e.color = int32_t(getU32(r + kColorAt));
    e.red = int32_t(getU32(r + kColorAt + 4));
    e.green = int32_t(getU32(r + kColorAt + 8));
    e.blue = int32_t(getU32(r + kColorAt + 12));
    e.texture = getText(r + kTextureAt, kTextureField);
}

const char* ObjectRecordFault(const uint8_t (&r)[kObjectRecordSize])
{
    const std::string_view type = getText(r + kTypeAt, kTypeField);
    if (type.size() == kTypeField || (type != "Triangle" && type != "Quad"))
        return "its type is neither Triangle nor Quad";
    if (!std::memchr(r + kNameAt, 0, kNameField))
        return "its name runs past its field";
    if (!std::memchr(r + kTextureAt, 0, kTextureField))
        return "its texture name runs past its field";
    for (int i = 0; i < 12; ++i)
        if (!std::isfinite(std::bit_cast<float>(getU32(r + kVertexAt + 4 * i))))
            return "a corner coordinate is not a number";
    const int32_t color = int32_t(getU32(r + kColorAt));
    bool textured = color == -1, coloured = color >= 0 && color <= 0xFFFFFF;
    for (int c = 1; c <= 3; ++c) {
        const int32_t component = int32_t(getU32(r + kColorAt + 4 * c));
        textured = textured && component == -1;
        coloured = coloured && component >= 0 && component <= 255;
    }
    if (!textured && !coloured)
        return "its colour values are out of range";
    return nullptr;
}

void EncodeObjectRecord(const tElement& e, uint8_t (&r)[kObjectRecordSize])
{
    std::memset(r, 0, sizeof r);
    putInlineText<kTypeField>(r + kTypeAt, e.type);
    putInlineText<kNameField>(r + kNameAt, e.name);
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(r + kVertexAt, e.vertex, sizeof e.vertex);   // the file's own byte order
    } else {
        for (int i = 0; i < 12; ++i)
            putU32(r + kVertexAt + 4 * i, std::bit_cast<uint32_t>(e.vertex[i]));
    }
    putU32(r + kColorAt, uint32_t(e.color));
    putU32(r + kColorAt + 4, uint32_t(e.red));
    putU32(r + kColorAt + 8, uint32_t(e.green));
    putU32(r + kColorAt + 12, uint32_t(e.blue));
    putText(r + kTextureAt, kTextureField, e.texture.view());
}

std::size_t TranslateLineEnds(uint8_t* record)
{
    // Most records hold no 0x0A at all, and the others one or two. The bytes after the last
    // of them move furthest; from the back, each run between them moves once and whole.
    std::size_t ends = 0;
    const uint8_t* const stop = record + kObjectRecordSize;
    for (const uint8_t* p = record;
         (p = static_cast<const uint8_t*>(std::memchr(p, 0x0A, std::size_t(stop - p)))); ++p)
        ++ends;
    const std::size_t length = kObjectRecordSize + ends;
    uint8_t* end = record + kObjectRecordSize;
    uint8_t* to = record + length;
    for (; ends > 0; --ends) {
        auto* lineEnd = static_cast<uint8_t*>(memrchr(record, 0x0A, std::size_t(end - record)));
        const std::size_t run = std::size_t(end - lineEnd - 1);
        to -= run;
        std::memmove(to, lineEnd + 1, run);
        *--to = 0x0A;
        *--to = 0x0D;
        end = lineEnd;
    }
    return length;
}
