// build_command.cpp: vantorel-pack build, which makes an installer from the stub, a
// script and an ARJ archive (or files, which it archives itself).
#include "tools/pack/commands.h"

#include "arj/archive_reader.h"
#include "arj/arj_format.h"
#include "script/command_records.h"
#include "script/package_layout.h"
#include "script/script_reader.h"
#include "tools/pack/archive_entries.h"
#include "tools/pack/archive_builder.h"
#include "tools/pack/arj_writer.h"
#include "tools/pack/little_endian.h"
#include "tools/pack/package_file.h"
#include "tools/pack/package_seal.h"
#include "tools/pack/publisher_resources.h"
#include "tools/pack/publisher_script.h"
#include "tools/pack/version_resource.h"

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
    "usage: vantorel-pack build -o OUT [--arch x86|x64] [--stub STUB] [--uninstaller] [-m METHOD]\n"
    "                          [-l LEVEL] [-j JOBS] [--sign COMMAND] [--icon FILE.ico]\n"
    "                          [--version-info KEY=VALUE]... [--codepage N] [--werror]\n"
    "                          SCRIPT [ARCHIVE.arj | FILE...]\n"
    "\n"
    "Writes the installer OUT: the stub, then the installation script and the archive\n"
    "in the package layout. Given one ARCHIVE.arj, that archive is packed as it is;\n"
    "given files, they are compressed into a new archive under their base names;\n"
    "given nothing, the archive holds only what MoveFolder statements add. The\n"
    "package's length and CRC-32 go into the stub's seal, by which the installer\n"
    "refuses itself when damaged or cut short; then the image's CheckSum is set.\n"
    "\n"
    "  -o OUT       the installer to write (replaced only when the build succeeds)\n"
    "  --arch ARCH  x86 (default): the installer runs on every Windows, on 64-bit\n"
    "               Windows as a 32-bit program (%%p is Program Files (x86), values\n"
    "               go to the 32-bit registry view); x64: a 64-bit product's\n"
    "               installer for 64-bit Windows (Program Files, the 64-bit view)\n"
    "  --stub STUB  the installer stub, exactly 24576 bytes, of that architecture;\n"
    "               by default ../win32/vantorel.exe (x64: ../win64/) or\n"
    "               ../share/vantorel/vantorel.exe (x64: x86-64/vantorel.exe in it)\n"
    "               beside this program's folder\n"
    "  --uninstaller  add uninstall.exe, found beside the stub, to the archive: the\n"
    "               script places it with MoveFile (\"uninstall.exe\", \"%%t\\uninstall.exe\");\n"
    "               and registers it under the Windows uninstall key\n"
    "  --sign COMMAND  sign uninstall.exe before it goes into the archive and the\n"
    "               installer after it is written, each by running COMMAND through\n"
    "               the shell with {in} and {out} replaced by quoted paths (without\n"
    "               {out} it signs {in} in place); the signed installer must still\n"
    "               carry its package intact, else nothing is written\n"
    "  --icon FILE.ico  the installer's and uninstall.exe's icon, for Explorer, the\n"
    "               taskbar and the dialog: its 32x32 image, and 16x16 and 48x48 ones\n"
    "               as they fit the stub's room (each as PNG when that is smaller)\n"
    "  --version-info KEY=VALUE  a value of the version resource that Explorer's\n"
    "               Details show, in the installer and uninstall.exe: ProductName\n"
    "               (default: the Title), ProductVersion, FileVersion (default: the\n"
    "               ProductVersion), CompanyName, FileDescription, LegalCopyright\n"
    "  -m METHOD    how files are compressed: lzma (default; the smallest: one solid\n"
    "               LZMA stream, which arj cannot read), or the ARJ methods 1 (what\n"
    "               arj reads; the fastest install), 4 (decodes a little faster) and\n"
    "               0 (store); with those a file that would not shrink is stored\n"
    "  -l LEVEL     ARJ methods' effort, 1 (fastest) to 9 (smallest); default 4\n"
    "  -j JOBS      files compressed at once by the ARJ methods; default: one per\n"
    "               processor\n"
    "%s"
    "\n"
    "MoveFolder (\"SOURCE\", \"DEST\"); in the script installs the folder SOURCE\n"
    "(beside the script) as DEST: build writes MakeDirectory and MoveFile statements\n"
    "in its place. Without NumFiles, build puts the archive's entry count in front.\n"
    "\n"
    "Problems in the script are shown as FILE:LINE:COLUMN: error|warning: MESSAGE.\n"
    "On an error (or a warning with --werror) nothing is written; exit code 1.\n";

namespace {

struct BuildArguments {
    std::string out;
    bool x64 = false;
    bool archGiven = false; // else a given stub's own architecture goes
    std::string stub;
    bool uninstaller = false;
    std::string sign; // the publisher's signing command
    std::string icon;
    VersionValues version;
    std::string script;
    std::vector<std::string> inputs;
    ArchiveOptions archive;
};

bool EndsWithArj(const std::string& path) {
    return path.size() > 4 && strcasecmp(path.c_str() + path.size() - 4, ".arj") == 0;
}

// Seen from the folder of this program: ../win32 (../win64 for x64) where
// the builds put the host tool and the stubs side by side,
// ../share/vantorel (its x86-64 folder) where cmake --install puts them. The
// first that exists, else the first.
std::string DefaultStub(bool x64) {
    char self[4096];
    ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    std::string folder = length > 0 ? FolderOf(std::string(self, (size_t)length)) : ".";
    std::string built = folder + (x64 ? "/../win64/vantorel.exe" : "/../win32/vantorel.exe");
    std::string installed = folder + (x64 ? "/../share/vantorel/x86-64/vantorel.exe"
                                          : "/../share/vantorel/vantorel.exe");
    return access(built.c_str(), R_OK) != 0 && access(installed.c_str(), R_OK) == 0 ? installed
                                                                                    : built;
}

// The architecture a stub's PE header names: "x86", "x64", or "" when it has
// none that this tool knows (a placeholder).
std::string StubArchitecture(const std::string& stub) {
    size_t pe = PeHeader(stub, 6);
    if (!pe) return "";
    uint32_t machine = ReadLittleEndian(stub, pe + 4, 2);
    return machine == 0x14C ? "x86" : machine == 0x8664 ? "x64" : "";
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
            (arg == "-o" || arg == "--stub" || arg == "-m" || arg == "-l" || arg == "-j" ||
             arg == "--arch" || arg == "--sign" || arg == "--icon" || arg == "--version-info")) {
            if (i + 1 == argc) return arg + " needs a value";
            std::string value = argv[++i];
            ArchiveOptions& o = a->archive;
            if (arg == "-o") a->out = value;
            if (arg == "--sign" && value.find("{in}") == std::string::npos)
                return "--sign needs {in} in its command, for the file to sign";
            if (arg == "--sign") a->sign = value;
            if (arg == "--arch" && value != "x86" && value != "x64")
                return "--arch takes x86 or x64";
            if (arg == "--arch") a->x64 = value == "x64", a->archGiven = true;
            if (arg == "--stub") a->stub = value;
            if (arg == "--icon") a->icon = value;
            std::string problem =
                arg == "--version-info" ? AddVersionValue(value, &a->version) : "";
            if (!problem.empty()) return problem;
            if (arg == "-m" && value == "lzma")
                o.method = LzmaMethod;
            else if (arg == "-m" &&
                     (!ReadNumber(value, 0, 4, &o.method) || o.method == 2 || o.method == 3))
                return "-m takes lzma, 0, 1 or 4";
            if (arg == "-l" && !ReadNumber(value, FastestLevel, BestLevel, &o.level))
                return "-l takes a level from " + std::to_string(FastestLevel) + " to " +
                       std::to_string(BestLevel);
            if (arg == "-j" && !ReadNumber(value, 1, 1024, &o.jobs))
                return "-j takes a number of jobs from 1 to 1024";
        } else if (options && arg == "--uninstaller") {
            a->uninstaller = true;
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
    if (a->stub.empty()) a->stub = DefaultStub(a->x64);
    return "";
}

std::string CheckScript(const std::string& path, const std::string& script) {
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

// What the installer would do with each entry of the written package: every
// entry decoded and its CRC checked, so that a damaged archive is refused
// here rather than installed with files missing.
struct PackageTest {
    std::string problem; // the first failed entry
};

void NoteEntry(const ArchiveEntry* entry, EntryStatus status, void* context) {
    static const char* const reasons[] = {
        "", "uses a method, version or file type the installer lacks",
        "has a name the installer refuses (leaving the folder, or a Windows device name)", "",
        "is damaged (its data ends early or its CRC does not match)"};
    PackageTest* test = (PackageTest*)context;
    if (status != EntryDone && test->problem.empty())
        test->problem = std::string("archive entry ") + entry->entryName + " " + reasons[status];
}

std::string TestPackage(const std::string& path) {
    std::string problem = VerifyPackage(path);
    if (!problem.empty()) return problem;
    PackageTest test;
    char message[MessageSize];
    if (ReadArchive(path.c_str(), TestEntries, NoteEntry, &test, message) == ArchiveFailed)
        return std::string("the archive cannot be read: ") + message;
    return test.problem;
}

std::string ShellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// Runs the publisher's signing command on the file at path: {in} is the path,
// {out} one beside it that then replaces it. Empty, or why it failed.
std::string Sign(const std::string& command, const std::string& path) {
    std::string signedPath = path + ".signed", line;
    bool separate = command.find("{out}") != std::string::npos;
    for (size_t at = 0; at < command.size();) {
        if (command.compare(at, 4, "{in}") == 0) {
            line += ShellQuoted(path);
            at += 4;
        } else if (command.compare(at, 5, "{out}") == 0) {
            line += ShellQuoted(signedPath);
            at += 5;
        } else {
            line += command[at++];
        }
    }
    fflush(stdout);
    int status = system(line.c_str());
    if (status != 0 || (separate && rename(signedPath.c_str(), path.c_str()) != 0)) {
        unlink(signedPath.c_str());
        return "the signing command failed (" + command + ")";
    }
    return "";
}

// Writes beside the output under a temporary name, seals it, tests it and renames it
// into place, so that a failure leaves no output and an old one untouched. A signed
// installer is tested again: the signature must leave its package intact.
std::string WriteOutput(const std::string& out, const std::string& sign,
                        const std::function<std::string(FILE*)>& write) {
    std::string temp = FolderOf(out) + "/." + BaseName(out) + ".XXXXXX";
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
    bool sealed = false;
    if (problem.empty()) problem = SealInstaller(name.data(), &sealed);
    if (problem.empty() && !sealed)
        fprintf(stderr, "vantorel-pack: build: warning: the stub has no seal: the installer "
                        "will not check its package\n");
    if (problem.empty()) problem = TestPackage(name.data());
    if (problem.empty() && !sign.empty()) {
        problem = Sign(sign, name.data());
        if (problem.empty()) problem = TestPackage(name.data());
        std::string shown = std::string(name.data()) + ": ";
        if (problem.compare(0, shown.size(), shown) == 0) problem.erase(0, shown.size());
        if (!problem.empty()) problem = "the signed installer: " + problem;
    }
    if (problem.empty() && rename(name.data(), out.c_str()) != 0) problem = "cannot write " + out;
    if (!problem.empty()) unlink(name.data());
    return problem;
}

// The icon and version resource given, read; empty, or the complaint.
std::string ReadResources(const BuildArguments& a, const std::string& title,
                          PublisherResources* resources) {
    if (!a.icon.empty()) {
        std::string file, problem = ReadWholeFile(a.icon, &file);
        if (!problem.empty()) return problem;
        problem = ReadIconFile(file, &resources->icon);
        if (!problem.empty()) return a.icon + ": " + problem;
        resources->iconPath = a.icon;
    }
    if (!a.version.empty()) resources->version = VersionResource(a.version, title);
    return "";
}

std::string Build(const BuildArguments& a, const PublisherOptions& options) {
    std::string stub, archive;
    if (!ReadWholeFile(a.stub, &stub).empty()) return "cannot read stub " + a.stub;
    if (stub.size() != PackageDataOffset)
        return "stub " + a.stub + " is " + std::to_string(stub.size()) +
               " bytes; an installer stub is exactly " + std::to_string(PackageDataOffset) +
               " bytes";
    std::string architecture = StubArchitecture(stub);
    if (a.archGiven && !architecture.empty() && architecture != (a.x64 ? "x64" : "x86"))
        return "stub " + a.stub + " is an " + architecture + " stub, but --arch is " +
               (a.x64 ? "x64" : "x86");
    PublisherScript script;
    std::string problem = script.Load(a.script, options);
    if (!problem.empty()) return problem;
    if (script.Bytes().empty()) return "script " + a.script + " is empty";
    bool givenArchive = a.inputs.size() == 1 && EndsWithArj(a.inputs[0]);
    // The Uninstaller statement places uninstall.exe: it implies --uninstaller.
    bool registers = script.HasUninstaller(), uninstaller = a.uninstaller || registers;
    std::vector<ArchiveInput> inputs;
    std::vector<std::string> names;
    size_t uninstallerAt = 0; // among the inputs
    if (givenArchive) {
        if (uninstaller)
            return std::string(registers ? "Uninstaller" : "--uninstaller") +
                   " adds uninstall.exe to an archive of build's own making: give the files "
                   "instead of " +
                   a.inputs[0];
        problem = ReadWholeFile(a.inputs[0], &archive);
        if (!problem.empty()) return problem;
        problem = CheckArchiveStart(archive);
        if (!problem.empty()) return a.inputs[0] + " is not an ARJ archive: it " + problem;
        problem = ArchiveBytesEntryNames(archive, &names);
        if (!problem.empty()) return a.inputs[0] + ": " + problem;
    } else {
        problem = GivenFiles(a.inputs, script.Page(), &inputs);
        if (!problem.empty()) return problem;
        uninstallerAt = inputs.size();
        if (uninstaller) inputs.push_back({FolderOf(a.stub) + "/uninstall.exe", "uninstall.exe"});
        for (const ArchiveInput& input : inputs) names.push_back(input.storedName);
    }
    script.ExpandFolders(names, !givenArchive);
    for (const ArchiveInput& file : script.FolderFiles()) {
        inputs.push_back(file);
        names.push_back(file.storedName);
    }
    if (registers) {
        uint64_t bytes = 0;
        for (const ArchiveInput& input : inputs) {
            struct stat info;
            if (stat(input.path.c_str(), &info) == 0) bytes += (uint64_t)info.st_size;
        }
        script.ExpandUninstaller(bytes);
    }
    script.Diagnose(&names);
    problem = script.Report();
    if (!problem.empty()) return problem + "; nothing written";
    script.FillNumFiles(names.size());
    problem = CheckScript(a.script, script.Bytes());
    if (!problem.empty()) return problem;
    PublisherResources resources;
    bool ownResources = !a.icon.empty() || !a.version.empty();
    problem = ReadResources(a, script.Title(), &resources);
    if (!problem.empty()) return problem;
    problem = ownResources ? PutPublisherResources(&stub, resources, false) : "";
    if (!problem.empty()) return "stub " + a.stub + ": " + problem;
    if (givenArchive) {
        std::string package = MakePackage(stub, script.Bytes(), archive);
        return WriteOutput(a.out, a.sign, [&](FILE* out) {
            return fwrite(package.data(), 1, package.size(), out) == package.size()
                       ? ""
                       : "cannot write " + a.out;
        });
    }
    // The uninstaller takes the icon and version resource and is signed in a
    // copy beside the output, removed afterwards.
    std::string copyPath;
    if (uninstaller && (ownResources || !a.sign.empty())) {
        std::string copy;
        copyPath = FolderOf(a.out) + "/." + BaseName(a.out) + ".uninstall.exe";
        problem = ReadWholeFile(inputs[uninstallerAt].path, &copy);
        if (problem.empty() && ownResources)
            problem = PutPublisherResources(&copy, resources, true);
        if (problem.empty()) problem = WriteWholeFile(copyPath, copy);
        if (problem.empty() && !a.sign.empty()) problem = Sign(a.sign, copyPath);
        if (!problem.empty()) {
            unlink(copyPath.c_str());
            return "uninstall.exe: " + problem;
        }
        inputs[uninstallerAt].path = copyPath;
    }
    problem = WriteOutput(a.out, a.sign, [&](FILE* out) {
        return WritePackageOfFiles(out, stub, script.Bytes(), ArchiveName(a.out), inputs,
                                   a.archive);
    });
    if (!copyPath.empty()) unlink(copyPath.c_str());
    return problem;
}

} // namespace

int BuildCommand(int argc, char** argv) {
    for (int i = 0; i < argc; i++) {
        if (!strcmp(argv[i], "--")) break;
        if (IsHelpOption(argv[i])) {
            printf(Help, PublisherOptionsHelp);
            return 0;
        }
    }
    PublisherOptions options;
    std::string problem = TakePublisherOptions(&argc, argv, &options);
    BuildArguments arguments;
    if (problem.empty()) problem = ReadArguments(argc, argv, &arguments);
    if (!problem.empty())
        return Fail("build: %s (see vantorel-pack build --help)", problem.c_str());
    arguments.archive.progress = isatty(2);
    problem = Build(arguments, options);
    if (!problem.empty()) return Fail("build: %s", problem.c_str());
    return 0;
}
