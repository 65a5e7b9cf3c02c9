// Tests of the folder variables and the % expansion of script texts.
#include "actions/folder_variables.h"

#include "tests/unit/sandbox.h"

namespace {

TEST(FolderVariables, LoadReadsRegistrySystemAndScript) {
    Sandbox box;
    // No RootDirectory or TargetDirectory; %t in the target is still empty.
    box.Parse("TargetDirectory(\"%t\\Sub\");");
    LoadFolderVariables();
    EXPECT_STREQ("", folderVariables.programFilesDir); // key missing
    EXPECT_STREQ("", folderVariables.rootDir);
    EXPECT_STREQ("\\Sub", folderVariables.targetDir);

    box.Parse("Title(\"x\");");
    const char* key = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
    // A value too long for the folder, and one stored without its NUL.
    SimSetRegistryString(2, key, "ProgramFilesDir", std::string(300, 'p'));
    const char* shell = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
    SimSetRegistryValue(1, shell, "Programs", 1, {'A', 'B'});
    strcpy(folderVariables.programsDir, "stale text");
    LoadFolderVariables();
    EXPECT_STREQ("", folderVariables.programFilesDir);
    EXPECT_STREQ("AB", folderVariables.programsDir);
    EXPECT_STREQ("", folderVariables.targetDir);
}

TEST(FolderVariables, ExpandsTheStandardFoldersLowerCaseLettersOnlyAndCutsLongResults) {
    Sandbox box;
    box.SetStandardFolders(); // the system folder stays the simulation's C:\Windows\system32
    SimSetWindowsDirectory("C:\\WINNT");
    box.Parse("RootDirectory(\"\\Demo\");TargetDirectory(\"%p%r\");");
    LoadFolderVariables();
    EXPECT_STREQ("C:\\Start\\Programs", folderVariables.programsDir);
    EXPECT_STREQ("C:\\Desk", folderVariables.desktopDir);
    // Read with KEY_READ; every opened key is closed.
    std::vector<SimCall> opens = SimCallsNamed("RegOpenKeyEx");
    ASSERT_EQ(3u, opens.size());
    EXPECT_EQ("0x20019", opens[0].args[3]);
    EXPECT_EQ(3u, SimCallsNamed("RegCloseKey").size());
    struct {
        const char *text, *expanded;
    } cases[] = {
        {"%p", "C:\\Program Files"},
        {"%r", "\\Demo"},
        {"%p%r", "C:\\Program Files\\Demo"},
        {"%t\\notes.txt", "C:\\Program Files\\Demo\\notes.txt"},
        {"%w|%s", "C:\\WINNT|C:\\Windows\\system32"},
        {"%%", ""},
        {"50%", "50"},
        {"%x1", "1"},
        {"%P", ""},
        {"", ""},
        {"plain", "plain"},
    };
    for (const auto& c : cases) EXPECT_STREQ(c.expanded, ExpandPath(c.text)) << c.text;

    // A value is not scanned again: a typed %p in the target stays as it is.
    SetFolder(folderVariables.targetDir, "%p\\Demo");
    EXPECT_STREQ("%p\\Demo\\x", ExpandPath("%t\\x"));

    // One shared result: the first result now holds the second.
    const char* first = ExpandPath("%t");
    ExpandPath("%w");
    EXPECT_STREQ("C:\\WINNT", first);

    SetFolder(folderVariables.targetDir, std::string(300, 't').c_str());
    EXPECT_EQ(259u, strlen(folderVariables.targetDir));
    EXPECT_EQ(4095u, strlen(ExpandPath("%t%t%t%t%t%t%t%t%t%t%t%t%t%t%t%t"))); // 16 times 259
}

} // namespace
