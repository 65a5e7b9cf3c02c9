// Tests of the script reader: cleaning, cutting, argument rules, limits, and
// the package layout it reads.
#include "script/command_records.h"
#include "script/package_layout.h"
#include "script/script_reader.h"
#include "tests/unit/sandbox.h"
#include "tools/pack/package_file.h"

#include <stdio.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> Parse(const std::string& script, int expected = 0) {
    FreeCommandList();
    EXPECT_EQ(expected, ParseScriptText(script.data(), (uint32_t)script.size())) << script;
    std::vector<std::string> out = RecordLines();
    FreeCommandList();
    return out;
}

using Lines = std::vector<std::string>;

TEST(ScriptReader, StatementAndArgumentRules) {
    struct Case {
        const char* script;
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
    };
    for (const Case& c : cases) EXPECT_EQ(c.records, Parse(c.script)) << c.script;
    EXPECT_EQ(Lines({"A|I:1"}), Parse(std::string("A(1);\0B(2);", 11)));
}

TEST(ScriptReader, CommentsAndLayout) {
    EXPECT_EQ(Lines({"A|I:1"}), Parse("# note; with a semicolon\r\nA(1);\r\n"));
    EXPECT_EQ(Lines(), Parse("# only\r\n\r\n   \t# comments\n"));
    EXPECT_EQ(Lines(), Parse("# a comment at the very end"));
    // A # inside quotes still starts a comment; the quotes stay open into the
    // next line, where the LF behind the comment's CR is kept.
    EXPECT_EQ(Lines({"A|T:x\ny z"}), Parse("A(\"x#junk\r\ny z\");"));
    EXPECT_EQ(Lines({"A|T:x y", "B"}), Parse("A(\"x y\")  ;\tB  ()\n;"));
}

TEST(ScriptReader, QuoteFlagCarriesIntoNextStatement) {
    // The odd quote of the first statement keeps blanks of the second.
    EXPECT_EQ(Lines({"A|T:", "B x|I:1"}), Parse("A(\");B x(1);"));
}

TEST(ScriptReader, LimitsRefuseTheScript) {
    std::string name31(31, 'N'), name32(32, 'N');
    std::string text255(255, 't'), text256(256, 't');
    EXPECT_EQ(Lines({name31}), Parse(name31 + "();"));
    Parse(name32 + "();", -1);
    EXPECT_EQ(Lines({"A|T:" + text255}), Parse("A(\"" + text255 + "\");"));
    Parse("A(\"" + text256 + "\");", -1);
    EXPECT_EQ(Lines({"A|I:1|I:2|I:3|I:4|I:5|I:6"}), Parse("A(1,2,3,4,5,6);"));
    Parse("A(1,2,3,4,5,6,7);", -1);
}

TEST(CommandRecords, Lookups) {
    std::string script = "Title(\"First\");Title(\"Second\");NumFiles(3);Six(1,2,3,4,5,6);";
    ASSERT_EQ(0, ParseScriptText(script.data(), (uint32_t)script.size()));
    EXPECT_STREQ("First", GetCommandText("Title", 0));
    EXPECT_EQ(nullptr, GetCommandText("title", 0));
    EXPECT_EQ(3, GetCommandInteger("NumFiles", 0));
    EXPECT_EQ(0, GetCommandInteger("Missing", 0));
    EXPECT_STREQ("", GetCommandText("NumFiles", 0)); // another type reads as empty
    EXPECT_EQ(0, GetCommandInteger("Title", 0));
    const CommandRecord* six = commandList.head->next->next->next;
    EXPECT_EQ(6, CountArguments(six));
    EXPECT_EQ(6, six->arguments[5].intValue);
    FreeCommandList();
    EXPECT_EQ(nullptr, commandList.head);
    EXPECT_EQ(nullptr, GetCommandText("Title", 0));
}

// A package file with a placeholder image; truncate cuts the script short.
std::string WritePackage(const std::string& script, bool truncate = false) {
    char path[] = "/tmp/vantorel-script-XXXXXX";
    close(mkstemp(path));
    std::string bytes = MakePackage(PlaceholderStub(), script, "");
    if (truncate) bytes.resize(bytes.size() - 4 - script.size() / 2);
    EXPECT_TRUE(WriteWholeFile(path, bytes));
    return path;
}

TEST(ScriptReader, ReadsThePackageBehindTheImage) {
    std::string path = WritePackage("Title(\"Demo\");\r\nNumFiles(2);\r\n");
    ASSERT_EQ(0, ParseScript(path.c_str()));
    EXPECT_EQ(Lines({"Title|T:Demo", "NumFiles|I:2"}), RecordLines());
    FreeCommandList();
    unlink(path.c_str());

    path = WritePackage("Title(\"Demo\");", true); // cut short
    EXPECT_EQ(-1, ParseScript(path.c_str()));
    unlink(path.c_str());
    path = WritePackage(""); // scriptLength 0
    EXPECT_EQ(-1, ParseScript(path.c_str()));
    unlink(path.c_str());
    EXPECT_EQ(-1, ParseScript("/nonexistent/vantorel.exe"));
    FreeCommandList();
}

} // namespace
