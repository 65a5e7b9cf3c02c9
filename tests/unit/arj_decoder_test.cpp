// Tests of the bit input, code tables and decoders on hand-made streams.
#include "arj/bit_input.h"
#include "arj/crc32.h"
#include "arj/decode_method4.h"
#include "arj/decode_methods1to3.h"
#include "arj/extraction.h"
#include "arj/huffman_table.h"
#include "tests/unit/arj_test_support.h"

#include <memory>

namespace {

using namespace arj_test;

// The current entry's compressed bytes as a decoder gets them, with more
// bytes behind them in the file.
struct Entry {
    std::unique_ptr<Extraction> x{new Extraction()};
    Bytes file;
    Entry(const Bytes& data, int32_t originalSize) : file(data + "next header") {
        BuildCrcTable();
        x->entry.originalSize = originalSize;
        x->remaining = (uint32_t)data.size();
        x->crc = CrcStart;
        x->archive = fmemopen(&file[0], file.size(), "rb");
    }
    ~Entry() {
        fclose(x->archive);
        free(x->window);
    }
};

// Decodes data with the method; gives what was written, or "<damaged>" (if
// it stopped soon after the data ended) or the fatal message.
Bytes Decode(int method, const Bytes& data, int32_t originalSize) {
    Entry e(data, originalSize);
    e.x->output = tmpfile();
    StepResult result = RunStep(e.x.get(), method == 4 ? DecodeMethod4 : DecodeMethods1To3);
    Bytes out(ftell(e.x->output), '\0');
    rewind(e.x->output);
    EXPECT_EQ(out.size(), fread(&out[0], 1, out.size(), e.x->output));
    fclose(e.x->output);
    if (result == StepEntryDamaged) return out.size() < 2 * WindowSize ? "<damaged>" : "<late>";
    if (result == StepFatal) return e.x->message;
    EXPECT_EQ(Crc(out), e.x->crc ^ CrcStart);
    return out;
}

TEST(BitInput, ServesBitsMostSignificantFirstAndZerosOnlyForTheLookAhead) {
    Entry empty("", 0);
    BitCursor in = InitBits(empty.x.get());
    EXPECT_EQ(0u, PeekBits(in));
    EXPECT_EQ(0L, ftell(empty.x->archive)); // nothing read
    Entry one("\xA5", 1);
    in = InitBits(one.x.get());
    EXPECT_EQ(0xA500u, PeekBits(in));
    EXPECT_EQ(0xAu, TakeBits(one.x.get(), in, 4));
    EXPECT_EQ(0x5000u, PeekBits(in));
    EXPECT_EQ(0u, TakeBits(one.x.get(), in, 0));
    Entry five("\x12\x34\x56\x78\x9A", 0);
    in = InitBits(five.x.get());
    // The last 12 bits: 4 of data, 8 of look-ahead.
    for (auto take : {std::pair<int, unsigned>{16, 0x1234}, {4, 0x5}, {16, 0x6789}, {12, 0xA00}})
        EXPECT_EQ(take.second, TakeBits(five.x.get(), in, take.first));
    EXPECT_EQ(5L, ftell(five.x->archive)); // never past the entry's data
}

// Reads four symbols of a code from bits; {9999} when its lengths form none.
std::vector<unsigned> ReadSymbols(std::vector<uint8_t> lengths, int tableBits, const Bytes& bits) {
    static uint16_t table[1 << LiteralTableBits];
    Entry e(bits, 0);
    if (!MakeTable(e.x.get(), (int)lengths.size(), lengths.data(), tableBits, table)) return {9999};
    BitCursor in = InitBits(e.x.get());
    std::vector<unsigned> out(4);
    for (unsigned& symbol : out)
        symbol = ReadCode(e.x.get(), in, table, tableBits, (int)lengths.size(), lengths.data());
    return out;
}

TEST(MakeTable, BuildsCodesRefusesListsThatFormNoneAndEndsAStaleWalk) {
    EXPECT_EQ((std::vector<unsigned>{0, 1, 1, 0}), ReadSymbols({1, 1}, 8, "\x60"));
    // Symbols 0-11 of lengths 1-12 fill a 12-bit table up to entry 4094;
    // symbols 12 and 13 (13 bits) hang below entry 4095.
    std::vector<uint8_t> lengths = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 13};
    lengths.resize(510);
    Bytes bits = BitWriter().Put(0, 1).Put(0x7FE, 11).Put(0x1FFE, 13).Put(0x1FFF, 13).bytes;
    EXPECT_EQ((std::vector<unsigned>{0, 10, 12, 13}), ReadSymbols(lengths, 12, bits));
    // Incomplete; four codes of 1 bit (the 16-bit sum wraps to 0); over-full;
    // longer than 16 bits.
    for (std::vector<uint8_t> bad :
         {std::vector<uint8_t>{1, 2}, {1, 1, 1, 1}, {1, 1, 1, 2, 2, 9, 9}, {1, 17, 17}})
        EXPECT_EQ(std::vector<unsigned>{9999}, ReadSymbols(bad, 8, ""));
    // The offset code's nodes 17 to 19, then a pre-code whose node 19 holds its symbols 17
    // and 18: walking one through the other (an all-zero code keeps the table) must end.
    static uint16_t table[256];
    uint8_t offsets[17] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 11};
    uint8_t preCode[19] = {1, 2, 3, 4, 5, 6, 7, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 9, 9};
    Entry e("", 0);
    ASSERT_EQ(1, MakeTable(e.x.get(), 17, offsets, 8, table));
    ASSERT_EQ(1, MakeTable(e.x.get(), 19, preCode, 8, table));
    EXPECT_EQ(StepFatal, RunStep(e.x.get(), [](Extraction* x) { WalkTree(x, 17, 0xFFFF, 8, 17); }));
    EXPECT_STREQ("Bad Huffman code", e.x->message);
}

TEST(Methods1To3, DecodeExamplesShortDistancesAndMatchesAtTheWindowsEdges) {
    // Block of 3; pre-code, literal code (65) and offset code single values.
    Bytes aaa("\x00\x03\x00\x00\x04\x10\x00", 7);
    for (int method = 1; method <= 3; method++) EXPECT_EQ("AAA", Decode(method, aaa, 3));
    EXPECT_EQ("", Decode(1, aaa, 0));
    EXPECT_EQ("A", Decode(1, aaa, 1)); // an entry may end inside a block
    // 2 GB claimed: it stops as the bits taken pass the data, not writing zeros up to it.
    EXPECT_EQ("<damaged>", Decode(1, EncodeMethod1({{0, 'x'}, {256, 0}}), 0x7FFFFFFF));
    EXPECT_EQ("aaaaaaaaaaa", Decode(1, EncodeMethod1({{0, 'a'}, {10, 0}}), 3)); // matches whole
    // Distances 1 to 9 with lengths around the 8-byte copy step: the copy
    // must read bytes it has just written whenever the distance is shorter.
    for (unsigned offset = 0; offset < 9; offset++)
        for (int length : {3, 7, 8, 9, 17}) {
            std::vector<Item> items;
            for (unsigned i = 0; i <= offset; i++) items.push_back({0, 'a' + i});
            items.insert(items.end(), {{length, offset}, {0, '!'}});
            Bytes expected = Expand(items);
            EXPECT_EQ(expected, Decode(1, EncodeMethod1(items), (int32_t)expected.size()))
                << offset << " " << length;
            EXPECT_EQ(expected, Decode(4, EncodeMethod4(items), (int32_t)expected.size()));
        }
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
    std::vector<Item> items;
    for (int i = 0; i < 26620; i++) items.push_back({0, (unsigned)"edge cases"[i % 10] + i % 7});
    // From 26620 across the first full window; reaching back across it; a
    // run; overlapping by 4; no overlap, from far back.
    for (Item m : {Item{10, 99}, {8, 9}, {256, 0}, {200, 3}, {256, 5000}}) items.push_back(m);
    for (int i = 0; i < 26000; i++) items.push_back({0, (unsigned)(i * 13 % 251)});
    // Repeating across the second full window; offsets of a window and more
    // are taken modulo the window.
    for (Item m : {Item{256, 2}, {100, 30000}, {100, 26623}, {50, 65535}}) items.push_back(m);
    Bytes expected = Expand(items);
    ASSERT_GT(expected.size(), 2u * WindowSize);
    EXPECT_TRUE(expected == Decode(1, EncodeMethod1(items), (int32_t)expected.size()));
}

TEST(Methods1To3, RefusesStreamsWhoseCodesCannotBeBuilt) {
    auto block = [] { return BitWriter().Put(1, 16); };
    Bytes cases[] = {
        block().Put(20, 5).bytes,                                  // pre-code count beyond 19
        block().Put(0, 5).Put(19, 5).bytes,                        // its single value outside it
        block().Put(1, 5).Put(0x7FFF, 15).bytes,                   // a length above 16
        block().Put(0, 10).Put(511, 9).bytes,                      // literal count beyond 510
        block().Put(0, 10).Put(0, 9).Put(510, 9).bytes,            // its single value outside it
        block().Put(0, 5).Put(2, 5).Put(510, 9).Put(511, 9).bytes, // zero run past 510
        block().Put(0, 10).Put(0, 9).Put(65, 9).Put(18, 5).bytes,  // offset count beyond 17
        block().Put(0, 10).Put(0, 9).Put(256, 9).Put(0, 5).Put(17, 5).bytes, // value outside
    };
    for (const Bytes& stream : cases) EXPECT_EQ("Bad Huffman code", Decode(1, stream, 10));
}

TEST(Method4, DecodesTheFormatsExamples) {
    Bytes example("\x30\xC0\x00", 3);
    EXPECT_EQ("aaaa", Decode(4, example, 4));
    EXPECT_EQ("", Decode(4, example, 0));
    EXPECT_EQ("<damaged>", Decode(4, example.substr(0, 2), 4)); // its last 6 bits missing
    EXPECT_EQ("<damaged>", Decode(4, "", 5));                   // no data for five bytes
    EXPECT_EQ("<damaged>", Decode(4, example, 0x7FFFFFFF));     // 2 GB claimed
    // 1111111 and 7 value bits: length code 254, 256 bytes; offset 0.
    EXPECT_EQ(Bytes(257, 'q'), Decode(4, EncodeMethod4({{0, 'q'}, {256, 0}}), 257));
    // Literals take 9 bits each; 1111 and 13 value bits are offset 15871.
    std::vector<Item> items;
    for (int i = 0; i < 15872; i++) items.push_back({0, (unsigned)i % 256});
    items.push_back({3, 15871});
    Bytes bits = EncodeMethod4(items), expected = Expand(items);
    EXPECT_EQ(15872u * 9 / 8 + 3, bits.size());
    EXPECT_TRUE(expected == Decode(4, bits, 15875));
}

} // namespace
