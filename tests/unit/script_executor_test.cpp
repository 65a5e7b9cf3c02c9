// Tests of the script executor: progress, dispatch, Ask/EndAsk skipping,
// status texts, the handlers' effects and the install log they leave.
#include "actions/folder_variables.h"
#include "actions/install_log.h"
#include "actions/script_executor.h"

#include "tests/unit/actions_fixture.h"

#include <string.h>
#include <sys/stat.h>

namespace {

using Lines = std::vector<std::string>;

class ScriptExecutor : public SandboxTest {
  protected:
    void SetUp() override {
        SandboxTest::SetUp();
        memset(&folderVariables, 0, sizeof folderVariables);
        SetStandardFolders("C:\\Program Files", "C:\\Start\\Programs", "C:\\Desk");
        mkdir(SimHostPath("C:\\Tools").c_str(), 0755);
        mkdir(SimHostPath("C:\\Desk").c_str(), 0755);
        mkdir(SimHostPath("C:\\Start").c_str(), 0755);
        mkdir(SimHostPath("C:\\Start\\Programs").c_str(), 0755);
        PlatformSetCurrentDirectory("C:\\Temp");
    }

    // Parses script, loads the folders with target C:\Tools, runs it.
    void Run(const std::string& script) {
        ParseOrFail(script);
        LoadFolderVariables();
        SetFolder(folderVariables.targetDir, "C:\\Tools");
        SimClearCalls();
        EXPECT_EQ(0, RunScript());
    }

    std::string Log() {
        std::string bytes;
        EXPECT_TRUE(ReadFile("C:\\Tools\\install.log", &bytes));
        return bytes;
    }
};

TEST_F(ScriptExecutor, WritesTheInstallLogNewestFirst) {
    WriteFile("C:\\Temp\\tool.exe", "program");
    Run("Title(\"Example Tool\");\r\n"
        "MakeDirectory(\"%t\");\r\n"
        "MoveFile(\"tool.exe\",\"%t\\tool.exe\");\r\n"
        "Registry(2,\"Software\\Example\",\"Path\",\"%t\");\r\n"
        "DesktopIcon(\"%t\\tool.exe\",\"Example Tool\");\r\n");
    EXPECT_EQ("DeleteFile (\"C:\\Desk\\Example Tool.lnk\");\n"
              "RemoveRegistry (2, \"Software\\Example\", \"Path\");\n"
              "DeleteFile (\"C:\\Tools\\tool.exe\");\n"
              "RemoveDirectory (\"C:\\Tools\");\n"
              "Title (\"Example Tool\");\n",
              Log());
    EXPECT_EQ(nullptr, installLog); // freed after writing
}

TEST_F(ScriptExecutor, LogLinesKeepTextsAsTheyAre) {
    ResetInstallLog();
    SetFolder(folderVariables.targetDir, "C:\\");
    CommandRecord* record = NewLogRecord("X");
    SetLogInteger(record, -5, 0);
    SetLogText(record, "say \"hi\", (now)", 1);
    NewLogRecord("Bare");
    SetLogText(nullptr, "ignored", 0); // a failed allocation loses only its record
    WriteInstallLog();
    std::string bytes;
    // The target ends in a backslash: the path holds two, which is one file.
    ASSERT_TRUE(ReadFile("C:\\install.log", &bytes));
    EXPECT_EQ("Bare ();\nX (-5, \"say \"hi\", (now)\");\n", bytes);

    Run(""); // a run that adds no record writes an empty log
    EXPECT_EQ("", Log());
    EXPECT_TRUE(scriptedUi.progress.empty());
}

TEST_F(ScriptExecutor, ProgressIsSentBeforeEachRecordWhenThePercentChanges) {
    Run("A();B();C();D();");
    EXPECT_EQ((std::vector<int>{25, 50, 75, 100}), scriptedUi.progress);

    ResetScriptedUi();
    std::string script;
    for (int i = 0; i < 200; i++) script += "R();";
    FreeCommandList();
    Run(script);
    std::vector<int> expected;
    for (int percent = 0; percent <= 100; percent++) expected.push_back(percent);
    EXPECT_EQ(expected, scriptedUi.progress);
}

TEST_F(ScriptExecutor, AskAnsweredNoSkipsToTheFirstEndAsk) {
    scriptedUi.yesNoAnswers = {0};
    Run("Ask(\"A\");Ask(\"B\");Message(\"x\");EndAsk();Message(\"y\");EndAsk();"
        "ask(\"lower case is no command\");Message(\"z\");");
    // B is not asked, x skipped; y runs, the second EndAsk does nothing.
    EXPECT_EQ((Lines{"AskYesNo(A)", "ShowInfo(y)", "ShowInfo(z)"}), [] {
        Lines out;
        for (const std::string& call : scriptedUi.calls)
            if (call.rfind("AskYesNo", 0) == 0 || call.rfind("ShowInfo", 0) == 0)
                out.push_back(call);
        return out;
    }());
    // 8 records, 3 skipped (B, x, EndAsk): the bar ends at 5 * 100 / 8.
    EXPECT_EQ(62, scriptedUi.progress.back());
    EXPECT_EQ(5u, scriptedUi.progress.size());
}

TEST_F(ScriptExecutor, AskAnsweredYesRunsTheBlockAndNoEndAskSkipsToTheEnd) {
    scriptedUi.yesNoAnswers = {1, 0};
    Run("Ask(\"Q1\");Message(\"in\");EndAsk();Ask(\"Q2\");Message(\"never\");Title(\"t\");");
    EXPECT_EQ(1u, ScriptedCalls("ShowInfo(in)").size());
    EXPECT_TRUE(ScriptedCalls("ShowInfo(never)").empty());
    EXPECT_EQ("", Log()); // the log is written all the same
}

TEST_F(ScriptExecutor, StatusTextsShowTextsAsWritten) {
    WriteFile("C:\\Temp\\a.txt", "a");
    Run("RegistryInt(1,\"Software\\V\",\"Flag\",5);"
        "Registry(1,\"Software\\V\",\"Cmd\",\"%t\\tool.exe\");"
        "MakeDirectory(\"%t\\Sub\");"
        "MoveFile(\"a.txt\",\"%t\\Sub\\a.txt\");");
    EXPECT_EQ((Lines{"SetStatusText(Adding Registry Key: Flag:5)",
                     "SetStatusText(Adding Registry Key: Cmd:%t\\tool.exe)",
                     "SetStatusText(Creating Directory: %t\\Sub)",
                     "SetStatusText(Moving File: C:\\Tools\\Sub\\a.txt)"}),
              ScriptedCalls("SetStatusText"));
    SimValue value;
    ASSERT_TRUE(SimGetRegistryValue(1, "Software\\V", "Cmd", &value));
    EXPECT_EQ(std::string("C:\\Tools\\tool.exe", 18),
              std::string(value.data.begin(), value.data.end()));
    ASSERT_TRUE(SimGetRegistryValue(1, "Software\\V", "Flag", &value));
    EXPECT_EQ(4u, value.type);

    // A status text too long for its line is cut at 255 characters.
    ResetScriptedUi();
    FreeCommandList();
    Run("Message(\"m\");RegistryInt(1,\"K\",\"" + std::string(250, 'v') + "\",7);");
    std::string status = ScriptedCalls("SetStatusText")[0];
    EXPECT_EQ(255u, status.size() - strlen("SetStatusText()"));
}

TEST_F(ScriptExecutor, MoveFileReplacesTheDestinationAndKeepsASourceItCouldNotCopy) {
    WriteFile("C:\\Temp\\README.TXT", "new"); // as extracted from another system
    WriteFile("C:\\Tools\\readme.txt", "old");
    Run("MoveFile(\"readme.txt\",\"%t\\readme.txt\");"
        "MoveFile(\"other.txt\",\"%t\\Missing\\other.txt\");");
    std::string bytes;
    ASSERT_TRUE(ReadFile("C:\\Tools\\readme.txt", &bytes));
    EXPECT_EQ("new", bytes);
    EXPECT_FALSE(Exists("C:\\Temp\\README.TXT"));

    WriteFile("C:\\Temp\\other.txt", "only copy");
    FreeCommandList();
    Run("MoveFile(\"other.txt\",\"%t\\Missing\\other.txt\");");
    EXPECT_TRUE(Exists("C:\\Temp\\other.txt")); // the copy failed: not deleted
    EXPECT_EQ("DeleteFile (\"C:\\Tools\\Missing\\other.txt\");\n", Log());
}

TEST_F(ScriptExecutor, StartMenuMakesTheGroupThenTheShortcut) {
    Run("StartMenu(\"%t\\tool.exe\",\"Example Tool\",\"Example Tool - Readme\");");
    SimShortcut link;
    ASSERT_TRUE(
        SimReadShortcut("C:\\Start\\Programs\\Example Tool\\Example Tool - Readme.lnk", &link));
    EXPECT_EQ("C:\\Tools\\tool.exe", link.target);
    EXPECT_EQ("Example Tool - Readme", link.description);
    EXPECT_EQ("DeleteFile (\"C:\\Start\\Programs\\Example Tool\\Example Tool - Readme.lnk\");\n"
              "RemoveDirectory (\"C:\\Start\\Programs\\Example Tool\");\n",
              Log());
    EXPECT_EQ((Lines{"SetStatusText(Creating Directory: C:\\Start\\Programs\\Example Tool)",
                     "SetStatusText(Adding to Startmenu: Example Tool - Readme)"}),
              ScriptedCalls("SetStatusText"));
    // COM lives around the shortcut only.
    EXPECT_EQ(1u, SimCallsNamed("CoInitialize").size());
    EXPECT_EQ(1u, SimCallsNamed("CoUninitialize").size());
}

TEST_F(ScriptExecutor, ShortcutsWhoseLinkPathDoesNotFitAreNotCreated) {
    std::string name(250, 'n');
    Run("DesktopIcon(\"%t\\tool.exe\",\"" + name + "\");StartMenu(\"x\",\"" + name + "\",\"n\");");
    EXPECT_TRUE(SimCallsNamed("CoCreateInstance").empty());
    EXPECT_TRUE(SimCallsNamed("CreateDirectory").empty());
    // The desktop undo record still stands; the group folder is not logged.
    std::string log = Log();
    EXPECT_EQ(std::string::npos, log.find("RemoveDirectory"));
    EXPECT_EQ(2u, ScriptedCalls("SetStatusText(Adding").size());
}

TEST_F(ScriptExecutor, UnknownAndMistypedCommandsArePassedOver) {
    Run("NumFiles(3);RootDirectory(\"\\x\");TargetDirectory(\"%p\");EndAsk();message(\"m\");"
        "Frobnicate(1,2);MoveFile();");
    EXPECT_TRUE(ScriptedCalls("ShowInfo").empty());
    // MoveFile without arguments reads empty texts: it copies nothing.
    EXPECT_EQ(1u, SimCallsNamed("CopyFile").size());
    EXPECT_EQ((std::vector<int>{14, 28, 42, 57, 71, 85, 100}), scriptedUi.progress);
}

} // namespace
