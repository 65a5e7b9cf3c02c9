// Tests of the install controller through the scripted window, on hand-made packages.
#include "frontend/install_controller.h"

#include "tests/unit/arj_test_support.h"

namespace {

using namespace arj_test;

const char FullScript[] = "Title (\"Demo %p\");\r\n"
                          "NumFiles (2);\r\n"
                          "RootDirectory (\"\\Demo\");\r\n"
                          "TargetDirectory (\"%p%r\");\r\n"
                          "MakeDirectory (\"%t\");\r\n"
                          "MoveFile (\"readme.txt\", \"%t\\readme.txt\");\r\n"
                          "MoveFile (\"tool.exe\", \"%t\\tool.exe\");\r\n";
const Bytes Tool(5000, 'x');

struct InstallController : ::testing::Test {
    Sandbox box;
    void SetUp() override {
        box.SetStandardFolders();
        box.MakeFolder("C:\\Program Files");
    }
    void WritePackage(const std::string& script = FullScript,
                      const std::vector<Entry>& entries = {Stored("readme.txt", "read me\n"),
                                                           Stored("tool.exe", Tool)}) {
        box.Write("C:\\vantorel.exe", Package(Archive(entries), script)); // the running file
    }
};

TEST_F(InstallController, CancelInstallsNothingInstallExtractsPrivatelyRunsTheScriptAndCleansUp) {
    WritePackage();
    scriptedUi.dialog = [] { OnCancel(); };
    EXPECT_EQ(0, RunInstaller(""));
    // The title as written, not expanded; the target from the script.
    EXPECT_EQ((Lines{"SetStatusText(This will install \"Demo %p\"! Continue?)"}),
              ScriptedCalls({"SetStatusText"}));
    EXPECT_EQ("C:\\Program Files\\Demo", scriptedUi.targetText);
    EXPECT_FALSE(box.Exists("C:\\Program Files\\Demo"));
    EXPECT_TRUE(box.List("C:\\Temp").empty());
    // Elevated, the extraction folder is open to administrators and SYSTEM only; a file planted
    // under an entry's name in C:\Temp is neither used nor replaced.
    SimSetElevated(true);
    SimSetTempPath("C:\\Temp"); // without its usual closing backslash
    box.Write("C:\\Temp\\tool.exe", "planted");
    scriptedUi.dialog = [] { OnInstall(); };
    EXPECT_EQ(0, RunInstaller(""));
    EXPECT_EQ(Tool, box.Read("C:\\Program Files\\Demo\\tool.exe"));
    EXPECT_EQ("planted", box.Read("C:\\Temp\\tool.exe"));
    EXPECT_EQ(Lines{"tool.exe"}, box.List("C:\\Temp"));       // the private folder is gone
    Lines made = SimCallsNamed("CreateDirectory").at(0).args; // the first: the private folder
    EXPECT_EQ(0u, made.at(0).find("C:\\Temp\\vantorel-"));
    EXPECT_EQ("O:BAD:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)", made.at(1));
    EXPECT_EQ("DeleteFile (\"C:\\Program Files\\Demo\\tool.exe\");\n"
              "DeleteFile (\"C:\\Program Files\\Demo\\readme.txt\");\n"
              "RemoveDirectory (\"C:\\Program Files\\Demo\");\n"
              "Title (\"Demo %p\");\n",
              box.Read("C:\\Program Files\\Demo\\install.log"));
    // Extraction to 100, then the script's seven records from the start.
    EXPECT_EQ((std::vector<int>{50, 100, 14, 28, 42, 57, 71, 85, 100}), scriptedUi.progress);
    Lines end = ScriptedCalls({"SetStatusText", "SetCancelCaption"});
    EXPECT_EQ((Lines{"SetStatusText(Installation complete.)", "SetCancelCaption(Finish)"}),
              Lines(end.end() - 2, end.end()));
    // A title over 228 characters and an entry name over 241 are cut to fit the status.
    std::string title(250, 't'), name(300, 'n');
    WritePackage("Title(\"" + title + "\");", {Stored(name, "x")});
    scriptedUi = ScriptedUi();
    EXPECT_EQ(2, RunInstaller("/S /D=C:\\Long")); // no file has a name that long
    Lines status = ScriptedCalls({"SetStatusText"});
    EXPECT_EQ("SetStatusText(" + ("This will install \"" + title).substr(0, 259) + ")", status[0]);
    EXPECT_EQ("SetStatusText(" + ("Extracting: \"" + name).substr(0, 255) + ")", status[1]);
}

// Elevated, folders made on the way to the target and below it (in any case) are
// closed as Program Files is; others, and all made unelevated, keep what they inherit.
TEST_F(InstallController, FoldersMadeForTheTargetAreClosedWhenElevated) {
    for (std::string t : {"Tools", "Open"}) {
        WritePackage("TargetDirectory (\"C:\\" + t +
                     "\\Demo\\\"); MakeDirectory (\"%t\\docs\");"
                     "MakeDirectory (\"c:\\" +
                     t + "\\demo\\Logs\"); MakeDirectory (\"C:\\" + t + "\\Demo Group\");");
        SimSetElevated(t == "Tools");
        SimClearCalls();
        EXPECT_EQ(0, RunInstaller("/S"));
        Lines made;
        for (const SimCall& call : SimCallsNamed("CreateDirectory"))
            if (call.args[0].find("vantorel-") == std::string::npos)
                made.push_back(call.args[0] + (call.args.size() > 1 ? " " + call.args[1] : ""));
        std::string closed = t == "Tools" ? " " PLATFORM_SDDL_PROGRAM_FILES : "";
        EXPECT_EQ(
            (Lines{t + closed, "Demo" + closed, "docs" + closed, "Logs" + closed, "Demo Group"}),
            made);
    }
}

TEST_F(InstallController, ExtractionProgressFollowsNumFiles) {
    // The last 100 is the script's own single record.
    struct Case {
        int numFiles, entries;
        std::vector<int> progress;
    } cases[] = {
        {5, 5, {20, 40, 60, 80, 100, 100}}, {3, 2, {33, 66, 100}}, {200, 3, {0, 1, 100}},
        {2, 4, {50, 100, 150, 200, 100}},   {0, 2, {100}},
    };
    for (const Case& c : cases) {
        std::vector<Entry> entries;
        for (int i = 0; i < c.entries; i++) entries.push_back(Stored("f" + std::to_string(i), "x"));
        WritePackage("NumFiles(" + std::to_string(c.numFiles) + ");", entries);
        scriptedUi = ScriptedUi();
        EXPECT_EQ(0, RunInstaller("/S"));
        EXPECT_EQ(c.progress, scriptedUi.progress) << c.numFiles << " files, " << c.entries;
    }
}

TEST_F(InstallController, TargetsTypedBrowsedAndGiven) {
    // Browsed: the root directory appended, unless the box was closed or has no room.
    WritePackage();
    scriptedUi.dialog = [] {
        scriptedUi.browseResults = {"D:\\Apps"};
        OnBrowse();
        OnBrowse();
        scriptedUi.browseResults = {std::string(256, 'L')};
        OnBrowse();
        EXPECT_STREQ("D:\\Apps\\Demo", folderVariables.targetDir);
        EXPECT_EQ("D:\\Apps\\Demo", scriptedUi.targetText);
        OnAbout();
        scriptedUi.targetText = "C:\\%p\\Demo"; // typed: taken literally, not expanded
        OnInstall();
    };
    EXPECT_EQ(0, RunInstaller("/Silent")); // not /S: the dialog shows
    EXPECT_TRUE(box.Exists("C:\\%p\\Demo\\install.log"));
    EXPECT_EQ(0u, ScriptedCalls({"ShowAbout"}).at(0).find("ShowAbout(Vantorel v1.0\t\t\t\t\n\n"));
    // Given with /D=, silent (every Ask answered Yes), also quoted, the rest ignored.
    WritePackage(std::string(FullScript) + "Ask(\"Shortcuts?\");Message(\"hello\");EndAsk();");
    EXPECT_EQ(0, RunInstaller("/S /D=C:\\My Apps\\Demo"));
    EXPECT_EQ(Tool, box.Read("C:\\My Apps\\Demo\\tool.exe"));
    EXPECT_EQ(1u, ScriptedCalls({"ShowInfo(hello)"}).size());
    EXPECT_EQ(0, RunInstaller("/S \"/D=C:\\Quoted Dir\\Demo\" trailing"));
    EXPECT_EQ(Tool, box.Read("C:\\Quoted Dir\\Demo\\tool.exe"));
}

TEST_F(InstallController, FailuresAreReportedNotCalledComplete) {
    Entry bad = Stored("bad.txt", "bad data");
    bad.crc = 1;
    WritePackage("MakeDirectory(\"%t\");MoveFile(\"bad.txt\",\"%t\\bad.txt\");"
                 "MoveFile(\"good.txt\",\"%t\\good.txt\");",
                 {Stored("good.txt", "good"), bad});
    EXPECT_EQ(2, RunInstaller("/S /D=C:\\Out"));
    EXPECT_EQ("SetStatusText(Installation incomplete: 1 archive entries could not be extracted; "
              "1 steps failed, the first: Moving File: C:\\Out\\bad.txt)",
              ScriptedCalls({"SetStatusText"}).back());
    EXPECT_EQ("DeleteFile (\"C:\\Out\\good.txt\");\nRemoveDirectory (\"C:\\Out\");\n",
              box.Read("C:\\Out\\install.log"));
    EXPECT_TRUE(box.List("C:\\Temp").empty());
    scriptedUi.dialog = [] { OnInstall(); };
    EXPECT_EQ(0, RunInstaller(""));
    EXPECT_EQ(
        0u, ScriptedCalls({"SetStatusText"}).back().find("SetStatusText(Installation incomplete:"));
}

TEST_F(InstallController, FatalEndsCleanUpAndHaveTheirExitCodes) {
    SimSetMessageOutput(stderr);
    WritePackage("A(1,2,3,4,5,6,7);", {});
    EXPECT_EXIT(RunInstaller("/S"), ::testing::ExitedWithCode(255),
                "FATAL: Error parsing installation script.");
    Bytes package = Package(Archive({Stored("a.txt", "aaaa"), Stored("b.txt", Bytes(9000, 'b'))}));
    box.Write("C:\\vantorel.exe", package.substr(0, package.size() - 3000)); // truncated
    scriptedUi.dialog = [] { OnInstall(); };
    EXPECT_EXIT(RunInstaller(""), ::testing::ExitedWithCode(1),
                "^Can't read file or unexpected end of file\n$");
    EXPECT_TRUE(box.List("C:\\Temp").empty());
    EXPECT_EXIT(RunInstaller(("/S /D=C:\\" + std::string(300, 'd')).c_str()),
                ::testing::ExitedWithCode(255), "FATAL: Target directory too long.");
    SimSetTempPath("C:\\No\\Such\\");
    EXPECT_EXIT(RunInstaller(""), ::testing::ExitedWithCode(1),
                "^Can't create a temporary folder in C:\\\\No\\\\Such\\\\\n$");
}

} // namespace
