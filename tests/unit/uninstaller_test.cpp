// Tests of the uninstaller: an installation taken back from its install.log, what it keeps.
#include "uninstall/uninstaller.h"

#include "script/log_reader.h"
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
              "RemoveRegistry (7, \"Software\\X\", \"Y\");\n" // no such root
              "DeleteFile (\"C:\\Apps\\Tool\\..\\..\\boot.ini\");\n"
              "DeleteFile (\"\\\\?\\C:\\Apps\\Tool\\tool.exe\");\n");
    EXPECT_EQ(ExitItemsLeft, RunUninstaller("/S"));
    EXPECT_EQ("the user's", box.Read("C:\\Apps\\Tool\\docs\\mine.txt"));
    EXPECT_FALSE(box.Exists("C:\\Apps\\Tool\\docs\\readme.txt"));
    EXPECT_TRUE(SimKeyExists(2, "Software\\Uninstall\\Tool\\Sub"));
    EXPECT_TRUE(box.Exists("C:\\Apps\\Tool\\tool.exe"));
    // Without a Title the folder names the product.
    EXPECT_EQ("C:\\Apps\\Tool was not removed completely: 6 items could not be removed:\n"
              "C:\\Apps\\Tool\\tool.exe.d\ntool.exe\nSoftware\\X\n", // folders last
              Boxes().back());
}

TEST_F(Uninstaller, AnswerNoOrALogNotReadWholeChangesNothing) {
    SimQueueMessageBoxAnswer(7); // No
    EXPECT_EQ(ExitDeclined, RunUninstaller(""));
    const std::string good = "DeleteFile (\"C:\\Apps\\Tool\\tool.exe\");\n",
                      log = "C:\\Apps\\Tool\\install.log";
    for (auto [text, said] :
         {std::pair<std::string, std::string>{"",
                                              "Can't read the installation log in C:\\Apps\\Tool"},
          {good + good + "DeleteFile (\"C:\\Apps\\Tool\\docs",
           "The installation log " + log + " is damaged at line 3. Nothing was removed."}}) {
        box.Write(log, text);
        if (text.empty()) unlink(SimHostPath(log).c_str());
        SimClearCalls();
        EXPECT_EQ(ExitFatal, RunUninstaller("/S"));
        EXPECT_NE(std::string::npos, Boxes().at(0).find(said)) << Boxes()[0];
    }
    EXPECT_TRUE(box.Exists("C:\\Apps\\Tool\\tool.exe"));
    EXPECT_TRUE(SimCallsNamed("RemoveSelfLater").empty());
}

// Each line by its layout: every character a path or value name may hold
// comes back whole; anything else refuses the line.
TEST(LogReader, ReadsEachLineByItsLayout) {
    std::string t255(255, 't');
    // clang-format off
    const std::pair<std::string, std::string> records[] = {
        {"DeleteFile (\"C:\\Program Files (x86)\\Tool\\a.exe\");", "DeleteFile|T:C:\\Program Files (x86)\\Tool\\a.exe"},
        {"RemoveDirectory (\"C:\\Smith, J\\C#Tools;\\a\"b'&%t%\\\xe9\");", "RemoveDirectory|T:C:\\Smith, J\\C#Tools;\\a\"b'&%t%\\\xe9"},
        {"RemoveRegistry (2, \"Software\\Tool (x86)\", \"a\", \"b\");", "RemoveRegistry|I:2|T:Software\\Tool (x86)|T:a\", \"b"},
        {"RemoveRegistry (-2147483648, \"K\", \"\");", "RemoveRegistry|I:-2147483648|T:K|T:"},
        {"RemoveRegistry (0, \"K\", \"V\");", "RemoveRegistry|I:0|T:K|T:V"},
        {"Title (\"Tool \"1\" (beta); #2\");", "Title|T:Tool \"1\" (beta); #2"},
        {"DeleteFile (\"" + t255 + "\");", "DeleteFile|T:" + t255}};
    const std::string refused[] = {
        "DeleteFile (\"" + t255 + "t\");", "DeleteFile (\"C:\\x\")", "DeleteFile (\"C:\\x\");\r",
        "DeleteFile(\"C:\\x\");", "DeleteFile (C:\\x);", "DeleteFile (\");", "MoveFile (\"a\", \"b\");",
        "RemoveRegistry (2, \"K\");", "RemoveRegistry (2147483648, \"K\", \"V\");", "RemoveRegistry (+2, \"K\", \"V\");",
        "RemoveRegistry (-0, \"K\", \"V\");", "RemoveRegistry (02, \"K\", \"V\");", "RemoveRegistry ( 2, \"K\", \"V\");",
        "Title (\"a\"); ", std::string("Title (\"a\0\");", 13), "\xEF\xBB\xBFTitle (\"a\");", ""};
    // clang-format on
    auto read = [](const std::string& line) {
        CommandRecord record;
        if (!ReadLogLine(line.data(), line.size(), &record)) return std::string();
        std::string text = record.name;
        for (int i = 0; i < CountArguments(&record); i++) text += ArgumentText(record.arguments[i]);
        return text;
    };
    for (const auto& [line, record] : records) EXPECT_EQ(record, read(line)) << line;
    for (const std::string& line : refused) EXPECT_EQ("", read(line)) << line;
}

TEST(SamePath, FoldsCaseAndRunsOfBackslashes) {
    const std::tuple<const char*, const char*, int> cases[] = {
        {"C:\\Apps\\Tool", "c:\\APPS\\tool", 1}, {"C:\\\\Tool\\x.exe", "C:\\Tool\\x.exe", 1},
        {"C:\\Tool\\", "C:\\Tool", 1},           {"C:\\", "C:", 1},
        {"C:\\Tool", "C:\\Tool\\x", 0},          {"C:\\Tool", "C:\\Tools", 0},
        {"C:\\Tool\\\\", "C:\\Tool x", 0},       {"C:\\a\\b", "C:\\ab", 0}};
    for (auto [a, b, same] : cases)
        EXPECT_EQ(same, SamePath(a, b) + SamePath(b, a) == 2) << a << " " << b;
}

} // namespace
