// extract_command.cpp: vantorel-pack extract, which runs the installer's own
// archive reader on a package into a folder.
#include "tools/pack/commands.h"

#include "tools/pack/package_seal.h"

#include "arj/archive_reader.h"

#include <errno.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

static const char Help[] =
    "usage: vantorel-pack extract PACKAGE [-C DIR]\n"
    "\n"
    "Extracts the archive of an installer package as the installer does, into DIR\n"
    "(default: the current folder), made when missing.\n"
    "Exit code 0 when every entry was extracted and its CRC matched; 2 when some\n"
    "entries failed (passed over, not creatable, CRC mismatch), with their count on\n"
    "stderr; 1 on a fatal error, with the installer's own message on stderr, and\n"
    "when the package does not match the seal that build wrote (damaged or cut).\n";

static int EntryCount;

// Makes folder and the folders above it that are missing.
static int MakeFolders(const char* folder) {
    char path[PATH_MAX];
    if (snprintf(path, sizeof path, "%s", folder) >= (int)sizeof path) return -1;
    for (char* p = path + 1; *p; p++) {
        if (*p != '/') continue;
        *p = 0;
        if (mkdir(path, 0777) != 0 && errno != EEXIST) return -1;
        *p = '/';
    }
    return mkdir(path, 0777) != 0 && errno != EEXIST ? -1 : 0;
}

static void CountEntry(const ArchiveEntry*, EntryStatus, void*) {
    EntryCount++;
}

int ExtractCommand(int argc, char** argv) {
    const char* package = nullptr;
    const char* folder = nullptr;
    for (int i = 0; i < argc; i++) {
        if (IsHelpOption(argv[i])) {
            fputs(Help, stdout);
            return 0;
        }
        if (!strcmp(argv[i], "-C") && i + 1 < argc && !folder) {
            folder = argv[++i];
        } else if (argv[i][0] != '-' && !package) {
            package = argv[i];
        } else {
            fputs(Help, stderr);
            return 1;
        }
    }
    if (!package) {
        fputs(Help, stderr);
        return 1;
    }
    std::string problem = CheckReadable(package);
    if (problem.empty()) problem = VerifyPackage(package);
    if (!problem.empty()) return Fail("%s", problem.c_str());
    // The package is named from where we were, before moving into DIR.
    char fullPath[PATH_MAX];
    if (!realpath(package, fullPath)) return Fail("cannot read %s: %s", package, strerror(errno));
    if (folder && (MakeFolders(folder) != 0 || chdir(folder) != 0))
        return Fail("cannot enter %s: %s", folder, strerror(errno));

    char message[MessageSize];
    int failed = ReadArchive(fullPath, ExtractEntries, CountEntry, nullptr, message);
    if (failed == ArchiveFailed) {
        fprintf(stderr, "%s\n", message);
        return 1;
    }
    if (failed == 0) return 0;
    fprintf(stderr,
            "vantorel-pack: %d of %d entries failed (passed over, not creatable or CRC mismatch)\n",
            failed, EntryCount);
    return 2;
}
