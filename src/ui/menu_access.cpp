#include "ui/menu_access.h"

#include <initguid.h>
#include <oleacc.h>

#include "support/support_module.h"
#include "support/support_strings.h"
#include "ui/menu_model.h"
#include "ui/menu_window.h"

namespace Velmora {

typedef HRESULT(WINAPI* CoInitializeRoutine)(LPVOID);
typedef HRESULT(WINAPI* CoCreateInstanceRoutine)(REFCLSID, LPUNKNOWN, DWORD, REFIID, LPVOID*);
typedef void(WINAPI* NotifyWinEventRoutine)(DWORD, HWND, LONG, LONG);

static const wchar_t MenuDescription[] = L"Up and Down choose, Enter runs, Esc ends.";

static bool AccessStarted;
static HWND AccessWindow;
static IAccPropServices* AnnotationService; // null where the system has none
static NotifyWinEventRoutine NotifyRoutine; // null on Windows 95 and NT 4.0 as shipped
static uint16_t AnnouncedEntry;             // 0: nothing told yet
static ShortString AnnouncedCaption;

// The annotation service comes with Active Accessibility: Windows XP and
// later, 98 and NT 4.0 SP6 with its kit. COM stays initialised for the run,
// in whatever apartment the thread already had.
static IAccPropServices* CreateAnnotationService() {
    const HMODULE ole = LoadSystemLibrary("ole32.dll");
    const auto initialise = reinterpret_cast<CoInitializeRoutine>(FindRoutine(ole, "CoInitialize"));
    const auto create =
        reinterpret_cast<CoCreateInstanceRoutine>(FindRoutine(ole, "CoCreateInstance"));
    void* service = nullptr;
    if (initialise == nullptr || create == nullptr) {
        return nullptr;
    }
    initialise(nullptr);
    if (FAILED(create(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER, IID_IAccPropServices,
                      &service))) {
        return nullptr;
    }
    return static_cast<IAccPropServices*>(service);
}

static void Annotate(const MSAAPROPID& Property, const wchar_t* Text) {
    if (AnnotationService != nullptr) {
        AnnotationService->SetHwndPropStr(AccessWindow, OBJID_CLIENT, CHILDID_SELF, Property, Text);
    }
}

void StartMenuAccess(HWND Window) {
    if (AnnotationService != nullptr) {
        AnnotationService->Release();
    }
    AccessStarted = true;
    AccessWindow = Window;
    AnnouncedEntry = 0;
    NotifyRoutine = reinterpret_cast<NotifyWinEventRoutine>(
        FindRoutine(GetModuleHandleA("user32.dll"), "NotifyWinEvent"));
    AnnotationService = CreateAnnotationService();
    if (AnnotationService != nullptr) {
        VARIANT role = {};
        role.vt = VT_I4;
        role.lVal = ROLE_SYSTEM_PUSHBUTTON;
        AnnotationService->SetHwndProp(Window, OBJID_CLIENT, CHILDID_SELF, PROPID_ACC_ROLE, role);
        Annotate(PROPID_ACC_DESCRIPTION, MenuDescription);
    }
}

static bool SameText(const char* A, const char* B) {
    while (*A != '\0' && *A == *B) {
        ++A;
        ++B;
    }
    return *A == *B;
}

void AnnounceMenu() {
    if (!AccessStarted) {
        StartMenuAccess(MainWindow);
    }
    const char* caption = SelectedEntry < MenuCaptionSlots ? MenuCaptions[SelectedEntry] : "";
    const bool moved = SelectedEntry != AnnouncedEntry;
    if (!moved && SameText(caption, AnnouncedCaption)) {
        return;
    }
    AnnouncedEntry = SelectedEntry;
    AssignString(AnnouncedCaption, caption);
    // The caption without the blanks that pad it.
    const char* first = caption;
    while (*first == ' ') {
        ++first;
    }
    int length = static_cast<int>(StringLength(first));
    while (length > 0 && first[length - 1] == ' ') {
        --length;
    }
    wchar_t name[ShortStringLimit + 1];
    name[MultiByteToWideChar(CP_ACP, 0, first, length, name, ShortStringLimit)] = L'\0';
    Annotate(PROPID_ACC_NAME, name);
    if (NotifyRoutine != nullptr) {
        NotifyRoutine(moved ? EVENT_OBJECT_FOCUS : EVENT_OBJECT_NAMECHANGE, AccessWindow,
                      OBJID_CLIENT, CHILDID_SELF);
    }
}

} // namespace Velmora
