// Tests of the install controller, driven through the scripted window on
// packages made from archives of the arj archiver.
#include "frontend/install_controller.h"

#include "actions/folder_variables.h"
#include "tests/unit/actions_fixture.h"
#include "tests/unit/arj_test_support.h"

#include <dirent.h>
#include <string.h>
#include <sys/stat.h>

namespace {

using Lines = std::vector<std::string>;
using TestFiles = std::vector<std::pair<std::string, std::string>>; // name, bytes

// An archive that the arj archiver makes of files, in the order given.
std::string MakeArjArchive(const TestFiles& files, const std::string& switches) {
    char dir[] = "/tmp/vantorel-arj-XXXXXX";
    EXPECT_NE(nullptr, mkdtemp(dir));
    std::string names;
    for (const auto& file : files) {
        EXPECT_TRUE(WriteWholeFile(std::string(dir) + "/" + file.first, file.second));
        names += " '" + file.first + "'";
    }
    std::string archive = arj_test::MakeArj(dir, switches, names);
    EXPECT_EQ(0, system((std::string("rm -rf ") + dir).c_str()));
    return archive;
}

const char FullScript[] = "Title (\"Demo %p\");\r\n"
                          "NumFiles (2);\r\n"
                          "RootDirectory (\"\\Demo\");\r\n"
                          "TargetDirectory (\"%p%r\");\r\n"
                          "MakeDirectory (\"%t\");\r\n"
                          "MoveFile (\"readme.txt\", \"%t\\readme.txt\");\r\n"
                          "MoveFile (\"tool.exe\", \"%t\\tool.exe\");\r\n";

class InstallController : public SandboxTest {
  protected:
    void SetUp() override {
        SandboxTest::SetUp();
        SKIP_WITHOUT_ARJ();
        memset(&folderVariables, 0, sizeof folderVariables);
        SetStandardFolders("C:\\Program Files", "C:\\Start\\Programs", "C:\\Desk");
        SimSetModuleFileName("C:\\Setup\\setup.exe");
        mkdir(SimHostPath("C:\\Setup").c_str(), 0755);
    }

    void WritePackage(const std::string& script, const TestFiles& files,
                      const std::string& options = "-m1") {
        std::string archive = MakeArjArchive(files, options);
        ASSERT_FALSE(archive.empty());
        WriteFile("C:\\Setup\\setup.exe", MakePackage(PlaceholderStub(), script, archive));
    }

    // The names left in the temporary folder: the private folder must be gone.
    Lines TempFolderContents() {
        Lines names;
        DIR* dir = opendir(SimHostPath("C:\\Temp").c_str());
        while (dirent* entry = dir ? readdir(dir) : nullptr)
            if (strcmp(entry->d_name, ".") && strcmp(entry->d_name, ".."))
                names.push_back(entry->d_name);
        if (dir) closedir(dir);
        return names;
    }
};

TEST_F(InstallController, StartShowsTitleAsWrittenAndTheTarget) {
    WritePackage(FullScript, {{"readme.txt", "r"}, {"tool.exe", "t"}});
    scriptedUi.dialog = [] { OnCancel(); };
    EXPECT_EQ(0, RunInstaller(""));
    EXPECT_EQ((Lines{"RunDialog()", "SetStatusText(This will install \"Demo %p\"! Continue?)",
                     "SetTargetText(C:\\Program Files\\Demo)", "BringToFront()",
                     "SetProgressRange(0,100)", "FocusControl(1)", "CloseDialog()"}),
              scriptedUi.calls);
    // Cancelled at once: nothing extracted, nothing installed.
    EXPECT_FALSE(Exists("C:\\Program Files\\Demo"));
    EXPECT_TRUE(TempFolderContents().empty());
}

TEST_F(InstallController, InstallRunsTheWholeSequenceInOrder) {
    WritePackage(FullScript, {{"readme.txt", "read me\n"}, {"tool.exe", std::string(5000, 'x')}});
    scriptedUi.dialog = [] {
        scriptedUi.calls.clear();
        scriptedUi.progress.clear();
        OnInstall();
        OnCancel(); // "Finish"
    };
    EXPECT_EQ(0, RunInstaller(""));
    EXPECT_EQ(
        (Lines{"GetTargetText()", "SetControlEnabled(2,0)", "SetControlEnabled(1002,0)",
               "SetControlEnabled(1007,0)", "SetControlEnabled(1005,0)",
               "SetControlEnabled(1004,0)", "SetControlEnabled(1,0)",
               "SetStatusText(Extracting: \"readme.txt\")", "SetProgress(50)",
               "SetStatusText(Extracting: \"tool.exe\")", "SetProgress(100)",
               // the script's own progress, seven records
               "SetProgress(14)", "SetProgress(28)", "SetProgress(42)", "SetProgress(57)",
               "SetProgress(71)", "SetStatusText(Creating Directory: %t)", "SetProgress(85)",
               "SetStatusText(Moving File: C:\\Program Files\\Demo\\readme.txt)",
               "SetProgress(100)", "SetStatusText(Moving File: C:\\Program Files\\Demo\\tool.exe)",
               "SetControlEnabled(2,1)", "FocusControl(2)", "SetStatusText(Installation complete.)",
               "SetCancelCaption(Finish)", "CloseDialog()"}),
        scriptedUi.calls);
    std::string bytes;
    ASSERT_TRUE(ReadFile("C:\\Program Files\\Demo\\tool.exe", &bytes));
    EXPECT_EQ(std::string(5000, 'x'), bytes);
    ASSERT_TRUE(ReadFile("C:\\Program Files\\Demo\\install.log", &bytes));
    EXPECT_EQ("DeleteFile (\"C:\\Program Files\\Demo\\tool.exe\");\n"
              "DeleteFile (\"C:\\Program Files\\Demo\\readme.txt\");\n"
              "RemoveDirectory (\"C:\\Program Files\\Demo\");\n"
              "Title (\"Demo %p\");\n",
              bytes);
    // The private extraction folder is gone, and the process stands outside it.
    EXPECT_TRUE(TempFolderContents().empty());
}

TEST_F(InstallController, ExtractionProgressFollowsNumFiles) {
    struct Case {
        int numFiles;
        int entries;
        std::vector<int> progress;
    } cases[] = {
        {5, 5, {20, 40, 60, 80, 100}}, {3, 2, {33, 66}}, {200, 3, {0, 1}},
        {2, 4, {50, 100, 150, 200}},   {0, 2, {}},
    };
    for (const Case& c : cases) {
        TestFiles files;
        for (int i = 0; i < c.entries; i++) files.push_back({"f" + std::to_string(i), "x"});
        std::string script = "NumFiles(" + std::to_string(c.numFiles) + ");";
        WritePackage(script, files);
        ResetScriptedUi();
        scriptedUi.dialog = [] {
            scriptedUi.progress.clear();
            OnInstall();
        };
        EXPECT_EQ(0, RunInstaller(""));
        // The script's own single record then sends 100.
        std::vector<int> expected = c.progress;
        expected.push_back(100);
        EXPECT_EQ(expected, scriptedUi.progress) << c.numFiles << " files, " << c.entries;
    }
}

TEST_F(InstallController, TypedTargetIsTakenLiterally) {
    WritePackage("MakeDirectory(\"%t\");", {{"a", "a"}});
    scriptedUi.dialog = [] {
        scriptedUi.targetText = "C:\\%p\\Demo";
        OnInstall();
    };
    EXPECT_EQ(0, RunInstaller(""));
    EXPECT_TRUE(Exists("C:\\%p\\Demo\\install.log"));
}

TEST_F(InstallController, BrowseAppendsTheRootDirectoryUnlessCancelled) {
    WritePackage(FullScript, {{"a", "a"}});
    scriptedUi.dialog = [] {
        scriptedUi.browseResults = {"D:\\Apps"};
        OnBrowse();
        OnBrowse(); // the user closes the box without a choice
        scriptedUi.browseResults = {std::string(256, 'L')}; // no room for \Demo
        OnBrowse();
        OnAbout();
        OnCancel();
    };
    EXPECT_EQ(0, RunInstaller(""));
    EXPECT_EQ((Lines{"SetTargetText(C:\\Program Files\\Demo)", "SetTargetText(D:\\Apps\\Demo)"}),
              ScriptedCalls("SetTargetText"));
    EXPECT_STREQ("D:\\Apps\\Demo", folderVariables.targetDir);
    EXPECT_EQ(3u, ScriptedCalls("BrowseForFolder(Choose a Target Directory)").size());
    Lines about = ScriptedCalls("ShowAbout");
    ASSERT_EQ(1u, about.size());
    EXPECT_EQ(0u, about[0].find("ShowAbout(Vantorel v1.0\t\t\t\t\n\n"));
}

TEST_F(InstallController, SilentInstallUsesTheGivenTargetAndAnswersYes) {
    WritePackage(std::string(FullScript) + "Ask(\"Shortcuts?\");Message(\"hello\");EndAsk();",
                 {{"readme.txt", "r"}, {"tool.exe", "t"}});
    EXPECT_EQ(0, RunInstaller("/S /D=C:\\My Apps\\Demo"));
    EXPECT_TRUE(Exists("C:\\My Apps\\Demo\\tool.exe"));
    EXPECT_TRUE(ScriptedCalls("RunDialog").empty());
    EXPECT_EQ(1u, ScriptedCalls("ShowInfo(hello)").size());
    // Quoted, as a shell passes an argument with blanks; the rest is ignored.
    EXPECT_EQ(0, RunInstaller("/S \"/D=C:\\Quoted Dir\\Demo\" trailing"));
    EXPECT_TRUE(Exists("C:\\Quoted Dir\\Demo\\tool.exe"));
}

TEST_F(InstallController, FailedEntriesAreReportedNotCalledComplete) {
    std::string archive = MakeArjArchive({{"good.txt", "good"}, {"bad.txt", "bad data"}}, "-m0");
    ASSERT_FALSE(archive.empty());
    size_t at = archive.rfind("bad data");
    ASSERT_NE(std::string::npos, at);
    archive[at] = 'B'; // the stored bytes no longer match their CRC
    WriteFile("C:\\Setup\\setup.exe", MakePackage(PlaceholderStub(), "Title(\"x\");", archive));
    EXPECT_EQ(2, RunInstaller("/S"));
    EXPECT_EQ(
        1u,
        ScriptedCalls(
            "SetStatusText(Installation complete, but 1 archive entries could not be extracted.)")
            .size());
    EXPECT_TRUE(TempFolderContents().empty());

    // With the dialog the run still ends normally.
    ResetScriptedUi();
    scriptedUi.dialog = [] { OnInstall(); };
    EXPECT_EQ(0, RunInstaller(""));
}

TEST_F(InstallController, ExtractionFolderIsPrivateAndPlantedNamesArePassedOver) {
    // Another process planted a file under an entry's name in the shared
    // temporary folder; the installer must neither use nor replace it.
    WriteFile("C:\\Temp\\tool.exe", "planted");
    WritePackage(FullScript, {{"readme.txt", "r"}, {"tool.exe", "real"}});
    EXPECT_EQ(0, RunInstaller("/S"));
    std::string bytes;
    ASSERT_TRUE(ReadFile("C:\\Program Files\\Demo\\tool.exe", &bytes));
    EXPECT_EQ("real", bytes);
    ASSERT_TRUE(ReadFile("C:\\Temp\\tool.exe", &bytes));
    EXPECT_EQ("planted", bytes);
    EXPECT_EQ(Lines{"tool.exe"}, TempFolderContents());
}

using InstallControllerDeathTest = InstallController;

TEST_F(InstallControllerDeathTest, FatalEndsHaveTheirExitCodes) {
    WriteFile("C:\\Setup\\setup.exe", MakePackage(PlaceholderStub(), "A(1,2,3,4,5,6,7);", ""));
    EXPECT_EXIT(RunInstaller("/S"), ::testing::ExitedWithCode(255),
                "FATAL: Error parsing installation script.");

    std::string archive = MakeArjArchive({{"a.txt", "aaaa"}}, "-m0");
    archive[archive.size() / 2] ^= 0x55; // damage inside the headers or data
    archive.resize(archive.size() - 6);  // and no end-of-archive header
    WriteFile("C:\\Setup\\setup.exe", MakePackage(PlaceholderStub(), "Title(\"x\");", archive));
    SimSetMessageOutput(stderr);
    EXPECT_EXIT(RunInstaller("/S"), ::testing::ExitedWithCode(1), "");

    WriteFile("C:\\Setup\\setup.exe", MakePackage(PlaceholderStub(), "Title(\"x\");", archive));
    std::string longTarget = "/S /D=C:\\" + std::string(300, 'd');
    EXPECT_EXIT(RunInstaller(longTarget.c_str()), ::testing::ExitedWithCode(255),
                "FATAL: Target directory too long.");
}

} // namespace
