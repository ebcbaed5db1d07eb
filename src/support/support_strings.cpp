#include "support/support_strings.h"

namespace Velmora {

size_t StringLength(const char* Text) {
    size_t length = 0;
    while (Text[length] != '\0') {
        ++length;
    }
    return length;
}

bool AppendString(ShortString Target, const char* Source) {
    size_t length = 0;
    while (length < ShortStringLimit && Target[length] != '\0') {
        ++length;
    }
    while (length < ShortStringLimit && *Source != '\0') {
        Target[length++] = *Source++;
    }
    Target[length] = '\0';
    return *Source == '\0';
}

bool AssignString(ShortString Target, const char* Source) {
    Target[0] = '\0';
    return AppendString(Target, Source);
}

bool AppendDecimal(ShortString Target, long Value) {
    char digits[24];
    size_t count = 0;
    // Work on the magnitude as unsigned so that the most negative value has one too.
    unsigned long magnitude =
        Value < 0 ? 0ul - static_cast<unsigned long>(Value) : static_cast<unsigned long>(Value);
    do {
        digits[count++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    char text[sizeof digits + 2];
    size_t length = 0;
    if (Value < 0) {
        text[length++] = '-';
    }
    while (count > 0) {
        text[length++] = digits[--count];
    }
    text[length] = '\0';
    return AppendString(Target, text);
}

} // namespace Velmora
