// arj_encoder.cpp: the entry encoder: input buffering, parsing, blocks.
//
// The input is parsed in segments, each once a whole match's length of bytes
// follows it, so that every match found is whole. The items gather until
// there are enough of them to choose good block cuts; the last block waits
// for the items that follow.
#include "tools/encode/arj_encoder.h"

#include "arj/arj_format.h"
#include "tools/encode/bit_output.h"
#include "tools/encode/block_code.h"
#include "tools/encode/block_split.h"
#include "tools/encode/greedy_parse.h"
#include "tools/encode/input_window.h"
#include "tools/encode/lz_item.h"
#include "tools/encode/match_finder.h"
#include "tools/encode/method4_code.h"
#include "tools/encode/optimal_parse.h"

#include <string.h>

#include <algorithm>
#include <vector>

namespace {

enum {
    SegmentSize = 1 << 18, // bytes parsed at once
    SplitItems = 1 << 18,  // items gathered before they are cut into blocks
};

struct LevelSettings {
    GreedySettings greedy; // used when optimal.rounds is 0
    OptimalSettings optimal;
    int cellItems;      // the grain of the block cuts as written
    bool thoroughCodes; // block codes chosen with their header's bits
};

const LevelSettings Levels[BestLevel + 1] = {
    {{0, 0, 0}, {0, 0, 0, 0}, 0, false},         // unused
    {{64, 256, 128}, {0, 0, 0, 0}, 512, false},  // 1
    {{256, 256, 256}, {0, 0, 0, 0}, 256, false}, // 2
    {{0, 0, 0}, {1, 16, 64, 1024}, 1024, true},  // 3
    {{0, 0, 0}, {3, 32, 256, 256}, 64, true},    // 4
    {{0, 0, 0}, {3, 48, 256, 256}, 64, true},    // 5
    {{0, 0, 0}, {4, 48, 256, 128}, 64, true},    // 6
    {{0, 0, 0}, {5, 64, 256, 128}, 32, true},    // 7
    {{0, 0, 0}, {6, 96, 256, 128}, 32, true},    // 8
    {{0, 0, 0}, {8, 128, 256, 128}, 32, true},   // 9
};

} // namespace

struct EntryEncoder::State {
    int method;
    const LevelSettings& settings;
    InputWindow window;
    MatchChain chain;
    OptimalParser optimal;
    std::vector<LzItem> items; // parsed, not yet written
    BlockHistogram histogram;
    BlockCode code;
    BitOutput bits;
    CompressedSink sink;
    uint64_t compressedSize = 0;

    State(int method, int level)
        : method(method), settings(Levels[std::min(std::max(level, 1), (int)BestLevel)]),
          window(2 * SegmentSize + MaxMatchLength),
          chain(method == 4 ? (uint32_t)Method4Window : (uint32_t)WindowSize), optimal(method) {}

    void Begin(CompressedSink out) {
        sink = std::move(out);
        window.Reset();
        chain.Reset();
        optimal.Reset();
        items.clear();
        bits = BitOutput();
        compressedSize = 0;
    }

    void Drain() {
        if (bits.bytes.empty()) return;
        sink(bits.bytes.data(), bits.bytes.size());
        compressedSize += bits.bytes.size();
        bits.bytes.clear();
    }

    // Writes the items gathered: in blocks, all of them when final, else
    // all but the last block, which may grow with the items to come.
    void WriteItems(bool final) {
        if (items.empty()) return;
        size_t written = 0;
        if (method == 4) {
            for (const LzItem& item : items) PutMethod4Item(item, &bits);
            written = items.size();
        } else {
            std::vector<uint32_t> blocks =
                SplitIntoBlocks(items.data(), items.size(), settings.cellItems);
            for (size_t b = 0; b < blocks.size() - (final ? 0 : 1); b++) {
                histogram.Clear();
                for (uint32_t i = 0; i < blocks[b]; i++) histogram.Add(items[written + i]);
                DesignBlockCode(histogram, &code, settings.thoroughCodes);
                WriteBlock(items.data() + written, blocks[b], code, &bits);
                written += blocks[b];
            }
        }
        items.erase(items.begin(), items.begin() + written);
        Drain();
    }

    // Parses the bytes from the window's start to end (or a little past it).
    void CodeSegment(uint32_t end) {
        if (settings.optimal.rounds == 0) {
            end = ParseGreedily(window, end, settings.greedy, &chain, &items);
        } else {
            optimal.Parse(window, end - window.Start(), settings.optimal, &items);
        }
        window.Consume(end);
        if (items.size() >= SplitItems) WriteItems(false);
    }

    void Add(const uint8_t* bytes, size_t count) {
        while (count > 0) {
            size_t taken = window.Append(bytes, count);
            bytes += taken;
            count -= taken;
            // A segment is parsed once a whole match's worth of bytes follows it.
            while (window.End() - window.Start() >= SegmentSize + MaxMatchLength)
                CodeSegment(window.Start() + SegmentSize);
        }
    }

    uint64_t Finish() {
        while (window.Start() < window.End())
            CodeSegment(std::min(window.End(), window.Start() + SegmentSize));
        WriteItems(true);
        bits.PadToByte();
        Drain();
        return compressedSize;
    }
};

EntryEncoder::EntryEncoder(int method, int level) : state(new State(method, level)) {}

EntryEncoder::~EntryEncoder() = default;

void EntryEncoder::Begin(CompressedSink sink) {
    state->Begin(std::move(sink));
}

void EntryEncoder::Add(const void* bytes, size_t count) {
    state->Add((const uint8_t*)bytes, count);
}

uint64_t EntryEncoder::Finish() {
    return state->Finish();
}

std::string EncodeEntry(const void* bytes, size_t count, int method, int level) {
    std::string out;
    EntryEncoder encoder(method, level);
    encoder.Begin([&](const uint8_t* b, size_t n) { out.append((const char*)b, n); });
    encoder.Add(bytes, count);
    encoder.Finish();
    return out;
}
