// build_command.cpp: vantorel-pack build.
#include "tools/pack/commands.h"

int BuildCommand(int, char**) {
    return Fail("build: not available yet");
}
