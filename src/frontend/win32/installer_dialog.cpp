// installer_dialog.cpp: the installer's dialog and the window operations of installer_ui.h.
//
// Without a dialog (silent mode) the dialog window is null: the control
// operations then act on no window and do nothing, and the message boxes go
// through the platform, which answers them without showing anything.
#include "frontend/install_controller.h"
#include "platform/format_text.h"
#include "platform/installer_ui.h"
#include "platform/platform.h"

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

enum {
    DialogTemplate = RESOURCE_DIALOG,
    DrivesFolder = 0x11, // CSIDL_DRIVES: the computer's drives
};

static const char Caption[] = "Vantorel";

static HWND dialog;

// The linker's name for the program's own image: its module handle.
extern "C" IMAGE_DOS_HEADER __ImageBase;

static HWND Control(int id) {
    return GetDlgItem(dialog, id);
}

static INT_PTR CALLBACK DialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        dialog = window;
        OnInit();
        return TRUE;
    }
    if (message != WM_COMMAND) return FALSE;
    switch (LOWORD(wParam)) {
    case InstallButton:
        OnInstall();
        break;
    case CancelButton:
        OnCancel();
        break;
    case AboutButton:
        OnAbout();
        break;
    case BrowseButton:
        OnBrowse();
        break;
    }
    return TRUE;
}

void UiSetStatusText(const char* text) {
    SetWindowTextA(Control(StatusText), text);
}

void UiSetProgress(int percent) {
    SendMessageA(Control(ProgressBar), PBM_SETPOS, (WPARAM)percent, 0);
}

void UiSetProgressRange(int low, int high) {
    SendMessageA(Control(ProgressBar), PBM_SETRANGE, 0, MAKELPARAM(low, high));
}

void UiShowInfo(const char* text) {
    PlatformMessageBox(text, Caption, MB_OK | MB_ICONINFORMATION);
}

int UiAskYesNo(const char* text) {
    return PlatformMessageBox(text, Caption, MB_YESNO | MB_ICONQUESTION) != IDNO;
}

void UiShowFatal(const char* text) {
    PlatformMessageBox(text, Caption, MB_OK | MB_ICONHAND);
    PlatformExit(-1);
}

void UiShowAbout(const char* text) {
    if (dialog) MessageBoxA(dialog, text, Caption, MB_OK | MB_ICONINFORMATION);
}

void UiGetTargetText(char* buffer) {
    buffer[0] = 0; // GetWindowTextA leaves it alone when there is no window
    GetWindowTextA(Control(TargetEdit), buffer, UiTextSize);
}

void UiSetTargetText(const char* text) {
    SetWindowTextA(Control(TargetEdit), text);
}

void UiSetControlEnabled(int control, int enabled) {
    EnableWindow(Control(control), enabled);
}

// WM_NEXTDLGCTL rather than SetFocus: it also makes a focused push button the
// default one, so that Enter presses "Finish" once it has the focus; after a
// bare SetFocus, Enter would still go to the disabled Install button.
void UiFocusControl(int control) {
    SendMessageA(dialog, WM_NEXTDLGCTL, (WPARAM)Control(control), TRUE);
}

void UiSetCancelCaption(const char* text) {
    SetWindowTextA(Control(CancelButton), text);
}

// SetWindowPos to HWND_TOP, neither moved nor sized, in one argument.
void UiBringToFront(void) {
    BringWindowToTop(dialog);
}

void UiCloseDialog(void) {
    EndDialog(dialog, 0);
}

// The progress bar's class comes from comctl32.dll, loaded by name only now
// that the search is limited to the system folder: a static import would be
// resolved before that, and the installer's folder searched first. The
// manifest turns the name into Common Controls 6. A dialog that cannot be made
// (no desktop to show it on) ends the run as a failure: returning would report
// a run that installed nothing as done.
void UiRunDialog(void) {
    FARPROC initCommonControls = GetProcAddress(LoadLibraryA("comctl32.dll"), "InitCommonControls");
    if (initCommonControls) initCommonControls();
    INT_PTR result = DialogBoxParamA((HINSTANCE)&__ImageBase, MAKEINTRESOURCEA(DialogTemplate), 0,
                                     DialogProcedure, 0);
    dialog = 0;
    if (result == -1) ShowFatal("Cannot show the installer dialog.");
}

// The box writes the chosen item's display name and path into buffers of its
// own: only a file-system path reaches the caller's buffer, so an item without
// one (a printer, the drives folder itself) leaves it as it was. The shell
// allocates item lists with COM's task allocator, which CoTaskMemFree frees.
int UiBrowseForFolder(const char* title, char* buffer) {
    // The folder box is a COM client, which wants COM started on this thread.
    HRESULT com = CoInitialize(0);
    int chosen = 0;
    LPITEMIDLIST drives;
    if (SUCCEEDED(SHGetSpecialFolderLocation(dialog, DrivesFolder, &drives))) {
        char displayName[MAX_PATH];
        char path[MAX_PATH];
        BROWSEINFOA info = {};
        info.hwndOwner = dialog;
        info.pidlRoot = drives;
        info.pszDisplayName = displayName;
        info.lpszTitle = title;
        LPITEMIDLIST item = SHBrowseForFolderA(&info);
        if (item) {
            if (SHGetPathFromIDListA(item, path) && path[0]) {
                FormatText(buffer, UiTextSize, "%s", path);
                chosen = 1;
            }
            CoTaskMemFree(item);
        }
        CoTaskMemFree(drives);
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return chosen;
}
