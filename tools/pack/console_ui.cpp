// console_ui.cpp: the window's operations for the package tool, which has no
// window: fatal messages go to stderr, everything else is quiet.
#include "platform/installer_ui.h"
#include "platform/platform.h"

#include <stdio.h>
#include <string.h>

void UiSetStatusText(const char*) {}
void UiSetProgress(int) {}
void UiSetProgressRange(int, int) {}
void UiShowInfo(const char*) {}
int UiAskYesNo(const char*) {
    return 1;
}

void UiShowFatal(const char* text) {
    fprintf(stderr, "%s\n", text);
    PlatformExit(-1);
}

void UiShowAbout(const char*) {}
void UiGetTargetText(char* buffer) {
    buffer[0] = 0;
}
void UiSetTargetText(const char*) {}
void UiSetControlEnabled(int, int) {}
void UiFocusControl(int) {}
void UiSetCancelCaption(const char*) {}
void UiBringToFront(void) {}
void UiCloseDialog(void) {}
void UiRunDialog(void) {}
int UiBrowseForFolder(const char*, char*) {
    return 0;
}
