// Byte strings of at most 255 characters in NUL-terminated buffers of 256
// bytes; a string that would be longer keeps its first 255 characters.
#pragma once

#include <cstddef>

namespace Velmora {

const size_t ShortStringLimit = 255;
typedef char ShortString[ShortStringLimit + 1];

// Characters before the terminating NUL, as a C library's strlen.
size_t StringLength(const char* Text);

// Returns false when Source did not fit and was cut.
bool AssignString(ShortString Target, const char* Source);
bool AppendString(ShortString Target, const char* Source);

// Appends Value in signed decimal, without leading zeros or blanks.
bool AppendDecimal(ShortString Target, long Value);

} // namespace Velmora
