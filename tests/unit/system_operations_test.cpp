// Tests of registry writes, directory paths and shortcuts, down to access masks and bytes.
#include "actions/system_operations.h"

#include "tests/unit/sandbox.h"

namespace {

TEST(SystemOperations, RegistryWritesOpenElseCreateAndStoreTheValueExactly) {
    Sandbox box;
    EXPECT_EQ(1, WriteRegistryString(2, "Software\\Test Key", "Name", "Value"));
    EXPECT_EQ((Lines{"HKEY_LOCAL_MACHINE", "Software\\Test Key", "0", "0x20006"}),
              SimCallsNamed("RegOpenKeyEx")[0].args);
    EXPECT_EQ(1, WriteRegistryString(2, "Software\\Test Key", "", ""));
    EXPECT_EQ(SimCallsNamed("RegOpenKeyEx").size(), SimCallsNamed("RegCloseKey").size());
    // REG_SZ (1) with its NUL: six bytes for five letters, one for the empty text.
    EXPECT_EQ(std::string("1:Value", 8), box.Value(2, "Software\\Test Key", "Name"));
    EXPECT_EQ(std::string("1:", 3), box.Value(2, "Software\\Test Key", ""));
    // REG_DWORD (4), little-endian two's complement.
    EXPECT_EQ(1, WriteRegistryDword(1, "Software\\Flags", "Minus", -1));
    EXPECT_EQ(1, WriteRegistryDword(3, "Software\\Flags", "Five", 0x01020305));
    EXPECT_EQ("4:\xFF\xFF\xFF\xFF", box.Value(1, "Software\\Flags", "Minus"));
    EXPECT_EQ("4:\x05\x03\x02\x01", box.Value(3, "Software\\Flags", "Five"));
    // Roots outside 0 to 3; a key that can be neither opened nor made.
    EXPECT_EQ(0, WriteRegistryString(4, "Software\\X", "A", "b"));
    EXPECT_EQ(0, WriteRegistryDword(-1, "Software\\X", "A", 1));
    SimFailKeyCreation(true);
    EXPECT_EQ(0, WriteRegistryString(0, "NoSuchKey", "A", "b"));
    EXPECT_FALSE(SimKeyExists(0, "NoSuchKey"));
}

TEST(SystemOperations, MakeDirectoryPathMakesMissingLevelsAndRestoresTheDirectory) {
    Sandbox box;
    static Lines made;
    made.clear(); // a static, so that the lambda can be a plain function
    auto NoteLevel = [](const char* path, size_t length) { made.emplace_back(path, length); };
    box.MakeFolder("C:\\A");
    box.MakeFolder("D:\\Work");
    PlatformSetCurrentDirectory("D:\\Work");
    // Each level made is reported; doubled and trailing separators and case do not matter.
    EXPECT_EQ(1, MakeDirectoryPath("C:\\A\\B\\C", NoteLevel, 0));
    EXPECT_EQ(1, MakeDirectoryPath("C:\\x\\\\y\\", NoteLevel, 0));
    EXPECT_EQ(1, MakeDirectoryPath("c:\\a\\b\\d", NoteLevel, 0));
    EXPECT_EQ((Lines{"C:\\A\\B", "C:\\A\\B\\C", "C:\\x", "C:\\x\\\\y\\", "c:\\a\\b\\d"}), made);
    EXPECT_TRUE(box.Exists("C:\\X\\Y") && box.Exists("C:\\A\\B\\C"));
    EXPECT_EQ((Lines{"C", "d"}), box.List("C:\\A\\B")); // a and b were found as A and B

    // A drive's root makes nothing; paths without a drive are refused; a file stops the walk.
    SimClearCalls();
    box.Write("C:\\Blocked", "a file where a folder should be");
    EXPECT_EQ(1, MakeDirectoryPath("C:\\", NoteLevel, 0));
    EXPECT_EQ(0, MakeDirectoryPath("Relative\\Dir", NoteLevel, 0));
    EXPECT_EQ(0, MakeDirectoryPath("\\\\server\\share\\dir", NoteLevel, 0));
    EXPECT_EQ(0, MakeDirectoryPath("C:\\Blocked\\Below", NoteLevel, 0));
    EXPECT_FALSE(box.Exists("C:\\Below")); // not made in the level above
    EXPECT_EQ(1u, SimCallsNamed("CreateDirectory").size());
    char current[260];
    PlatformGetCurrentDirectory(sizeof current, current);
    EXPECT_STREQ("D:\\Work", current);
}

TEST(SystemOperations, CreateShortcutSavesTheLinkOrReportsWhyNot) {
    Sandbox box;
    EXPECT_EQ(0, CreateShortcut("C:\\Tools\\tool.exe", "C:\\Tool.lnk", "Tool"));
    EXPECT_EQ("C:\\Tools\\tool.exe|Tool", box.Shortcut("C:\\Tool.lnk"));

    EXPECT_LT(CreateShortcut("C:\\t.exe", "C:\\Missing\\T.lnk", "T"), 0);
    EXPECT_FALSE(box.Exists("C:\\Missing\\T.lnk"));
    SimFailShellLinkCreation((int32_t)0x80040154);
    EXPECT_EQ((int32_t)0x80040154, CreateShortcut("C:\\t.exe", "C:\\T.lnk", "T"));
    // A link path whose wide form does not fit is not saved under a cut name.
    SimClearCalls();
    std::string longPath = "C:\\" + std::string(300, 'n') + ".lnk";
    EXPECT_LT(CreateShortcut("C:\\t.exe", longPath.c_str(), "T"), 0);
    EXPECT_TRUE(SimCallsNamed("Save").empty());
    EXPECT_EQ(2u, SimCallsNamed("Release").size()); // both interfaces released
}

} // namespace
