// main.cpp: vantorel-pack, which builds, checks, lists and extracts installer
// packages with the installer's own reader code.
#include "tools/pack/commands.h"

#include <errno.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

static const char Usage[] =
    "usage: vantorel-pack COMMAND [ARGS]\n"
    "\n"
    "  check   PACKAGE | --script FILE   parse the installation script, print its records\n"
    "  list    PACKAGE                   list the archive's entries\n"
    "  extract PACKAGE [-C DIR]          extract the archive as the installer does\n"
    "  build   -o OUT [--stub STUB] SCRIPT [ARCHIVE.arj | FILE...]\n"
    "                                    make an installer from a script and files\n"
    "\n"
    "vantorel-pack COMMAND --help tells more of each; vantorel-pack --version.\n";

int Fail(const char* format, ...) {
    va_list args;
    va_start(args, format);
    fputs("vantorel-pack: ", stderr);
    vfprintf(stderr, format, args);
    fputc('\n', stderr);
    va_end(args);
    return 1;
}

bool IsHelpOption(const char* argument) {
    return !strcmp(argument, "--help") || !strcmp(argument, "-h");
}

std::string CheckReadable(const char* path) {
    FILE* file = fopen(path, "rb");
    if (!file) return std::string("cannot read ") + path + ": " + strerror(errno);
    fclose(file);
    return "";
}

int main(int argc, char** argv) {
    static const struct {
        const char* name;
        int (*run)(int, char**);
    } commands[] = {{"check", CheckCommand},
                    {"list", ListCommand},
                    {"extract", ExtractCommand},
                    {"build", BuildCommand}};
    if (argc == 2 && !strcmp(argv[1], "--version")) {
        puts("vantorel-pack " VANTOREL_VERSION);
        return 0;
    }
    if (argc < 2 || IsHelpOption(argv[1])) {
        fputs(Usage, argc < 2 ? stderr : stdout);
        return argc < 2 ? 1 : 0;
    }
    for (const auto& command : commands)
        if (!strcmp(argv[1], command.name)) return command.run(argc - 2, argv + 2);
    Fail("unknown command '%s'", argv[1]);
    fputs(Usage, stderr);
    return 1;
}
