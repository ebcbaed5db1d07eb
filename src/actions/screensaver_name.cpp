#include "actions/screensaver_name.h"

#include "support/support_strings.h"

namespace Velmora {

bool IsScreensaverName(const char* Name) {
    static const char extension[] = ".SCR";
    const size_t length = StringLength(Name);
    bool same = true;
    for (size_t i = 0; i < 4; ++i) {
        // Position i of the four-character tail; blanks stand in for what a
        // shorter name lacks.
        const size_t back = 4 - i;
        char c = back <= length ? Name[length - back] : ' ';
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
        same &= c == extension[i];
    }
    return same;
}

} // namespace Velmora
