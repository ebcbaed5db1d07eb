#include "support/support_strings.h"

namespace Velmora {

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

} // namespace Velmora
