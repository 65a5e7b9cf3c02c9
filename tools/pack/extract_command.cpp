// extract_command.cpp: vantorel-pack extract.
#include "tools/pack/commands.h"

int ExtractCommand(int, char**) {
    return Fail("extract: not available yet");
}
