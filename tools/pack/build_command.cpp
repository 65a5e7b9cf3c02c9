// build_command.cpp: vantorel-pack build, which makes an installer from the stub, a
// script and an ARJ archive (or files, which it archives itself).
#include "tools/pack/commands.h"

#include "arj/arj_format.h"
#include "script/command_records.h"
#include "script/package_layout.h"
#include "script/script_reader.h"
#include "tools/pack/archive_builder.h"
#include "tools/pack/arj_writer.h"
#include "tools/pack/package_file.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

static const char Help[] =
    "usage: vantorel-pack build -o OUT [--stub STUB] SCRIPT (ARCHIVE.arj | FILE...)\n"
    "                          [-m METHOD] [-l LEVEL] [-j JOBS]\n"
    "\n"
    "Writes the installer OUT: the stub, then the installation script and the archive\n"
    "in the package layout. Given one ARCHIVE.arj, that archive is packed as it is;\n"
    "given files, they are compressed into a new archive under their base names.\n"
    "\n"
    "  -o OUT       the installer to write (replaced only when the build succeeds)\n"
    "  --stub STUB  the installer stub, exactly 24576 bytes; by default\n"
    "               ../win32/vantorel.exe beside this program's folder\n"
    "  -m METHOD    ARJ method for files: 1 (default; the smallest), 4 (decodes a\n"
    "               little faster), 0 (store); a file that would not shrink is stored\n"
    "  -l LEVEL     effort, 1 (fastest) to 9 (smallest); default 4\n"
    "  -j JOBS      files compressed at once; default: one per processor\n"
    "\n"
    "The script must parse as the installer parses it, and the archive must start\n"
    "with an ARJ main header. On any error nothing is written; exit code 1.\n";

namespace {

struct BuildArguments {
    std::string out;
    std::string stub;
    std::string script;
    std::vector<std::string> inputs;
    ArchiveOptions archive;
};

std::string BaseName(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Folder(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

bool EndsWithArj(const std::string& path) {
    return path.size() > 4 && strcasecmp(path.c_str() + path.size() - 4, ".arj") == 0;
}

// ../win32/vantorel.exe seen from the folder of this program, where the
// builds put the host tool and the stub side by side.
std::string DefaultStub() {
    char self[4096];
    ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) return "../win32/vantorel.exe";
    self[length] = 0;
    return Folder(self) + "/../win32/vantorel.exe";
}

// The number in text, when it is one from low to high.
bool ReadNumber(const std::string& text, int low, int high, int* number) {
    char* end;
    long value = strtol(text.c_str(), &end, 10);
    if (text.empty() || *end || value < low || value > high) return false;
    *number = (int)value;
    return true;
}

// Empty when the arguments are usable, otherwise the complaint.
std::string ReadArguments(int argc, char** argv, BuildArguments* a) {
    bool options = true;
    for (int i = 0; i < argc; i++) {
        std::string arg = argv[i];
        if (options &&
            (arg == "-o" || arg == "--stub" || arg == "-m" || arg == "-l" || arg == "-j")) {
            if (i + 1 == argc) return arg + " needs a value";
            std::string value = argv[++i];
            ArchiveOptions& o = a->archive;
            if (arg == "-o") a->out = value;
            if (arg == "--stub") a->stub = value;
            if (arg == "-m" &&
                (!ReadNumber(value, 0, 4, &o.method) || o.method == 2 || o.method == 3))
                return "-m takes 0, 1 or 4";
            if (arg == "-l" && !ReadNumber(value, FastestLevel, BestLevel, &o.level))
                return "-l takes a level from " + std::to_string(FastestLevel) + " to " +
                       std::to_string(BestLevel);
            if (arg == "-j" && !ReadNumber(value, 1, 1024, &o.jobs))
                return "-j takes a number of jobs from 1 to 1024";
        } else if (options && arg == "--") {
            options = false;
        } else if (options && arg.size() > 1 && arg[0] == '-') {
            return "unknown option " + arg;
        } else if (a->script.empty()) {
            a->script = arg;
        } else {
            a->inputs.push_back(arg);
        }
    }
    if (a->out.empty()) return "no output named (-o OUT)";
    if (a->script.empty()) return "no script named";
    if (a->inputs.empty()) return "no archive or files named";
    if (a->stub.empty()) a->stub = DefaultStub();
    return "";
}

std::string CheckScript(const std::string& path, const std::string& script) {
    if (script.empty()) return "script " + path + " is empty";
    int result = ParseScriptText(script.data(), (uint32_t)script.size());
    FreeCommandList();
    if (result != 0)
        return "script " + path +
               " does not parse (the installer would stop: Error parsing installation script.)";
    // The installer searches for the archive only before a fixed offset.
    if (PackageDataOffset + 8 + script.size() >= ArchiveSearchLimit)
        return "script " + path + " is too long: the archive behind it would start past offset " +
               std::to_string(ArchiveSearchLimit);
    return "";
}

// The archive's name in its main header: the installer's, with ".arj".
std::string ArchiveName(const std::string& out) {
    std::string name = BaseName(out);
    size_t dot = name.find_last_of('.');
    return (dot == std::string::npos ? name : name.substr(0, dot)) + ".arj";
}

// Writes beside the output under a temporary name and renames it into place,
// so that a failure leaves no output and an old one untouched.
std::string WriteOutput(const std::string& out, const std::function<std::string(FILE*)>& write) {
    std::string temp = Folder(out) + "/." + BaseName(out) + ".XXXXXX";
    std::vector<char> name(temp.begin(), temp.end());
    name.push_back(0);
    int fd = mkstemp(name.data());
    if (fd < 0) return "cannot write " + out;
    mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    FILE* file = fdopen(fd, "wb");
    std::string problem = file ? write(file) : "cannot write " + out;
    if (file && fclose(file) != 0 && problem.empty()) problem = "cannot write " + out;
    if (!file) close(fd);
    if (problem.empty() && rename(name.data(), out.c_str()) != 0) problem = "cannot write " + out;
    if (!problem.empty()) unlink(name.data());
    return problem;
}

std::string Build(const BuildArguments& a) {
    std::string stub, script, archive;
    if (!ReadWholeFile(a.stub, &stub)) return "cannot read stub " + a.stub;
    if (stub.size() != PackageDataOffset)
        return "stub " + a.stub + " is " + std::to_string(stub.size()) +
               " bytes; an installer stub is exactly " + std::to_string(PackageDataOffset) +
               " bytes";
    if (!ReadWholeFile(a.script, &script)) return "cannot read script " + a.script;
    std::string problem = CheckScript(a.script, script);
    if (!problem.empty()) return problem;
    if (a.inputs.size() == 1 && EndsWithArj(a.inputs[0])) {
        if (!ReadWholeFile(a.inputs[0], &archive)) return "cannot read " + a.inputs[0];
        problem = CheckArchiveStart(archive);
        if (!problem.empty()) return a.inputs[0] + " is not an ARJ archive: it " + problem;
        std::string package = MakePackage(stub, script, archive);
        return WriteOutput(a.out, [&](FILE* out) {
            return fwrite(package.data(), 1, package.size(), out) == package.size()
                       ? ""
                       : "cannot write " + a.out;
        });
    }
    std::vector<ArchiveInput> inputs;
    for (const std::string& path : a.inputs) inputs.push_back({path, BaseName(path)});
    return WriteOutput(a.out, [&](FILE* out) {
        return WritePackageOfFiles(out, stub, script, ArchiveName(a.out), inputs, a.archive);
    });
}

} // namespace

int BuildCommand(int argc, char** argv) {
    for (int i = 0; i < argc; i++) {
        if (!strcmp(argv[i], "--")) break;
        if (IsHelpOption(argv[i])) {
            fputs(Help, stdout);
            return 0;
        }
    }
    BuildArguments arguments;
    std::string problem = ReadArguments(argc, argv, &arguments);
    if (!problem.empty())
        return Fail("build: %s (see vantorel-pack build --help)", problem.c_str());
    arguments.archive.progress = isatty(2);
    problem = Build(arguments);
    if (!problem.empty()) return Fail("build: %s", problem.c_str());
    return 0;
}
