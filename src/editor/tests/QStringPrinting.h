#pragma once

#include <QString>

#include <ostream>

// Lets GoogleTest print QStrings in failure messages. Global, so lookup finds it for QString.
inline std::ostream& operator<<(std::ostream& os, const QString& s)
{
    return os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QString& s, std::ostream* os) { *os << s; }
