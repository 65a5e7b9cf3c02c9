// scripted_ui.h: an InstallerUi for tests that records every call and answers
// from queues.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

struct ScriptedUi {
    std::vector<std::string> calls;        // "SetStatusText(text)", "AskYesNo(text)", ...
    std::vector<int> progress;             // every SetProgress value, in order
    std::deque<int> yesNoAnswers;          // AskYesNo answers; Yes when empty
    std::deque<std::string> browseResults; // folders chosen; none: the user cancels
    std::string targetText;                // the edit field
    std::function<void()> dialog;          // the user's actions once the dialog is up
};

extern ScriptedUi scriptedUi;

// Starts afresh.
void ResetScriptedUi();
// The calls whose text starts with one of the prefixes, in order.
std::vector<std::string> ScriptedCalls(const std::vector<std::string>& prefixes);
inline std::vector<std::string> ScriptedCalls(const char* prefix) {
    return ScriptedCalls(std::vector<std::string>{prefix});
}
