// simulation.h: the host's stand-in for Windows, and its controls for tests.
//
// An in-memory registry with the four roots, drive letters mapped to folders
// of a sandbox, Windows path rules (backslashes, names matched without regard
// to case), shortcut files, scripted message boxes and a record of every call.
// Without a sandbox (the package tool) paths are host paths, still matched
// without regard to case.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

struct SimCall {
    std::string name;              // the Win32 call, e.g. "RegSetValueEx"
    std::vector<std::string> args; // its parameters as text
};

struct SimValue {
    uint32_t type;
    std::vector<uint8_t> data;
};

struct SimShortcut {
    std::string target;
    std::string description;
};

// Starts afresh: empty registry, no calls, default folders, no queued answers.
// With a sandbox folder, drive X: is sandbox/X (made on first use) and the
// current directory becomes C:\. With "" paths are host paths.
void SimReset(const std::string& sandbox);

// Host path of a Windows path, resolved without regard to letter case.
std::string SimHostPath(const std::string& windowsPath);

void SimSetWindowsDirectory(const std::string& path); // default C:\Windows
void SimSetSystemDirectory(const std::string& path);  // default C:\Windows\system32
void SimSetTempPath(const std::string& path);         // default C:\Temp\ (made)
void SimSetModuleFileName(const std::string& path);

// Registry: rootIndex 0 HKCR, 1 HKCU, 2 HKLM, 3 HKU.
void SimSetRegistryValue(int rootIndex, const std::string& key, const std::string& name,
                         uint32_t type, const std::vector<uint8_t>& data);
void SimSetRegistryString(int rootIndex, const std::string& key, const std::string& name,
                          const std::string& text); // REG_SZ with its NUL
bool SimGetRegistryValue(int rootIndex, const std::string& key, const std::string& name,
                         SimValue* value);
bool SimKeyExists(int rootIndex, const std::string& key);
// What PlatformIsElevated answers; not elevated after SimReset.
void SimSetElevated(bool elevated);
// Makes every RegCreateKey fail (a key that can be neither opened nor made).
void SimFailKeyCreation(bool fail);

// Shell links: Save writes a small file; this reads it back.
bool SimReadShortcut(const std::string& windowsPath, SimShortcut* shortcut);
// HRESULT for the next CoCreateInstance (0: success).
void SimFailShellLinkCreation(int32_t hresult);

// Message boxes answer from this queue (IDYES 6, IDNO 7, IDOK 1, 0 failure);
// when it is empty, with the first button.
void SimQueueMessageBoxAnswer(int answer);
// Where message box texts are printed as one line each (the package tool:
// stderr); none by default.
void SimSetMessageOutput(FILE* output);

const std::vector<SimCall>& SimCalls(void);
void SimClearCalls(void);
// The calls of one name, in order.
std::vector<SimCall> SimCallsNamed(const std::string& name);
