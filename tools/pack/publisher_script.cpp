// publisher_script.cpp: reading, converting, expanding and diagnosing a
// publisher's script.
#include "tools/pack/publisher_script.h"

#include "tools/pack/uninstaller_entry.h"

#include "arj/arj_format.h"
#include "script/command_names.h"
#include "script/package_layout.h"
#include "tools/pack/package_file.h"
#include "tools/pack/script_checks.h"
#include "tools/pack/script_mirror.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <set>

const char PublisherOptionsHelp[] =
    "  --codepage N the Windows ANSI code page that the installer's texts and\n"
    "               names are written in (default 1252); scripts and file names\n"
    "               are read as UTF-8, or as that code page when not UTF-8\n"
    "  --werror     warnings fail too (exit code 1)\n";

namespace {

uint32_t ReadU32(const unsigned char* bytes) {
    return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | (uint32_t)bytes[3] << 24;
}

} // namespace

std::string TakePublisherOptions(int* argc, char** argv, PublisherOptions* options) {
    int kept = 0, i = 0;
    for (; i < *argc && strcmp(argv[i], "--"); i++) {
        std::string arg = argv[i];
        if (arg == "--werror") {
            options->werror = true;
        } else if (arg == "--codepage" || arg.compare(0, 11, "--codepage=") == 0) {
            std::string value = arg.size() > 10 ? arg.substr(11) : i + 1 < *argc ? argv[++i] : "";
            char* end;
            long number = strtol(value.c_str(), &end, 10);
            if (value.empty() || *end || number <= 0 || number > 65535)
                return "--codepage needs a code page number, such as 1252";
            options->codePage = (int)number;
        } else {
            argv[kept++] = argv[i];
        }
    }
    for (; i < *argc; i++) argv[kept++] = argv[i];
    *argc = kept;
    return "";
}

std::string PublisherScript::OpenCodePage(const PublisherOptions& options) {
    werror = options.werror;
    return codePage.Open(options.codePage);
}

std::string PublisherScript::Load(const std::string& scriptPath, const PublisherOptions& options) {
    path = scriptPath;
    std::string problem = OpenCodePage(options);
    if (!problem.empty()) return problem;
    if (!ReadWholeFile(path, &source).empty()) return "cannot read script " + path;
    std::vector<Unrepresentable> failures;
    text = codePage.Convert(source, &failures);
    for (const Unrepresentable& failure : failures)
        diagnostics.Fail(failure.offset, "code page " + std::to_string(codePage.Number()) +
                                             " has no '" + failure.character + "'");
    return "";
}

std::string PublisherScript::LoadPackaged(const std::string& packagePath, const std::string& script,
                                          const PublisherOptions& options) {
    path = packagePath;
    packaged = true;
    source = script;
    text.bytes = script;
    for (uint32_t i = 0; i < script.size(); i++) text.origin.push_back(i);
    return OpenCodePage(options);
}

void PublisherScript::ExpandFolders(const std::vector<std::string>& takenNames, bool allowed) {
    FolderExpansion expansion = ExpandMoveFolders(text, source, FolderOf(path), takenNames, allowed,
                                                  codePage, &diagnostics);
    text = expansion.text;
    folderFiles = expansion.files;
}

bool PublisherScript::HasUninstaller() const {
    return ::HasUninstaller(text, (uint32_t)source.size());
}

void PublisherScript::ExpandUninstaller(uint64_t installedBytes) {
    text = ::ExpandUninstaller(text, (uint32_t)source.size(), installedBytes, &diagnostics);
}

std::string PublisherScript::Title() const {
    return codePage.ToUtf8(ScriptTitle(text, (uint32_t)source.size()));
}

void PublisherScript::Diagnose(const std::vector<std::string>* archiveNames) {
    DiagnoseScript(text, (uint32_t)source.size(),
                   packaged ? ScriptKind::Package : ScriptKind::Source, archiveNames, codePage,
                   &diagnostics);
}

std::string PublisherScript::Report() {
    fflush(stdout);
    diagnostics.Print(stderr, path, source);
    if (diagnostics.Errors())
        return path + ": " + Plural(diagnostics.Errors(), "error") + " in the script";
    if (werror && diagnostics.Warnings())
        return path + ": " + Plural(diagnostics.Warnings(), "warning") +
               " in the script, and "
               "--werror";
    return "";
}

void PublisherScript::FillNumFiles(size_t count) {
    Diagnostics ignored;
    ParsedScript script = ParseScriptForDiagnostics(text, (uint32_t)source.size(), &ignored);
    for (const ParsedStatement& st : script.statements)
        if (st.name == COMMAND_NUM_FILES) return;
    std::string line = COMMAND_NUM_FILES " (" + std::to_string(count) + ");\r\n";
    text.bytes.insert(0, line);
    text.origin.insert(text.origin.begin(), line.size(), 0);
}

std::string GivenFiles(const std::vector<std::string>& paths, const CodePage& codePage,
                       std::vector<ArchiveInput>* files) {
    std::set<std::string> taken;
    for (const std::string& path : paths) {
        struct stat info;
        if (stat(path.c_str(), &info) != 0) return "cannot read " + path;
        if (!S_ISREG(info.st_mode)) return path + " is not a plain file";
        std::string name = BaseName(path), stored;
        std::string problem = NameProblem(name);
        if (!problem.empty()) return path + ": " + problem;
        problem = codePage.ConvertName(name, &stored);
        if (!problem.empty()) return path + ": " + problem;
        if (!taken.insert(FoldedName(codePage.ToUtf8(stored))).second)
            return "two files named " + name + " (names are matched without regard to case)";
        files->push_back({path, stored});
    }
    return "";
}

std::string ReadPackageParts(const std::string& path, std::string* script,
                             std::string* archiveStart) {
    FILE* file = fopen(path.c_str(), "rb");
    if (!file) return "cannot read " + path;
    unsigned char length[4];
    bool ok = fseek(file, PackageDataOffset, SEEK_SET) == 0 && fread(length, 1, 4, file) == 4;
    if (ok) {
        script->resize(ReadU32(length) < ArchiveSearchLimit ? ReadU32(length) : 0);
        ok = !script->empty() && fread(&(*script)[0], 1, script->size(), file) == script->size() &&
             fread(length, 1, 4, file) == 4;
    }
    if (ok) {
        archiveStart->resize(4 + MaxBasicHeaderSize + 4);
        archiveStart->resize(fread(&(*archiveStart)[0], 1, archiveStart->size(), file));
    }
    fclose(file);
    return ok ? "" : path + " holds no installation script";
}
