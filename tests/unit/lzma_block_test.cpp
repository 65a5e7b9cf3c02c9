// Tests of the LZMA method: blocks that build's writer makes, read back by
// the installer's reader.
#include "arj/branch_converter.h"
#include "tests/unit/arj_test_support.h"
#include "tests/unit/pack_runner.h"
#include "tools/pack/lzma_block.h"

namespace {

using namespace arj_test;

// A program's look: calls and jumps to a few targets, some near the ends.
Bytes Program(size_t size) {
    Bytes b = "MZ" + Pseudo(size - 2, 9, 8);
    for (size_t at = 2; at + 5 <= size; at += 37) {
        uint32_t target = (uint32_t)(at * 7 % 4000), next = (uint32_t)at + 5;
        b.replace(at, 5, (at & 64 ? "\xE9" : "\xE8") + Le(target - next, 4));
    }
    b[size - 3] = '\xE8'; // an operand that would pass the end is left as it is
    return b;
}

// The block entry that build writes for these files, in pieces of 1000 bytes.
Bytes Block(const std::vector<Entry>& files, uint32_t largestDictionary = MaxDictionarySize) {
    Bytes headers, data;
    uint64_t total = 0;
    for (const Entry& f : files) {
        headers += EntryHeader({f.name, 0, 0, 0, 0, 0, 0});
        total += f.original.size();
    }
    uint64_t streamSize = LzmaBlockWriter::StreamSize(headers.size(), total);
    auto sink = [&](const uint8_t* b, size_t n) { return data.append((const char*)b, n), true; };
    LzmaBlockWriter writer(streamSize, sink, largestDictionary);
    for (const Entry& f : files) {
        const uint8_t* bytes = (const uint8_t*)f.original.data();
        size_t size = f.original.size();
        EXPECT_TRUE(writer.BeginFile({f.name, 0, 0, 0, (uint32_t)size, Crc(f.original), 0100644},
                                     IsProgram(bytes, size)));
        for (size_t at = 0; at < size; at += 1000)
            EXPECT_TRUE(writer.AddFileBytes(bytes + at, std::min<size_t>(1000, size - at)));
        EXPECT_TRUE(writer.EndFile());
    }
    EXPECT_TRUE(writer.Finish());
    EXPECT_EQ(streamSize, writer.decodedSize);
    Entry block{LzmaBlockName, data, data, LzmaMethod};
    block.originalSize = (int64_t)streamSize;
    block.crc = writer.decodedCrc;
    return Frame(BasicHeader(block)) + data;
}

Bytes Wrap(const Bytes& entries) {
    return Package(MainHeader() + entries + EndOfArchive);
}

void NoteMethod(const ArchiveEntry* entry, EntryStatus status, void* context) {
    ((std::vector<std::string>*)context)
        ->push_back(entry->entryName + std::string(" ") + std::to_string(entry->method) + " " +
                    std::to_string(status));
}

TEST(LzmaBlock, ExtractsEveryFileByteForByte) {
    std::vector<Entry> files = Shapes();
    files.push_back(Stored("prog.exe", Program(70001))); // operands across the copy's chunks
    files.push_back(Stored("tiny.exe", "MZ\xE8"));
    Entry after = Stored("after.txt", "an ordinary entry behind the block");
    // A dictionary of the whole stream, and one of 4 KB that wraps around.
    for (uint32_t dictionary : {(uint32_t)MaxDictionarySize, 4096u}) {
        SCOPED_TRACE(dictionary);
        Sandbox box;
        Bytes package = Wrap(Block(files, dictionary) + Frame(BasicHeader(after)) + after.data);
        Extracted x = Extract(box, package);
        EXPECT_EQ(0, x.result) << x.message;
        ASSERT_EQ(files.size() + 1, x.names.size()) << "the block's own entry is not one";
        for (size_t i = 0; i < files.size(); i++) {
            EXPECT_EQ(files[i].name, x.names[i]);
            EXPECT_TRUE(files[i].original == box.Read("C:\\" + files[i].name)) << files[i].name;
        }
        EXPECT_EQ(after.data, box.Read("C:\\after.txt"));
        std::vector<std::string> listed;
        char message[MessageSize];
        box.Write("C:\\list.exe", package);
        EXPECT_EQ(0, ReadArchive("C:\\list.exe", ListEntries, NoteMethod, &listed, message));
        EXPECT_EQ("empty 14 0", listed.front());
        EXPECT_EQ("prog.exe 15 0", listed[files.size() - 2]) << "a program's branches converted";
        EXPECT_EQ("after.txt 0 0", listed.back());
    }
}

// A damaged block stops the walk, or fails the entry its CRC catches; a file
// that was written is always whole.
TEST(LzmaBlock, DamageStopsTheWalkOrFailsTheEntry) {
    std::vector<Entry> files = {Stored("a.txt", Pseudo(30000, 1, 6)),
                                Stored("b.exe", Program(20000)),
                                Stored("c.txt", Pseudo(30000, 2, 6))};
    Bytes block = Block(files);
    size_t header = ReadLe(block, 2, 2) + 10, data = header + 5; // past properties and size
    auto patched = [&](size_t at, const Bytes& bytes) {
        return Bytes(block).replace(at, bytes.size(), bytes);
    };
    struct Case {
        const char* what;
        Bytes entries;
        const char* message; // "" when an entry is only counted
    } cases[] = {
        {"properties", patched(header, "\x5E"), "Bad LZMA data"},
        {"dictionary over 64 MB", patched(header + 1, Le(MaxDictionarySize + 1, 4)),
         "Bad LZMA data"},
        {"first byte of the stream", patched(data, "\x01"), "Bad LZMA data"},
        {"stream cut", block.substr(0, data + 100), "Can't read file or unexpected end of file"},
        {"stream shorter than its data", patched(12 + 4, Le(105, 4)), "Bad LZMA data"},
        {"block shorter than its stream", patched(16 + 4, Le(40000, 4)), "Bad LZMA data"},
        {"no dictionary", patched(header + 1, Le(0, 4)), "Bad LZMA data"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes entries = c.entries;
        // The block's header CRC, after the fields were changed.
        entries.replace(header - 6, 4, Le(Crc(entries.substr(4, header - 10)), 4));
        Sandbox box;
        Extracted x = Extract(box, Wrap(entries));
        EXPECT_EQ(ArchiveFailed, x.result);
        EXPECT_EQ(c.message, x.message);
        for (const Entry& f : files)
            EXPECT_TRUE(!box.Exists("C:\\" + f.name) || f.original == box.Read("C:\\" + f.name));
    }
    // Any byte of the stream flipped: whatever is written is whole.
    for (size_t at = data + 1; at < block.size(); at += block.size() / 97) {
        SCOPED_TRACE(at);
        Sandbox box;
        Extracted x = Extract(box, Wrap(patched(at, Bytes(1, (char)(block[at] ^ 0x20)))));
        size_t whole = 0;
        for (const Entry& f : files)
            if (box.Exists("C:\\" + f.name))
                whole += f.original == box.Read("C:\\" + f.name) ? 1 : 100;
        EXPECT_LT(whole, 100u) << "a damaged file was left";
        EXPECT_TRUE(x.result == ArchiveFailed || x.result > 0 || whole == files.size());
    }
}

// Converted in any pieces, a program comes out as converted whole, and back.
TEST(BranchConverter, GivesTheSameInAnyPiecesAndTurnsBack) {
    Bytes program = Program(50000), whole = program;
    size_t done = ConvertBranches((unsigned char*)&whole[0], whole.size(), 0, ConvertToTargets);
    EXPECT_GE(done, whole.size() - 4);
    EXPECT_EQ(Le(39 * 7, 4), whole.substr(40, 4)) << "a call carries its target";
    for (size_t piece : {1, 5, 4096, 7777}) {
        Bytes converted, kept;
        uint32_t position = 0;
        for (size_t at = 0; at < program.size(); at += piece) {
            kept += program.substr(at, piece);
            size_t n =
                ConvertBranches((unsigned char*)&kept[0], kept.size(), position, ConvertToTargets);
            converted += kept.substr(0, n);
            kept.erase(0, n);
            position += (uint32_t)n;
        }
        EXPECT_TRUE(whole == converted + kept) << piece;
    }
    ConvertBranches((unsigned char*)&whole[0], whole.size(), 0, ConvertToDistances);
    EXPECT_TRUE(program == whole);
}

// build's default: one solid block, which list names and arj cannot read.
TEST_F(PackFolder, BuildsOneSolidBlockByDefault) {
    Write("prog.exe", Program(40000));
    Write("readme.txt", Pseudo(50000, 3, 5));
    Write("s.txt", "Title (\"t\");\r\n");
    std::string build = "build --stub " + Path("stub.exe") + " -o " + Path("setup.exe") + " " +
                        Path("s.txt") + " " + Path("prog.exe") + " " + Path("readme.txt");
    Write("stub.exe", PlaceholderStub());
    ASSERT_EQ(0, RunPack(build).exitCode);
    PackRun list = RunPack("list " + Path("setup.exe"));
    EXPECT_EQ(0, list.exitCode);
    EXPECT_NE(std::string::npos, list.out.find("    15       40000       40000"));
    EXPECT_NE(std::string::npos, list.out.find("    14       50000       50000"));
    EXPECT_NE(std::string::npos, list.out.find("--stderr--vantorel-pack: list: "));
    ASSERT_EQ(0, RunPack("extract " + Path("setup.exe") + " -C " + Path("out")).exitCode);
    EXPECT_EQ(Read("prog.exe"), Read("out/prog.exe"));
    EXPECT_EQ(Read("readme.txt"), Read("out/readme.txt"));
    EXPECT_LT(Read("setup.exe").size(), PackageDataOffset + 40000u);
}

} // namespace
