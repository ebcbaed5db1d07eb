#include "saver_options.h"

namespace Velmora {

void ShowSaverOptions(HWND Owner) {
    MessageBoxA(Owner != nullptr && IsWindow(Owner) ? Owner : nullptr,
                "Velmora has no options to set.", "Velmora", MB_OK | MB_ICONINFORMATION);
}

} // namespace Velmora
