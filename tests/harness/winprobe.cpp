// winprobe: looks at the windows of a Wine session from inside it and prints
// what it sees as JSON lines, for the Python harness.
//
//   winprobe windows            every top-level window: title, visible, rect
//                               and client (screen coordinates)
//   winprobe dialogs            visible message boxes: caption, text, buttons
//   winprobe cursor             the pointer's current shape handle
//   winprobe close-window TITLE posts WM_CLOSE to the windows with that title
//   winprobe hold-file PATH     opens PATH without sharing, prints {"held":true}
//                               and keeps it open until standard input ends
//
// Exit code: 0 done, 1 nothing found or the file could not be opened, 2 usage.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string Json(const std::wstring& Text) {
    std::string out = "\"";
    for (wchar_t wc : Text) {
        const unsigned c = static_cast<unsigned>(wc) & 0xFFFFu;
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c > 0x7E) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string Json(const RECT& R) {
    char text[64];
    std::snprintf(text, sizeof text, "[%ld,%ld,%ld,%ld]", R.left, R.top, R.right, R.bottom);
    return text;
}

std::wstring TextOf(HWND Window) {
    wchar_t text[1024] = L"";
    GetWindowTextW(Window, text, 1024);
    return text;
}

std::wstring ClassOf(HWND Window) {
    wchar_t name[256] = L"";
    GetClassNameW(Window, name, 256);
    return name;
}

RECT ScreenRect(HWND Window, bool Client) {
    RECT r = {0, 0, 0, 0};
    if (!Client) {
        GetWindowRect(Window, &r);
        return r;
    }
    GetClientRect(Window, &r);
    MapWindowPoints(Window, nullptr, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

BOOL CALLBACK Collect(HWND Window, LPARAM List) {
    reinterpret_cast<std::vector<HWND>*>(List)->push_back(Window);
    return TRUE;
}

std::vector<HWND> TopLevelWindows() {
    std::vector<HWND> list;
    EnumWindows(Collect, reinterpret_cast<LPARAM>(&list));
    return list;
}

int ListWindows() {
    for (HWND w : TopLevelWindows()) {
        std::printf("{\"title\":%s,\"visible\":%s,\"rect\":%s,\"client\":%s}\n",
                    Json(TextOf(w)).c_str(), IsWindowVisible(w) ? "true" : "false",
                    Json(ScreenRect(w, false)).c_str(), Json(ScreenRect(w, true)).c_str());
    }
    return 0;
}

int ListDialogs() {
    int found = 0;
    for (HWND box : TopLevelWindows()) {
        if (ClassOf(box) != L"#32770" || !IsWindowVisible(box)) {
            continue;
        }
        const HWND text = GetDlgItem(box, 0xFFFF);
        std::string buttons;
        std::vector<HWND> children;
        EnumChildWindows(box, Collect, reinterpret_cast<LPARAM>(&children));
        for (HWND child : children) {
            if (_wcsicmp(ClassOf(child).c_str(), L"Button") != 0 || !IsWindowVisible(child)) {
                continue;
            }
            char id[32];
            std::snprintf(id, sizeof id, "{\"id\":%d,\"text\":", GetDlgCtrlID(child));
            buttons += (buttons.empty() ? "" : ",") + std::string(id) + Json(TextOf(child)) +
                       ",\"rect\":" + Json(ScreenRect(child, false)) + "}";
        }
        std::printf("{\"caption\":%s,\"text\":%s,\"buttons\":[%s]}\n", Json(TextOf(box)).c_str(),
                    Json(text != nullptr ? TextOf(text) : L"").c_str(), buttons.c_str());
        ++found;
    }
    return found != 0 ? 0 : 1;
}

int ShowCursorShape() {
    CURSORINFO info = {};
    info.cbSize = sizeof info;
    if (!GetCursorInfo(&info)) {
        return 1;
    }
    std::printf("{\"cursor\":%llu}\n",
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(info.hCursor)));
    return 0;
}

int CloseWindows(const std::wstring& Title) {
    int found = 0;
    for (HWND w : TopLevelWindows()) {
        if (TextOf(w) == Title && PostMessageW(w, WM_CLOSE, 0, 0)) {
            ++found;
        }
    }
    return found != 0 ? 0 : 1;
}

int HoldFile(const std::wstring& Path) {
    const HANDLE file = CreateFileW(Path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        std::printf("{\"held\":false,\"error\":%lu}\n", GetLastError());
        return 1;
    }
    std::printf("{\"held\":true}\n");
    std::fflush(stdout);
    char byte;
    DWORD read = 0;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), &byte, 1, &read, nullptr) && read != 0) {
    }
    CloseHandle(file);
    return 0;
}

} // namespace

int main() {
    int count = 0;
    wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
    const std::wstring command = count > 1 ? args[1] : L"";
    const std::wstring operand = count > 2 ? args[2] : L"";
    int code = 2;
    if (command == L"windows") {
        code = ListWindows();
    } else if (command == L"dialogs") {
        code = ListDialogs();
    } else if (command == L"cursor") {
        code = ShowCursorShape();
    } else if (command == L"close-window" && count == 3) {
        code = CloseWindows(operand);
    } else if (command == L"hold-file" && count == 3) {
        code = HoldFile(operand);
    } else {
        std::fputs("usage: winprobe windows|dialogs|cursor|close-window TITLE|hold-file PATH\n",
                   stderr);
    }
    std::fflush(stdout);
    return code;
}
