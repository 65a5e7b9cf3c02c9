// Tests of the bit input, the code tables and both decoders on hand-made
// streams: the format's examples, the window's edges, and streams that the
// arj archiver never writes.
#include "arj/archive_headers.h"
#include "arj/bit_input.h"
#include "arj/crc32.h"
#include "arj/decode_method4.h"
#include "arj/decode_methods1to3.h"
#include "arj/entry_output.h"
#include "arj/huffman_table.h"
#include "tests/unit/arj_test_support.h"

namespace {

using namespace arj_test;

// Makes data the current entry's compressed bytes, with more bytes behind
// them in the file, as ExtractEntry hands an entry to a decoder.
void StartEntry(const Bytes& data, int32_t originalSize) {
    BuildCrcTable();
    archiveEntry = ArchiveEntry();
    archiveEntry.hostOs = UnixHostOs;
    archiveEntry.compressedSize = (int32_t)data.size();
    archiveEntry.originalSize = originalSize;
    if (ArchiveStream) fclose(ArchiveStream);
    ArchiveStream = tmpfile();
    Bytes file = data + "next header";
    fwrite(file.data(), 1, file.size(), ArchiveStream);
    rewind(ArchiveStream);
}

// Decodes data with the method; gives what was written.
Bytes Decode(int method, const Bytes& data, int32_t originalSize) {
    StartEntry(data, originalSize);
    OutputStream = tmpfile();
    RunningCrc = CrcStart;
    method == 4 ? DecodeMethod4() : DecodeMethods1To3();
    Bytes out(ftell(OutputStream), '\0');
    rewind(OutputStream);
    EXPECT_EQ(out.size(), fread(&out[0], 1, out.size(), OutputStream));
    EXPECT_EQ(Crc(out), RunningCrc ^ CrcStart);
    fclose(OutputStream);
    fclose(ArchiveStream);
    ArchiveStream = nullptr;
    return out;
}

#define EXPECT_BAD_CODE(statement)                                                                 \
    EXPECT_EXIT(                                                                                   \
        {                                                                                          \
            SimSetMessageOutput(stderr);                                                           \
            statement;                                                                             \
        },                                                                                         \
        ::testing::ExitedWithCode(1), "^Bad Huffman code\n$")

TEST(BitInput, ServesBitsMostSignificantFirstAndZerosPastTheBudget) {
    StartEntry("", 0);
    InitBits();
    EXPECT_EQ(0u, GetBits(16));
    EXPECT_EQ(0L, ftell(ArchiveStream)); // nothing read
    StartEntry("\xA5", 1);
    InitBits();
    EXPECT_EQ(0xA500u, BitBuffer());
    EXPECT_EQ(0, archiveEntry.compressedSize);
    EXPECT_EQ(0xAu, GetBits(4));
    EXPECT_EQ(0x5000u, BitBuffer());
    EXPECT_EQ(0u, GetBits(0));
    EXPECT_EQ(0x5000u, BitBuffer());
    StartEntry("\x12\x34\x56\x78\x9A", 0);
    InitBits();
    EXPECT_EQ(0x1234u, GetBits(16));
    EXPECT_EQ(0x5u, GetBits(4));
    EXPECT_EQ(0x6789u, GetBits(16));
    EXPECT_EQ(0xA00u, GetBits(12));      // zeros behind the data
    EXPECT_EQ(5L, ftell(ArchiveStream)); // never past the entry's data
}

TEST(MakeTable, BuildsTablesAndTreesFromLengths) {
    uint16_t small[256];
    const uint8_t two[] = {1, 1};
    MakeTable(2, two, 8, small);
    for (int i = 0; i < 256; i++) ASSERT_EQ(i < 128 ? 0 : 1, small[i]) << i;
    // Symbols 0-11 of lengths 1-12 fill the table up to entry 4094; entry
    // 4095 becomes node 510 with symbols 12 and 13 below it.
    static uint16_t table[4096];
    uint8_t lengths[510] = {0}, zeros[510] = {0};
    for (int s = 0; s < 12; s++) lengths[s] = (uint8_t)(s + 1);
    lengths[12] = lengths[13] = 13;
    MakeTable(510, lengths, 12, table);
    for (int s = 0, entry = 0; s < 12; s++)
        for (int n = 0; n < 2048 >> s; n++, entry++) ASSERT_EQ(s, table[entry]) << entry;
    EXPECT_EQ(510, table[4095]);
    EXPECT_EQ(12, LeftChild[510]);
    EXPECT_EQ(13, RightChild[510]);
    // Only zeros: table and node store stay as they were.
    MakeTable(510, zeros, 12, table);
    EXPECT_EQ(510, table[4095]);
    EXPECT_EQ(12, LeftChild[510]);
}

TEST(MakeTable, RefusesListsThatFormNoCode) {
    static uint16_t table[4096];
    const uint8_t incomplete[] = {1, 2}, fourOnes[] = {1, 1, 1, 1}; // 2 x 65536 wraps to 0
    const uint8_t overFull[] = {1, 1, 1, 2, 2, 9, 9}, length17[] = {1, 17, 17};
    EXPECT_BAD_CODE(MakeTable(2, incomplete, 8, table));
    EXPECT_BAD_CODE(MakeTable(4, fourOnes, 8, table));
    EXPECT_BAD_CODE(MakeTable(7, overFull, 8, table));
    EXPECT_BAD_CODE(MakeTable(3, length17, 8, table));
    // A walk never goes deeper than the longest code, not even through a
    // table left from an earlier code (a loop here).
    StartEntry("\xFF\xFF", 0);
    InitBits();
    for (int i = 0; i < 256; i++) table[i] = 20;
    LeftChild[20] = RightChild[20] = 20;
    const uint8_t noLengths[17] = {0};
    EXPECT_BAD_CODE(ReadCode(table, 8, 17, noLengths));
}

TEST(Methods1To3, DecodeTheFormatsExamples) {
    // Block of 3; pre-code, literal code (65) and offset code single values.
    Bytes aaa("\x00\x03\x00\x00\x04\x10\x00", 7);
    for (int method = 1; method <= 3; method++) EXPECT_EQ("AAA", Decode(method, aaa, 3));
    EXPECT_EQ("", Decode(1, aaa, 0));
    EXPECT_EQ("A", Decode(1, aaa, 1)); // an entry may end inside a block
    EXPECT_EQ("xxxxxx", Decode(1, EncodeMethod1({{0, 'x'}, {5, 0}}), 6));
    EXPECT_EQ("aaaaaaaaaaa", Decode(1, EncodeMethod1({{0, 'a'}, {10, 0}}), 3)); // matches whole
    // Bytes before the entry's first read 0, also after an entry that filled
    // the window.
    std::vector<Item> fill(120, Item{256, 0});
    fill[0] = {0, 'z'};
    EXPECT_EQ(Bytes(119 * 256 + 1, 'z'), Decode(1, EncodeMethod1(fill), 119 * 256 + 1));
    EXPECT_EQ(Bytes(4, '\0') + "q", Decode(2, EncodeMethod1({{4, 2}, {0, 'q'}}), 5));
    // Block size 0 stands for 65536 symbols; then the next block header.
    BitWriter w;
    for (int letter : {'A', 'B'}) // pre-code, literal/length and offset code single values
        w.Put(letter == 'A' ? 0 : 2, 16).Put(0, 10).Put(0, 9).Put(letter, 9).Put(0, 10);
    EXPECT_EQ(Bytes(65536, 'A') + "BB", Decode(1, w.bytes, 65538));
}

std::vector<Item> WindowEdgeItems() {
    std::vector<Item> items;
    for (int i = 0; i < 26620; i++) items.push_back({0, (unsigned)"edge cases"[i % 10] + i % 7});
    // From 26620 across the first full window; reaching back across it; a
    // run; overlapping by 4; no overlap, from far back.
    for (Item m : {Item{10, 99}, {8, 9}, {256, 0}, {200, 3}, {256, 5000}}) items.push_back(m);
    for (int i = 0; i < 26000; i++) items.push_back({0, (unsigned)(i * 13 % 251)});
    // Repeating across the second full window; offsets of a window and more
    // are taken modulo the window.
    for (Item m : {Item{256, 2}, {100, 30000}, {100, 26623}, {50, 65535}}) items.push_back(m);
    return items;
}

TEST(Methods1To3, MatchesAtTheWindowsEdgesAndBeyondIt) {
    std::vector<Item> items = WindowEdgeItems();
    Bytes expected = Expand(items);
    ASSERT_GT(expected.size(), 2u * 26624);
    EXPECT_TRUE(expected == Decode(1, EncodeMethod1(items), (int32_t)expected.size()));
}

TEST(Methods1To3, RefusesStreamsWhoseCodesCannotBeBuilt) {
    auto block = [] { return BitWriter().Put(1, 16); };
    Bytes cases[] = {
        block().Put(20, 5).bytes,                                  // pre-code count beyond 19
        block().Put(0, 5).Put(19, 5).bytes,                        // its single value outside it
        block().Put(1, 5).Put(0x7FFF, 15).bytes,                   // a length above 16
        block().Put(2, 5).Put(1, 3).Put(2, 3).bytes,               // lengths 1, 2: incomplete
        block().Put(0, 10).Put(511, 9).bytes,                      // literal count beyond 510
        block().Put(0, 10).Put(0, 9).Put(510, 9).bytes,            // its single value outside it
        block().Put(0, 5).Put(2, 5).Put(510, 9).Put(511, 9).bytes, // zero run past 510
        block().Put(0, 10).Put(0, 9).Put(65, 9).Put(18, 5).bytes,  // offset count beyond 17
        block().Put(0, 10).Put(0, 9).Put(256, 9).Put(0, 5).Put(17, 5).bytes, // value outside
    };
    for (const Bytes& stream : cases) EXPECT_BAD_CODE(Decode(1, stream, 10));
}

TEST(Method4, DecodesTheFormatsExamples) {
    EXPECT_EQ("aaaa", Decode(4, "\x30\xC0\x00", 4));
    EXPECT_EQ("", Decode(4, "\x30\xC0\x00", 0));
    EXPECT_EQ(Bytes(5, '\0'), Decode(4, "", 5)); // 0 bits are literals 0
    // 1111111 and 7 value bits: length code 254, 256 bytes; offset 0.
    EXPECT_EQ(Bytes(257, 'q'),
              Decode(4, BitWriter().Put('q', 9).Put(0x3FFF, 14).Put(0, 10).bytes, 257));
    // Literals take 9 bits each; 100 is a match of 3, 1111 and 13 value
    // bits are offset 15871.
    BitWriter w;
    Bytes expected;
    for (int i = 0; i < 15872; i++) w.Put(i % 256, 9), expected += (char)i;
    w.Put(0x4, 3).Put(0xF, 4).Put(0x1FFF, 13);
    EXPECT_EQ(15872u * 9 / 8 + 3, w.bytes.size());
    EXPECT_TRUE(expected + Bytes("\0\1\2", 3) == Decode(4, w.bytes, 15875));
}

} // namespace
