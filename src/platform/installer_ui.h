// installer_ui.h: the operations through which the logic reaches the window.
//
// One implementation is linked into each program: the Win32 dialog in the
// installer, a scripted one in the unit tests, a console one in the tool.
//
// Results: only the questions give one (nonzero for Yes, for a chosen
// folder); UiShowFatal does not return.
#pragma once

#include "platform/platform.h"
#include "platform/resource_ids.h"

// Control ids of the installer dialog; the controller names controls by them.
enum DialogControl {
    InstallButton = CONTROL_INSTALL,
    CancelButton = CONTROL_CANCEL,
    StatusText = CONTROL_STATUS,
    TargetLabel = CONTROL_TARGET_LABEL,
    AboutButton = CONTROL_ABOUT,
    BrowseButton = CONTROL_BROWSE,
    TargetEdit = CONTROL_TARGET,
    ProgressBar = CONTROL_PROGRESS,
};

enum { UiTextSize = PLATFORM_MAX_PATH }; // the target edit field's text with its NUL

void UiSetStatusText(const char* text);
void UiSetProgress(int percent);
void UiSetProgressRange(int low, int high);
void UiShowInfo(const char* text);
int UiAskYesNo(const char* text); // nonzero unless the answer is No
[[noreturn]] void UiShowFatal(const char* text);
void UiShowAbout(const char* text);
void UiGetTargetText(char* buffer); // buffer of UiTextSize characters
void UiSetTargetText(const char* text);
void UiSetControlEnabled(int control, int enabled);
void UiFocusControl(int control);
void UiSetCancelCaption(const char* text);
void UiBringToFront(void);
void UiCloseDialog(void);
void UiRunDialog(void);
// Lets the user choose a folder; a chosen folder's path replaces buffer
// (UiTextSize characters, always terminated). Zero when no folder was chosen:
// the browse could not be offered, or the user closed it.
int UiBrowseForFolder(const char* title, char* buffer);
