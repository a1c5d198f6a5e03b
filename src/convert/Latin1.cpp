#include "Latin1.h"

#include <algorithm>
#include <cstring>

#include <charconv>

namespace {
constexpr std::size_t kNameBytes = 30;
}

std::string ToLatin1(const std::string& utf8)
{
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        unsigned code = 0;
        std::size_t length = 1;
        if (c < 0x80) {
            code = c;
        } else if ((c & 0xE0) == 0xC0) {
            length = 2, code = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            length = 3, code = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            length = 4, code = c & 0x07;
        } else {
            out += '?';
            ++i;
            continue;
        }
        bool broken = i + length > utf8.size();
        for (std::size_t k = 1; k < length && !broken; ++k) {
            unsigned char d = static_cast<unsigned char>(utf8[i + k]);
            broken = (d & 0xC0) != 0x80;
            code = code << 6 | (d & 0x3F);
        }
        if (broken) {
            out += '?';
            ++i;
            continue;
        }
        i += length;
        if (code < 0x20 || code == 0x7F)
            out += ' ';
        else if (code <= 0xFF)
            out += char(code);
        else
            out += '?';
    }
    return out;
}

namespace {

// "base number", the base cut so that the whole fits a name; returns its length.
std::size_t formatNumberedName(char (&out)[NumberedNames::kRoom], const std::string& base, int number)
{
    char digits[16];
    const auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
    const std::size_t suffix = 1 + std::size_t(end - digits);
    const std::size_t room = std::min(suffix < kNameBytes ? kNameBytes - suffix : 0, base.size());
    std::memcpy(out, base.data(), room);
    out[room] = ' ';
    std::memcpy(out + room + 1, digits, std::size_t(end - digits));
    return room + suffix;
}

} // namespace

void NumberedNames::next(tInlineText<31>& name)
{
    static_assert(NumberedNames::kRoom == kNameBytes + 16);
    ++number_;
    // Counting up in place: a carry out of the first digit makes the number longer, and the
    // base may then lose a byte, so that name is formatted anew.
    std::size_t at = size_;
    while (at > digits_ && text_[at - 1] == '9')
        text_[--at] = '0';
    if (at > digits_) {
        ++text_[at - 1];
    } else {
        size_ = formatNumberedName(text_, base_, number_);
        digits_ = std::string_view(text_, size_).rfind(' ') + 1;
    }
    name.assign(std::string_view(text_, size_));
}

std::string NumberedName(const std::string& base, int number)
{
    char text[NumberedNames::kRoom];
    return std::string(text, formatNumberedName(text, base, number));
}

std::string Latin1ToUtf8(const std::string& latin1)
{
    std::string out;
    out.reserve(latin1.size());
    for (char ch : latin1) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            out += char(c);
        } else {
            out += char(0xC0 | c >> 6);
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}
