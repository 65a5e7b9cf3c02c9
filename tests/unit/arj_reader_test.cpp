// Tests of the archive reader on hand-made archives: the search behind the
// script, header checks, entries passed over, names refused, stored data,
// the installer's name rules and every fatal message.
#include "arj/archive_reader.h"
#include "arj/extraction_error.h"
#include "platform/platform.h"
#include "tests/unit/arj_test_support.h"

#include <sys/stat.h>

// "Out of memory" is tested with a request no heap grants; under
// AddressSanitizer that must give a null pointer, not a report.
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

// The message as a regular expression that matches it literally.
std::string Literally(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (strchr(".[]{}()\\*+?^$|", c)) out += '\\';
        out += c;
    }
    return out;
}

#define EXPECT_FATAL(statement, message)                                                           \
    EXPECT_EXIT(statement, ::testing::ExitedWithCode(1), "^" + Literally(message) + "\n$")

TEST(ArchiveReader, FindsTheArchiveBehindTheScriptPastFalseStarts) {
    Sandbox box;
    // A whole archive inside the script and inside the image is never seen.
    Bytes decoy = Archive({Stored("decoy", "x")});
    Bytes stub = PlaceholderStub().replace(100, decoy.size(), decoy);
    Bytes falseStarts = Bytes("\x60\xEA\x29\x0A", 4) + "junk"             // size 2601
                        + Bytes("\x60\xEA\x04\x00", 4) + "abcd" + "BAD!"; // CRC wrong
    Bytes archive = falseStarts + "\x60" + Archive({Stored("real", "data")});
    EXPECT_EQ(0, Extract(box, MakePackage(stub, "Title(\"t\");" + decoy, archive)));
    EXPECT_EQ(std::vector<std::string>({"real"}), doneNames);
    EXPECT_EQ("data", ReadFile(box.Host("real")));
    EXPECT_FALSE(Exists(box.Host("decoy")));

    // Only the main and the end header: nothing extracted, nothing reported.
    EXPECT_EQ(0, Extract(box, Package(MainHeader() + EndOfArchive)));
    EXPECT_TRUE(doneNames.empty());
}

TEST(ArchiveReader, FatalErrorsEndTheRunWithTheirMessage) {
    Sandbox box;
    const std::string notArchive = "C:\\SETUP.EXE is not an ARJ archive";
    const std::string cutShort = "Can't read file or unexpected end of file";
    Bytes good = Archive({Stored("a", "data")});
    Bytes entry = Frame(BasicHeader(Stored("a", "data")));
    Entry huge = Stored("huge", "data");
    huge.compressedSize = 0x80000000u;
    Entry truncated = Stored("cut", "data");
    truncated.compressedSize = 1000;
    Entry packed = Stored("packed", "0123456789");
    packed.method = 1;
    packed.compressedSize = 50; // more than the file holds
    struct Case {
        Bytes package;
        std::string message;
    } cases[] = {
        {Package(good, Bytes(500000, ' ')), notArchive}, // archive past the search limit
        {PlaceholderStub() + "\x05\x00", notArchive},    // no room for the length fields
        {PlaceholderStub() + "\xE8\x03\x00\x00" + "abc", notArchive}, // script past the end
        {Package(Bytes(8, '\0').replace(0, 2, "\x60\xEA")), "Invalid comment header"},
        {Package(MainHeader() + "\x61\xEA" + entry.substr(2)), "Bad header"},
        {Package(MainHeader() + "\x60\xEA\x29\x0A" + Bytes(2605, 'x')), "Bad header"},
        {Package(MainHeader() + entry.replace(10, 1, "X")), "Header CRC error!"},
        {Package(MainHeader() + entry.substr(0, 20)), cutShort}, // inside a header
        {Package(MainHeader() + Frame(BasicHeader(Stored("a", ""))) + "\x60"), cutShort}, // no end
        {Package(Archive({truncated})), cutShort}, // stored data short
        {Package(Archive({huge})), cutShort},      // size of 2 GB or more
        {Package(MainHeader() + Frame(BasicHeader(packed)) + "xy"), cutShort}, // packed data short
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        std::string path = box.WritePackage(c.package);
        EXPECT_FATAL(ExtractArchive(path.c_str(), nullptr), c.message);
    }
    EXPECT_FATAL(ExtractArchive("C:\\nothere.exe", nullptr), "Can't open C:\\NOTHERE.EXE");
    // (AddressSanitizer warns on stderr before the message.)
    EXPECT_EXIT(AllocateOrFail((size_t)1 << 60), ::testing::ExitedWithCode(1), "Out of memory\n$");
}

// A failed close is where a full disk shows when the file fit the buffer.
TEST(ArchiveReader, WriteFailuresAreFatal) {
    Sandbox box;
    ASSERT_EQ(0, symlink("/dev/full", box.Host("full").c_str()));
    std::string message = "Can't write file. Disk full?";
    EXPECT_FATAL(Extract(box, Package(Archive({Stored("full", "tiny")}))), message);
    EXPECT_FATAL(Extract(box, Package(Archive({Stored("full", Bytes(100000, 'x'))}))), message);
    Entry text = Stored("full", Bytes(100000, '\n'));
    text.fileType = 1;
    EXPECT_FATAL(Extract(box, Package(Archive({text}))), message);
}

TEST(ArchiveReader, ArchiveNameRulesOfTheInstaller) {
    Sandbox box;
    Bytes package = Package(Archive({Stored("a", "data")}));
    // No dot in the last part: ".arj" is appended (after the uppercasing).
    ASSERT_TRUE(WriteWholeFile(box.Host("SETUP.arj"), package));
    EXPECT_EQ(0, ExtractArchive("C:\\setup", RecordDone));
    EXPECT_FATAL(ExtractArchive("C:\\other", nullptr), "Can't open C:\\OTHER.arj");
    // A trailing dot goes.
    ASSERT_TRUE(WriteWholeFile(box.Host("PLAIN"), package));
    EXPECT_EQ(0, ExtractArchive("C:\\plain.", RecordDone));
    // Only '/' separates: a dot in a folder written with '\' keeps the name.
    mkdir(box.Host("dir.x").c_str(), 0755);
    ASSERT_TRUE(WriteWholeFile(box.Host("dir.x/setup"), package));
    EXPECT_EQ(0, ExtractArchive("C:\\dir.x\\setup", RecordDone));
    EXPECT_FATAL(ExtractArchive("C:/dir.x/setup", nullptr), "Can't open C:/DIR.X/SETUP.arj");

    // Messages are cut at 255 characters; names that do not fit the name
    // buffer are not opened cut short.
    std::string longPath = "C:\\" + std::string(300, 'a');
    EXPECT_EXIT(ExtractArchive(longPath.c_str(), nullptr), ::testing::ExitedWithCode(1),
                "^Can't open C:\\\\A{241}\n$");
    std::string tooLong = "C:\\" + std::string(600, 'b') + ".exe";
    EXPECT_EXIT(ExtractArchive(tooLong.c_str(), nullptr), ::testing::ExitedWithCode(1),
                "^Can't open C:\\\\b{241}\n$");
}

TEST(ArchiveReader, UnsupportedEntriesArePassedOverAndCounted) {
    Sandbox box;
    std::vector<Entry> entries;
    auto add = [&](const char* name, int Entry::*field, int value) {
        entries.push_back(Stored(name, "payload"));
        entries.back().*field = value;
    };
    add("version4", &Entry::minVersion, 4);
    add("garbled", &Entry::flags, 1);
    add("method5", &Entry::method, 5);
    add("type3", &Entry::fileType, 3);
    add("oldmethod4", &Entry::method, 4);
    entries.back().version = 1;
    entries.push_back(Stored("negative", "payload"));
    entries.back().originalSize = 0x80000000u;
    entries.push_back(Stored("method4", "hi"));
    entries.back().method = 4;
    entries.back().version = 2;
    entries.back().data = Bytes("\x34\x1A\x40", 3); // 0 'h' 0 'i'
    entries.push_back(Stored("last", "ok"));

    EXPECT_EQ(6, Extract(box, Package(Archive(entries))));
    std::vector<std::string> names;
    for (const Entry& e : entries) names.push_back(e.name);
    EXPECT_EQ(names, doneNames);
    for (int i = 0; i < 6; i++) EXPECT_FALSE(Exists(box.Host(names[i]))) << names[i];
    EXPECT_EQ("hi", ReadFile(box.Host("method4")));
    EXPECT_EQ("ok", ReadFile(box.Host("last")));
    EXPECT_TRUE(SimCallsNamed("MessageBox").empty());
}

TEST(ArchiveReader, StoredEntriesAndCrcChecks) {
    Sandbox box;
    Bytes big(10000, '\0');
    for (size_t i = 0; i < big.size(); i++) big[i] = (char)(i * 7 + i / 256);
    Entry empty = Stored("empty", "");
    Entry damaged = Stored("damaged", "stays as written");
    damaged.crc = 0x12345678;
    // An odd script length puts the data off the 4096-byte grid.
    EXPECT_EQ(1, Extract(box, Package(Archive({Stored("big", big), empty, damaged}), "Odd(1);")));
    EXPECT_EQ(big, ReadFile(box.Host("big")));
    EXPECT_EQ("", ReadFile(box.Host("empty")));
    EXPECT_EQ("stays as written", ReadFile(box.Host("damaged")));
    EXPECT_TRUE(SimCallsNamed("MessageBox").empty());

    // A basic header of the largest size, extended headers skipped by their
    // sizes whatever they hold.
    Entry padded = Stored("padded", "p");
    padded.comment = Bytes(2600 - 30 - 7 - 1, 'c');
    ASSERT_EQ(2600u, BasicHeader(padded).size());
    Bytes withExtended =
        MainHeader() +
        Frame(BasicHeader(Stored("ext", "e")), {"\x60\xEA\x00\x00", Bytes(300, 'z')}) + "e" +
        Frame(BasicHeader(padded)) + "p" + EndOfArchive;
    EXPECT_EQ(0, Extract(box, Package(withExtended)));
    EXPECT_EQ("e", ReadFile(box.Host("ext")));
    EXPECT_EQ("p", ReadFile(box.Host("padded")));
}

TEST(ArchiveReader, DataTheDecoderLeavesUnreadIsPassedOver) {
    Sandbox box;
    Entry packed = Stored("packed", "AAA");
    packed.method = 1;
    packed.data = Bytes("\x00\x03\x00\x00\x04\x10\x00", 7) + "unused bytes";
    EXPECT_EQ(0, Extract(box, Package(Archive({packed, Stored("next", "n")}))));
    EXPECT_EQ("AAA", ReadFile(box.Host("packed")));
    EXPECT_EQ("n", ReadFile(box.Host("next")));
}

// Names are checked after parity stripping and uppercasing, so a name may not
// lead out of the current folder in any spelling.
TEST(ArchiveReader, NamesThatLeaveTheFolderOrDoNotFitAreRefused) {
    Sandbox box;
    mkdir(box.Host("sub").c_str(), 0755);
    std::vector<std::string> refused = {"../up", "sub/../../up", "..\\up", "/abs",   "\\abs",
                                        "C:up",  "D:\\up",       "f:s",    ".. /up", "sub/. ./x",
                                        "",      "missing/x",    "sub/"};
    std::vector<Entry> entries;
    for (const std::string& name : refused) entries.push_back(Stored(name, "bad"));
    entries.push_back(Stored(std::string(600, 'n'), "bad"));
    entries.push_back(Stored("sub/x", "below"));
    entries.push_back(Stored("sub\\y", "below too"));
    entries.push_back(Stored("caf\xE9.txt", "seven bits"));
    entries.back().hostOs = 0;
    entries.push_back(Stored("cmt", "unterminated comment"));
    entries.back().comment = "runs to the header's end";
    Bytes archive = MainHeader();
    for (const Entry& e : entries) {
        Bytes basic = BasicHeader(e);
        if (e.name == "cmt") basic.pop_back();
        archive += Frame(basic) + e.data;
    }
    // Headers the reader must not read past: a name without its NUL, a name
    // past the header's end, a header shorter than the fixed fields.
    Bytes noNul = BasicHeader(Stored("nonul", ""));
    archive += Frame(noNul.substr(0, noNul.size() - 2));
    Bytes far = BasicHeader(Stored("far", ""));
    far[0] = (char)200;
    archive += Frame(far) + Frame(Bytes(20, '\0')) + EndOfArchive;

    int refusedCount = (int)refused.size() + 1 + 3;
    EXPECT_EQ(refusedCount, Extract(box, Package(archive)));
    ASSERT_EQ(entries.size() + 3, doneNames.size());
    EXPECT_EQ(std::string(511, 'n'), doneNames[refused.size()]);
    EXPECT_EQ("caf" + std::string(1, '\xE9' & 0x7F) + ".txt", doneNames[refused.size() + 3]);
    EXPECT_EQ("below", ReadFile(box.Host("sub/x")));
    EXPECT_EQ("below too", ReadFile(box.Host("sub/y")));
    EXPECT_EQ("seven bits", ReadFile(box.Host("CAFI.TXT")));
    EXPECT_EQ("unterminated comment", ReadFile(box.Host("cmt")));
    EXPECT_FALSE(Exists(box.root + "/up"));
    EXPECT_FALSE(Exists(box.Host("up")));
    EXPECT_FALSE(Exists(box.Host("abs")));
    EXPECT_FALSE(Exists(box.Host("nonul")));
}

} // namespace
