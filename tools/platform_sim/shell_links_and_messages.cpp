// shell_links_and_messages.cpp: the shell's link object, saved as a small file; message boxes.
#include "tools/platform_sim/simulation_internal.h"

#include <string.h>

using namespace sim;

namespace {

const int32_t Succeeded = 0; // S_OK
const char ShortcutHeading[] = "[simulated shortcut]";
enum {
    ButtonsMask = 0xF, // MB_TYPEMASK
    IdOk = 1,          // the first button of MB_OK
    IdYes = 6,         // and of MB_YESNO
};

struct ShellLink {
    std::string path;
    std::string description;
};

} // namespace

// ---- controls ----

bool SimReadShortcut(const std::string& windowsPath, SimShortcut* shortcut) {
    FILE* file = fopen(ToHost(windowsPath).c_str(), "rb");
    if (!file) return false;
    char line[1024];
    std::vector<std::string> lines;
    while (fgets(line, sizeof line, file)) {
        std::string text = line;
        if (!text.empty() && text.back() == '\n') text.pop_back();
        lines.push_back(text);
    }
    fclose(file);
    if (lines.size() != 3 || lines[0] != ShortcutHeading) return false;
    shortcut->target = lines[1].substr(lines[1].find('=') + 1);
    shortcut->description = lines[2].substr(lines[2].find('=') + 1);
    return true;
}

void SimFailShellLinkCreation(int32_t hresult) {
    State().shellLinkFailure = hresult;
}
void SimQueueMessageBoxAnswer(int answer) {
    State().answers.push_back(answer);
}
void SimSetMessageOutput(FILE* output) {
    State().messageOutput = output;
}

// ---- COM and shell links ----

int32_t PlatformCoInitialize(void) {
    Record("CoInitialize", {});
    return Succeeded;
}

void PlatformCoUninitialize(void) {
    Record("CoUninitialize", {});
}

int32_t PlatformCreateShellLink(PlatformShellLink* link) {
    Record("CoCreateInstance", {"CLSID_ShellLink", "CLSCTX_INPROC_SERVER", "IID_IShellLinkA"});
    if (State().shellLinkFailure < 0) {
        int32_t failure = State().shellLinkFailure;
        State().shellLinkFailure = Succeeded;
        return failure;
    }
    *link = new ShellLink();
    return Succeeded;
}

int32_t PlatformShellLinkSetPath(PlatformShellLink link, const char* path) {
    Record("SetPath", {path});
    static_cast<ShellLink*>(link)->path = path;
    return Succeeded;
}

int32_t PlatformShellLinkSetDescription(PlatformShellLink link, const char* description) {
    Record("SetDescription", {description});
    static_cast<ShellLink*>(link)->description = description;
    return Succeeded;
}

int32_t PlatformShellLinkQueryPersistFile(PlatformShellLink link, PlatformPersistFile* file) {
    Record("QueryInterface", {"IID_IPersistFile"});
    *file = link;
    return Succeeded;
}

int32_t PlatformPersistFileSave(PlatformPersistFile file, const uint16_t* path, int remember) {
    const int32_t pathNotFound = PLATFORM_HRESULT_FROM_WIN32(PLATFORM_ERROR_PATH_NOT_FOUND);
    std::string narrow;
    for (const uint16_t* p = path; *p; p++) narrow += (char)*p;
    Record("Save", {narrow, std::to_string(remember)});
    std::string host = ToHost(narrow);
    std::string folder =
        host.substr(0, host.find_last_of('/') == std::string::npos ? 0 : host.find_last_of('/'));
    if (!folder.empty() && !IsDirectory(folder)) return pathNotFound;
    FILE* out = fopen(host.c_str(), "wb");
    if (!out) return pathNotFound;
    const ShellLink* link = static_cast<const ShellLink*>(file);
    fprintf(out, "%s\nTarget=%s\nDescription=%s\n", ShortcutHeading, link->path.c_str(),
            link->description.c_str());
    fclose(out);
    return Succeeded;
}

void PlatformReleasePersistFile(PlatformPersistFile) {
    Record("Release", {"IPersistFile"});
}

void PlatformReleaseShellLink(PlatformShellLink link) {
    Record("Release", {"IShellLinkA"});
    delete static_cast<ShellLink*>(link);
}

// The code page taken as Latin-1: each byte is the character of its number.
int PlatformAnsiToWide(const char* text, uint16_t* wide, int wideSize) {
    int length = (int)strlen(text) + 1;
    if (length > wideSize) return 0;
    for (int i = 0; i < length; i++) wide[i] = (unsigned char)text[i];
    return length;
}

// ---- message boxes ----

int PlatformMessageBox(const char* text, const char* caption, uint32_t type) {
    Simulation& s = State();
    Record("MessageBox", {text, caption, Hex(type)});
    int first = (type & ButtonsMask) == PLATFORM_MB_YESNO ? IdYes : IdOk;
    if (s.silent) return first;
    if (s.messageOutput) fprintf(s.messageOutput, "%s\n", text);
    if (s.answers.empty()) return first;
    int answer = s.answers.front();
    s.answers.pop_front();
    return answer;
}

void PlatformSetSilent(int silent) {
    State().silent = silent;
}
