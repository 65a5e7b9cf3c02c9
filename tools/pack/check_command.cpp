// check_command.cpp: vantorel-pack check, which parses a package's script (or
// a bare script file) with the installer's reader and prints its records.
#include "tools/pack/commands.h"

#include "tools/pack/package_seal.h"

#include "actions/install_log.h"
#include "script/command_records.h"
#include "script/script_reader.h"
#include "tools/pack/archive_entries.h"
#include "tools/pack/arj_writer.h"
#include "tools/pack/package_file.h"
#include "tools/pack/publisher_script.h"

#include <stdio.h>
#include <string.h>

#include <string>

static const char Help[] =
    "usage: vantorel-pack check [--codepage N] [--werror] PACKAGE\n"
    "       vantorel-pack check [--codepage N] [--werror] --script FILE\n"
    "\n"
    "Parses the installation script of an installer (or a bare script file) as the\n"
    "installer does and prints one line per statement, in the syntax of install.log;\n"
    "a script file's MoveFolder statements are shown expanded. Problems go to stderr\n"
    "as FILE:LINE:COLUMN: error|warning: MESSAGE.\n"
    "\n"
    "%s"
    "\n"
    "Exit code 0 when the script parses without errors, 1 when it does not (or has\n"
    "warnings, with --werror), and when a package does not match the seal that\n"
    "build wrote into its image (damaged or cut short).\n";

// The package's script, diagnosed; its archive's names too when the archive
// starts where the installer looks first.
static std::string DiagnosePackage(const char* path, const PublisherOptions& options) {
    std::string script, archiveStart;
    if (!ReadPackageParts(path, &script, &archiveStart).empty()) return ""; // the reader says more
    PublisherScript packaged;
    std::string problem = packaged.LoadPackaged(path, script, options);
    if (!problem.empty()) return problem;
    std::vector<std::string> names;
    bool archive = CheckArchiveStart(archiveStart).empty();
    if (archive) {
        problem = ReadArchiveEntryNames(path, &names);
        if (!problem.empty()) return problem;
    }
    packaged.Diagnose(archive ? &names : nullptr);
    return packaged.Report();
}

int CheckCommand(int argc, char** argv) {
    if (argc >= 1 && IsHelpOption(argv[0])) {
        printf(Help, PublisherOptionsHelp);
        return 0;
    }
    PublisherOptions options;
    std::string problem = TakePublisherOptions(&argc, argv, &options);
    if (!problem.empty()) return Fail("check: %s", problem.c_str());
    bool bare = argc == 2 && !strcmp(argv[0], "--script");
    if (!bare && argc != 1) {
        fprintf(stderr, Help, PublisherOptionsHelp);
        return 1;
    }
    const char* path = argv[bare ? 1 : 0];
    problem = CheckReadable(path);
    if (!problem.empty()) return Fail("%s", problem.c_str());
    int result;
    if (bare) {
        PublisherScript script;
        problem = script.Load(path, options);
        if (!problem.empty()) return Fail("check: %s", problem.c_str());
        script.ExpandFolders({}, true);
        script.Diagnose(nullptr);
        problem = script.Report();
        result = ParseScriptText(script.Bytes().data(), (uint32_t)script.Bytes().size());
    } else {
        problem = VerifyPackage(path);
        if (!problem.empty()) return Fail("%s", problem.c_str());
        problem = DiagnosePackage(path, options);
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
    return problem.empty() ? 0 : 1;
}
