// Tests of vantorel-pack as users run it: the real binary, real files.
#include "tests/unit/arj_test_support.h"
#include "tests/unit/pack_runner.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace arj_test;

using PackCheck = PackFolder;
using PackTool = PackFolder;

TEST_F(PackCheck, PrintsOneLogLinePerRecordOrRefusesWhatTheInstallerWould) {
    std::string script =
        "Title (\"Demo\");\r\nNumFiles (2);\r\n# comment\r\n"
        "Registry (2, \"Software\\Demo\", \"Path\", \"%t\");\r\nAsk (\"q\");EndAsk ();\r\n";
    Write("script.txt", script);
    Write("package.exe", Package("", script));
    for (const std::string& what : {"--script " + Path("script.txt"), Path("package.exe")})
        EXPECT_EQ((PackRun{0, "Title (\"Demo\");\nNumFiles (2);\nRegistry (2, \"Software\\Demo\", "
                              "\"Path\", \"%t\");\nAsk (\"q\");\nEndAsk ();\n--stderr--"}),
                  RunPack("check " + what));

    Write("bad.txt", "Foo(1,2,3,4,5,6,7);");
    EXPECT_EQ((PackRun{1, "--stderr--" + Path("bad.txt") +
                              ":1:17: error: a seventh argument: the installer refuses statements "
                              "of over six (\"Error parsing installation script.\")\n"
                              "Error parsing installation script.\n"}),
              RunPack("check --script " + Path("bad.txt")));

    Write("odd.txt", "MoveFlie (\"a\", \"b\");"); // a warning: fails only with --werror
    for (std::string werror : {"", "--werror "})
        EXPECT_EQ(werror.empty() ? 0 : 1,
                  RunPack("check " + werror + "--script " + Path("odd.txt")).exitCode);

    Write("short.exe", "MZ too short for a package");
    EXPECT_EQ(1, RunPack("check " + Path("short.exe")).exitCode);

    PackRun missing = RunPack("check /nonexistent/installer.exe");
    EXPECT_EQ(1, missing.exitCode);
    EXPECT_NE(std::string::npos, missing.out.find("cannot read /nonexistent/installer.exe"));
}

// list and extract answer with the installer's exit codes and messages.
TEST_F(PackTool, ListsAndExtractsWithTheInstallersExitCodes) {
    Entry packed{"b.txt", "\x34\x1A\x40", "hi", 4, 0, 2, 0, 2}; // method 4 needs version 2
    Entry bad = Stored("bad", "data");
    bad.crc = 1;
    std::string package = Path("list.exe"), folder = Path("out");
    ASSERT_EQ("", WriteWholeFile(package, Package(Archive({Stored("a.txt", "text"), packed}))));
    // Method, original and compressed size, CRC, host OS, file type, name.
    char line[80];
    snprintf(line, sizeof line, "\n     4           2           3  %08x       2     0  b.txt\n",
             Crc("hi"));
    PackRun list = RunPack("list " + package);
    EXPECT_EQ(0, list.exitCode);
    EXPECT_NE(std::string::npos, list.out.find(line)) << list.out;
    EXPECT_EQ(0, RunPack("extract " + package + " -C " + folder).exitCode);
    EXPECT_EQ("hi", Read("out/b.txt"));

    ASSERT_EQ("", WriteWholeFile(package, Package(Archive({Stored("ok", "fine"), bad}))));
    PackRun extract = RunPack("extract -C " + folder + " " + package);
    EXPECT_EQ(2, extract.exitCode);
    EXPECT_NE(std::string::npos, extract.out.find("1 of 2 entries failed"));
    ASSERT_EQ("", WriteWholeFile(package, Package("no archive here")));
    for (const char* command : {"extract ", "list "}) {
        PackRun run = RunPack(command + package);
        EXPECT_EQ(1, run.exitCode);
        EXPECT_EQ("--stderr--" + package + " is not an ARJ archive\n",
                  run.out.substr(run.out.find("--stderr--")));
    }
    EXPECT_EQ((PackRun{1, "--stderr--vantorel-pack: cannot enter " + package +
                              "/sub: Not a directory\n"}),
              RunPack("extract " + package + " -C " + package + "/sub"));
}

} // namespace
