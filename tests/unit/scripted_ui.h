// scripted_ui.h: an InstallerUi for tests that records every call and answers
// from queues.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

struct ScriptedUi {
    std::vector<std::string> calls;        // "SetStatusText(text)", "SetProgress(25)", ...
    std::vector<int> progress;             // every SetProgress value, in order
    std::deque<int> yesNoAnswers;          // AskYesNo answers; Yes when empty
    std::deque<std::string> browseResults; // folders chosen; none: the user cancels
    std::string targetText;                // the edit field
    bool closed = false;
    std::function<void()> dialog; // the user's actions once the dialog is up
};

extern ScriptedUi scriptedUi;

// Starts afresh.
void ResetScriptedUi();
// The calls whose text starts with prefix.
std::vector<std::string> ScriptedCalls(const std::string& prefix);
