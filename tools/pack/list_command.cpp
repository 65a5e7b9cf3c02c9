// list_command.cpp: vantorel-pack list.
#include "tools/pack/commands.h"

int ListCommand(int, char**) {
    return Fail("list: not available yet");
}
