// Tests of the registry writes, directory paths and shortcuts against the
// simulated machine, down to access masks, value types and byte counts.
#include "actions/system_operations.h"

#include "tests/unit/actions_fixture.h"

#include <sys/stat.h>

#include <vector>

namespace {

using Args = std::vector<std::string>;

class SystemOperations : public SandboxTest {};

std::vector<std::string> CallNames() {
    std::vector<std::string> names;
    for (const SimCall& call : SimCalls()) names.push_back(call.name);
    return names;
}

TEST_F(SystemOperations, RegistryStringOpensElseCreatesThenWritesWithNul) {
    EXPECT_EQ(1, WriteRegistryString(2, "Software\\Test Key", "Name", "Value"));
    EXPECT_EQ((Args{"RegOpenKeyEx", "RegCreateKey", "RegSetValueEx", "RegCloseKey"}), CallNames());
    EXPECT_EQ((Args{"HKEY_LOCAL_MACHINE", "Software\\Test Key", "0", "0x20006"}),
              SimCalls()[0].args);
    // Key, value name, REG_SZ, six bytes: five letters and the NUL.
    EXPECT_EQ((Args{"HKEY_LOCAL_MACHINE\\software\\test key", "Name", "1", "6", "56616C756500"}),
              SimCalls()[2].args);

    // The key exists now: opened, not created again. The empty text is one byte.
    SimClearCalls();
    EXPECT_EQ(1, WriteRegistryString(2, "Software\\Test Key", "", ""));
    EXPECT_EQ((Args{"RegOpenKeyEx", "RegSetValueEx", "RegCloseKey"}), CallNames());
    SimValue value;
    ASSERT_TRUE(SimGetRegistryValue(2, "Software\\Test Key", "", &value));
    EXPECT_EQ(1u, value.type);
    EXPECT_EQ(std::vector<uint8_t>{0}, value.data);
}

TEST_F(SystemOperations, RegistryDwordIsLittleEndianTwosComplement) {
    EXPECT_EQ(1, WriteRegistryDword(1, "Software\\Flags", "Minus", -1));
    EXPECT_EQ(1, WriteRegistryDword(3, "Software\\Flags", "Five", 0x01020305));
    SimValue value;
    ASSERT_TRUE(SimGetRegistryValue(1, "Software\\Flags", "Minus", &value));
    EXPECT_EQ(4u, value.type);
    EXPECT_EQ((std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xFF}), value.data);
    ASSERT_TRUE(SimGetRegistryValue(3, "Software\\Flags", "Five", &value));
    EXPECT_EQ((std::vector<uint8_t>{0x05, 0x03, 0x02, 0x01}), value.data);
}

TEST_F(SystemOperations, RegistryWritesThatCannotReachAKeyWriteNothing) {
    // Root indexes outside 0 to 3 name no root key.
    EXPECT_EQ(0, WriteRegistryString(4, "Software\\X", "A", "b"));
    EXPECT_EQ(0, WriteRegistryDword(-1, "Software\\X", "A", 1));
    EXPECT_TRUE(SimCalls().empty());
    SimFailKeyCreation(true);
    EXPECT_EQ(0, WriteRegistryString(0, "NoSuchKey", "A", "b"));
    EXPECT_EQ((Args{"RegOpenKeyEx", "RegCreateKey"}), CallNames());
    EXPECT_FALSE(SimKeyExists(0, "NoSuchKey"));
}

TEST_F(SystemOperations, MakeDirectoryPathMakesMissingLevelsAndRestoresTheDirectory) {
    ASSERT_EQ(0, mkdir(SimHostPath("C:\\A").c_str(), 0755));
    ASSERT_EQ(0, mkdir(SimHostPath("D:\\Work").c_str(), 0755));
    PlatformSetCurrentDirectory("D:\\Work");
    MakeDirectoryPath("C:\\A\\B\\C");
    // Each level is made by name inside the one entered before it.
    std::vector<SimCall> made = SimCallsNamed("CreateDirectory");
    ASSERT_EQ(2u, made.size());
    EXPECT_EQ(Args{"B"}, made[0].args);
    EXPECT_EQ(Args{"C"}, made[1].args);
    struct stat info;
    EXPECT_EQ(0, stat(SimHostPath("C:\\A\\B\\C").c_str(), &info));
    char current[260];
    PlatformGetCurrentDirectory(sizeof current, current);
    EXPECT_STREQ("D:\\Work", current);

    // Doubled and trailing separators count for nothing; case does not matter.
    MakeDirectoryPath("C:\\x\\\\y\\");
    EXPECT_EQ(0, stat(SimHostPath("C:\\X\\Y").c_str(), &info));
    MakeDirectoryPath("c:\\a\\b\\d");
    EXPECT_EQ(0, stat((sandbox + "/C/A/B/d").c_str(), &info));

    // A drive root makes nothing; paths without a drive are not made at all.
    SimClearCalls();
    MakeDirectoryPath("C:\\");
    MakeDirectoryPath("Relative\\Dir");
    MakeDirectoryPath("\\\\server\\share\\dir");
    EXPECT_TRUE(SimCallsNamed("CreateDirectory").empty());
    PlatformGetCurrentDirectory(sizeof current, current);
    EXPECT_STREQ("D:\\Work", current);
}

TEST_F(SystemOperations, MakeDirectoryPathStopsAtALevelItCannotEnter) {
    WriteFile("C:\\Blocked", "a file where a folder should be");
    MakeDirectoryPath("C:\\Blocked\\Below");
    // Below must not be made in C:\ instead.
    EXPECT_FALSE(Exists("C:\\Below"));
    EXPECT_EQ(1u, SimCallsNamed("CreateDirectory").size());
}

TEST_F(SystemOperations, CreateShortcutFollowsTheShellLinkSequence) {
    ASSERT_EQ(0, mkdir(SimHostPath("C:\\Desk").c_str(), 0755));
    EXPECT_EQ(0, CreateShortcut("C:\\Tools\\tool.exe", "C:\\Desk\\Tool.lnk", "Tool"));
    EXPECT_EQ((Args{"CoCreateInstance", "SetPath", "SetDescription", "QueryInterface", "Save",
                    "Release", "Release"}),
              CallNames());
    EXPECT_EQ((Args{"C:\\Desk\\Tool.lnk", "1"}), SimCalls()[4].args);
    EXPECT_EQ((Args{"IPersistFile"}), SimCalls()[5].args);
    SimShortcut link;
    ASSERT_TRUE(SimReadShortcut("C:\\Desk\\Tool.lnk", &link));
    EXPECT_EQ("C:\\Tools\\tool.exe", link.target);
    EXPECT_EQ("Tool", link.description);
}

TEST_F(SystemOperations, CreateShortcutReportsFailuresAndWritesNothing) {
    EXPECT_LT(CreateShortcut("C:\\t.exe", "C:\\Missing\\T.lnk", "T"), 0);
    EXPECT_FALSE(Exists("C:\\Missing\\T.lnk"));

    SimClearCalls();
    SimFailShellLinkCreation((int32_t)0x80040154);
    EXPECT_EQ((int32_t)0x80040154, CreateShortcut("C:\\t.exe", "C:\\T.lnk", "T"));
    EXPECT_EQ(1u, SimCalls().size());

    // A link path whose wide form does not fit is not saved under a cut name.
    SimClearCalls();
    std::string longPath = "C:\\" + std::string(300, 'n') + ".lnk";
    EXPECT_LT(CreateShortcut("C:\\t.exe", longPath.c_str(), "T"), 0);
    EXPECT_TRUE(SimCallsNamed("Save").empty());
    EXPECT_EQ(2u, SimCallsNamed("Release").size());
}

} // namespace
