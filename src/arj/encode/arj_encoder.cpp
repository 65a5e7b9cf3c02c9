// arj_encoder.cpp: the entry encoder: input buffering, parsing, blocks.
//
// The input is taken in segments. The buffer keeps a window of bytes before
// the segment (match sources) and a match's length behind it (so that every
// match found is whole), and slides down when it is full.
#include "arj/encode/arj_encoder.h"

#include "arj/arj_format.h"
#include "arj/encode/bit_output.h"
#include "arj/encode/block_code.h"
#include "arj/encode/lz_item.h"
#include "arj/encode/match_finder.h"
#include "arj/encode/method4_code.h"

#include <string.h>

#include <algorithm>
#include <vector>

namespace {

enum {
    SegmentSize = 1 << 18,
    FastBlockItems = 1 << 15,
    FarDistance = 4096, // a 3-byte match from farther costs more than its literals
};

struct LevelSettings {
    int chain;      // hash-chain links looked at per position
    int niceLength; // a match this long is taken without looking further
    int lazyLimit;  // a match this long is not compared with the next position's
};

const LevelSettings Levels[BestLevel + 1] = {
    {0, 0, 0},        // unused
    {8, 32, 16},      // 1
    {16, 64, 32},     // 2
    {32, 128, 64},    // 3
    {64, 256, 128},   // 4
    {128, 256, 256},  // 5
    {256, 256, 256},  // 6
    {512, 256, 256},  // 7
    {1024, 256, 256}, // 8
    {4096, 256, 256}, // 9
};

} // namespace

struct EntryEncoder::State {
    int method;
    LevelSettings settings;
    uint32_t window;

    // buffer[start] is the byte at absolute position startPosition; bytes
    // before start are the window, bytes from start to end not coded yet.
    std::vector<uint8_t> buffer;
    size_t capacity; // of data; padding follows
    size_t start = 0, end = 0;
    uint32_t startPosition = MatchOrigin;

    MatchChain chain;
    std::vector<LzItem> items; // parsed, not yet written
    BlockHistogram histogram;
    BlockCode code;
    BitOutput bits;
    CompressedSink sink;
    uint64_t compressedSize = 0;

    State(int method, int level)
        : method(method), settings(Levels[std::min(std::max(level, 1), (int)BestLevel)]),
          window(method == 4 ? (uint32_t)Method4Window : (uint32_t)WindowSize), chain(window) {
        capacity = WindowSize + 2 * SegmentSize + MaxMatchLength;
        buffer.assign(capacity + ComparePadding, 0);
    }

    const uint8_t* At(uint32_t position) const {
        return buffer.data() + start + (position - startPosition);
    }
    uint32_t EndPosition() const { return startPosition + (uint32_t)(end - start); }

    void Drain() {
        if (bits.bytes.empty()) return;
        sink(bits.bytes.data(), bits.bytes.size());
        compressedSize += bits.bytes.size();
        bits.bytes.clear();
    }

    void WriteItems(size_t count) {
        if (count == 0) return;
        if (method == 4) {
            for (size_t i = 0; i < count; i++) PutMethod4Item(items[i], &bits);
        } else {
            histogram.Clear();
            for (size_t i = 0; i < count; i++) histogram.Add(items[i]);
            DesignBlockCode(histogram, &code);
            WriteBlock(items.data(), count, code, &bits);
        }
        items.erase(items.begin(), items.begin() + count);
        Drain();
    }

    void Emit(const LzItem& item) {
        items.push_back(item);
        if (items.size() >= FastBlockItems) WriteItems(items.size());
    }

    // The longest match at position worth taking, of more than atLeast bytes.
    int FindLongest(uint32_t position, int atLeast, uint32_t* distance) {
        uint32_t limit = std::min<uint32_t>(MaxMatchLength, EndPosition() - position);
        if (limit < MinMatchLength) return 0;
        int chainLength = settings.chain;
        if (atLeast >= settings.lazyLimit / 2) chainLength /= 4;
        int length = chain.Longest(At(position), position, (int)limit, atLeast, chainLength,
                                   settings.niceLength, distance);
        if (length == MinMatchLength && *distance > FarDistance) return 0;
        return length;
    }

    void InsertRange(uint32_t from, uint32_t to) {
        uint32_t last = EndPosition() - (MinMatchLength - 1);
        for (uint32_t p = from; p < to && p < last; p++) chain.Insert(At(p), p);
    }

    // Greedy parsing with one step of look-ahead: a match is taken unless the
    // next position has a longer one. Parses from start to at least
    // segmentEnd; gives where it stopped (behind the last match).
    uint32_t ParseLazily(uint32_t segmentEnd) {
        uint32_t position = startPosition;
        int pendingLength = 0; // a match found at position - 1, or 0
        uint32_t pendingDistance = 0;
        bool pending = false; // whether position - 1 waits for its item
        while (position < segmentEnd) {
            uint32_t distance = 0;
            int length = 0;
            if (pendingLength < settings.lazyLimit)
                length = FindLongest(position, pendingLength, &distance);
            InsertRange(position, position + 1);
            if (pending && pendingLength >= MinMatchLength && length <= pendingLength) {
                Emit(Match(pendingLength, pendingDistance));
                uint32_t matchEnd = position - 1 + pendingLength;
                InsertRange(position + 1, matchEnd);
                position = matchEnd;
                pending = false;
                pendingLength = 0;
                continue;
            }
            if (pending) Emit(Literal(At(position - 1)[0]));
            if (length >= settings.lazyLimit) {
                Emit(Match(length, distance));
                InsertRange(position + 1, position + length);
                position += length;
                pending = false;
                pendingLength = 0;
                continue;
            }
            pending = true;
            pendingLength = length;
            pendingDistance = distance;
            position++;
        }
        if (pending) {
            if (pendingLength >= MinMatchLength) {
                Emit(Match(pendingLength, pendingDistance));
                InsertRange(position, position - 1 + pendingLength);
                position += pendingLength - 1;
            } else {
                Emit(Literal(At(position - 1)[0]));
            }
        }
        return position;
    }

    void CodeSegment(size_t segmentEnd) {
        uint32_t stop = ParseLazily(startPosition + (uint32_t)(segmentEnd - start));
        start += stop - startPosition;
        startPosition = stop;
    }

    // Moves the window and the bytes not coded yet to the front.
    void Slide() {
        size_t keep = std::min(start, (size_t)WindowSize);
        memmove(buffer.data(), buffer.data() + start - keep, end - (start - keep));
        end -= start - keep;
        start = keep;
    }

    void Add(const uint8_t* bytes, size_t count) {
        while (count > 0) {
            if (end == capacity) Slide();
            size_t n = std::min(count, capacity - end);
            memcpy(buffer.data() + end, bytes, n);
            end += n;
            bytes += n;
            count -= n;
            // A segment is coded once a whole match's worth of bytes follows it.
            while (end - start >= SegmentSize + MaxMatchLength) CodeSegment(start + SegmentSize);
        }
    }

    uint64_t Finish() {
        while (start < end) CodeSegment(std::min(end, start + SegmentSize));
        WriteItems(items.size());
        bits.PadToByte();
        Drain();
        return compressedSize;
    }
};

EntryEncoder::EntryEncoder(int method, int level) : state(new State(method, level)) {}

EntryEncoder::~EntryEncoder() = default;

void EntryEncoder::Begin(CompressedSink sink) {
    State& s = *state;
    s.sink = std::move(sink);
    s.start = s.end = 0;
    s.startPosition = MatchOrigin;
    s.chain.Reset();
    s.items.clear();
    s.bits = BitOutput();
    s.compressedSize = 0;
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
