// winprobe: looks at the windows of a Wine session from inside it and prints
// what it sees as JSON lines, for the Python harness.
//
//   winprobe windows            every top-level window: title, visible, rect
//                               and client (screen coordinates)
//   winprobe dialogs            visible message boxes: caption, text, buttons
//   winprobe close-window TITLE posts WM_CLOSE to the windows with that title
//
// Exit code: 0 done, 1 nothing found, 2 usage.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string Json(const std::wstring& Text) {
    std::string out = "\"";
    for (const wchar_t c : Text) {
        char escaped[8];
        std::snprintf(escaped, sizeof escaped,
                      c == '"' || c == '\\'  ? "\\%c"
                      : c < 0x20 || c > 0x7E ? "\\u%04x"
                                             : "%c",
                      unsigned(c) & 0xFFFFu);
        out += escaped;
    }
    return out + "\"";
}

std::string Json(RECT R, HWND MappedFrom = nullptr) {
    MapWindowPoints(MappedFrom, nullptr, reinterpret_cast<POINT*>(&R), MappedFrom ? 2 : 0);
    char text[64];
    std::snprintf(text, sizeof text, "[%ld,%ld,%ld,%ld]", R.left, R.top, R.right, R.bottom);
    return text;
}

std::wstring TextOf(HWND Window, bool ClassName = false) {
    wchar_t text[1024] = L"";
    (ClassName ? GetClassNameW : GetWindowTextW)(Window, text, 1024);
    return text;
}

BOOL CALLBACK Collect(HWND Window, LPARAM List) {
    reinterpret_cast<std::vector<HWND>*>(List)->push_back(Window);
    return TRUE;
}

std::vector<HWND> WindowsOf(HWND Parent) {
    std::vector<HWND> list;
    Parent ? EnumChildWindows(Parent, Collect, LPARAM(&list)) : EnumWindows(Collect, LPARAM(&list));
    return list;
}

int ListWindows() {
    for (HWND w : WindowsOf(nullptr)) {
        RECT frame, client;
        GetWindowRect(w, &frame);
        GetClientRect(w, &client);
        std::printf("{\"title\":%s,\"visible\":%s,\"rect\":%s,\"client\":%s}\n",
                    Json(TextOf(w)).c_str(), IsWindowVisible(w) ? "true" : "false",
                    Json(frame).c_str(), Json(client, w).c_str());
    }
    return 0;
}

int ListDialogs() {
    int found = 0;
    for (HWND box : WindowsOf(nullptr)) {
        if (TextOf(box, true) != L"#32770" || !IsWindowVisible(box)) {
            continue;
        }
        std::string buttons;
        for (HWND child : WindowsOf(box)) {
            RECT r;
            if (_wcsicmp(TextOf(child, true).c_str(), L"Button") == 0 && IsWindowVisible(child) &&
                GetWindowRect(child, &r)) {
                buttons += (buttons.empty() ? "{\"id\":" : ",{\"id\":") +
                           std::to_string(GetDlgCtrlID(child)) +
                           ",\"text\":" + Json(TextOf(child)) + ",\"rect\":" + Json(r) + "}";
            }
        }
        const HWND text = GetDlgItem(box, 0xFFFF);
        std::printf("{\"caption\":%s,\"text\":%s,\"buttons\":[%s]}\n", Json(TextOf(box)).c_str(),
                    Json(text != nullptr ? TextOf(text) : L"").c_str(), buttons.c_str());
        ++found;
    }
    return found != 0 ? 0 : 1;
}

int CloseWindows(const std::wstring& Title) {
    int found = 0;
    for (HWND w : WindowsOf(nullptr)) {
        found += TextOf(w) == Title && PostMessageW(w, WM_CLOSE, 0, 0);
    }
    return found != 0 ? 0 : 1;
}

} // namespace

int main() {
    int count = 0;
    wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
    const std::wstring command = count > 1 ? args[1] : L"", operand = count == 3 ? args[2] : L"";
    const int code = command == L"windows"                      ? ListWindows()
                     : command == L"dialogs"                    ? ListDialogs()
                     : command == L"close-window" && count == 3 ? CloseWindows(operand)
                                                                : 2;
    if (code == 2) {
        std::fputs("usage: winprobe windows|dialogs|close-window TITLE\n", stderr);
    }
    std::fflush(stdout);
    return code;
}
