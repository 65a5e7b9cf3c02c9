// Tests of vantorel-pack as users run it: the real binary, real files.
#include "tests/unit/pack_runner.h"
#include "tools/pack/package_file.h"

#include <gtest/gtest.h>

#include <string>

#include <unistd.h>

namespace {

std::string TempPath(const char* name) {
    return std::string("/tmp/vantorel-pack-test-") + name;
}

TEST(PackCheck, PrintsOneLogLinePerRecord) {
    std::string script =
        "Title (\"Demo\");\r\nNumFiles (2);\r\n# comment\r\n"
        "Registry (2, \"Software\\Demo\", \"Path\", \"%t\");\r\nAsk (\"q\");EndAsk ();\r\n";
    std::string expected =
        "Title (\"Demo\");\nNumFiles (2);\n"
        "Registry (2, \"Software\\Demo\", \"Path\", \"%t\");\nAsk (\"q\");\nEndAsk ();\n"
        "--stderr--";
    ASSERT_TRUE(WriteWholeFile(TempPath("script.txt"), script));
    PackRun bare = RunPack("check --script " + TempPath("script.txt"));
    EXPECT_EQ(0, bare.exitCode);
    EXPECT_EQ(expected, bare.out);

    ASSERT_TRUE(
        WriteWholeFile(TempPath("package.exe"), MakePackage(PlaceholderStub(), script, "")));
    PackRun package = RunPack("check " + TempPath("package.exe"));
    EXPECT_EQ(0, package.exitCode);
    EXPECT_EQ(expected, package.out);
}

TEST(PackCheck, RefusesWhatTheInstallerWouldRefuse) {
    ASSERT_TRUE(WriteWholeFile(TempPath("bad.txt"), "Foo(1,2,3,4,5,6,7);"));
    PackRun bad = RunPack("check --script " + TempPath("bad.txt"));
    EXPECT_EQ(1, bad.exitCode);
    EXPECT_EQ("--stderr--" + TempPath("bad.txt") +
                  ":1:17: error: a seventh argument: the installer refuses statements of over "
                  "six (\"Error parsing installation script.\")\n"
                  "Error parsing installation script.\n",
              bad.out);

    ASSERT_TRUE(WriteWholeFile(TempPath("short.exe"), "MZ too short for a package"));
    EXPECT_EQ(1, RunPack("check " + TempPath("short.exe")).exitCode);

    PackRun missing = RunPack("check /nonexistent/installer.exe");
    EXPECT_EQ(1, missing.exitCode);
    EXPECT_NE(std::string::npos, missing.out.find("cannot read /nonexistent/installer.exe"));
}

TEST(PackTool, HelpAndUsage) {
    PackRun help = RunPack("check --help");
    EXPECT_EQ(0, help.exitCode);
    EXPECT_NE(std::string::npos, help.out.find("usage: vantorel-pack check"));
    EXPECT_EQ(0, RunPack("--help").exitCode);
    PackRun unknown = RunPack("frobnicate");
    EXPECT_EQ(1, unknown.exitCode);
    EXPECT_NE(std::string::npos, unknown.out.find("unknown command 'frobnicate'"));
    EXPECT_EQ(1, RunPack("check").exitCode);
}

} // namespace
