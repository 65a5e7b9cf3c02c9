// scripted_ui.cpp: the recording InstallerUi of the unit tests.
#include "frontend/install_controller.h"
#include "platform/installer_ui.h"
#include "tests/unit/sandbox.h"

#include <stdio.h>

ScriptedUi scriptedUi;

void UiSetStatusText(const char* text) {
    scriptedUi.calls.push_back("SetStatusText(" + std::string(text) + ")");
}

void UiSetProgress(int percent) {
    scriptedUi.progress.push_back(percent);
}

void UiShowInfo(const char* text) {
    scriptedUi.calls.push_back("ShowInfo(" + std::string(text) + ")");
}

int UiAskYesNo(const char* text) {
    scriptedUi.calls.push_back("AskYesNo(" + std::string(text) + ")");
    int answer = scriptedUi.yesNoAnswers.empty() ? 1 : scriptedUi.yesNoAnswers.front();
    if (!scriptedUi.yesNoAnswers.empty()) scriptedUi.yesNoAnswers.pop_front();
    return answer;
}

void UiShowFatal(const char* text) {
    fprintf(stderr, "%s\n", text);
    PlatformExit(-1);
}

void UiShowAbout(const char* text) {
    scriptedUi.calls.push_back("ShowAbout(" + std::string(text) + ")");
}

void UiSetCancelCaption(const char* text) {
    scriptedUi.calls.push_back("SetCancelCaption(" + std::string(text) + ")");
}

void UiGetTargetText(char* buffer) {
    snprintf(buffer, UiTextSize, "%s", scriptedUi.targetText.c_str());
}

void UiSetTargetText(const char* text) {
    scriptedUi.targetText = text;
}

// What only the window shows.
void UiSetProgressRange(int, int) {}
void UiSetControlEnabled(int, int) {}
void UiFocusControl(int) {}
void UiBringToFront(void) {}
void UiCloseDialog(void) {}

void UiRunDialog(void) {
    OnInit(); // as the dialog does when it is created
    if (scriptedUi.dialog) scriptedUi.dialog();
}

int UiBrowseForFolder(const char*, char* buffer) {
    if (scriptedUi.browseResults.empty()) return 0; // closed without a choice
    snprintf(buffer, UiTextSize, "%s", scriptedUi.browseResults.front().c_str());
    scriptedUi.browseResults.pop_front();
    return 1;
}
