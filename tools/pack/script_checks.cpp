// script_checks.cpp: the checks of a script's statements, in order, against the archive.
#include "tools/pack/script_checks.h"

#include "actions/folder_variables.h"
#include "actions/system_operations.h"
#include "script/command_names.h"
#include "tools/pack/script_mirror.h"

#include <limits.h>
#include <string.h>

#include <algorithm>
#include <set>

namespace {

enum { MaxPathLength = FolderSize - 1 };

// The folders of a common Windows installation, for the length of paths.
const char DefaultProgramFiles[] = "C:\\Program Files";
const char DefaultWindows[] = "C:\\Windows";
const char DefaultSystem[] = "C:\\Windows\\system32";

// A plain number: an optional sign and digits, within 32 bits.
bool IsPlainNumber(const std::string& text) {
    size_t digits = !text.empty() && (text[0] == '+' || text[0] == '-') ? 1 : 0;
    if (digits == text.size() || text.find_first_not_of("0123456789", digits) != std::string::npos)
        return false;
    size_t significant = text.find_first_not_of('0', digits);
    if (significant == std::string::npos) return true;
    if (text.size() - significant > 10) return false;
    int64_t value = std::stoll(text.substr(significant));
    return text[0] == '-' ? -value >= INT_MIN : value <= INT_MAX;
}

struct CommandShape {
    const char* name;
    const char* kinds; // one letter per argument: T a text, I an integer
    const char* usage;
    int expanded; // the argument that % variables are expanded in, or -1
    bool path;    // that argument is a path on the target machine
    bool setting; // read once by the installer: a second one is never used
};

const CommandShape Commands[] = {
    {COMMAND_TITLE, "T", "(\"title\")", -1, false, true},
    {COMMAND_NUM_FILES, "I", "(count)", -1, false, true},
    {COMMAND_ROOT_DIRECTORY, "T", "(\"\\name\")", -1, false, true},
    {COMMAND_TARGET_DIRECTORY, "T", "(\"path\")", 0, true, true},
    {COMMAND_REGISTRY, "ITTT", "(root, \"key\", \"name\", \"text\")", 3, false, false},
    {COMMAND_REGISTRY_INT, "ITTI", "(root, \"key\", \"name\", number)", -1, false, false},
    {COMMAND_MAKE_DIRECTORY, "T", "(\"path\")", 0, true, false},
    {COMMAND_MOVE_FILE, "TT", "(\"file\", \"destination\")", 1, true, false},
    {COMMAND_START_MENU, "TTT", "(\"target\", \"group\", \"name\")", 0, true, false},
    {COMMAND_DESKTOP_ICON, "TT", "(\"target\", \"name\")", 0, true, false},
    {COMMAND_ASK, "T", "(\"question\")", -1, false, false},
    {COMMAND_END_ASK, "", "()", -1, false, false},
    {COMMAND_MESSAGE, "T", "(\"text\")", -1, false, false},
    {COMMAND_MOVE_FOLDER, "TT", "(\"source\", \"destination\")", 1, false, false},
    {COMMAND_UNINSTALLER, "TTT", "(\"key\", \"publisher\", \"version\")", -1, false, false},
};

const CommandShape* FindCommand(const std::string& name) {
    for (const CommandShape& shape : Commands)
        if (name == shape.name) return &shape;
    return nullptr;
}

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c += 'a' - 'A';
    return text;
}

// Edits (insert, delete, change, swap two neighbours) from a to b.
size_t EditDistance(const std::string& a, const std::string& b) {
    std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
    for (size_t i = 0; i <= a.size(); i++) d[i][0] = i;
    for (size_t j = 0; j <= b.size(); j++) d[0][j] = j;
    for (size_t i = 1; i <= a.size(); i++)
        for (size_t j = 1; j <= b.size(); j++) {
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1,
                                d[i - 1][j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    return d[a.size()][b.size()];
}

std::string UnknownCommandMessage(const std::string& name, const std::string& shown) {
    std::string message = "unknown command '" + shown + "': the installer passes it over";
    const CommandShape* best = nullptr;
    size_t bestDistance = 0;
    for (const CommandShape& shape : Commands) {
        size_t distance = EditDistance(Lower(name), Lower(shape.name));
        if (!best || distance < bestDistance) best = &shape, bestDistance = distance;
    }
    if (bestDistance == 0) return message + "; did you mean '" + best->name + "'? (case matters)";
    if (bestDistance <= (name.size() >= 6 ? 2u : 1u))
        return message + "; did you mean '" + best->name + "'?";
    return message;
}

// Checks one script's statements in order; holds what the order tells.
struct Checker {
    const ParsedScript& script;
    const MappedText& text;
    uint32_t sourceSize;
    ScriptKind kind;
    const std::vector<std::string>* archiveNames;
    const CodePage& codePage;
    Diagnostics* diagnostics;

    std::set<std::string> settingsSeen;
    bool askOpen = false;
    uint32_t askAt = 0;
    int nestedAsks = 0;
    std::set<std::string> moved;    // MoveFile sources so far, in lower case
    std::set<std::string> archived; // the archive's names, in lower case

    uint32_t At(uint32_t cleanIndex) const {
        return SourceOffset(script, text, cleanIndex, sourceSize);
    }
    std::string Shown(const std::string& bytes) const { return codePage.ToUtf8(bytes); }

    void Syntax(const ParsedStatement& st) {
        if (st.open && !st.closed) diagnostics->Warn(At(st.end), "missing ')' before this");
        if (st.closed && st.close + 1 < st.end)
            diagnostics->Warn(At(st.close + 1), "text behind ')' is ignored: is a ';' missing "
                                                "before it?");
        for (const ParsedArgument& a : st.arguments) {
            if (a.type != ArgumentType::Text) continue;
            if (script.clean[a.end - 1] != '"' || a.end - a.begin < 2) {
                diagnostics->Warn(At(a.end - 1), "this text does not end with '\"': the "
                                                 "installer drops its last byte instead");
                continue;
            }
            size_t quote = a.text.find('"');
            if (quote != std::string::npos)
                diagnostics->Warn(At(a.begin + 1 + (uint32_t)quote),
                                  "a text cannot hold '\"': quotes only switch on and off "
                                  "where blanks are kept");
        }
    }

    void Arguments(const ParsedStatement& st, const CommandShape& shape) {
        size_t wanted = strlen(shape.kinds), given = st.arguments.size();
        if (given != wanted) {
            uint32_t at = given > wanted ? st.arguments[wanted].begin
                          : st.closed    ? st.close
                          : !st.open     ? st.begin
                                         : st.end;
            diagnostics->Warn(At(at), std::string(shape.name) + " takes " +
                                          Plural(wanted, "argument") + ", not " +
                                          std::to_string(given) + ": " + shape.name + " " +
                                          shape.usage);
        }
        for (size_t i = 0; i < std::min(wanted, given); i++) {
            const ParsedArgument& a = st.arguments[i];
            std::string which = "argument " + std::to_string(i + 1) + " of " + shape.name;
            if (shape.kinds[i] == 'T' && a.type != ArgumentType::Text)
                diagnostics->Warn(At(a.begin), which + " must be a text in quotes");
            else if (shape.kinds[i] == 'I' && a.type == ArgumentType::Text)
                diagnostics->Warn(At(a.begin), which + " must be a number, not a text");
            else if (shape.kinds[i] == 'I' && !IsPlainNumber(a.text))
                diagnostics->Warn(At(a.begin), (a.text.empty() ? std::string("an empty argument")
                                                               : "'" + Shown(a.text) + "'") +
                                                   " is read as " + std::to_string(a.intValue));
        }
    }

    const ParsedArgument* Argument(const ParsedStatement& st, size_t i, ArgumentType type) {
        return i < st.arguments.size() && st.arguments[i].type == type ? &st.arguments[i] : nullptr;
    }

    void Variables(const ParsedArgument& a) {
        for (size_t i = 0; i < a.text.size(); i++) {
            if (a.text[i] != '%') continue;
            if (i + 1 < a.text.size() && strchr("pwstr%", a.text[i + 1])) {
                i++;
                continue;
            }
            std::string variable = i + 1 < a.text.size() ? Shown(a.text.substr(i, 2)) : "%";
            diagnostics->Warn(At(a.begin + 1 + (uint32_t)i),
                              "'" + variable +
                                  "' names no folder: the installer drops it (the "
                                  "folders are %p %w %s %t %r)");
            return;
        }
    }

    void PathLength(const ParsedArgument& a) {
        std::string path = ExpandPath(a.text.c_str());
        if (path.size() > MaxPathLength)
            diagnostics->Warn(At(a.begin), "this path has " + Plural(path.size(), "character") +
                                               " with the usual folders, over the 259 that "
                                               "Windows allows: " +
                                               Shown(path));
    }

    void MoveSource(const ParsedArgument& a) {
        if (!moved.insert(Lower(a.text)).second) {
            diagnostics->Warn(At(a.begin), "'" + Shown(a.text) +
                                               "' is moved a second time: the first MoveFile "
                                               "took it away");
            return;
        }
        if (!archiveNames || archived.count(Lower(a.text))) return;
        bool uninstaller = Lower(a.text) == "uninstall.exe";
        diagnostics->Fail(At(a.begin), "'" + Shown(a.text) + "' is not in the archive: " +
                                           (uninstaller ? "add --uninstaller, which takes it "
                                                          "from beside the stub"
                                                        : "the installer would install "
                                                          "nothing here"));
    }

    // Resolved against the installer's own temporary folder, which goes at
    // the end, a relative destination loses the file or names the source.
    void MoveDestination(const ParsedArgument& a) {
        const std::string& path = a.text;
        bool drive = HasDrive(path.c_str()) && (path[2] == '\\' || path[2] == '/');
        bool folder = path.size() > 1 && path[0] == '%' && strchr("pwst", path[1]);
        if (!drive && !folder && path.compare(0, 2, "\\\\") != 0)
            diagnostics->Warn(At(a.begin), "'" + Shown(a.text) +
                                               "' is no full path: the installer would put the "
                                               "file in its own temporary folder");
    }

    void Ask(const ParsedStatement& st) {
        if (st.name == COMMAND_ASK) {
            if (askOpen) {
                diagnostics->Warn(At(st.begin), "Ask inside an Ask block: blocks do not nest, "
                                                "the next EndAsk ends both");
                nestedAsks++;
            }
            if (!askOpen) askAt = st.begin;
            askOpen = true;
        } else if (st.name == COMMAND_END_ASK) {
            if (askOpen)
                askOpen = false;
            else if (nestedAsks > 0)
                nestedAsks--; // the closing of a nested block, complained of already
            else
                diagnostics->Warn(At(st.begin), "EndAsk without Ask");
        }
    }

    void Statement(const ParsedStatement& st) {
        if (st.refused || st.quoteTrouble) return;
        Syntax(st);
        const CommandShape* shape = FindCommand(st.name);
        if (!shape) {
            if (!st.open)
                diagnostics->Warn(At(st.begin), "no '(': the installer takes '" + Shown(st.name) +
                                                    "' whole for a command name and passes it "
                                                    "over");
            else if (st.name.empty())
                diagnostics->Warn(At(st.begin), "a statement without a command name");
            else
                diagnostics->Warn(At(st.begin), UnknownCommandMessage(st.name, Shown(st.name)));
            return;
        }
        if (!strcmp(shape->name, COMMAND_MOVE_FOLDER) ||
            !strcmp(shape->name, COMMAND_UNINSTALLER)) {
            // In a script, build expands it (and says what is wrong with it).
            if (kind == ScriptKind::Package)
                diagnostics->Warn(At(st.begin), std::string(shape->name) +
                                                    " is expanded by vantorel-pack build; the "
                                                    "installer passes it over");
            return;
        }
        Arguments(st, *shape);
        if (shape->setting && !settingsSeen.insert(shape->name).second)
            diagnostics->Warn(At(st.begin), std::string(shape->name) +
                                                " given again: the installer reads only the "
                                                "first");
        Ask(st);
        if (const ParsedArgument* a = Argument(st, shape->expanded, ArgumentType::Text)) {
            Variables(*a);
            if (shape->path) PathLength(*a);
        }
        if (!strcmp(shape->name, COMMAND_REGISTRY) || !strcmp(shape->name, COMMAND_REGISTRY_INT))
            if (const ParsedArgument* root = Argument(st, 0, ArgumentType::Integer))
                if (root->intValue < 0 || root->intValue > 3)
                    diagnostics->Warn(At(root->begin),
                                      "registry root " + std::to_string(root->intValue) +
                                          " is none of 0 to 3 (HKEY_CLASSES_ROOT, "
                                          "HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS)");
        if (!strcmp(shape->name, COMMAND_MOVE_FILE))
            if (const ParsedArgument* source = Argument(st, 0, ArgumentType::Text))
                MoveSource(*source);
        if (!strcmp(shape->name, COMMAND_MOVE_FILE))
            if (const ParsedArgument* destination = Argument(st, 1, ArgumentType::Text))
                MoveDestination(*destination);
        if (!strcmp(shape->name, COMMAND_NUM_FILES) && archiveNames)
            if (const ParsedArgument* count = Argument(st, 0, ArgumentType::Integer))
                if (count->intValue != (int64_t)archiveNames->size())
                    diagnostics->Warn(At(count->begin),
                                      "NumFiles is " + std::to_string(count->intValue) +
                                          ", but the archive holds " +
                                          Plural(archiveNames->size(), "entry", "entries") +
                                          ": the progress bar will be wrong");
    }

    void End() {
        if (askOpen)
            diagnostics->Warn(At(askAt), "Ask without EndAsk: a No skips everything behind it");
        if (!archiveNames) return;
        for (const std::string& name : *archiveNames)
            if (!moved.count(Lower(name)))
                diagnostics->Warn(sourceSize, "archive entry '" + Shown(name) +
                                                  "' is moved by no MoveFile: it is extracted "
                                                  "and thrown away");
    }
};

// The folders as a common installation has them, %r and %t from the script.
void SetUsualFolders(const ParsedScript& script) {
    memset(&folderVariables, 0, sizeof folderVariables);
    SetFolder(folderVariables.programFilesDir, DefaultProgramFiles);
    SetFolder(folderVariables.windowsDir, DefaultWindows);
    SetFolder(folderVariables.systemDir, DefaultSystem);
    const char* settings[] = {COMMAND_ROOT_DIRECTORY, COMMAND_TARGET_DIRECTORY};
    for (const char* name : settings)
        for (const ParsedStatement& st : script.statements)
            if (st.name == name && !st.arguments.empty() &&
                st.arguments[0].type == ArgumentType::Text) {
                if (!strcmp(name, COMMAND_ROOT_DIRECTORY))
                    SetFolder(folderVariables.rootDir, st.arguments[0].text.c_str());
                else
                    SetFolder(folderVariables.targetDir, ExpandPath(st.arguments[0].text.c_str()));
                break;
            }
}

} // namespace

void DiagnoseScript(const MappedText& text, uint32_t sourceSize, ScriptKind kind,
                    const std::vector<std::string>* archiveNames, const CodePage& codePage,
                    Diagnostics* diagnostics) {
    ParsedScript script = ParseScriptForDiagnostics(text, sourceSize, diagnostics);
    FolderVariables saved = folderVariables;
    SetUsualFolders(script);
    Checker checker{script, text,  sourceSize, kind, archiveNames, codePage, diagnostics,
                    {},     false, 0,          0,    {},           {}};
    if (archiveNames)
        for (const std::string& name : *archiveNames) checker.archived.insert(Lower(name));
    for (const ParsedStatement& st : script.statements) checker.Statement(st);
    checker.End();
    folderVariables = saved;
}
