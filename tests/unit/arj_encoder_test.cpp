// Tests of the ARJ encoder: the reader and arj get back the bytes it was given.
#include "tools/encode/arj_encoder.h"
#include "tools/encode/block_code.h"
#include "tools/encode/prefix_code.h"
#include "tests/unit/arj_test_support.h"

#include <algorithm>
#include <random>

namespace {

using namespace arj_test;

// Every shape, method and level through the reader; the default level also through arj.
TEST(ArjEncoder, ReaderAndArjArchiverGetTheSameBytesBack) {
    Sandbox box;
    std::vector<Entry> forArj;
    for (int method : {1, 4}) {
        for (int level : {(int)FastestLevel, (int)DefaultLevel, (int)BestLevel}) {
            std::string folder = "C:\\m" + std::to_string(method) + "l" + std::to_string(level);
            SCOPED_TRACE(folder);
            std::vector<Entry> entries = Shapes();
            for (Entry& e : entries) {
                e.name = "m" + std::to_string(method) + e.name;
                e.method = method;
                e.data = EncodeEntry(e.original.data(), e.original.size(), method, level);
                // Nothing grows by more than a literal's flag bit per byte.
                EXPECT_LE(e.data.size(), e.original.size() * 9 / 8 + 64) << e.name;
            }
            EXPECT_GT(12000u, entries[2].data.size()) << "runs go as long matches";
            EXPECT_EQ(0, ExtractInto(box, Package(Archive(entries)), folder).result);
            for (const Entry& e : entries)
                EXPECT_TRUE(e.original == box.Read(folder + "\\" + e.name)) << e.name;
            if (level == DefaultLevel) forArj.insert(forArj.end(), entries.begin(), entries.end());
        }
    }
    if (!HaveArj()) GTEST_SKIP() << "arj is not installed";
    box.Write("C:\\ours.arj", Archive(forArj));
    box.MakeFolder("C:\\out");
    std::string command =
        "cd '" + SimHostPath("C:\\out") +
        "' && arj t ../ours.arj >../t.log 2>&1 && arj x -y ../ours.arj >/dev/null";
    ASSERT_EQ(0, system(command.c_str())) << box.Read("C:\\t.log");
    for (const Entry& e : forArj)
        EXPECT_TRUE(e.original == box.Read("C:\\out\\" + e.name)) << e.name;
}

// Frequencies that grow like Fibonacci numbers would want codes of up to 21
// bits; the decoders take 16 at most, and the code must stay complete.
TEST(ArjEncoder, CodesAreLimitedTo16Bits) {
    uint32_t frequencies[22];
    uint8_t lengths[22];
    std::vector<LzItem> items;
    for (int s = 0, a = 1, b = 1; s < 22; s++, b += a, a = b - a) {
        frequencies[s] = a;
        for (int k = 0; k < a; k++) items.push_back(Literal((uint8_t)(s * 11)));
    }
    ASSERT_EQ(22, LimitedCodeLengths(frequencies, 22, 16, lengths));
    uint32_t space = 0;
    for (uint8_t length : lengths) space += length ? 1u << (16 - length) : 0;
    EXPECT_EQ(1u << 16, space);
    EXPECT_EQ(16, *std::max_element(lengths, lengths + 22));

    // As a block, shuffled: the reader builds the code and reads the bytes back.
    std::shuffle(items.begin(), items.end(), std::mt19937(1));
    Bytes data;
    for (const LzItem& item : items) data += (char)item.value;
    BlockHistogram histogram;
    for (const LzItem& item : items) histogram.Add(item);
    BlockCode code;
    BitOutput out;
    DesignBlockCode(histogram, &code);
    WriteBlock(items.data(), items.size(), code, &out);
    out.PadToByte();
    Entry e{"fib", Bytes(out.bytes.begin(), out.bytes.end()), data, 1};
    Sandbox box;
    EXPECT_EQ(0, Extract(box, Package(Archive({e}))).result);
    EXPECT_TRUE(data == box.Read("C:\\fib"));
}

} // namespace
