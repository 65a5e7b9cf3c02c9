// Tests of the script reader: statements, arguments, comments, limits, the package layout.
#include "tests/unit/sandbox.h"

namespace {

TEST(ScriptReader, StatementsArgumentsCommentsLimitsAndLookups) {
    Sandbox box;
    std::string name31(31, 'N'), text255(255, 't');
    struct Case {
        std::string script;
        Lines records;
    } cases[] = {
        {"Registry (2, \"Software\\Test Key\", \"Name\", \"x\");\r\n",
         {"Registry|I:2|T:Software\\Test Key|T:Name|T:x"}},
        {"Num Files (5);", {"NumFiles|I:5"}},
        {"Value(1 2);", {"Value|I:12"}},
        {"Message(\"Hello, world\");", {"Message|T:Hell|I:0"}},
        {"Message(\"Say \\\"hi there\\\" now\");", {"Message|T:Say \\\"hithere\\\" now"}},
        {"RootDirectory(\"C:\\\");", {"RootDirectory|T:C:\\"}},
        {"Foo();", {"Foo"}},
        {"Foo(,);", {"Foo|I:0"}},
        {"Foo(1,);", {"Foo|I:1"}},
        {"Foo(1,,2);", {"Foo|I:1|I:0|I:2"}},
        {"Foo(1)junk;", {"Foo|I:1"}},
        {";;Foo(1);;", {"Foo|I:1"}},
        {"Foo(12ab,-7,0x10,+3);", {"Foo|I:12|I:-7|I:0|I:3"}},
        {"Foo(\"abc);", {"Foo|T:ab"}},
        {"Foo(\");", {"Foo|T:"}},
        {"Foo(\"a(b\");", {"Foo|T:a(b"}},
        {"Foo(1)", {"Foo|I:1"}},             // no ; behind the last statement
        {"(3);", {"|I:3"}},                  // an empty name
        {"Bare;Foo(1", {"Bare", "Foo|I:1"}}, // no '(' ; list running to the end
        {"Foo(99999999999,-99999999999);", {"Foo|I:2147483647|I:-2147483648"}},
        {std::string("A(1);\0B(2);", 11), {"A|I:1"}},
        {"# note; with a semicolon\r\nA(1);\r\n", {"A|I:1"}},
        {"# only\r\n\r\n   \t# comments\n", {}},
        {"# a comment at the very end", {}},
        // A # inside quotes still starts a comment; the quotes stay open into
        // the next line, where the LF behind the comment's CR is kept.
        {"A(\"x#junk\r\ny z\");", {"A|T:x\ny z"}},
        {"A(\"x y\")  ;\tB  ()\n;", {"A|T:x y", "B"}},
        {"A(\");B x(1);", {"A|T:", "B x|I:1"}}, // the odd quote keeps the blanks of B x
        {name31 + "();", {name31}},
        {"A(\"" + text255 + "\");", {"A|T:" + text255}},
        {"A(1,2,3,4,5,6);", {"A|I:1|I:2|I:3|I:4|I:5|I:6"}},
    };
    for (const Case& c : cases) EXPECT_EQ(c.records, box.Parse(c.script)) << c.script;
    // One over each limit refuses the script.
    for (std::string over :
         {name31 + "N();", "A(\"" + text255 + "t\");", std::string("A(1,2,3,4,5,6,7);")})
        box.Parse(over, -1);

    box.Parse("Title(\"First\");Title(\"Second\");NumFiles(3);");
    EXPECT_STREQ("First", GetCommandText("Title", 0));
    EXPECT_EQ(nullptr, GetCommandText("title", 0));
    EXPECT_EQ(3, GetCommandInteger("NumFiles", 0));
    EXPECT_EQ(0, GetCommandInteger("Missing", 0));
    EXPECT_STREQ("", GetCommandText("NumFiles", 0)); // another type reads as empty
    EXPECT_EQ(0, GetCommandInteger("Title", 0));
    FreeCommandList();
    EXPECT_EQ(nullptr, commandList.head);
    EXPECT_EQ(nullptr, GetCommandText("Title", 0));
}

TEST(ScriptReader, ReadsThePackageBehindTheImage) {
    Sandbox box;
    const std::string script = "Title(\"Demo\");\r\nNumFiles(2);\r\n",
                      package = MakePackage(PlaceholderStub(), script, "");
    box.Write("C:\\setup.exe", package);
    ASSERT_EQ(0, ParseScript("C:\\setup.exe"));
    EXPECT_EQ(Lines({"Title|T:Demo", "NumFiles|I:2"}), RecordLines());
    // The file ends inside the script; a script of length 0; no file.
    box.Write("C:\\setup.exe", package.substr(0, package.size() - 4 - script.size() / 2));
    EXPECT_EQ(-1, ParseScript("C:\\setup.exe"));
    box.Write("C:\\setup.exe", MakePackage(PlaceholderStub(), "", ""));
    EXPECT_EQ(-1, ParseScript("C:\\setup.exe"));
    EXPECT_EQ(-1, ParseScript("C:\\missing.exe"));
}

} // namespace
