#pragma once

#include "ElementText.h"

#include <string>

// UTF-8 text as the 8-bit Latin-1 the object file holds: characters Latin-1 cannot hold and
// broken sequences become '?', control characters a space.
std::string ToLatin1(const std::string& utf8);

// "<base> <number>" cut to the 30 bytes a name may have, always keeping the number.
std::string NumberedName(const std::string& base, int number);

// The names of a group's faces in turn, as NumberedName gives them from 1 on; each is made
// from the one before by counting up its digits.
class NumberedNames {
public:
    // A name's 30 bytes and a number's digits, its sign and its space.
    static constexpr std::size_t kRoom = 30 + 16;

    explicit NumberedNames(std::string base) : base_(std::move(base)) {}
    const std::string& base() const { return base_; }
    void next(tInlineText<31>& name);

private:
    std::string base_;
    char text_[kRoom] = {};
    std::size_t size_ = 0;    // of the last name; 0 before the first
    std::size_t digits_ = 0;  // where its number starts
    int number_ = 0;
};

// Latin-1 bytes as UTF-8, for messages and file formats that want it.
std::string Latin1ToUtf8(const std::string& latin1);
