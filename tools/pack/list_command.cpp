// list_command.cpp: vantorel-pack list, which walks the archive's headers
// with the installer's own reader and prints one line per entry.
#include "tools/pack/commands.h"

#include "tools/pack/package_seal.h"

#include "arj/archive_reader.h"
#include "arj/arj_format.h"

#include <stdio.h>

static const char Help[] =
    "usage: vantorel-pack list PACKAGE\n"
    "\n"
    "Lists the entries of an installer package's archive, one line each: method,\n"
    "original and compressed size, CRC-32, host OS, file type (0 binary, 1 text)\n"
    "and name; entries that the installer passes over are marked [unsupported].\n"
    "Methods 14 and 15 are vantorel's solid LZMA block (sizes are the file's own,\n"
    "the block is compressed as a whole): a note on stderr says that arj cannot\n"
    "read such an archive.\n"
    "Exit code 0; on a damaged archive 1, with the installer's own message on stderr;\n"
    "1 too when the package does not match the seal that build wrote.\n";

static void PrintEntry(const ArchiveEntry* e, EntryStatus status, void* context) {
    if (e->method == LzmaMethod || e->method == LzmaX86Method) *(bool*)context = true;
    printf("%6u  %10ld  %10ld  %08x  %6u  %4d  %s%s\n", e->method, (long)e->originalSize,
           (long)e->compressedSize, e->fileCrc, e->hostOs, e->fileType, e->entryName,
           status == EntryUnsupported ? "  [unsupported]" : "");
}

int ListCommand(int argc, char** argv) {
    if (argc >= 1 && IsHelpOption(argv[0])) {
        fputs(Help, stdout);
        return 0;
    }
    if (argc != 1 || argv[0][0] == '-') {
        fputs(Help, stderr);
        return 1;
    }
    std::string problem = CheckReadable(argv[0]);
    if (problem.empty()) problem = VerifyPackage(argv[0]);
    if (!problem.empty()) return Fail("%s", problem.c_str());

    printf("Method    Original  Compressed  CRC-32    HostOS  Type  Name\n");
    char message[MessageSize];
    bool solid = false;
    if (ReadArchive(argv[0], ListEntries, PrintEntry, &solid, message) == ArchiveFailed) {
        fflush(stdout);
        fprintf(stderr, "%s\n", message);
        return 1;
    }
    if (solid)
        fprintf(stderr, "vantorel-pack: list: methods 14 and 15 lie in a solid LZMA block, which "
                        "arj cannot read\n");
    // Output to a pipe that closed is a failure too.
    return fflush(stdout) == 0 ? 0 : 1;
}
