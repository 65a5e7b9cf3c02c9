// Tests of the publisher's script diagnostics and code pages.
#include "tests/unit/sandbox.h"
#include "tools/pack/code_page.h"
#include "tools/pack/script_checks.h"
#include "tools/pack/script_mirror.h"

#include <random>
#include <string>
#include <vector>

namespace {

TEST(PackDiagnostics, CutsScriptsAsTheReaderDoes) {
    std::vector<std::string> scripts = {"Message(\"Say \\\"hi there\\\" now\");",
                                        "Num Files (5);Value(1 2);",
                                        "Foo(,);Foo(1,);",
                                        "Foo(1,,2)junk;;Bar",
                                        "A(\"x#y\r\n\");B(\"#\");",
                                        std::string("A(1\0B(2);", 9),
                                        "X(-2147483649,99999999999)",
                                        std::string(31, 'n') + "(1);",
                                        std::string(32, 'n') + ";",
                                        "F(1,2,3,4,5,6);",
                                        "F(1,2,3,4,5,6,7);",
                                        "T(\"" + std::string(255, 't') + "\");",
                                        "T(\"" + std::string(256, 't') + "\");"};
    // And many small scripts of the bytes that matter to the cutting rules.
    const char alphabet[] = "Ab(),;\"# \r\n1-%\t";
    std::mt19937 random(11);
    for (int i = 0; i < 4000; i++) {
        std::string script;
        for (int n = random() % 40; n > 0; n--)
            script += alphabet[random() % (sizeof alphabet - 1)];
        scripts.push_back(script);
    }
    for (const std::string& script : scripts) {
        int result = ParseScriptText(script.data(), (uint32_t)script.size());
        std::vector<std::string> reader = RecordLines(), mirror;
        FreeCommandList();
        Diagnostics ignored; // and so the origins that place them
        ParsedScript parsed = ParseScriptForDiagnostics({script, {}}, script.size(), &ignored);
        bool refused = false;
        for (const ParsedStatement& st : parsed.statements) {
            refused |= st.refused;
            mirror.push_back(st.name);
            for (const ParsedArgument& a : st.arguments) mirror.back() += ArgumentText(a);
        }
        EXPECT_EQ(result != 0, refused) << script;
        if (result == 0) {
            EXPECT_EQ(reader, mirror) << script;
        }
    }
}

// As build reports them, with the characters the code page lacks.
std::vector<Diagnostic> Diagnose(const std::string& script,
                                 const std::vector<std::string>* archive = nullptr) {
    CodePage codePage;
    EXPECT_EQ("", codePage.Open(DefaultCodePage));
    Diagnostics diagnostics;
    std::vector<Unrepresentable> failures;
    MappedText text = codePage.Convert(script, &failures);
    for (const Unrepresentable& f : failures)
        diagnostics.Fail(f.offset, "code page 1252 has no '" + f.character + "'");
    DiagnoseScript(text, script.size(), ScriptKind::Source, archive, codePage, &diagnostics);
    return diagnostics.Sorted();
}

TEST(PackDiagnostics, NamesEachProblemWhereItIs) {
    const std::vector<std::string> archive = {"a.txt", "B.TXT"};
    const std::string longPath(240, 'p');
    struct Case {
        std::string script;
        std::vector<std::pair<std::string, std::string>> expected; // LINE:COLUMN: class, words
    } cases[] = {
        {"Title (\"x\");\r\nMoveFlie (\"a.txt\", \"%t\\a\");",
         {{"2:1: warning", "'MoveFlie': the installer passes it over; did you mean 'MoveFile'?"}}},
        {"ask (\"q\");", {{"1:1: warning", "'Ask'? (case matters)"}}},
        {"Frobnicate (1);", {{"1:1: warning", "passes it over"}}},
        {"Title \"x\";", {{"1:1: warning", "no '('"}}},
        {"MakeDirectory (\"%t\")\r\n  MakeDirectory (\"%t\\b\");",
         {{"2:3: warning", "text behind ')'"}}},
        {"MakeDirectory (\"%t\";", {{"1:20: warning", "missing ')'"}}},
        {"Message (\"Hello, world\");", {{"1:16: warning", "cannot hold ','"}}},
        {"Message (\"a;b\");", {{"1:12: warning", "cannot hold ';'"}}},
        {"Message (\"a)\");", {{"1:12: warning", "cannot hold ')'"}}},
        {"Message (\"Issue #5\");\r\nTitle (\"t\");", {{"1:17: warning", "cannot hold '#'"}}},
        {"MakeDirectory (\"%t);\r\nMessage (\"m\");", {{"1:16: warning", "not closed"}}},
        {"Title (\"x\"\");", {{"1:11: warning", "not closed"}}},
        {"Message (\"a \"b\" c\");", {{"1:13: warning", "cannot hold '\"'"}}},
        {"Message (\"abc\"x);", {{"1:15: warning", "does not end with '\"'"}}},
        {"Registry (2, \"k\", \"n\");", {{"1:22: warning", "takes 4 arguments, not 3"}}},
        {"Title (\"a\", \"b\");", {{"1:13: warning", "takes 1 argument, not 2"}}},
        {"MakeDirectory (5);", {{"1:16: warning", "must be a text"}}},
        {"RegistryInt (1, \"k\", \"n\", \"5\");", {{"1:27: warning", "must be a number"}}},
        {"NumFiles (12ab);", {{"1:11: warning", "'12ab' is read as 12"}}},
        {"Registry (, \"k\", \"n\", \"v\");", {{"1:11: warning", "empty argument is read as 0"}}},
        {"Ask (\"q\");\r\nTitle (\"t\");", {{"1:1: warning", "Ask without EndAsk"}}},
        {"Ask (\"a\");\r\nAsk (\"b\");\r\nEndAsk ();\r\nEndAsk ();",
         {{"2:1: warning", "do not nest"}}},
        {"Title (\"t\");\r\nEndAsk ();", {{"2:1: warning", "EndAsk without Ask"}}},
        {"Registry (4, \"k\", \"n\", \"v\");", {{"1:11: warning", "registry root 4"}}},
        {"RegistryInt (-1, \"k\", \"n\", 1);", {{"1:14: warning", "registry root -1"}}},
        {"MakeDirectory (\"%t\\%P\");", {{"1:20: warning", "'%P' names no folder"}}},
        {"Registry (1, \"k\", \"n\", \"50%\");", {{"1:27: warning", "'%' names no folder"}}},
        {"NumFiles (1);\r\nNumFiles (2);", {{"2:1: warning", "NumFiles given again"}}},
        {"TargetDirectory (\"%p\\" + longPath + "\");\r\nMakeDirectory (\"%t\\data\");",
         {{"2:16: warning", "262 characters"}}},
        {"MoveFile (\"a.txt\", \"%t\\a\");\r\nMoveFile (\"c.txt\", \"%t\\c\");",
         {{"2:11: error", "'c.txt' is not in the archive"},
          {"2:28: warning", "'B.TXT' is moved by no"}}},
        {"MoveFile (\"a.txt\", \"%t\\a\");\r\nMoveFile (\"Uninstall.exe\", \"%t\\u\");",
         {{"2:11: error", "'Uninstall.exe' is not in the archive: add --uninstaller"},
          {"2:36: warning", "'B.TXT' is moved by no"}}},
        {"NumFiles (3);MoveFile (\"A.TXT\", \"%t\\a\");MoveFile (\"b.txt\", \"%t\\b\");",
         {{"1:11: warning", "NumFiles is 3, but the archive holds 2 entries"}}},
        {"MoveFile (\"a.txt\", \".\\a.txt\");MoveFile (\"b.txt\", \"\\\\server\\b\");",
         {{"1:20: warning", "'.\\a.txt' is no full path"}}},
        {"Title (\"" + std::string(256, 'x') + "\");", {{"1:8: error", "text of 256 bytes"}}},
        {std::string(32, 'N') + " (1);", {{"1:1: error", "name of 32 bytes"}}},
        {"Foo (1, 2, 3, 4, 5, 6, 7);", {{"1:24: error", "seventh argument"}}},
        {"Title (\"caf\xC3\xA9\"); Titl (\"x\");", {{"1:17: warning", "unknown command 'Titl'"}}},
        {"Title (\"\xC4\x81\");", {{"1:9: error", "code page 1252 has no '\xC4\x81'"}}},
        {std::string("Title (\"t\");\0Message (\"m\");", 27), {{"1:13: warning", "NUL byte"}}},
    };
    for (const Case& c : cases) {
        bool known = c.script.find("MoveFile") != std::string::npos ||
                     c.script.find("NumFiles (3)") != std::string::npos;
        std::vector<Diagnostic> found = Diagnose(c.script, known ? &archive : nullptr);
        ASSERT_EQ(c.expected.size(), found.size()) << c.script << "\n"
                                                   << (found.empty() ? "" : found[0].message);
        for (size_t i = 0; i < found.size(); i++) {
            SourcePosition at = PositionOf(c.script, found[i].offset);
            std::string place = std::to_string(at.line) + ":" + std::to_string(at.column) + ": " +
                                (found[i].severity == Severity::Error ? "error" : "warning");
            EXPECT_EQ(c.expected[i].first, place) << c.script << "\n" << found[i].message;
            EXPECT_NE(std::string::npos, found[i].message.find(c.expected[i].second))
                << found[i].message;
        }
    }
}

TEST(PackDiagnostics, SoundScriptsStaySilent) {
    std::string readme, demo;
    ASSERT_EQ("", ReadWholeFile(VANTOREL_SOURCE_DIR "/README.md", &readme));
    ASSERT_EQ("", ReadWholeFile(VANTOREL_SOURCE_DIR "/demo/install.txt", &demo));
    size_t example = readme.find("```\n", readme.find("\nExample:\n")) + 4;
    std::string readmeExample = readme.substr(example, readme.find("```", example) - example);
    const std::pair<std::string, std::vector<std::string>> sound[] = {
        {readmeExample, {"readme.txt", "tool.exe", "uninstall.exe"}},
        {demo, {"readme.txt", "hello.exe"}}, // Uninstaller places uninstall.exe
        {"Title(\"Example Tool\");MakeDirectory(\"%t\");MoveFile(\"tool.exe\",\"%t\\tool.exe\");"
         "Registry(2,\"Software\\Example\",\"Path\",\"%t\");DesktopIcon(\"%t\\tool.exe\","
         "\"Example Tool\");",
         {"tool.exe"}}};
    for (const auto& s : sound) EXPECT_EQ(0u, Diagnose(s.first, &s.second).size()) << s.first;
}

TEST(PackCodePage, ConvertsUtf8AndLeavesOtherBytesAlone) {
    struct Case {
        int page;
        std::string source, expected;
    } cases[] = {
        {1252, "caf\xC3\xA9 \xE2\x82\xAC", "caf\xE9 \x80"}, // é and the euro sign
        {1252, "\xEF\xBB\xBFTitle", "Title"},               // the byte-order mark goes
        {1252, "caf\xE9", "caf\xE9"},                       // not UTF-8: as it is
        {1251, "\xD0\x96", "\xC6"},                         // Cyrillic Zhe
        {932, "\xE8\xA1\xA8;", "\x95\x5C;"},                // a trail byte that is '\'
        {1252, "# \xC4\x81 in a comment\r\n\xC4\x81", "# ? in a comment\r\n?"},
    };
    for (const Case& c : cases) {
        CodePage codePage;
        ASSERT_EQ("", codePage.Open(c.page));
        std::vector<Unrepresentable> failures;
        MappedText text = codePage.Convert(c.source, &failures);
        EXPECT_EQ(c.expected, text.bytes) << c.source;
        EXPECT_EQ(text.bytes.size(), text.origin.size());
        EXPECT_EQ(c.source.find("comment") != std::string::npos ? 1u : 0u, failures.size());
        EXPECT_EQ(c.source.find("\xEF\xBB\xBF") == 0 ? 3u : 0u, text.origin[0]);
    }
    EXPECT_NE("", CodePage().Open(437)) << "an OEM code page is no ANSI code page";
}

} // namespace
