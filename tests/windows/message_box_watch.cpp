#include "message_box_watch.h"

namespace VelmoraTest {

namespace {

HHOOK Hook;
std::vector<int> Answers;
size_t Next; // the next answer
Boxes Seen;
HWND Answered; // the box last answered

std::string TextOf(HWND Window, bool ClassName = false) {
    char text[1024] = "";
    (ClassName ? GetClassNameA : GetWindowTextA)(Window, text, sizeof text);
    return text;
}

std::string Describe(HWND Box) {
    std::string buttons, icon = "none";
    for (HWND child = GetWindow(Box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        const LONG style = GetWindowLongA(child, GWL_STYLE);
        const int id = GetDlgCtrlID(child);
        const LRESULT shown = SendMessageA(child, STM_GETICON, 0, 0);
        if ((style & WS_VISIBLE) && _stricmp(TextOf(child, true).c_str(), "Button") == 0) {
            buttons += buttons.empty() ? "" : ",";
            buttons += id == IDOK ? "OK" : id == IDCANCEL ? "Cancel" : "other";
        } else if ((style & WS_VISIBLE) && (style & SS_TYPEMASK) == SS_ICON && shown != 0) {
            icon = shown == LRESULT(LoadIconA(nullptr, IDI_EXCLAMATION)) ? "exclamation"
                   : shown == LRESULT(LoadIconA(nullptr, IDI_QUESTION))  ? "question"
                   : shown == LRESULT(LoadIconA(nullptr, IDI_ASTERISK))  ? "information"
                                                                         : "other";
        }
    }
    return TextOf(Box) + "|" + TextOf(GetDlgItem(Box, 0xFFFF)) + "|" + buttons + "|" + icon;
}

// A box is activated once it is set up; the answer waits in its queue until
// its own modal loop runs.
LRESULT CALLBACK WatchBoxes(int Code, WPARAM WParam, LPARAM LParam) {
    const HWND box = HWND(WParam);
    if (Code == HCBT_ACTIVATE && box != Answered && TextOf(box, true) == "#32770") {
        Answered = box;
        Seen.push_back(Describe(box));
        const int answer = Next < Answers.size() ? Answers[Next++] : IDCANCEL;
        PostMessageA(box, answer > 0 ? WM_COMMAND : WM_KEYDOWN, answer > 0 ? answer : -answer, 0);
    }
    return CallNextHookEx(Hook, Code, WParam, LParam);
}

} // namespace

void WatchMessageBoxes(const std::vector<int>& Answering) {
    StopWatching();
    Answers = Answering;
    Next = 0;
    Seen.clear();
    Hook = SetWindowsHookExA(WH_CBT, WatchBoxes, nullptr, GetCurrentThreadId());
}

Boxes StopWatching() {
    UnhookWindowsHookEx(Hook);
    Hook = nullptr;
    return Seen;
}

void* SwapImport(void** Slot, void* Replacement) {
    DWORD protection = 0;
    VirtualProtect(Slot, sizeof *Slot, PAGE_READWRITE, &protection);
    void* const previous = *Slot;
    *Slot = Replacement;
    VirtualProtect(Slot, sizeof *Slot, protection, &protection);
    return previous;
}

} // namespace VelmoraTest
