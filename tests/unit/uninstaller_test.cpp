// Tests of the uninstaller: an installation taken back from its install.log, what it keeps.
#include "uninstall/uninstaller.h"

#include "tests/unit/sandbox.h"
#include "uninstall/undo_records.h"

namespace {

struct Uninstaller : ::testing::Test {
    Sandbox box;
    void SetUp() override {
        for (const char* folder : {"C:\\Apps", "C:\\Apps\\Tool", "C:\\Apps\\Tool\\docs"})
            box.MakeFolder(folder);
        for (const char* file : {"C:\\Apps\\Tool\\tool.exe", "C:\\Apps\\Tool\\docs\\readme.txt",
                                 "C:\\Apps\\Tool\\uninstall.exe"})
            box.Write(file, "x");
        SimSetRegistryString(2, "Software\\Uninstall\\Tool", "DisplayName", "Tool");
        SimSetRegistryString(2, "Software\\Uninstall\\Tool", "UninstallString", "u");
        SimSetRegistryString(2, "Software\\Uninstall\\Other", "DisplayName", "Other");
        SimSetModuleFileName("C:\\Apps\\Tool\\uninstall.exe");
        box.Write("C:\\Apps\\Tool\\install.log",
                  "DeleteFile (\"C:\\Apps\\Tool\\uninstall.exe\");\n"
                  "DeleteFile (\"C:\\Apps\\Tool\\docs\\readme.txt\");\n"
                  "DeleteFile (\"C:\\Apps\\Tool\\tool.exe\");\n"
                  "DeleteFile (\"C:\\Apps\\Tool\\gone.txt\");\n"
                  "RemoveDirectory (\"C:\\Apps\\Tool\\docs\");\n"
                  "RemoveDirectory (\"C:\\Apps\\Tool\");\n"
                  "RemoveDirectory (\"C:\\Apps\");\n"
                  "RemoveRegistry (2, \"Software\\Uninstall\\Tool\", \"UninstallString\");\n"
                  "RemoveRegistry (2, \"Software\\Uninstall\\Tool\", \"DisplayName\");\n"
                  "Unknown (\"passed over\");\n"
                  "Title (\"Tool 1.0\");\n");
    }
    Lines Boxes() {
        Lines texts;
        for (const SimCall& call : SimCallsNamed("MessageBox")) texts.push_back(call.args[0]);
        return texts;
    }
};

TEST_F(Uninstaller, TakesTheInstallationBackAndHandsItsOwnFileOn) {
    EXPECT_EQ(ExitRemoved, RunUninstaller(""));
    EXPECT_EQ((Lines{"Remove \"Tool 1.0\" and all of its components?", "Tool 1.0 was removed."}),
              Boxes());
    // Its own file is left for the copy; a missing file counts as done; only the emptied key goes.
    EXPECT_EQ(Lines{"uninstall.exe"}, box.List("C:\\Apps\\Tool"));
    EXPECT_FALSE(SimKeyExists(2, "Software\\Uninstall\\Tool"));
    EXPECT_TRUE(SimKeyExists(2, "Software\\Uninstall\\Other"));
    // C:\Apps\Tool and C:\Apps, both made by the install, go after it.
    EXPECT_EQ((Lines{"C:\\Apps\\Tool\\uninstall.exe", "2"}),
              SimCallsNamed("RemoveSelfLater").at(0).args);
    // The copy: the file, then the two folders, while empty.
    EXPECT_EQ(ExitRemoved, RunUninstaller("/L=2 /F=C:\\Apps\\Tool\\uninstall.exe"));
    EXPECT_FALSE(box.Exists("C:\\Apps"));
}

TEST_F(Uninstaller, KeepsTheUsersFilesAndReportsWhatItCouldNotRemove) {
    box.Write("C:\\Apps\\Tool\\docs\\mine.txt", "the user's");
    box.MakeFolder("C:\\Apps\\Tool\\tool.exe.d");
    SimSetRegistryString(2, "Software\\Uninstall\\Tool\\Sub", "X", "not ours"); // keeps its key
    box.Write("C:\\Apps\\Tool\\install.log",
              "DeleteFile (\"C:\\Apps\\Tool\\docs\\readme.txt\");\n"
              "DeleteFile (\"C:\\Apps\\Tool\\tool.exe.d\");\n" // a folder now: not ours
              "DeleteFile (\"tool.exe\");\n"                   // relative: refused
              "RemoveDirectory (\"C:\\\");\n"                  // a drive's root: refused
              "RemoveDirectory (\"C:\\Apps\\Tool\\docs\");\n"
              "RemoveRegistry (2, \"Software\\Uninstall\\Tool\", \"UninstallString\");\n"
              "RemoveRegistry (2, \"Software\\Uninstall\\Tool\", \"DisplayName\");\n"
              "RemoveRegistry (7, \"Software\\X\", \"Y\");\n"); // no such root
    EXPECT_EQ(ExitItemsLeft, RunUninstaller("/S"));
    EXPECT_EQ("the user's", box.Read("C:\\Apps\\Tool\\docs\\mine.txt"));
    EXPECT_FALSE(box.Exists("C:\\Apps\\Tool\\docs\\readme.txt"));
    EXPECT_TRUE(SimKeyExists(2, "Software\\Uninstall\\Tool\\Sub"));
    // Without a Title the folder names the product.
    EXPECT_EQ("C:\\Apps\\Tool was not removed completely: 4 items could not be removed:\n"
              "C:\\Apps\\Tool\\tool.exe.d\ntool.exe\nC:\\\n",
              Boxes().back());
}

TEST_F(Uninstaller, AnswerNoOrNoLogChangesNothing) {
    SimQueueMessageBoxAnswer(7); // No
    EXPECT_EQ(ExitRemoved, RunUninstaller(""));
    EXPECT_TRUE(box.Exists("C:\\Apps\\Tool\\tool.exe"));
    for (const char* log : {"", "Foo (1, 2, 3, 4, 5, 6, 7);"}) {
        box.Write("C:\\Apps\\Tool\\install.log", log);
        if (!*log) unlink(SimHostPath("C:\\Apps\\Tool\\install.log").c_str());
        SimClearCalls();
        EXPECT_EQ(ExitFatal, RunUninstaller("/S"));
        EXPECT_EQ(Lines{"Can't read the installation log in C:\\Apps\\Tool"}, Boxes());
        EXPECT_TRUE(box.Exists("C:\\Apps\\Tool\\tool.exe"));
    }
    EXPECT_TRUE(SimCallsNamed("RemoveSelfLater").empty());
}

TEST(SamePath, FoldsCaseAndRunsOfBackslashes) {
    struct Case {
        const char *a, *b;
        int same;
    } cases[] = {
        {"C:\\Apps\\Tool", "c:\\APPS\\tool", 1}, {"C:\\\\Tool\\x.exe", "C:\\Tool\\x.exe", 1},
        {"C:\\Tool\\", "C:\\Tool", 1},           {"C:\\", "C:", 1},
        {"C:\\Tool", "C:\\Tool\\x", 0},          {"C:\\Tool", "C:\\Tools", 0},
        {"C:\\Tool\\\\", "C:\\Tool x", 0},       {"C:\\a\\b", "C:\\ab", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.same, SamePath(c.a, c.b)) << c.a << " " << c.b;
        EXPECT_EQ(c.same, SamePath(c.b, c.a)) << c.b << " " << c.a;
    }
}

} // namespace
