// winprobe: looks at the windows of a Wine session from the outside and prints what it
// sees as JSON, one object per line, so that tests written in Python can find windows,
// their rectangles and the message boxes that a program shows.
//
//   winprobe window [--class NAME] [--title TEXT]
//   winprobe dialogs
//   winprobe press-button --caption TEXT --id N
//   winprobe screen
//   winprobe cursor          (the pointer's shape handle and position)
//   winprobe close-window [--class NAME] [--title TEXT] [--how close|syscommand]
//   winprobe hold-file --path PATH
//
// close-window posts WM_CLOSE (or WM_SYSCOMMAND SC_CLOSE, what the close box and Alt+F4
// send) to every matching top-level window, as another program ending it would.
// hold-file opens an existing file for reading without sharing, prints one line when
// it holds it and keeps it open until its standard input ends (or it is killed); then
// it closes the file and exits with 0. A file it cannot open gives exit code 1.
//
// Exit code: 0 found, 1 not found, 2 usage error.
// Texts are read as UTF-16 and written as ASCII JSON (anything else as \uXXXX), so the
// output does not depend on the console code page.

#include <windows.h>

#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

namespace Velmora {

enum ProbeExit { ProbeFound = 0, ProbeNotFound = 1, ProbeUsage = 2 };

// Splits the wide command line with the rules of the C runtime: blanks separate
// arguments, double quotes group, 2n backslashes before a quote give n backslashes and
// a delimiter, 2n+1 give n backslashes and a literal quote; "" inside quotes is a quote.
std::vector<std::wstring> SplitCommandLine(const wchar_t* line) {
    std::vector<std::wstring> args;
    const wchar_t* p = line;
    while (*p) {
        while (*p == L' ' || *p == L'\t') {
            ++p;
        }
        if (!*p) {
            break;
        }
        std::wstring arg;
        bool quoted = false;
        while (*p && (quoted || (*p != L' ' && *p != L'\t'))) {
            if (*p == L'\\') {
                size_t slashes = 0;
                while (*p == L'\\') {
                    ++slashes;
                    ++p;
                }
                if (*p == L'"') {
                    arg.append(slashes / 2, L'\\');
                    if (slashes % 2) {
                        arg.push_back(L'"');
                        ++p;
                    }
                } else {
                    arg.append(slashes, L'\\');
                }
            } else if (*p == L'"') {
                if (quoted && p[1] == L'"') {
                    arg.push_back(L'"');
                    p += 2;
                } else {
                    quoted = !quoted;
                    ++p;
                }
            } else {
                arg.push_back(*p);
                ++p;
            }
        }
        args.push_back(arg);
    }
    return args;
}

void AppendJsonString(std::string& out, const std::wstring& text) {
    static const char hex[] = "0123456789abcdef";
    out.push_back('"');
    for (wchar_t wc : text) {
        unsigned int c = static_cast<unsigned int>(wc) & 0xFFFFu;
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20 || c > 0x7E) {
                out += "\\u";
                out.push_back(hex[(c >> 12) & 15]);
                out.push_back(hex[(c >> 8) & 15]);
                out.push_back(hex[(c >> 4) & 15]);
                out.push_back(hex[c & 15]);
            } else {
                out.push_back(static_cast<char>(c));
            }
        }
    }
    out.push_back('"');
}

void AppendKey(std::string& out, const char* key) {
    if (out.size() > 1) {
        out.push_back(',');
    }
    out.push_back('"');
    out += key;
    out += "\":";
}

void AppendField(std::string& out, const char* key, const std::wstring& text) {
    AppendKey(out, key);
    AppendJsonString(out, text);
}

void AppendField(std::string& out, const char* key, long long value) {
    AppendKey(out, key);
    out += std::to_string(value);
}

void AppendBool(std::string& out, const char* key, bool value) {
    AppendKey(out, key);
    out += value ? "true" : "false";
}

void AppendRect(std::string& out, const char* key, const RECT& r) {
    AppendKey(out, key);
    out += "{\"left\":" + std::to_string(r.left) + ",\"top\":" + std::to_string(r.top) +
           ",\"right\":" + std::to_string(r.right) + ",\"bottom\":" + std::to_string(r.bottom) +
           "}";
}

void PrintLine(const std::string& object) {
    std::fputs(object.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

long long HandleNumber(HWND hwnd) {
    return static_cast<long long>(reinterpret_cast<uintptr_t>(hwnd));
}

// Reads window texts without sending messages where the window belongs to another
// process (the system keeps the text), so a busy program cannot stall the probe.
std::wstring WindowText(HWND hwnd) {
    wchar_t buffer[1024];
    int n = GetWindowTextW(hwnd, buffer, static_cast<int>(sizeof buffer / sizeof buffer[0]));
    return std::wstring(buffer, n > 0 ? static_cast<size_t>(n) : 0);
}

std::wstring ClassName(HWND hwnd) {
    wchar_t buffer[256];
    int n = GetClassNameW(hwnd, buffer, static_cast<int>(sizeof buffer / sizeof buffer[0]));
    return std::wstring(buffer, n > 0 ? static_cast<size_t>(n) : 0);
}

RECT ClientRectOnScreen(HWND hwnd) {
    RECT r = {0, 0, 0, 0};
    GetClientRect(hwnd, &r);
    POINT topLeft = {r.left, r.top};
    POINT bottomRight = {r.right, r.bottom};
    ClientToScreen(hwnd, &topLeft);
    ClientToScreen(hwnd, &bottomRight);
    RECT out = {topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
    return out;
}

bool HasVisibleStyle(HWND hwnd) {
    return (GetWindowLongW(hwnd, GWL_STYLE) & WS_VISIBLE) != 0;
}

BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM param) {
    reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
    return TRUE;
}

std::vector<HWND> TopLevelWindows() {
    std::vector<HWND> windows;
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

std::vector<HWND> ChildWindows(HWND parent) {
    std::vector<HWND> windows;
    EnumChildWindows(parent, CollectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

long long WindowProcessId(HWND hwnd) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    return static_cast<long long>(pid);
}

void PrintWindow(HWND hwnd) {
    std::string out = "{";
    AppendField(out, "hwnd", HandleNumber(hwnd));
    AppendField(out, "class", ClassName(hwnd));
    AppendField(out, "title", WindowText(hwnd));
    AppendBool(out, "visible", IsWindowVisible(hwnd) != FALSE);
    AppendField(out, "style",
                static_cast<long long>(static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE))));
    AppendField(out, "exstyle",
                static_cast<long long>(static_cast<DWORD>(GetWindowLongW(hwnd, GWL_EXSTYLE))));
    RECT r = {0, 0, 0, 0};
    GetWindowRect(hwnd, &r);
    AppendRect(out, "rect", r);
    AppendRect(out, "client", ClientRectOnScreen(hwnd));
    AppendField(out, "pid", WindowProcessId(hwnd));
    out += "}";
    PrintLine(out);
}

bool IsDialog(HWND hwnd) {
    return ClassName(hwnd) == L"#32770";
}

void PrintDialog(HWND hwnd) {
    std::string out = "{";
    AppendField(out, "hwnd", HandleNumber(hwnd));
    AppendField(out, "caption", WindowText(hwnd));
    HWND textControl = GetDlgItem(hwnd, 0xFFFF);
    AppendField(out, "text", textControl ? WindowText(textControl) : std::wstring());
    RECT r = {0, 0, 0, 0};
    GetWindowRect(hwnd, &r);
    AppendRect(out, "rect", r);
    AppendKey(out, "buttons");
    out += "[";
    bool first = true;
    for (HWND child : ChildWindows(hwnd)) {
        if (GetParent(child) != hwnd || _wcsicmp(ClassName(child).c_str(), L"Button") != 0 ||
            !HasVisibleStyle(child)) {
            continue;
        }
        std::string button = "{";
        AppendField(button, "id", static_cast<long long>(GetDlgCtrlID(child)));
        AppendField(button, "text", WindowText(child));
        RECT br = {0, 0, 0, 0};
        GetWindowRect(child, &br);
        AppendRect(button, "rect", br);
        button += "}";
        if (!first) {
            out += ",";
        }
        out += button;
        first = false;
    }
    out += "]";
    AppendField(out, "pid", WindowProcessId(hwnd));
    out += "}";
    PrintLine(out);
}

int Usage() {
    std::fputs("usage: winprobe window [--class NAME] [--title TEXT]\n"
               "       winprobe dialogs\n"
               "       winprobe press-button --caption TEXT --id N\n"
               "       winprobe screen\n"
               "       winprobe cursor\n"
               "       winprobe close-window [--class NAME] [--title TEXT] "
               "[--how close|syscommand]\n"
               "       winprobe hold-file --path PATH\n",
               stderr);
    return ProbeUsage;
}

// Reads "--name value" pairs after the command; false on anything unknown or incomplete.
struct ProbeOptions {
    bool hasClass = false;
    bool hasTitle = false;
    bool hasCaption = false;
    bool hasId = false;
    bool hasPath = false;
    bool hasHow = false;
    std::wstring className;
    std::wstring title;
    std::wstring caption;
    std::wstring path;
    std::wstring how;
    long id = 0;
};

bool ParseOptions(const std::vector<std::wstring>& args, size_t first, ProbeOptions& options) {
    for (size_t i = first; i < args.size(); i += 2) {
        if (i + 1 >= args.size()) {
            return false;
        }
        const std::wstring& name = args[i];
        const std::wstring& value = args[i + 1];
        if (name == L"--class") {
            options.hasClass = true;
            options.className = value;
        } else if (name == L"--title") {
            options.hasTitle = true;
            options.title = value;
        } else if (name == L"--caption") {
            options.hasCaption = true;
            options.caption = value;
        } else if (name == L"--path") {
            options.hasPath = true;
            options.path = value;
        } else if (name == L"--how") {
            options.hasHow = true;
            options.how = value;
        } else if (name == L"--id") {
            wchar_t* end = nullptr;
            options.id = std::wcstol(value.c_str(), &end, 0);
            if (value.empty() || !end || *end) {
                return false;
            }
            options.hasId = true;
        } else {
            return false;
        }
    }
    return true;
}

int CommandWindow(const ProbeOptions& options) {
    int found = 0;
    for (HWND hwnd : TopLevelWindows()) {
        if (options.hasClass && ClassName(hwnd) != options.className) {
            continue;
        }
        if (options.hasTitle && WindowText(hwnd) != options.title) {
            continue;
        }
        PrintWindow(hwnd);
        ++found;
    }
    return found ? ProbeFound : ProbeNotFound;
}

int CommandDialogs() {
    int found = 0;
    for (HWND hwnd : TopLevelWindows()) {
        if (IsDialog(hwnd) && IsWindowVisible(hwnd)) {
            PrintDialog(hwnd);
            ++found;
        }
    }
    return found ? ProbeFound : ProbeNotFound;
}

int CommandPressButton(const ProbeOptions& options) {
    for (HWND hwnd : TopLevelWindows()) {
        if (!IsDialog(hwnd) || !IsWindowVisible(hwnd) || WindowText(hwnd) != options.caption) {
            continue;
        }
        int id = static_cast<int>(options.id);
        HWND button = GetDlgItem(hwnd, id);
        BOOL posted = PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                                   reinterpret_cast<LPARAM>(button));
        std::string out = "{";
        AppendField(out, "hwnd", HandleNumber(hwnd));
        AppendField(out, "id", static_cast<long long>(id));
        AppendBool(out, "posted", posted != FALSE);
        out += "}";
        PrintLine(out);
        return posted ? ProbeFound : ProbeNotFound;
    }
    return ProbeNotFound;
}

int CommandScreen() {
    std::string out = "{";
    AppendField(out, "cxscreen", static_cast<long long>(GetSystemMetrics(SM_CXSCREEN)));
    AppendField(out, "cyscreen", static_cast<long long>(GetSystemMetrics(SM_CYSCREEN)));
    AppendField(out, "cycaption", static_cast<long long>(GetSystemMetrics(SM_CYCAPTION)));
    out += "}";
    PrintLine(out);
    return ProbeFound;
}

// The pointer's current shape and position. The handle tells shapes apart;
// a cursor of another process cannot be looked into from here.
int CommandCursor() {
    CURSORINFO info = {};
    info.cbSize = sizeof info;
    if (!GetCursorInfo(&info) || info.hCursor == nullptr) {
        return ProbeNotFound;
    }
    std::string out = "{";
    AppendField(out, "hcursor", static_cast<long long>(reinterpret_cast<uintptr_t>(info.hCursor)));
    AppendField(out, "x", static_cast<long long>(info.ptScreenPos.x));
    AppendField(out, "y", static_cast<long long>(info.ptScreenPos.y));
    out += "}";
    PrintLine(out);
    return ProbeFound;
}

bool MatchesWindow(HWND hwnd, const ProbeOptions& options) {
    return (!options.hasClass || ClassName(hwnd) == options.className) &&
           (!options.hasTitle || WindowText(hwnd) == options.title);
}

// Asks every matching top-level window to close, the way another program or the
// window's close box would; the window's own thread does the rest.
int CommandCloseWindow(const ProbeOptions& options) {
    const bool sysCommand = options.hasHow && options.how == L"syscommand";
    int found = 0;
    for (HWND hwnd : TopLevelWindows()) {
        if (!MatchesWindow(hwnd, options)) {
            continue;
        }
        const BOOL posted = sysCommand ? PostMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0)
                                       : PostMessageW(hwnd, WM_CLOSE, 0, 0);
        std::string out = "{";
        AppendField(out, "hwnd", HandleNumber(hwnd));
        AppendField(out, "message", sysCommand ? L"WM_SYSCOMMAND" : L"WM_CLOSE");
        AppendBool(out, "posted", posted != FALSE);
        AppendField(out, "pid", WindowProcessId(hwnd));
        out += "}";
        PrintLine(out);
        if (posted) {
            ++found;
        }
    }
    return found ? ProbeFound : ProbeNotFound;
}

// Reads standard input to its end (or its failure); bytes read mean nothing.
void WaitForEndOfInput() {
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    if (input == nullptr || input == INVALID_HANDLE_VALUE) {
        return;
    }
    char buffer[256];
    DWORD got = 0;
    while (ReadFile(input, buffer, sizeof buffer, &got, nullptr) && got != 0) {
    }
}

int CommandHoldFile(const ProbeOptions& options) {
    const HANDLE file = CreateFileW(options.path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    std::string out = "{";
    AppendField(out, "path", options.path);
    AppendBool(out, "held", file != INVALID_HANDLE_VALUE);
    if (file == INVALID_HANDLE_VALUE) {
        AppendField(out, "error", static_cast<long long>(GetLastError()));
        out += "}";
        PrintLine(out);
        return ProbeNotFound;
    }
    AppendField(out, "pid", static_cast<long long>(GetCurrentProcessId()));
    out += "}";
    PrintLine(out);
    WaitForEndOfInput();
    CloseHandle(file);
    return ProbeFound;
}

int ProbeMain() {
    std::vector<std::wstring> args = SplitCommandLine(GetCommandLineW());
    if (args.size() < 2) {
        return Usage();
    }
    const std::wstring& command = args[1];
    ProbeOptions options;
    if (!ParseOptions(args, 2, options)) {
        return Usage();
    }
    // --path and --how belong to the commands that act; the others refuse them as before.
    if ((options.hasPath && command != L"hold-file") ||
        (options.hasHow && command != L"close-window")) {
        return Usage();
    }
    if (command == L"window" && !options.hasCaption && !options.hasId) {
        return CommandWindow(options);
    }
    if (command == L"dialogs" && args.size() == 2) {
        return CommandDialogs();
    }
    if (command == L"press-button" && options.hasCaption && options.hasId && !options.hasClass &&
        !options.hasTitle) {
        return CommandPressButton(options);
    }
    if (command == L"screen" && args.size() == 2) {
        return CommandScreen();
    }
    if (command == L"cursor" && args.size() == 2) {
        return CommandCursor();
    }
    if (command == L"close-window" && (options.hasClass || options.hasTitle) &&
        !options.hasCaption && !options.hasId && !options.hasPath &&
        (!options.hasHow || options.how == L"close" || options.how == L"syscommand")) {
        return CommandCloseWindow(options);
    }
    if (command == L"hold-file" && options.hasPath && args.size() == 4) {
        return CommandHoldFile(options);
    }
    return Usage();
}

} // namespace Velmora

int main() {
    return Velmora::ProbeMain();
}
