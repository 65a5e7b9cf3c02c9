// move_folder.cpp: expanding MoveFolder into MakeDirectory and MoveFile.
#include "tools/pack/move_folder.h"

#include "arj/archive_reader.h"
#include "script/command_names.h"
#include "tools/pack/script_mirror.h"

#include <ctype.h>
#include <dirent.h>
#include <locale.h>
#include <string.h>
#include <sys/stat.h>
#include <wctype.h>

#include <algorithm>
#include <set>
#include <utility>

namespace {

const char LineEnd[] = "\r\n";

std::string ReplaceAll(std::string text, char from, char to) {
    std::replace(text.begin(), text.end(), from, to);
    return text;
}

// A source folder's text: it was written in quotes, so its UTF-8 (or
// code-page) bytes stand whole in the source between the two quotes.
std::string SourceText(const ParsedScript& script, const MappedText& text,
                       const std::string& source, const ParsedArgument& a) {
    uint32_t first = text.origin[script.at[a.begin]] + 1;
    uint32_t closing = text.origin[script.at[a.end - 1]];
    return source.substr(first, closing - first);
}

struct Expander {
    const CodePage& codePage;
    Diagnostics* diagnostics;
    uint32_t at; // where the statement stands in the source
    std::set<std::string>* taken;
    std::vector<ArchiveInput>* files;
    std::vector<std::string> statements;
    std::set<std::pair<dev_t, ino_t>> ancestors;
    bool failed = false;

    void Fail(const std::string& message) {
        diagnostics->Fail(at, "MoveFolder: " + message);
        failed = true;
    }

    // The name in the code page, or "" after an error.
    std::string Name(const std::string& name, const std::string& shownPath) {
        std::string problem = NameProblem(name);
        if (!problem.empty()) {
            Fail(shownPath + ": " + problem);
            return "";
        }
        std::string converted;
        problem = codePage.ConvertName(name, &converted);
        if (!problem.empty()) {
            Fail(shownPath + ": " + problem);
            return "";
        }
        return converted;
    }

    // name, or NAME~2.EXT and on, whichever Windows takes for no other.
    std::string StoredName(const std::string& name) {
        size_t dot = name.find_last_of('.');
        if (dot == 0 || dot == std::string::npos) dot = name.size();
        std::string candidate = name;
        for (int n = 2; !taken->insert(FoldedName(codePage.ToUtf8(candidate))).second; n++)
            candidate = name.substr(0, dot) + "~" + std::to_string(n) + name.substr(dot);
        return candidate;
    }

    void Folder(const std::string& hostPath, const std::string& destination,
                const std::string& shownPath) {
        struct stat info;
        if (stat(hostPath.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
            return Fail("no folder " + shownPath + " (" + hostPath + ")");
        std::pair<dev_t, ino_t> self{info.st_dev, info.st_ino};
        if (!ancestors.insert(self).second)
            return Fail(shownPath + " leads back into a folder above it");
        statements.push_back(COMMAND_MAKE_DIRECTORY " (\"" + destination + "\");");

        std::vector<std::string> names;
        DIR* dir = opendir(hostPath.c_str());
        if (!dir) return Fail("cannot read folder " + shownPath);
        while (dirent* entry = readdir(dir))
            if (strcmp(entry->d_name, ".") && strcmp(entry->d_name, ".."))
                names.push_back(entry->d_name);
        closedir(dir);
        std::sort(names.begin(), names.end());

        std::vector<std::pair<std::string, std::string>> folders;
        for (const std::string& name : names) {
            std::string path = hostPath + "/" + name, shown = shownPath + "/" + name;
            if (stat(path.c_str(), &info) != 0) {
                Fail("cannot read " + shown);
                continue;
            }
            std::string converted = Name(name, shown);
            if (converted.empty()) continue;
            std::string target = destination + "\\" + converted;
            if (S_ISDIR(info.st_mode)) {
                folders.push_back({name, target});
            } else if (S_ISREG(info.st_mode)) {
                std::string stored = StoredName(converted);
                files->push_back({path, stored});
                statements.push_back(COMMAND_MOVE_FILE " (\"" + stored + "\", \"" + target +
                                     "\");");
            } else {
                Fail(shown + " is neither a file nor a folder");
            }
        }
        for (const auto& folder : folders)
            Folder(hostPath + "/" + folder.first, folder.second, shownPath + "/" + folder.first);
        ancestors.erase(self);
    }
};

} // namespace

bool TakesWholeTexts(const ParsedScript& script, const ParsedStatement& st, size_t count) {
    if (st.refused || st.quoteTrouble || !st.closed || st.close + 1 != st.end ||
        st.arguments.size() != count)
        return false;
    for (const ParsedArgument& a : st.arguments)
        if (a.type != ArgumentType::Text || a.end - a.begin < 2 || script.clean[a.end - 1] != '"' ||
            a.text.find('"') != std::string::npos)
            return false;
    return true;
}

void ReplaceStatement(const MappedText& text, const ParsedScript& script, const ParsedStatement& st,
                      uint32_t at, const std::vector<std::string>& lines, uint32_t* copied,
                      MappedText* result) {
    uint32_t begin = script.at[st.begin];
    uint32_t end = script.at[st.end < script.at.size() ? st.end : st.close] + 1;
    uint32_t lineStart = begin;
    while (lineStart > 0 && (text.bytes[lineStart - 1] == ' ' || text.bytes[lineStart - 1] == '\t'))
        lineStart--;
    std::string indent = LineEnd + text.bytes.substr(lineStart, begin - lineStart);
    std::string generated;
    for (const std::string& line : lines) generated += (generated.empty() ? "" : indent) + line;
    result->bytes.append(text.bytes, *copied, begin - *copied);
    result->origin.insert(result->origin.end(), text.origin.begin() + *copied,
                          text.origin.begin() + begin);
    result->bytes += generated;
    result->origin.resize(result->bytes.size(), at);
    *copied = end;
}

void AppendRest(const MappedText& text, uint32_t copied, MappedText* result) {
    result->bytes.append(text.bytes, copied, std::string::npos);
    result->origin.insert(result->origin.end(), text.origin.begin() + copied, text.origin.end());
}

std::string NameProblem(const std::string& name) {
    for (unsigned char c : name) {
        if (c < 0x20 || strchr("<>:\"/\\|?*", c))
            return "Windows cannot hold a name with '" + std::string(1, (char)c) + "'";
        if (strchr(",;)#", c)) return "a script text cannot hold '" + std::string(1, (char)c) + "'";
    }
    if (name.back() == '.' || name.back() == ' ')
        return "Windows drops a name's trailing dots and blanks";
    // Device names, with any extension, name no file on Windows.
    std::string stem = name.substr(0, name.find('.'));
    if (!IsDeviceName(stem.data(), stem.size())) return "";
    for (char& c : stem) c = (char)toupper((unsigned char)c);
    return "Windows reserves the name " + stem + " for a device";
}

std::string FoldedName(const std::string& utf8) {
    static locale_t unicode = newlocale(LC_CTYPE_MASK, "C.UTF-8", (locale_t)0);
    if (!IsUtf8(utf8)) return utf8;
    std::string folded;
    for (size_t at = 0; at < utf8.size();) {
        size_t length = Utf8Length((unsigned char)utf8[at]);
        uint32_t c =
            length == 1 ? (unsigned char)utf8[at] : (unsigned char)utf8[at] & (0x7F >> length);
        for (size_t i = 1; i < length; i++) c = c << 6 | ((unsigned char)utf8[at + i] & 0x3F);
        at += length;
        c = unicode ? (uint32_t)towupper_l((wint_t)c, unicode) : (uint32_t)toupper((int)c);
        folded.append((const char*)&c, sizeof c); // a key, not a text
    }
    return folded;
}

FolderExpansion ExpandMoveFolders(const MappedText& text, const std::string& source,
                                  const std::string& baseFolder,
                                  const std::vector<std::string>& takenNames, bool allowed,
                                  const CodePage& codePage, Diagnostics* diagnostics) {
    Diagnostics ignored; // DiagnoseScript reports the syntax of the result
    ParsedScript script = ParseScriptForDiagnostics(text, (uint32_t)source.size(), &ignored);
    FolderExpansion result;
    std::set<std::string> taken;
    // Names given on the command line, and those the script moves itself,
    // which may stand for given files that check does not know.
    for (const std::string& name : takenNames) taken.insert(FoldedName(codePage.ToUtf8(name)));
    for (const ParsedStatement& st : script.statements)
        if (st.name == COMMAND_MOVE_FILE && !st.arguments.empty())
            taken.insert(FoldedName(codePage.ToUtf8(st.arguments[0].text)));
    uint32_t copied = 0; // text bytes before this are in the result
    for (const ParsedStatement& st : script.statements) {
        if (st.name != COMMAND_MOVE_FOLDER) continue;
        uint32_t at = SourceOffset(script, text, st.begin, (uint32_t)source.size());
        if (!allowed) {
            diagnostics->Fail(at, "MoveFolder needs the files given, not an ARJ archive: build "
                                  "stores the folder's files itself");
            continue;
        }
        if (!TakesWholeTexts(script, st, 2) || st.arguments[0].text.empty() ||
            st.arguments[1].text.empty()) {
            diagnostics->Fail(at, "MoveFolder takes two texts: MoveFolder (\"source\", "
                                  "\"destination\");");
            continue;
        }
        std::string folder =
            ReplaceAll(SourceText(script, text, source, st.arguments[0]), '\\', '/');
        std::string destination = st.arguments[1].text;
        if (destination.size() > 1 && destination.back() == '\\') destination.pop_back();
        size_t filesBefore = result.files.size();
        Expander expander{codePage, diagnostics, at, &taken, &result.files, {}, {}};
        expander.Folder(folder[0] == '/' ? folder : baseFolder + "/" + folder, destination, folder);
        if (expander.failed) {
            result.files.resize(filesBefore);
            continue;
        }

        ReplaceStatement(text, script, st, at, expander.statements, &copied, &result.text);
    }
    AppendRest(text, copied, &result.text);
    return result;
}
