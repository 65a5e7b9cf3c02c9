// uninstaller_entry.cpp: expanding Uninstaller into MoveFile and Registry.
#include "tools/pack/uninstaller_entry.h"

#include "script/command_names.h"
#include "tools/pack/move_folder.h"
#include "tools/pack/script_mirror.h"

namespace {

const char UninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const char Program[] = "%t\\uninstall.exe";
const int LocalMachine = 2;

std::string Value(const std::string& key, const char* name, const std::string& text) {
    return COMMAND_REGISTRY " (" + std::to_string(LocalMachine) + ", \"" + key + "\", \"" + name +
           "\", \"" + text + "\");";
}

std::string Number(const std::string& key, const char* name, uint64_t value) {
    return COMMAND_REGISTRY_INT " (" + std::to_string(LocalMachine) + ", \"" + key + "\", \"" +
           name + "\", " + std::to_string(value) + ");";
}

// Empty when the text can stand in the values it goes to; else why not. (A
// ',', ';', ')' or '#' ends the text as the installer reads it: the
// statement then has other arguments, and the script's check names them.)
std::string TextProblem(const std::string& text, bool key) {
    if (text.empty()) return "an empty text";
    if (key && text.find('\\') != std::string::npos) return "a key cannot hold '\\'";
    return "";
}

// The first Title's text, in the code page; empty when there is none.
std::string TitleOf(const ParsedScript& script) {
    for (const ParsedStatement& st : script.statements)
        if (st.name == COMMAND_TITLE && !st.arguments.empty()) return st.arguments[0].text;
    return "";
}

} // namespace

bool HasUninstaller(const MappedText& text, uint32_t sourceSize) {
    Diagnostics ignored;
    ParsedScript script = ParseScriptForDiagnostics(text, sourceSize, &ignored);
    for (const ParsedStatement& st : script.statements)
        if (st.name == COMMAND_UNINSTALLER) return true;
    return false;
}

std::string ScriptTitle(const MappedText& text, uint32_t sourceSize) {
    Diagnostics ignored;
    return TitleOf(ParseScriptForDiagnostics(text, sourceSize, &ignored));
}

MappedText ExpandUninstaller(const MappedText& text, uint32_t sourceSize, uint64_t installedBytes,
                             Diagnostics* diagnostics) {
    Diagnostics ignored; // DiagnoseScript reports the syntax of the result
    ParsedScript script = ParseScriptForDiagnostics(text, sourceSize, &ignored);
    std::string title = TitleOf(script);
    MappedText result;
    uint32_t copied = 0;
    bool seen = false;
    for (const ParsedStatement& st : script.statements) {
        if (st.name != COMMAND_UNINSTALLER) continue;
        uint32_t at = SourceOffset(script, text, st.begin, sourceSize);
        if (seen) {
            diagnostics->Fail(at, "Uninstaller given again: a product has one entry");
            continue;
        }
        seen = true;
        if (!TakesWholeTexts(script, st, 3)) {
            diagnostics->Fail(at, "Uninstaller takes three texts: Uninstaller (\"key\", "
                                  "\"publisher\", \"version\");");
            continue;
        }
        std::string problem;
        for (size_t i = 0; i < 3 && problem.empty(); i++)
            problem = TextProblem(st.arguments[i].text, i == 0);
        if (problem.empty() && title.empty())
            problem = "no Title: Add/Remove Programs shows the Title as the product's name";
        if (!problem.empty()) {
            diagnostics->Fail(at, "Uninstaller: " + problem);
            continue;
        }
        std::string key = UninstallKey + st.arguments[0].text;
        std::vector<std::string> lines = {
            COMMAND_MOVE_FILE " (\"uninstall.exe\", \"" + std::string(Program) + "\");",
            Value(key, "DisplayName", title),
            Value(key, "UninstallString", Program),
            Value(key, "QuietUninstallString", Program + std::string(" /S")),
            Value(key, "DisplayIcon", Program),
            Value(key, "Publisher", st.arguments[1].text),
            Value(key, "DisplayVersion", st.arguments[2].text),
            Value(key, "InstallLocation", "%t"),
            Number(key, "EstimatedSize", (installedBytes + 1023) / 1024),
            Number(key, "NoModify", 1),
            Number(key, "NoRepair", 1)};
        ReplaceStatement(text, script, st, at, lines, &copied, &result);
    }
    AppendRest(text, copied, &result);
    return result;
}
