// simulation_state.cpp: the simulation's one state, its record of calls, and the process itself.
#include "tools/platform_sim/simulation_internal.h"

#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sim {

Simulation& State() {
    static Simulation simulation;
    return simulation;
}

void Record(const char* name, std::vector<std::string> args) {
    State().calls.push_back(SimCall{name, std::move(args)});
}

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = c - 'A' + 'a';
    return text;
}

std::string Hex(uint32_t value) {
    char text[16];
    snprintf(text, sizeof text, "0x%x", value);
    return text;
}

} // namespace sim

using namespace sim;

// ---- controls ----

void SimReset(const std::string& sandbox) {
    Simulation& s = State();
    s = Simulation();
    s.sandbox = sandbox;
    if (!sandbox.empty()) {
        mkdir(sandbox.c_str(), 0755);
        if (chdir(DriveFolder('C').c_str()) != 0) abort();
        mkdir((DriveFolder('C') + "/Temp").c_str(), 0755);
    }
}

void SimSetModuleFileName(const std::string& path) {
    State().moduleFileName = path;
}
void SimSetElevated(bool elevated) {
    State().elevated = elevated;
}

const std::vector<SimCall>& SimCalls(void) {
    return State().calls;
}
void SimClearCalls(void) {
    State().calls.clear();
}

std::vector<SimCall> SimCallsNamed(const std::string& name) {
    std::vector<SimCall> out;
    for (const SimCall& call : State().calls)
        if (call.name == name) out.push_back(call);
    return out;
}

// ---- the process ----

uint32_t PlatformGetModuleFileName(char* buffer, uint32_t size) {
    const std::string& name = State().moduleFileName;
    if (size == 0) return 0;
    // Win32 cuts a name that does not fit and still terminates it.
    uint32_t length = name.size() < size ? (uint32_t)name.size() : size - 1;
    memcpy(buffer, name.data(), length);
    buffer[length] = 0;
    return length;
}

// 16 ms a call: the same in every run, whatever the host's clock says.
uint32_t PlatformGetTickCount(void) {
    static uint32_t ticks = 1000;
    return ticks += 16;
}

void PlatformSleep(uint32_t milliseconds) {
    Record("Sleep", {std::to_string(milliseconds)});
}

int PlatformIsElevated(void) {
    Record("CheckTokenMembership", {"S-1-5-32-544"});
    return State().elevated;
}

int PlatformRemoveSelfLater(const char* self, int levels) {
    Record("RemoveSelfLater", {self, std::to_string(levels)});
    return 1;
}

void PlatformExit(int code) {
    fflush(stdout);
    fflush(stderr);
    exit(code);
}
