// Tests of the script executor: what each command does, its undo records, statuses and progress.
#include "actions/install_log.h"
#include "actions/script_executor.h"
#include "tests/unit/sandbox.h"

namespace {

struct ScriptExecutor : ::testing::Test {
    Sandbox box;
    char firstFailure[StatusSize];
    void SetUp() override {
        box.SetStandardFolders();
        for (const char* folder : {"C:\\Tools", "C:\\Desk", "C:\\Start", "C:\\Start\\Programs"})
            box.MakeFolder(folder);
        PlatformSetCurrentDirectory("C:\\Temp");
    }
    int Run(const std::string& script, const char* target = "C:\\Tools") {
        scriptedUi.calls.clear();
        scriptedUi.progress.clear();
        box.Parse(script);
        LoadFolderVariables();
        SetFolder(folderVariables.targetDir, target);
        return RunScript(firstFailure);
    }
    std::string Log() { return box.Read("C:\\Tools\\install.log"); }
};

// Every level MakeDirectory made gets a record, none the levels that were there.
TEST_F(ScriptExecutor, WritesTheInstallLogNewestFirst) {
    box.Write("C:\\Temp\\tool.exe", "program");
    box.MakeFolder("C:\\Tools\\docs");
    EXPECT_EQ(0, Run("Title(\"Example Tool\");\r\n"
                     "MakeDirectory(\"%t\\bin\");\r\n"
                     "MakeDirectory(\"%t\\docs\\data\\deep\");MakeDirectory(\"%t\");\r\n"
                     "MakeDirectory(\"C:\\New\\\\One\\\");\r\n"
                     "MoveFile(\"tool.exe\",\"%t\\bin\\tool.exe\");\r\n"
                     "Registry(2,\"Software\\Example\",\"Path\",\"%t\");\r\n"
                     "DesktopIcon(\"%t\\bin\\tool.exe\",\"Example Tool\");\r\n"));
    EXPECT_EQ("DeleteFile (\"C:\\Desk\\Example Tool.lnk\");\n"
              "RemoveRegistry (2, \"Software\\Example\", \"Path\");\n"
              "DeleteFile (\"C:\\Tools\\bin\\tool.exe\");\n"
              "RemoveDirectory (\"C:\\New\\\\One\\\");\n"
              "RemoveDirectory (\"C:\\New\");\n"
              "RemoveDirectory (\"C:\\Tools\\docs\\data\\deep\");\n"
              "RemoveDirectory (\"C:\\Tools\\docs\\data\");\n"
              "RemoveDirectory (\"C:\\Tools\\bin\");\n"
              "Title (\"Example Tool\");\n",
              Log());
    EXPECT_EQ(nullptr, installLog); // freed after writing

    // Texts as they are, integers signed; no record, an empty log.
    ResetInstallLog();
    SetLogText(NewLogRecord("X"), "say \"hi\", (now)", 1);
    SetLogInteger(installLog, -5, 0);
    NewLogRecord("Bare");
    SetLogText(nullptr, "ignored", 0);            // a failed allocation loses only its record
    SetFolder(folderVariables.targetDir, "C:\\"); // two backslashes: one file
    EXPECT_EQ(1, WriteInstallLog());
    EXPECT_EQ("Bare ();\nX (-5, \"say \"hi\", (now)\");\n", box.Read("C:\\install.log"));
    Run("", "C:\\Empty");
    EXPECT_EQ("", box.Read("C:\\Empty\\install.log"));
    EXPECT_TRUE(scriptedUi.progress.empty());

    // A reinstall: its records, then the old lines it did not write again (a
    // damaged one too, for the uninstaller to refuse), no old Title.
    box.Write("C:\\Tools\\install.log", Log() + "damaged (\"line\"");
    box.Write("C:\\Temp\\tool.exe", "program");
    EXPECT_EQ(0, Run("Title(\"Tool 2\");MoveFile(\"tool.exe\",\"%t\\bin\\tool.exe\");"));
    const std::string
        head = "DeleteFile (\"C:\\Tools\\bin\\tool.exe\");\nTitle (\"Tool 2\");\nDeleteFile (",
        tail = "RemoveDirectory (\"C:\\Tools\\bin\");\ndamaged (\"line\"", log = Log();
    EXPECT_EQ(head + tail, log.substr(0, head.size()) + log.substr(log.size() - tail.size()));
    EXPECT_EQ(log.find("Title"), log.rfind("Title")) << log;
}

// Unknown, mistyped and controller-only statements take a step and do nothing.
TEST_F(ScriptExecutor, ProgressIsSentBeforeEachRecordWhenThePercentChanges) {
    EXPECT_EQ(0, Run("A();B();C();D();"));
    EXPECT_EQ((std::vector<int>{25, 50, 75, 100}), scriptedUi.progress);
    EXPECT_EQ(0, Run("NumFiles(3);RootDirectory(\"\\x\");TargetDirectory(\"%p\");EndAsk();"
                     "message(\"m\");Frobnicate(1,2);"));
    EXPECT_TRUE(ScriptedCalls({"ShowInfo"}).empty());
    EXPECT_EQ((std::vector<int>{16, 33, 50, 66, 83, 100}), scriptedUi.progress);
    std::string script;
    std::vector<int> expected;
    for (int i = 0; i < 200; i++) script += "R();";
    for (int percent = 0; percent <= 100; percent++) expected.push_back(percent);
    Run(script);
    EXPECT_EQ(expected, scriptedUi.progress);
}

TEST_F(ScriptExecutor, AskAnsweredNoSkipsToTheFirstEndAsk) {
    scriptedUi.yesNoAnswers = {0};
    Run("Ask(\"A\");Ask(\"B\");Message(\"x\");EndAsk();Message(\"y\");EndAsk();"
        "ask(\"lower case is no command\");Message(\"z\");");
    // B is not asked, x skipped; y runs, the second EndAsk does nothing.
    EXPECT_EQ((Lines{"AskYesNo(A)", "ShowInfo(y)", "ShowInfo(z)"}),
              ScriptedCalls({"AskYesNo", "ShowInfo"}));
    // 8 records, 3 skipped (B, x, EndAsk) take no step: the bar ends at 5 * 100 / 8.
    EXPECT_EQ((std::vector<int>{12, 25, 37, 50, 62}), scriptedUi.progress);

    scriptedUi.yesNoAnswers = {1, 0};
    Run("Ask(\"Q1\");Message(\"in\");EndAsk();Ask(\"Q2\");Message(\"never\");Title(\"t\");");
    EXPECT_EQ((Lines{"AskYesNo(Q1)", "ShowInfo(in)", "AskYesNo(Q2)"}),
              ScriptedCalls({"AskYesNo", "ShowInfo"}));
    EXPECT_EQ("", Log()); // without EndAsk to the end; the log is written all the same
}

TEST_F(ScriptExecutor, StatusTextsShowTextsAsWritten) {
    box.Write("C:\\Temp\\a.txt", "a");
    std::string v250(250, 'v');
    Run("RegistryInt(1,\"Software\\V\",\"Flag\",5);"
        "Registry(1,\"Software\\V\",\"Cmd\",\"%t\\tool.exe\");"
        "MakeDirectory(\"%t\\Sub\");MoveFile(\"a.txt\",\"%t\\Sub\\a.txt\");" +
        ("RegistryInt(1,\"K\",\"" + v250 + "\",7);"));
    EXPECT_EQ((Lines{"SetStatusText(Adding Registry Key: Flag:5)",
                     "SetStatusText(Adding Registry Key: Cmd:%t\\tool.exe)",
                     "SetStatusText(Creating Directory: %t\\Sub)",
                     "SetStatusText(Moving File: C:\\Tools\\Sub\\a.txt)",
                     "SetStatusText(Adding Registry Key: " + v250.substr(16) + ")"}),
              ScriptedCalls({"SetStatusText"}));
    EXPECT_EQ("1:C:\\Tools\\tool.exe" + std::string(1, 0), box.Value(1, "Software\\V", "Cmd"));
    EXPECT_EQ(("4:" + std::string{5, 0, 0, 0}), box.Value(1, "Software\\V", "Flag"));
}

TEST_F(ScriptExecutor, MoveFileReplacesTheDestinationOnlyWithAWholeCopy) {
    box.Write("C:\\Temp\\README.TXT", "new"); // as extracted from another system
    box.Write("C:\\Tools\\readme.txt", "old");
    box.Write("C:\\Tools\\keep.txt", "the user's");
    box.Write("C:\\Temp\\other.txt", "only copy");
    std::string d237(237, 'd'); // C:\Tools\ddd... is 246 characters: the longest
    box.MakeFolder("C:\\Tools\\" + d237);
    box.MakeFolder("C:\\Tools\\" + d237 + "e");
    box.Write("C:\\Temp\\long.txt", "long");
    box.Write("C:\\Temp\\longer.txt", "longer");
    box.Write("C:\\Temp\\self.txt", "itself");
    EXPECT_EQ(4, Run("MoveFile(\"readme.txt\",\"%t\\readme.txt\");"
                     "MoveFile(\"missing.txt\",\"%t\\keep.txt\");"
                     "MoveFile(\"other.txt\",\"%t\\Missing\\other.txt\");"
                     "MoveFile(\"self.txt\",\".\\SELF.txt\");" +
                     ("MoveFile(\"long.txt\",\"%t\\" + d237 + "\\long.txt\");") +
                     ("MoveFile(\"longer.txt\",\"%t\\" + d237 + "e\\longer.txt\");")));
    EXPECT_STREQ("Moving File: C:\\Tools\\keep.txt", firstFailure);
    EXPECT_EQ("new", box.Read("C:\\Tools\\readme.txt"));
    EXPECT_FALSE(box.Exists("C:\\Temp\\README.TXT"));
    EXPECT_EQ("the user's", box.Read("C:\\Tools\\keep.txt")); // no source: untouched
    EXPECT_EQ("only copy", box.Read("C:\\Temp\\other.txt"));  // the copy failed: kept
    EXPECT_EQ("itself", box.Read("C:\\Temp\\self.txt"));      // onto itself: refused, kept
    EXPECT_EQ("long", box.Read("C:\\Tools\\" + d237 + "\\long.txt"));
    EXPECT_EQ("longer", box.Read("C:\\Temp\\longer.txt")); // beyond GetTempFileNameA: kept
    EXPECT_EQ("DeleteFile (\"C:\\Tools\\" + d237 +
                  "\\long.txt\");\n"
                  "DeleteFile (\"C:\\Tools\\readme.txt\");\n",
              Log());
    // No temporary copies are left beside the destinations.
    EXPECT_EQ((Lines{d237, d237 + "e", "install.log", "keep.txt", "readme.txt"}),
              box.List("C:\\Tools"));
}

TEST_F(ScriptExecutor, StartMenuMakesTheGroupThenTheShortcut) {
    Run("StartMenu(\"%t\\tool.exe\",\"Example Tool\",\"Example Tool - Readme\");");
    EXPECT_EQ("C:\\Tools\\tool.exe|Example Tool - Readme",
              box.Shortcut("C:\\Start\\Programs\\Example Tool\\Example Tool - Readme.lnk"));
    EXPECT_EQ("DeleteFile (\"C:\\Start\\Programs\\Example Tool\\Example Tool - Readme.lnk\");\n"
              "RemoveDirectory (\"C:\\Start\\Programs\\Example Tool\");\n",
              Log());
    EXPECT_EQ((Lines{"SetStatusText(Creating Directory: C:\\Start\\Programs\\Example Tool)",
                     "SetStatusText(Adding to Startmenu: Example Tool - Readme)"}),
              ScriptedCalls({"SetStatusText"}));
}

TEST_F(ScriptExecutor, FailedStepsAreCountedAndLeaveNoRecord) {
    SimFailKeyCreation(true);
    SimFailShellLinkCreation((int32_t)0x80040154);
    box.Write("C:\\Blocked", "a file where a folder should be");
    std::string n250(250, 'n');
    EXPECT_EQ(6,
              Run("Registry(2,\"Software\\X\",\"A\",\"b\");RegistryInt(9,\"Software\\X\",\"B\",1);"
                  "DesktopIcon(\"%t\\tool.exe\",\"Tool\");MakeDirectory(\"C:\\Blocked\\Below\");" +
                  ("DesktopIcon(\"%t\\tool.exe\",\"" + n250 + "\");") +
                  ("StartMenu(\"x\",\"" + n250 + "\",\"n\");Title(\"still runs\");")));
    EXPECT_STREQ("Adding Registry Key: A:b", firstFailure);
    EXPECT_EQ("Title (\"still runs\");\n", Log());
    EXPECT_TRUE(SimCallsNamed("Save").empty());

    // An install.log that cannot be written is a failed step; a missing target is made.
    EXPECT_EQ(1, Run("Title(\"t\");", "C:\\Blocked\\Sub"));
    EXPECT_STREQ("Writing install.log in C:\\Blocked\\Sub", firstFailure);
    EXPECT_EQ(0, Run("Title(\"t\");", "C:\\Registry\\Only"));
    EXPECT_EQ("Title (\"t\");\n", box.Read("C:\\Registry\\Only\\install.log"));
}

} // namespace
