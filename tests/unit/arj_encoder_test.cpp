// Tests of the ARJ encoder: what it writes comes back through the installer's
// reader, and through the arj archiver, as the bytes it was given.
#include "arj/archive_reader.h"
#include "arj/encode/arj_encoder.h"
#include "arj/encode/block_code.h"
#include "arj/encode/prefix_code.h"
#include "platform/platform.h"
#include "tests/unit/arj_test_support.h"

#include <sys/stat.h>

#include <algorithm>
#include <random>

namespace {

using namespace arj_test;

// Runs the installer's reader on an archive; gives the failed entries'
// count and each entry's extracted bytes. The one place that calls it.
int ExtractWithReader(const Bytes& archive, const std::vector<std::string>& names,
                      std::vector<Bytes>* files) {
    Sandbox box;
    box.MakeFolder("C:\\out");
    EXPECT_TRUE(PlatformSetCurrentDirectory("C:\\out"));
    Extracted x = Extract(box, Package(archive));
    for (const std::string& name : names) files->push_back(box.Read("C:\\out\\" + name));
    return x.result;
}

Bytes Random(size_t size, uint32_t seed) {
    Bytes b(size, '\0');
    for (char& c : b) c = (char)((seed = seed * 1103515245u + 12345u) >> 16);
    return b;
}

// 16-bit counters: no 3 bytes repeat, so every byte is a literal item.
Bytes Counters(size_t size) {
    Bytes b;
    for (uint32_t i = 0; b.size() < size; i++) b += Le(i, 2);
    return b.substr(0, size);
}

struct Shape {
    std::string name;
    Bytes data;
};

std::vector<Shape> Shapes() {
    Bytes text;
    for (int i = 0; text.size() < 200000; i++)
        text += "line " + std::to_string(i * 7919 % 1000) + ": the quick brown fox\n";
    Bytes skewed;
    for (unsigned char c : Random(60000, 7)) skewed += (char)(__builtin_ctz(c | 0x100) * 11);
    return {{"empty", ""},
            {"one", "x"},
            {"million", Bytes(1000000, 'a')},
            {"w26623", Random(26623, 1).substr(0, 20000) + Bytes(6623, 'b')},
            {"w26624", skewed.substr(0, 26624)},
            {"w26625", text.substr(0, 26625)},
            {"random", Random(100000, 2)},
            {"far", Random(26624, 3) + Random(26624, 3) + Random(15872, 4) + Random(15872, 4)},
            {"items65535", Counters(65535)},
            {"items65536", Counters(65536) + Random(40000, 5)},
            {"skewed", skewed},
            {"text", text}};
}

std::vector<Entry> Encoded(const std::vector<Shape>& shapes, int method, int level) {
    std::vector<Entry> entries;
    for (const Shape& shape : shapes) {
        Entry e = Stored(shape.name, shape.data);
        e.method = method;
        e.data = EncodeEntry(shape.data.data(), shape.data.size(), method, level);
        entries.push_back(e);
    }
    return entries;
}

TEST(ArjEncoder, InstallersReaderGetsTheSameBytesBack) {
    std::vector<Shape> shapes = Shapes();
    std::vector<std::string> names;
    for (const Shape& shape : shapes) names.push_back(shape.name);
    for (int method : {1, 4}) {
        for (int level : {(int)FastestLevel, (int)DefaultLevel, (int)BestLevel}) {
            SCOPED_TRACE("method " + std::to_string(method) + " level " + std::to_string(level));
            std::vector<Entry> entries = Encoded(shapes, method, level);
            std::vector<Bytes> files;
            EXPECT_EQ(0, ExtractWithReader(Archive(entries), names, &files));
            for (size_t i = 0; i < shapes.size(); i++) {
                EXPECT_TRUE(shapes[i].data == files[i])
                    << shapes[i].name << ": " << files[i].size();
                // Nothing grows by more than a literal's flag bit per byte.
                EXPECT_LE(entries[i].data.size(), shapes[i].data.size() * 9 / 8 + 64);
            }
            EXPECT_GT(12000u, entries[2].data.size()) << "runs go as long matches";
        }
    }
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
    Entry e = Stored("fib", data);
    e.method = 1;
    e.data = Bytes(out.bytes.begin(), out.bytes.end());
    std::vector<Bytes> files;
    EXPECT_EQ(0, ExtractWithReader(Archive({e}), {"fib"}, &files));
    EXPECT_TRUE(data == files[0]);
}

TEST(ArjEncoder, ArjArchiverExtractsTheSameBytes) {
    if (!HaveArj()) GTEST_SKIP() << "arj is not installed";
    Sandbox box;
    std::vector<Shape> shapes = Shapes();
    std::vector<Entry> entries;
    for (int method : {1, 4}) {
        for (Entry& e : Encoded(shapes, method, DefaultLevel)) {
            e.name = "m" + std::to_string(method) + e.name;
            entries.push_back(e);
        }
    }
    box.Write("C:\\ours.arj", Archive(entries));
    box.MakeFolder("C:\\out");
    std::string command =
        "cd '" + SimHostPath("C:\\out") +
        "' && arj t ../ours.arj >../t.log 2>&1 && arj x -y ../ours.arj >/dev/null";
    ASSERT_EQ(0, system(command.c_str())) << box.Read("C:\\t.log");
    for (const Entry& e : entries)
        EXPECT_TRUE(e.original == box.Read("C:\\out\\" + e.name)) << e.name;
}

} // namespace
