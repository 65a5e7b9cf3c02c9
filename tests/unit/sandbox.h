// sandbox.h: a fresh folder behind the simulated drives for one test: drive
// X: is root/X, the current directory starts as C:\, the window is scripted.
#pragma once

#include "platform/platform.h"
#include "platform/simulation/simulation.h"
#include "script/command_records.h"
#include "script/script_reader.h"
#include "tests/unit/scripted_ui.h"
#include "tools/pack/package_file.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

// Records as Name|I:2|T:text, the reader's and the publisher's mirror's alike.
template <class Argument> std::string ArgumentText(const Argument& a) {
    return a.type == ArgumentType::Integer ? "|I:" + std::to_string(a.intValue)
                                           : "|T:" + std::string(a.text);
}
inline std::vector<std::string> RecordLines() {
    std::vector<std::string> out;
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
        ResetScriptedUi();
        FreeCommandList();
    }
    ~Sandbox() {
        FreeCommandList();
        // Out of the folder before removing it, so the process never stands
        // in a folder that is gone.
        if (chdir("/") != 0 || system(("rm -rf '" + root + "'").c_str()) != 0) ADD_FAILURE();
        SimReset("");
    }
    // Files and folders by Windows path.
    void Write(const std::string& path, const std::string& bytes) const {
        EXPECT_TRUE(WriteWholeFile(SimHostPath(path), bytes)) << path;
    }
    std::string Read(const std::string& path) const {
        std::string bytes;
        return ReadWholeFile(SimHostPath(path), &bytes) ? bytes : "<missing>";
    }
    bool Exists(const std::string& path) const {
        struct stat info;
        return stat(SimHostPath(path).c_str(), &info) == 0;
    }
    // The names in a folder, sorted.
    std::vector<std::string> List(const std::string& path) const {
        std::vector<std::string> names;
        DIR* dir = opendir(SimHostPath(path).c_str());
        while (dirent* entry = dir ? readdir(dir) : nullptr)
            if (strcmp(entry->d_name, ".") && strcmp(entry->d_name, ".."))
                names.push_back(entry->d_name);
        if (dir) closedir(dir);
        std::sort(names.begin(), names.end());
        return names;
    }
    void MakeFolder(const std::string& path) const {
        EXPECT_EQ(0, mkdir(SimHostPath(path).c_str(), 0755)) << path;
    }
    // Parses a script as the installer does.
    void Parse(const std::string& script) const {
        FreeCommandList();
        EXPECT_EQ(0, ParseScriptText(script.data(), (uint32_t)script.size())) << script;
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
