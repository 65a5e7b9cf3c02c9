// list_command.cpp: vantorel-pack list, which walks the archive's headers
// with the installer's own reader and prints one line per entry.
#include "tools/pack/commands.h"

#include "arj/archive_headers.h"
#include "platform/simulation/simulation.h"

#include <stdio.h>

static const char Help[] =
    "usage: vantorel-pack list PACKAGE\n"
    "\n"
    "Lists the entries of an installer package's archive, one line each: method,\n"
    "original and compressed size, CRC-32, host OS, file type (0 binary, 1 text)\n"
    "and name; entries that the installer passes over are marked [unsupported].\n"
    "Exit code 0; on a damaged archive 1, with the installer's own message on stderr.\n";

int ListCommand(int argc, char** argv) {
    if (argc >= 1 && IsHelpOption(argv[0])) {
        fputs(Help, stdout);
        return 0;
    }
    if (argc != 1 || argv[0][0] == '-') {
        fputs(Help, stderr);
        return 1;
    }
    if (CheckReadable(argv[0]) != 0) return 1;

    SimSetMessageOutput(stderr);
    OpenArchive(argv[0]);
    printf("Method    Original  Compressed  CRC-32    HostOS  Type  Name\n");
    while (ReadHeader()) {
        const ArchiveEntry& e = archiveEntry;
        printf("%6u  %10ld  %10ld  %08x  %6u  %4d  %s%s\n", e.method, (long)e.originalSize,
               (long)e.compressedSize, e.fileCrc, e.hostOs, e.fileType, e.entryName,
               IsEntrySupported() ? "" : "  [unsupported]");
        SkipEntryData();
    }
    CloseArchive();
    // Output to a pipe that closed is a failure too.
    return fflush(stdout) == 0 ? 0 : 1;
}
