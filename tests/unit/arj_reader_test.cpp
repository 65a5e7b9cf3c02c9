// Tests of the archive reader on hand-made archives: the search behind the
// script, header checks, entries passed over, names refused, stored data, the
// installer's name rules and every fatal message.
#include "arj/archive_reader.h"
#include "arj/extraction_error.h"
#include "tests/unit/arj_test_support.h"

#include <string.h>
#include <sys/stat.h>

// "Out of memory" is tested with a request no heap grants; AddressSanitizer
// must then give a null pointer rather than a report.
extern "C" const char* __asan_default_options() {
    return "allocator_may_return_null=1";
}

namespace {

using namespace arj_test;

std::vector<std::string> doneNames;
void RecordDone(const char* name) {
    doneNames.push_back(name);
}

int Extract(const Sandbox& box, const Bytes& package) {
    doneNames.clear();
    return ExtractArchive(box.WritePackage(package).c_str(), RecordDone);
}

bool Exists(const std::string& hostPath) {
    struct stat info;
    return stat(hostPath.c_str(), &info) == 0;
}

// The whole of stderr must be the message.
std::string Literally(const std::string& text) {
    std::string out = "^";
    for (char c : text) out += (strchr(".[]{}()\\*+?^$|", c) ? "\\" : "") + std::string(1, c);
    return out + "\n$";
}
#define EXPECT_FATAL(statement, message)                                                           \
    EXPECT_EXIT(statement, ::testing::ExitedWithCode(1), Literally(message))

TEST(ArchiveReader, FindsTheArchiveBehindTheScriptPastFalseStarts) {
    Sandbox box;
    // An archive inside the image or the script is never looked at; before
    // the real one: a size of 2601, a CRC that fails, and 60 60 EA.
    Bytes decoy = Archive({Stored("decoy", "x")});
    Bytes stub = PlaceholderStub().replace(100, decoy.size(), decoy);
    Bytes archive = Bytes("\x60\xEA\x29\x0A"
                          "junk") +
                    Bytes("\x60\xEA\x04\x00"
                          "abcdBAD!",
                          12) +
                    "\x60" + Archive({Stored("real", "data")});
    EXPECT_EQ(0, Extract(box, MakePackage(stub, "Title(\"t\");" + decoy, archive)));
    EXPECT_EQ(std::vector<std::string>({"real"}), doneNames);
    EXPECT_EQ("data", ReadFile(box.Host("real")));
    EXPECT_FALSE(Exists(box.Host("decoy")));
    // Only the main and the end header: nothing extracted or reported.
    EXPECT_EQ(0, Extract(box, Package(MainHeader() + EndOfArchive)));
    EXPECT_TRUE(doneNames.empty());
}

TEST(ArchiveReader, FatalErrorsEndTheRunWithTheirMessage) {
    Sandbox box;
    const std::string notArchive = "C:\\SETUP.EXE is not an ARJ archive";
    const std::string cutShort = "Can't read file or unexpected end of file";
    Bytes entry = Frame(BasicHeader(Stored("a", "data")));
    Entry huge = Stored("huge", "data"), truncated = Stored("cut", "data"), packed = huge;
    huge.compressedSize = 0x80000000u;
    truncated.compressedSize = 1000;
    packed.method = 1;
    struct Case {
        Bytes package;
        std::string message;
    } cases[] = {
        {Package(Archive({}), Bytes(500000, ' ')), notArchive}, // past the search limit
        {PlaceholderStub() + "\x05\x00", notArchive},           // no room for the lengths
        {PlaceholderStub() + Le(1000, 4) + "abc", notArchive},  // script past the end
        {Package(Bytes("\x60\xEA\0\0\0\0\0\0", 8)), "Invalid comment header"},
        {Package(MainHeader() + "\x61" + entry.substr(1)), "Bad header"},
        {Package(MainHeader() + "\x60\xEA\x29\x0A" + Bytes(2605, 'x')), "Bad header"},
        {Package(MainHeader() + entry.replace(10, 1, "X")), "Header CRC error!"},
        {Package(MainHeader() + entry.substr(0, 20)), cutShort},                 // inside a header
        {Package(MainHeader() + Frame(BasicHeader(Stored("a", "")))), cutShort}, // no end
        {Package(Archive({truncated})), cutShort},                             // stored data short
        {Package(Archive({huge})), cutShort},                                  // 2 GB or more
        {Package(MainHeader() + Frame(BasicHeader(packed)) + "da"), cutShort}, // packed data short
    };
    for (const Case& c : cases) EXPECT_FATAL(Extract(box, c.package), c.message);
    EXPECT_FATAL(ExtractArchive("C:\\nothere.exe", nullptr), "Can't open C:\\NOTHERE.EXE");
    // (AddressSanitizer warns on stderr before the message.)
    EXPECT_EXIT(AllocateOrFail((size_t)1 << 60), ::testing::ExitedWithCode(1), "Out of memory\n$");
    // A full disk shows in the write or, for what fit the buffer, the close.
    ASSERT_EQ(0, symlink("/dev/full", box.Host("full").c_str()));
    Entry text = Stored("full", Bytes(100000, '\n'));
    text.fileType = 1;
    for (const Entry& e : {Stored("full", "tiny"), text})
        EXPECT_FATAL(Extract(box, Package(Archive({e}))), "Can't write file. Disk full?");
}

TEST(ArchiveReader, ArchiveNameRulesOfTheInstaller) {
    Sandbox box;
    Bytes package = Package(Archive({Stored("a", "data")}));
    mkdir(box.Host("dir.x").c_str(), 0755);
    for (const char* file : {"SETUP.arj", "PLAIN", "dir.x/setup"})
        ASSERT_TRUE(WriteWholeFile(box.Host(file), package));
    // Uppercased; ".arj" for a last part without a dot; a trailing dot goes;
    // only '/' separates, so a dot in a folder named with '\' counts.
    for (const char* path : {"C:\\setup", "C:\\plain.", "C:\\dir.x\\setup"})
        EXPECT_EQ(0, ExtractArchive(path, nullptr)) << path;
    EXPECT_FATAL(ExtractArchive("C:/dir.x/setup", nullptr), "Can't open C:/DIR.X/SETUP.arj");
    // Messages are cut at 255 characters; a path too long for the name is
    // not opened cut short.
    std::string longPath = "C:\\" + std::string(300, 'a'), tooLong = std::string(600, 'b');
    EXPECT_EXIT(ExtractArchive(longPath.c_str(), nullptr), ::testing::ExitedWithCode(1),
                "^Can't open C:\\\\A{241}\n$");
    EXPECT_EXIT(ExtractArchive(tooLong.c_str(), nullptr), ::testing::ExitedWithCode(1),
                "^Can't open b{244}\n$");
}

TEST(ArchiveReader, UnsupportedEntriesArePassedOverAndCounted) {
    Sandbox box;
    std::vector<Entry> entries(8, Stored("", "payload"));
    const char* names[] = {"version4",   "garbled",  "method5", "type3",
                           "oldmethod4", "negative", "method4", "last"};
    for (size_t i = 0; i < entries.size(); i++) entries[i].name = names[i];
    entries[0].minVersion = 4;
    entries[1].flags = 1;
    entries[2].method = 5;
    entries[3].fileType = 3;
    entries[4].method = entries[6].method = 4;
    entries[4].version = 1; // its method 4 is another format
    entries[5].originalSize = 0x80000000u;
    entries[6].version = 2;
    entries[6].data = Bytes("\x34\x1A\x40", 3); // literals 'h', 'i'
    entries[6].original = "hi";
    EXPECT_EQ(6, Extract(box, Package(Archive(entries))));
    EXPECT_EQ(std::vector<std::string>(names, names + 8), doneNames);
    for (int i = 0; i < 6; i++) EXPECT_FALSE(Exists(box.Host(names[i]))) << names[i];
    EXPECT_EQ("hi", ReadFile(box.Host("method4")));
    EXPECT_EQ("payload", ReadFile(box.Host("last")));
    EXPECT_TRUE(SimCallsNamed("MessageBox").empty());
}

TEST(ArchiveReader, StoredEntriesHeadersAndCrcChecks) {
    Sandbox box;
    Bytes big(10000, '\0');
    for (size_t i = 0; i < big.size(); i++) big[i] = (char)(i * 7 + i / 256);
    Entry damaged = Stored("damaged", "stays as written");
    damaged.crc = 0x12345678;
    Entry padded = Stored("padded", "p"); // the largest basic header
    padded.comment = Bytes(2600 - 38, 'c');
    ASSERT_EQ(2600u, BasicHeader(padded).size());
    Entry skipped = Stored("unused", "u");
    skipped.method = 1;
    skipped.data = Bytes("\x00\x01\x00\x00\x07\x50\x00", 7) + "bytes the decoder leaves";
    Bytes archive = MainHeader() + Frame(BasicHeader(Stored("ext", "e")), {"\x60\xEA", "zz"}) + "e";
    for (const Entry& e : {Stored("big", big), Stored("empty", ""), damaged, padded, skipped})
        archive += Frame(BasicHeader(e)) + e.data;
    // An odd script length puts the stored data off the 4096-byte grid.
    EXPECT_EQ(1, Extract(box, Package(archive + EndOfArchive, "Odd(1);")));
    EXPECT_EQ(big, ReadFile(box.Host("big")));
    EXPECT_EQ("", ReadFile(box.Host("empty")));
    EXPECT_EQ("stays as written", ReadFile(box.Host("damaged")));
    EXPECT_EQ("e", ReadFile(box.Host("ext")));
    EXPECT_EQ("p", ReadFile(box.Host("padded")));
    EXPECT_EQ("u", ReadFile(box.Host("unused")));
    EXPECT_TRUE(SimCallsNamed("MessageBox").empty());
}

// Checked after parity stripping and uppercasing, so that no spelling of a
// name leads out of the current folder.
TEST(ArchiveReader, NamesThatLeaveTheFolderOrDoNotFitAreRefused) {
    Sandbox box;
    mkdir(box.Host("sub").c_str(), 0755);
    std::vector<std::string> refused = {
        "../up", "sub/../../up", "..\\up",    "/abs", "\\abs",     "C:up", "D:\\up",
        "f:s",   ".. /up",       "sub/. ./x", "",     "missing/x", "sub/", Bytes(600, 'n')};
    std::vector<Entry> entries;
    for (const std::string& name : refused) entries.push_back(Stored(name, "bad"));
    for (const char* name : {"sub/x", "sub\\y", "caf\xE9.txt", "cmt"})
        entries.push_back(Stored(name, name));
    entries[refused.size() + 2].hostOs = 0;
    entries.back().comment = "runs to the header's end";
    Bytes archive = MainHeader();
    for (const Entry& e : entries) {
        Bytes basic = BasicHeader(e);
        if (e.name == "cmt") basic.pop_back();
        archive += Frame(basic) + e.data;
    }
    // Not read past: a name without its NUL, a name beyond the header, a
    // header shorter than the fixed fields.
    Bytes noNul = BasicHeader(Stored("nonul", "")), far = BasicHeader(Stored("far", ""));
    far[0] = (char)200;
    archive += Frame(noNul.substr(0, noNul.size() - 2)) + Frame(far) + Frame(Bytes(20, '\0'));

    EXPECT_EQ((int)refused.size() + 3, Extract(box, Package(archive + EndOfArchive)));
    ASSERT_EQ(entries.size() + 3, doneNames.size());
    EXPECT_EQ(std::string(511, 'n'), doneNames[refused.size() - 1]);
    EXPECT_EQ("cafi.txt", doneNames[refused.size() + 2]); // 0xE9 without bit 7
    EXPECT_EQ("nonul", doneNames[entries.size()]);
    EXPECT_EQ("sub/x", ReadFile(box.Host("sub/x")));
    EXPECT_EQ("sub\\y", ReadFile(box.Host("sub/y")));
    EXPECT_EQ("caf\xE9.txt", ReadFile(box.Host("CAFI.TXT")));
    EXPECT_EQ("cmt", ReadFile(box.Host("cmt")));
    for (std::string path : {"/up", "/D", "/C/up", "/C/abs", "/C/nonul"})
        EXPECT_FALSE(Exists(box.root + path)) << path;
}

} // namespace
