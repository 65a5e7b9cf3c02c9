// Tests of the bit input, the code tables and both decoders on hand-made
// streams: the examples of the format, the window's edges, and the streams
// that the arj archiver never writes.
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
    if (method == 4)
        DecodeMethod4();
    else
        DecodeMethods1To3();
    Bytes out(ftell(OutputStream), '\0');
    rewind(OutputStream);
    EXPECT_EQ(out.size(), fread(&out[0], 1, out.size(), OutputStream));
    EXPECT_EQ(Crc(out), CrcResult());
    fclose(OutputStream);
    fclose(ArchiveStream);
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
    EXPECT_EQ(0u, BitBuffer());
    EXPECT_EQ(0u, GetBits(16));
    EXPECT_EQ(0L, ftell(ArchiveStream)); // nothing read
    fclose(ArchiveStream);

    StartEntry("\xA5", 1);
    InitBits();
    EXPECT_EQ(0xA500u, BitBuffer());
    EXPECT_EQ(0, archiveEntry.compressedSize);
    EXPECT_EQ(0xAu, GetBits(4));
    EXPECT_EQ(0x5000u, BitBuffer());
    EXPECT_EQ(0u, GetBits(0));
    EXPECT_EQ(0x5000u, BitBuffer());
    fclose(ArchiveStream);

    Bytes data = "\x12\x34\x56\x78\x9A";
    StartEntry(data, 0);
    InitBits();
    EXPECT_EQ(0x1234u, GetBits(16));
    EXPECT_EQ(0x5u, GetBits(4));
    EXPECT_EQ(0x6789u, GetBits(16));
    EXPECT_EQ(0xA00u, GetBits(12));      // zeros behind the data
    EXPECT_EQ(5L, ftell(ArchiveStream)); // never past the entry's data
    fclose(ArchiveStream);
}

TEST(MakeTable, BuildsTablesAndTreesFromLengths) {
    uint16_t small[256];
    const uint8_t twoSymbols[] = {1, 1};
    MakeTable(2, twoSymbols, 8, small);
    for (int i = 0; i < 256; i++) ASSERT_EQ(i < 128 ? 0 : 1, small[i]) << i;

    // Symbols 0-11 of lengths 1-12 fill the table down to entry 4094;
    // entry 4095 becomes node 510 with symbols 12 and 13 below it.
    static uint16_t table[4096];
    uint8_t lengths[510] = {0};
    for (int s = 0; s < 12; s++) lengths[s] = (uint8_t)(s + 1);
    lengths[12] = lengths[13] = 13;
    MakeTable(510, lengths, 12, table);
    int entry = 0;
    for (int s = 0; s < 12; s++)
        for (int n = 0; n < 2048 >> s; n++, entry++) ASSERT_EQ(s, table[entry]) << entry;
    EXPECT_EQ(510, table[4095]);
    EXPECT_EQ(12, LeftChild[510]);
    EXPECT_EQ(13, RightChild[510]);

    // A list of only zeros leaves table and node store as they were.
    uint8_t zeros[510] = {0};
    MakeTable(510, zeros, 12, table);
    EXPECT_EQ(510, table[4095]);
    EXPECT_EQ(11, table[4094]);
    EXPECT_EQ(12, LeftChild[510]);
}

TEST(MakeTable, RefusesListsThatFormNoCode) {
    static uint16_t table[4096];
    const uint8_t incomplete[] = {1, 2};
    const uint8_t wrapsToZero[] = {1, 1, 1, 1}; // 2 x 65536: passes a 16-bit sum
    const uint8_t overFull[] = {1, 1, 1, 2, 2, 9, 9};
    const uint8_t tooLong[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 17, 17};
    EXPECT_BAD_CODE(MakeTable(2, incomplete, 8, table));
    EXPECT_BAD_CODE(MakeTable(4, wrapsToZero, 8, table));
    EXPECT_BAD_CODE(MakeTable(7, overFull, 8, table));
    EXPECT_BAD_CODE(MakeTable(17, tooLong, 8, table));
}

// Only a table left over from an earlier code can send a walk past the 16
// look-ahead bits; it is refused rather than followed round a loop.
TEST(ReadCode, WalksNoDeeperThanTheLongestCode) {
    StartEntry("\xFF\xFF", 0);
    InitBits();
    uint16_t table[256];
    for (uint16_t& entry : table) entry = 20;
    LeftChild[20] = RightChild[20] = 20;
    const uint8_t lengths[17] = {0};
    EXPECT_BAD_CODE(ReadCode(table, 8, 17, lengths));
    fclose(ArchiveStream);
}

TEST(Methods1To3, DecodeTheFormatsExamples) {
    // Block of 3; pre-code, literal code (65) and offset code single values.
    Bytes aaa("\x00\x03\x00\x00\x04\x10\x00", 7);
    for (int method = 1; method <= 3; method++) EXPECT_EQ("AAA", Decode(method, aaa, 3));
    EXPECT_EQ("", Decode(1, aaa, 0));
    EXPECT_EQ("A", Decode(1, aaa, 1)); // the entry may end inside a block

    EXPECT_EQ("xxxxxx", Decode(1, EncodeMethod1({{0, 'x'}, {5, 0}}), 6));
    // A match is written whole, past originalSize; before the entry's first
    // byte the window reads 0, also after an entry that filled it.
    EXPECT_EQ("aaaaaaaaaaa", Decode(1, EncodeMethod1({{0, 'a'}, {10, 0}}), 3));
    std::vector<Item> fill(120, Item{256, 0});
    fill[0] = {0, 'z'};
    EXPECT_EQ(Bytes(119 * 256 + 1, 'z'), Decode(1, EncodeMethod1(fill), 119 * 256 + 1));
    EXPECT_EQ(Bytes(4, '\0') + "q", Decode(2, EncodeMethod1({{4, 2}, {0, 'q'}}), 5));

    // Block size 0 stands for 65536 symbols, then the next block header.
    BitWriter w;
    for (int letter : {'A', 'B'}) {
        w.Put(letter == 'A' ? 0 : 2, 16);
        w.Put(0, 5), w.Put(0, 5);      // pre-code: single value 0
        w.Put(0, 9), w.Put(letter, 9); // literal/length code: single value
        w.Put(0, 5), w.Put(0, 5);      // offset code: single value 0
    }
    EXPECT_EQ(Bytes(65536, 'A') + "BB", Decode(1, w.bytes, 65538));
}

std::vector<Item> WindowEdgeItems() {
    std::vector<Item> items;
    for (int i = 0; i < 26620; i++) items.push_back({0, (unsigned)"edge cases"[i % 10] + i % 7});
    items.push_back({10, 99});    // from write index 26620 across the flush
    items.push_back({8, 9});      // source before index 0: from the window's end
    items.push_back({256, 0});    // a run
    items.push_back({200, 3});    // overlapping source, repeating 4 bytes
    items.push_back({256, 5000}); // no overlap
    for (int i = 0; i < 26000; i++) items.push_back({0, (unsigned)(i * 13 % 251)});
    items.push_back({256, 2});     // reaches the window's end while repeating
    items.push_back({100, 30000}); // offsets of a window and more wrap around it
    items.push_back({100, 26623});
    items.push_back({50, 65535});
    return items;
}

TEST(Methods1To3, MatchesAtTheWindowsEdgesAndBeyondIt) {
    std::vector<Item> items = WindowEdgeItems();
    Bytes expected = Expand(items);
    ASSERT_GT(expected.size(), 2u * 26624);
    EXPECT_TRUE(expected == Decode(1, EncodeMethod1(items), (int32_t)expected.size()));
    EXPECT_TRUE(expected == Decode(3, EncodeMethod1(items), (int32_t)expected.size()));
}

TEST(Methods1To3, RefusesStreamsWhoseCodesCannotBeBuilt) {
    auto bits = [](std::initializer_list<std::pair<uint32_t, int>> fields) {
        BitWriter w;
        for (auto f : fields) w.Put(f.first, f.second);
        return w.bytes;
    };
    const std::pair<uint32_t, int> block = {1, 16}, single = {0, 5}, preValue0 = {0, 5},
                                   literalSingle = {0, 9}, literal65 = {65, 9};
    Bytes cases[] = {
        bits({block, {20, 5}}),                     // pre-code count beyond its 19 lengths
        bits({block, single, {19, 5}}),             // pre-code single value outside its code
        bits({block, {1, 5}, {0x7FFF, 15}}),        // length above 16 (seven 1s ...)
        bits({block, {2, 5}, {1, 3}, {2, 3}}),      // lengths 1, 2: incomplete
        bits({block, single, preValue0, {511, 9}}), // literal count beyond 510
        bits({block, single, preValue0, literalSingle, {510, 9}}), // single value outside
        bits({block, single, {2, 5}, {510, 9}, {511, 9}}),         // a zero run past the list's end
        bits({block, single, preValue0, literalSingle, literal65, {18, 5}}), // offset count
        bits({block, single, preValue0, literalSingle, {256, 9}, single, {17, 5}}),
    };
    for (const Bytes& stream : cases) EXPECT_BAD_CODE(Decode(1, stream, 10));
}

TEST(Method4, DecodesTheFormatsExamples) {
    EXPECT_EQ("aaaa", Decode(4, "\x30\xC0\x00", 4));
    EXPECT_EQ("", Decode(4, "\x30\xC0\x00", 0));
    EXPECT_EQ(Bytes(5, '\0'), Decode(4, "", 5)); // 0 bits are literals 0

    BitWriter w;
    w.Put(0, 1), w.Put('q', 8);
    w.Put(0x3FFF, 14); // 1111111 and 7 value bits of 1: length code 254
    w.Put(0, 10);      // offset 0
    EXPECT_EQ(Bytes(257, 'q'), Decode(4, w.bytes, 257));

    std::vector<Item> items;
    for (int i = 0; i < 15872; i++) items.push_back({0, (unsigned)(i % 256)});
    BitWriter far;
    far.Put(0x4, 3);     // length code 10 0: value 1, 3 bytes
    far.Put(0xF, 4);     // four 1s with no closing 0,
    far.Put(0x1FFF, 13); // then 13 value bits: offset 15871
    Bytes expected = Expand(items) + Bytes("\x00\x01\x02", 3);
    // Only literals: 9 bits a byte, so the match starts at bit 15872 * 9.
    Bytes stream = EncodeMethod4(items) + far.bytes;
    ASSERT_EQ(15872u * 9 / 8, EncodeMethod4(items).size());
    EXPECT_TRUE(expected == Decode(4, stream, (int32_t)expected.size()));
}

TEST(Method4, MatchesAtTheWindowsEdges) {
    std::vector<Item> items;
    for (const Item& item : WindowEdgeItems())
        if (item.length == 0 || item.value <= 15871) items.push_back(item);
    Bytes expected = Expand(items);
    EXPECT_TRUE(expected == Decode(4, EncodeMethod4(items), (int32_t)expected.size()));
}

} // namespace
