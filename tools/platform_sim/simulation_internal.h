// simulation_internal.h: what the files of the host simulation share; tests see simulation.h only.
#pragma once

#include "tools/platform_sim/simulation.h"

#include "platform/platform.h"

#include <deque>
#include <map>
#include <string>
#include <vector>

// A named namespace, not file-local ones: the files link to each other, and
// short names such as Record must not meet the code under test.
namespace sim {

struct StoredValue {
    std::string name; // as first written
    SimValue value;
};
struct RegistryKey {
    std::map<std::string, StoredValue> values; // by lower-case name
};
struct OpenKey {
    int root;
    std::string path;
};

// Everything SimReset puts back; one instance, reached through State().
struct Simulation {
    std::string sandbox;
    std::map<std::string, RegistryKey> registry[4]; // by lower-case key path
    std::map<uintptr_t, OpenKey> openKeys;
    uintptr_t nextHandle = 0x1000;
    bool failKeyCreation = false;
    std::vector<SimCall> calls;
    std::deque<int> answers;
    FILE* messageOutput = nullptr;
    int32_t shellLinkFailure = 0;
    int silent = 0;
    uint32_t lastError = 0;
    bool elevated = false;
    std::string windowsDir = "C:\\Windows";
    std::string systemDir = "C:\\Windows\\system32";
    std::string tempPath = "C:\\Temp\\";
    std::string moduleFileName = "C:\\vantorel.exe";
};

Simulation& State();
void Record(const char* name, std::vector<std::string> args);
std::string Lower(std::string text);
std::string Hex(uint32_t value);

// Paths (windows_paths.cpp).
bool Exists(const std::string& hostPath);
bool IsDirectory(const std::string& hostPath);
// The sandbox folder of a drive letter, made on first use.
std::string DriveFolder(char letter);
// A Windows path as a host path, each name matched without regard to case.
std::string ToHost(const std::string& windowsPath);
// A host path inside the sandbox as a Windows path; others unchanged.
std::string ToWindows(const std::string& hostPath);
// After we made hostPath: lets the name lookup of its folder know it.
void NoteMade(const std::string& hostPath);

} // namespace sim
