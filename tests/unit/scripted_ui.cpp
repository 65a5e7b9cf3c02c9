// scripted_ui.cpp: the recording InstallerUi of the unit tests.
#include "tests/unit/scripted_ui.h"

#include "frontend/install_controller.h"
#include "platform/installer_ui.h"
#include "platform/platform.h"

#include <stdio.h>
#include <string.h>

ScriptedUi scriptedUi;

void ResetScriptedUi() {
    scriptedUi = ScriptedUi();
}

std::vector<std::string> ScriptedCalls(const std::vector<std::string>& prefixes) {
    std::vector<std::string> out;
    for (const std::string& call : scriptedUi.calls)
        for (const std::string& prefix : prefixes)
            if (call.compare(0, prefix.size(), prefix) == 0) out.push_back(call);
    return out;
}

static void Note(const std::string& call) {
    scriptedUi.calls.push_back(call);
}

void UiSetStatusText(const char* text) {
    Note("SetStatusText(" + std::string(text) + ")");
}

void UiSetProgress(int percent) {
    scriptedUi.progress.push_back(percent);
}

void UiShowInfo(const char* text) {
    Note("ShowInfo(" + std::string(text) + ")");
}

int UiAskYesNo(const char* text) {
    Note("AskYesNo(" + std::string(text) + ")");
    if (scriptedUi.yesNoAnswers.empty()) return 1;
    int answer = scriptedUi.yesNoAnswers.front();
    scriptedUi.yesNoAnswers.pop_front();
    return answer;
}

void UiShowFatal(const char* text) {
    fprintf(stderr, "%s\n", text);
    PlatformExit(-1);
}

void UiShowAbout(const char* text) {
    Note("ShowAbout(" + std::string(text) + ")");
}

void UiSetCancelCaption(const char* text) {
    Note("SetCancelCaption(" + std::string(text) + ")");
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
