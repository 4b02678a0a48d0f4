#include "base/InstanceName.h"

#include "base/Text.h"

#include <cstdint>

std::string InstanceName(std::string_view settingsPath)
{
    // FNV-1a, 64 bits: a collision between two settings paths on one
    // desktop would need billions of copies.
    uint64_t hash = 14695981039346656037ull;
    for (char c : settingsPath) {
        char folded = c == '/' ? '\\' : LowerAscii(c);
        hash ^= static_cast<unsigned char>(folded);
        hash *= 1099511628211ull;
    }
    static const char digits[] = "0123456789abcdef";
    std::string name = "Quillbrae-";
    for (int shift = 60; shift >= 0; shift -= 4)
        name += digits[(hash >> shift) & 0xF];
    return name;
}
