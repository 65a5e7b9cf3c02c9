// check_command.cpp: vantorel-pack check, which parses a package's script (or
// a bare script file) with the installer's reader and prints its records.
#include "tools/pack/commands.h"

#include "actions/install_log.h"
#include "script/command_records.h"
#include "script/script_reader.h"
#include "tools/pack/package_file.h"

#include <stdio.h>
#include <string.h>

#include <string>

static const char Help[] =
    "usage: vantorel-pack check PACKAGE\n"
    "       vantorel-pack check --script FILE\n"
    "\n"
    "Parses the installation script of an installer (or a bare script file) as the\n"
    "installer does and prints one line per statement, in the syntax of install.log.\n"
    "Exit code 0 when the script parses, 1 when it does not.\n";

int CheckCommand(int argc, char** argv) {
    if (argc >= 1 && IsHelpOption(argv[0])) {
        fputs(Help, stdout);
        return 0;
    }
    bool bare = argc == 2 && !strcmp(argv[0], "--script");
    if (!bare && argc != 1) {
        fputs(Help, stderr);
        return 1;
    }
    const char* path = argv[bare ? 1 : 0];
    if (CheckReadable(path) != 0) return 1;
    int result;
    std::string text;
    if (bare) {
        if (!ReadWholeFile(path, &text)) return Fail("cannot read %s", path);
        result = ParseScriptText(text.data(), (uint32_t)text.size());
    } else {
        result = ParseScript(path);
    }
    if (result != 0) {
        FreeCommandList();
        fputs("Error parsing installation script.\n", stderr);
        return 1;
    }
    for (const CommandRecord* record = commandList.head; record; record = record->next)
        WriteLogLine(stdout, record);
    FreeCommandList();
    return 0;
}
