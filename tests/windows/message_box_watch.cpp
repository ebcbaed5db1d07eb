#include "message_box_watch.h"

namespace VelmoraTest {

namespace {

HHOOK Hook;
std::vector<BoxAnswer> PendingAnswers;
std::vector<SeenBox> Seen;
HWND ActiveBox; // activated, not yet described

std::string TextOf(HWND Window) {
    char text[1024] = "";
    GetWindowTextA(Window, text, sizeof text);
    return text;
}

std::string ClassOf(HWND Window) {
    char name[64] = "";
    GetClassNameA(Window, name, sizeof name);
    return name;
}

BoxIcon IconOf(HWND Box) {
    for (HWND child = GetWindow(Box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (_stricmp(ClassOf(child).c_str(), "Static") != 0 ||
            (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON ||
            !(GetWindowLongA(child, GWL_STYLE) & WS_VISIBLE)) {
            continue;
        }
        const HICON icon = reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
        if (icon == nullptr) {
            continue;
        }
        if (icon == LoadIconA(nullptr, IDI_EXCLAMATION)) {
            return ExclamationIcon;
        }
        if (icon == LoadIconA(nullptr, IDI_QUESTION)) {
            return QuestionIcon;
        }
        if (icon == LoadIconA(nullptr, IDI_ASTERISK)) {
            return InformationIcon;
        }
        return OtherIcon;
    }
    return NoIcon;
}

SeenBox Describe(HWND Box) {
    SeenBox seen;
    seen.Caption = TextOf(Box);
    const HWND textControl = GetDlgItem(Box, 0xFFFF);
    seen.Text = textControl ? TextOf(textControl) : std::string();
    seen.DefaultButton = 0;
    for (HWND child = GetWindow(Box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        const LONG style = GetWindowLongA(child, GWL_STYLE);
        if (_stricmp(ClassOf(child).c_str(), "Button") == 0 && (style & WS_VISIBLE)) {
            seen.Buttons.push_back(GetDlgCtrlID(child));
            if ((style & BS_TYPEMASK) == BS_DEFPUSHBUTTON) {
                seen.DefaultButton = GetDlgCtrlID(child);
            }
        }
    }
    seen.Icon = IconOf(Box);
    return seen;
}

// Runs from the box's own modal loop, once the box has set itself up.
void CALLBACK DescribeAndAnswer(HWND, UINT, UINT_PTR Timer, DWORD) {
    KillTimer(nullptr, Timer);
    const HWND box = ActiveBox;
    ActiveBox = nullptr;
    if (box == nullptr || !IsWindow(box)) {
        return;
    }
    Seen.push_back(Describe(box));
    BoxAnswer answer = Click(IDCANCEL);
    if (!PendingAnswers.empty()) {
        answer = PendingAnswers.front();
        PendingAnswers.erase(PendingAnswers.begin());
    }
    if (answer.ButtonId != 0) {
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(answer.ButtonId, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(box, answer.ButtonId)));
    } else {
        PostMessageA(GetFocus(), WM_KEYDOWN, answer.Key, 1);
    }
}

LRESULT CALLBACK WatchBoxes(int Code, WPARAM WParam, LPARAM LParam) {
    const HWND window = reinterpret_cast<HWND>(WParam);
    if (Code == HCBT_ACTIVATE && ClassOf(window) == "#32770" && ActiveBox == nullptr) {
        ActiveBox = window;
        SetTimer(nullptr, 0, 1, DescribeAndAnswer);
    }
    return CallNextHookEx(Hook, Code, WParam, LParam);
}

} // namespace

BoxAnswer Click(int ButtonId) {
    return BoxAnswer{ButtonId, 0};
}

BoxAnswer PressKey(WPARAM Key) {
    return BoxAnswer{0, Key};
}

void WatchMessageBoxes(const std::vector<BoxAnswer>& Answers) {
    StopWatching();
    PendingAnswers = Answers;
    Seen.clear();
    Hook = SetWindowsHookExA(WH_CBT, WatchBoxes, nullptr, GetCurrentThreadId());
}

std::vector<SeenBox> StopWatching() {
    if (Hook != nullptr) {
        UnhookWindowsHookEx(Hook);
        Hook = nullptr;
    }
    PendingAnswers.clear();
    ActiveBox = nullptr;
    return Seen;
}

} // namespace VelmoraTest
