// sandbox.h: a fresh simulated machine per test: drive X: is root/X, the window is scripted.
#pragma once

#include "actions/folder_variables.h"
#include "platform/platform.h"
#include "tools/platform_sim/simulation.h"
#include "script/command_records.h"
#include "script/script_reader.h"
#include "tools/pack/package_file.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

using Lines = std::vector<std::string>;

// The window of the unit tests (scripted_ui.cpp): records calls, answers from queues.
struct ScriptedUi {
    Lines calls;                           // "SetStatusText(text)", "AskYesNo(text)", ...
    std::vector<int> progress;             // every SetProgress value, in order
    std::deque<int> yesNoAnswers;          // AskYesNo answers; Yes when empty
    std::deque<std::string> browseResults; // folders chosen; none: the user cancels
    std::string targetText;                // the edit field
    std::function<void()> dialog;          // the user's actions once the dialog is up
};
extern ScriptedUi scriptedUi;

// The calls whose text starts with one of the prefixes, in order.
inline Lines ScriptedCalls(const Lines& prefixes) {
    Lines out;
    for (const std::string& call : scriptedUi.calls)
        for (const std::string& prefix : prefixes)
            if (call.compare(0, prefix.size(), prefix) == 0) out.push_back(call);
    return out;
}

// Records as Name|I:2|T:text, the reader's and the publisher's mirror's alike.
template <class Argument> std::string ArgumentText(const Argument& a) {
    return a.type == ArgumentType::Integer ? "|I:" + std::to_string(a.intValue)
                                           : "|T:" + std::string(a.text);
}
inline Lines RecordLines() {
    Lines out;
    for (const CommandRecord* r = commandList.head; r; r = r->next) {
        out.push_back(r->name);
        for (int i = 0; i < CountArguments(r); i++) out.back() += ArgumentText(r->arguments[i]);
    }
    return out;
}

struct Sandbox {
    std::string root;
    Sandbox() {
        char path[] = "/tmp/vantorel-test-XXXXXX";
        root = mkdtemp(path);
        SimReset(root);
        scriptedUi = ScriptedUi();
        FreeCommandList();
        memset(&folderVariables, 0, sizeof folderVariables);
    }
    ~Sandbox() {
        FreeCommandList();
        // Out of the folder first: the process must not stand in a removed one.
        if (chdir("/") != 0 || system(("rm -rf '" + root + "'").c_str()) != 0) ADD_FAILURE();
        SimReset("");
    }
    // Files and folders by Windows path.
    void Write(const std::string& path, const std::string& bytes) const {
        EXPECT_EQ("", WriteWholeFile(SimHostPath(path), bytes)) << path;
    }
    std::string Read(const std::string& path) const {
        std::string bytes;
        return ReadWholeFile(SimHostPath(path), &bytes).empty() ? bytes : "<missing>";
    }
    bool Exists(const std::string& path) const {
        return std::filesystem::exists(SimHostPath(path));
    }
    // The names in a folder, sorted; none when it is missing.
    Lines List(const std::string& path) const {
        Lines names;
        std::error_code missing;
        for (const auto& entry : std::filesystem::directory_iterator(SimHostPath(path), missing))
            names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }
    void MakeFolder(const std::string& path) const {
        EXPECT_EQ(0, mkdir(SimHostPath(path).c_str(), 0755)) << path;
    }
    // Parses a script as the installer does; the records it made.
    Lines Parse(const std::string& script, int result = 0) const {
        FreeCommandList();
        EXPECT_EQ(result, ParseScriptText(script.data(), (uint32_t)script.size())) << script;
        return RecordLines();
    }
    // A registry value as type:bytes.
    static std::string Value(int root, const std::string& key, const std::string& name) {
        SimValue v;
        if (!SimGetRegistryValue(root, key, name, &v)) return "<missing>";
        return std::to_string(v.type) + ":" + std::string(v.data.begin(), v.data.end());
    }
    // A shortcut as target|description.
    static std::string Shortcut(const std::string& path) {
        SimShortcut link;
        return SimReadShortcut(path, &link) ? link.target + "|" + link.description : "<missing>";
    }
    // The folders that LoadFolderVariables reads from the registry.
    void SetStandardFolders() const {
        SimSetRegistryString(2, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir",
                             "C:\\Program Files");
        const char* shell = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
        SimSetRegistryString(1, shell, "Programs", "C:\\Start\\Programs");
        SimSetRegistryString(1, shell, "Desktop", "C:\\Desk");
    }
};
