// Tests of the archive reader on hand-made archives.
#include "tests/unit/arj_test_support.h"

namespace {

using namespace arj_test;

TEST(ArchiveReader, FindsTheArchiveByTheInstallersNameBehindTheScript) {
    Sandbox box;
    // An archive inside the image or the script is never looked at; before
    // the real one: a size of 2601, a CRC that fails, and 60 60 EA.
    Bytes decoy = Archive({Stored("decoy", "x")});
    Bytes stub = PlaceholderStub().replace(100, decoy.size(), decoy);
    Bytes archive = "\x60\xEA\x29\x0Ajunk" + Bytes("\x60\xEA\x04\x00", 4) + "abcdBAD!\x60" +
                    Archive({Stored("real", "data")});
    Extracted x = Extract(box, MakePackage(stub, "Title(\"t\");" + decoy, archive));
    EXPECT_EQ(0, x.result);
    EXPECT_EQ(std::vector<std::string>{"real"}, x.names);
    EXPECT_EQ("data", box.Read("C:\\real"));
    EXPECT_FALSE(box.Exists("C:\\decoy"));
    // Only the main and the end header: nothing extracted or reported.
    x = Extract(box, Package(MainHeader() + EndOfArchive));
    EXPECT_EQ(0, x.result);
    EXPECT_TRUE(x.names.empty());
    Bytes package = Package(Archive({Stored("a", "data")}));
    box.MakeFolder("C:\\dir.x");
    for (const char* file : {"C:\\SETUP.arj", "C:\\PLAIN", "C:\\dir.x\\setup"})
        box.Write(file, package);
    // Uppercased; ".arj" for a last part without a dot; a trailing dot goes;
    // only '/' separates, so a dot in a folder named with '\' counts.
    for (const char* path : {"C:\\setup", "C:\\plain.", "C:\\dir.x\\setup"})
        EXPECT_EQ(0, Extract(box, package, path).result) << path;
    EXPECT_EQ("Can't open C:/DIR.X/SETUP.arj", Extract(box, package, "C:/dir.x/setup").message);
    // Messages are cut at 255 characters; a path too long for the name is
    // not opened cut short.
    EXPECT_EQ("Can't open C:\\" + std::string(241, 'A'),
              Extract(box, package, ("C:\\" + std::string(300, 'a')).c_str()).message);
    EXPECT_EQ("Can't open " + std::string(244, 'b'),
              Extract(box, package, std::string(600, 'b').c_str()).message);
}

// A fatal condition ends the walk with its message, the files closed and a
// partly written entry removed; nothing ends the process.
TEST(ArchiveReader, FatalConditionsReturnTheirMessage) {
    Sandbox box;
    const std::string notArchive = "C:\\SETUP.EXE is not an ARJ archive";
    const std::string cutShort = "Can't read file or unexpected end of file";
    Bytes entry = Frame(BasicHeader(Stored("a", "data")));
    Entry huge = Stored("huge", "data"), truncated = Stored("cut", "data"), packed = huge;
    huge.compressedSize = 0x80000000u;
    truncated.compressedSize = 1000;
    packed.method = 1;
    Entry badCode = Stored("code", BitWriter().Put(1, 16).Put(2, 5).Put(1, 3).Put(2, 3).bytes);
    badCode.method = 1; // lengths 1 and 2: no complete code
    std::pair<Bytes, std::string> cases[] = {
        {Package(Archive({}), Bytes(500000, ' ')), notArchive}, // past the search limit
        {PlaceholderStub() + "\x05\x00", notArchive},           // no room for the lengths
        {PlaceholderStub() + Le(1000, 4) + "abc", notArchive},  // script past the end
        {Package(Bytes("\x60\xEA\0\0\0\0\0\0", 8)), "Invalid comment header"},
        {Package(MainHeader() + "\x61" + entry.substr(1)), "Bad header"},
        {Package(MainHeader() + "\x60\xEA\x29\x0A" + Bytes(2605, 'x')), "Bad header"},
        {Package(MainHeader() + Bytes(entry).replace(10, 1, "X")), "Header CRC error!"},
        {Package(MainHeader() + entry.substr(0, 20)), cutShort},                 // inside a header
        {Package(MainHeader() + Frame(BasicHeader(Stored("a", "")))), cutShort}, // no end
        {Package(Archive({truncated})), cutShort},                             // stored data short
        {Package(Archive({huge})), cutShort},                                  // 2 GB or more
        {Package(MainHeader() + Frame(BasicHeader(packed)) + "da"), cutShort}, // packed data short
        {Package(Archive({badCode})), "Bad Huffman code"},
    };
    for (const auto& c : cases) {
        Extracted x = Extract(box, c.first);
        EXPECT_EQ(ArchiveFailed, x.result) << c.second;
        EXPECT_EQ(c.second, x.message);
        EXPECT_FALSE(box.Exists("C:\\cut") || box.Exists("C:\\code")) << "partial file left";
    }
    // A full disk shows in the write or, for what fit the buffer, the close;
    // either way the partial file goes.
    Bytes lines(100000, '\n');
    for (const Entry& e : {Stored("full", "tiny"), Entry{"full", lines, lines, 0, TextFile}}) {
        ASSERT_EQ(0, symlink("/dev/full", SimHostPath("C:\\full").c_str()));
        Extracted x = Extract(box, Package(Archive({e})));
        EXPECT_EQ("Can't write file. Disk full?", x.message);
        EXPECT_FALSE(box.Exists("C:\\full"));
    }
}

// Unsupported entries are passed over and counted, a damaged one counted; the
// others extracted with their times.
TEST(ArchiveReader, EntriesExtractedPassedOverOrDamaged) {
    Sandbox box;
    const Bytes p = "payload", big = Pseudo(10000, 1);
    Entry damaged = Stored("damaged", "not what the CRC says");
    damaged.crc = 0x12345678;
    Entry padded = Stored("padded", "p"); // the largest basic header
    padded.comment = Bytes(2600 - 38, 'c');
    ASSERT_EQ(2600u, BasicHeader(padded).size());
    // From Unix, seconds since 1970; from MS-DOS, its date and time, local.
    Entry unix = Stored("unix", "u"), dos{"dos", "d", "d", 0, 0, MsdosHostOs};
    unix.time = 1709214330;
    dos.time = (2024 - 1980) << 25 | 2 << 21 | 29 << 16 | 13 << 11 | 45 << 5 | 30 / 2;
    const std::vector<Entry> entries = {
        {"version4", p, p, 0, 0, 2, 0, 11, 4},
        {"garbled", p, p, 0, 0, 2, 1},
        {"method5", p, p, 5},
        {"type3", p, p, 0, 3},
        {"oldmethod4", p, p, 4, 0, 2, 0, 1}, // its method 4 is another format
        {"negative", p, p, 0, 0, 2, 0, 11, 1, 0x80000000u},
        damaged,
        {"method4", "\x34\x1A\x40", "hi", 4, 0, 2, 0, 2}, // literals 'h', 'i'
        {"unused", Bytes("\x00\x01\x00\x00\x07\x50\x00", 7) + "bytes the decoder leaves", "u", 1},
        Stored("big", big),
        Stored("empty", ""),
        padded,
        unix,
        dos};
    Bytes archive = MainHeader() + Frame(BasicHeader(Stored("ext", "e")), {"\x60\xEA", "zz"}) + "e";
    for (const Entry& e : entries) archive += Frame(BasicHeader(e)) + e.data;
    // An odd script length puts the stored data off the 4096-byte grid.
    Extracted x = Extract(box, Package(archive + EndOfArchive, "Odd(1);"));
    EXPECT_EQ(7, x.result);
    EXPECT_EQ((std::vector<int>{0, 1, 1, 1, 1, 1, 1, 4, 0, 0, 0, 0, 0, 0, 0}), x.statuses);
    EXPECT_EQ("e", box.Read("C:\\ext"));
    ASSERT_EQ(entries.size() + 1, x.names.size());
    for (size_t i = 0; i < entries.size(); i++) {
        EXPECT_EQ(entries[i].name, x.names[i + 1]);
        EXPECT_EQ(i < 7 ? "<missing>" : entries[i].original, box.Read("C:\\" + entries[i].name));
    }
    // The archived times, not the time of extraction.
    struct tm when = {30, 45, 13, 29, 1, 124, 0, 0, -1, 0, nullptr}; // 2024-02-29 13:45:30
    EXPECT_EQ(1709214330, ModTime("C:\\unix"));
    EXPECT_EQ(mktime(&when), ModTime("C:\\DOS"));
}

// Checked after parity stripping and uppercasing, so that no spelling of a
// name leads out of the current folder or to a device.
TEST(ArchiveReader, NamesThatLeaveTheFolderNameADeviceOrDoNotFitAreRefused) {
    Sandbox box;
    box.MakeFolder("C:\\sub");
    std::vector<std::string> refused = {
        "../up",         "sub/../../up", "..\\up",      "/abs",        "\\abs",    "C:up",
        "D:\\up",        "f:s",          ".. /up",      "sub/. ./x",   "",         "sub/",
        Bytes(600, 'n'), "aux.txt",      "NUL",         "com1",        "Lpt9.log", "con .txt",
        "sub/prn",       "con.d/x",      "readme.txt.", "readme.txt ", "conout$",  "COM\xB9"};
    std::vector<Entry> entries;
    for (const std::string& name : refused) entries.push_back(Stored(name, "bad"));
    for (const char* name : {"sub/x", "sub\\y", "caf\xE9.txt", "cmt", "auxiliary", "com10", "no/x"})
        entries.push_back(Stored(name, name));
    entries[refused.size() + 2].hostOs = 0;
    entries[refused.size() + 3].comment = "runs to the header's end";
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

    Extracted x = Extract(box, Package(archive + EndOfArchive));
    EXPECT_EQ((int)refused.size() + 4, x.result); // and no/x: no such folder
    ASSERT_EQ(entries.size() + 3, x.names.size());
    for (size_t i = 0; i < refused.size(); i++)
        EXPECT_EQ(EntryNameRefused, x.statuses[i]) << refused[i];
    EXPECT_EQ(EntryNotCreatable, x.statuses[refused.size() + 6]);
    EXPECT_EQ(std::string(511, 'n'), x.names[12]);
    EXPECT_EQ("cafi.txt", x.names[refused.size() + 2]); // 0xE9 without bit 7
    const char* created[] = {"sub\\x", "sub\\y", "CAFI.TXT", "cmt", "auxiliary", "com10"};
    for (size_t i = 0; i < 6; i++) // each holds its name as stored
        EXPECT_EQ(entries[refused.size() + i].data, box.Read(std::string("C:\\") + created[i]));
    for (std::string path : {"/up", "/D", "/C/up", "/C/abs", "/C/nonul", "/C/aux.txt", "/C/NUL"})
        EXPECT_FALSE(access((box.root + path).c_str(), F_OK) == 0) << path;
}

} // namespace
