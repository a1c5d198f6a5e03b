#pragma once

#include "ElementText.h"

#include <string>

// UTF-8 text as the 8-bit Latin-1 the object file holds: characters Latin-1 cannot hold and
// broken sequences become '?', control characters a space.
std::string ToLatin1(const std::string& utf8);

// "<base> <number>" cut to the 30 bytes a name may have, always keeping the number.
std::string NumberedName(const std::string& base, int number);
// The same into an existing string, which keeps its storage.
void AssignNumberedName(tInlineText<31>& name, const std::string& base, int number);

// Latin-1 bytes as UTF-8, for messages and file formats that want it.
std::string Latin1ToUtf8(const std::string& latin1);
