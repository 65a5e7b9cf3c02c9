// actions_fixture.h: a sandboxed machine for the tests of the install actions
// and the controller: simulated drives and registry, the scripted window.
#pragma once

#include "platform/platform.h"
#include "platform/simulation/simulation.h"
#include "script/command_records.h"
#include "script/script_reader.h"
#include "tests/unit/scripted_ui.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <fstream>
#include <iterator>
#include <string>

class SandboxTest : public ::testing::Test {
  protected:
    std::string sandbox;

    void SetUp() override {
        char dir[] = "/tmp/vantorel-test-XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(dir));
        sandbox = dir;
        SimReset(sandbox);
        ResetScriptedUi();
        FreeCommandList();
    }

    void TearDown() override {
        FreeCommandList();
        SimReset("");
        std::string command = "rm -rf '" + sandbox + "'";
        if (system(command.c_str()) != 0) ADD_FAILURE() << "could not remove " << sandbox;
    }

    // The standard folders that LoadFolderVariables reads.
    void SetStandardFolders(const std::string& programFiles = "C:\\Program Files",
                            const std::string& programs = "C:\\Start\\Programs",
                            const std::string& desktop = "C:\\Desk") {
        SimSetRegistryString(2, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir",
                             programFiles);
        const char* shell = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
        SimSetRegistryString(1, shell, "Programs", programs);
        SimSetRegistryString(1, shell, "Desktop", desktop);
    }

    void ParseOrFail(const std::string& script) {
        ASSERT_EQ(0, ParseScriptText(script.data(), (uint32_t)script.size())) << script;
    }

    // Files by Windows path.
    void WriteFile(const std::string& windowsPath, const std::string& bytes) {
        std::ofstream file(SimHostPath(windowsPath), std::ios::binary);
        file << bytes;
        ASSERT_TRUE(file.good()) << windowsPath;
    }

    bool ReadFile(const std::string& windowsPath, std::string* bytes) {
        std::ifstream file(SimHostPath(windowsPath), std::ios::binary);
        if (!file) return false;
        bytes->assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
        return true;
    }

    bool Exists(const std::string& windowsPath) {
        std::string bytes;
        std::ifstream file(SimHostPath(windowsPath));
        return file.good();
    }
};
