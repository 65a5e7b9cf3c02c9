// optimal_parse.cpp: the cheapest parse as a shortest path, in rounds.
//
// Every position of the range is a node; a literal leads to the next
// position, a match of length L to the one L further, each edge costing the
// bits of its item. Edges only lead forward, so settling the nodes in order
// finds the cheapest path. A match found at a position stands for every
// shorter length too, at its distance: the finder gives each length at the
// nearest distance it saw, so all lengths are tried.
//
// What an item costs depends on the codes, which depend on the items. The
// first round prices by a greedy parse (the longest match wherever there is
// one); each further round cuts the last round's items into blocks as they
// would be written and prices each block by its own frequencies. Method 4's
// codes are fixed: one round is exact.
#include "tools/encode/optimal_parse.h"

#include "tools/encode/block_split.h"
#include "tools/encode/method4_code.h"

#include <math.h>

#include <algorithm>

namespace {

const uint32_t Unreached = 0xFFFFFFFFu;
enum { MaxMatchesKept = 16 };   // per position: bounds the memory of a segment's matches
const int CostScale = 16;       // sixteenths of a bit
const double UnseenPenalty = 2; // bits above the rarest symbol for one not seen

// -log2 of each symbol's share; unseen ones a little above the rarest
// possible.
void Prices(const uint32_t* frequencies, int count, uint32_t* prices) {
    uint64_t total = 0;
    for (int s = 0; s < count; s++) total += frequencies[s];
    double unseen = log2((double)total + 1) + UnseenPenalty;
    for (int s = 0; s < count; s++) {
        double bits = frequencies[s] ? log2((double)total / frequencies[s]) : unseen;
        prices[s] = (uint32_t)(bits * CostScale + 0.5);
    }
}

// Methods 1 to 3: what a block with these frequencies costs, by entropy.
void EntropyCosts(const BlockHistogram& histogram, CostModel* model) {
    uint32_t prices[LiteralLengthSymbols];
    Prices(histogram.literalLength, LiteralLengthSymbols, prices);
    for (int b = 0; b < 256; b++) model->literal[b] = prices[b];
    for (int length = MinMatchLength; length <= MaxMatchLength; length++)
        model->length[length] = prices[length - MinMatchLength + FirstMatchSymbol];
    Prices(histogram.offset, OffsetSymbols, model->offsetSymbol);
    for (int s = 0; s < OffsetSymbols; s++)
        model->offsetSymbol[s] += OffsetExtraBits(s) * CostScale;
    model->method4 = false;
}

void Method4Costs(CostModel* model) {
    for (int b = 0; b < 256; b++) model->literal[b] = Method4LiteralBits * CostScale;
    for (int length = MinMatchLength; length <= MaxMatchLength; length++)
        model->length[length] = Method4LengthBits(length) * CostScale;
    for (int ones = 0; ones <= OffsetMaxOnes; ones++)
        model->offsetSymbol[ones] =
            (ones + (ones < OffsetMaxOnes) + OffsetFirstWidth + ones) * CostScale;
    model->method4 = true;
}

uint32_t ItemSize(const LzItem& item) {
    return item.length ? item.length : 1;
}

} // namespace

uint32_t CostModel::OffsetCost(uint32_t offset) const {
    if (method4) return offsetSymbol[FixedCodeOnes(offset, OffsetFirstWidth, OffsetMaxOnes)];
    return offsetSymbol[OffsetSymbol(offset)];
}

OptimalParser::OptimalParser(int method)
    : method4(method == 4), tree(method == 4 ? (uint32_t)Method4Window : (uint32_t)WindowSize) {}

void OptimalParser::Reset() {
    tree.Reset();
}

void OptimalParser::FindMatches(const InputWindow& window, uint32_t n,
                                const OptimalSettings& settings) {
    MatchCandidate found[MaxMatchLength];
    matches.first.resize(n + 1);
    matches.list.clear();
    uint32_t skipUntil = 0; // inside a match of niceLength or more
    for (uint32_t i = 0; i < n; i++) {
        uint32_t position = window.Start() + i;
        matches.first[i] = (uint32_t)matches.list.size();
        int limit = window.Limit(position);
        if (limit < MinMatchLength) continue;
        if (position < skipUntil) {
            tree.Insert(window.At(position), position, limit, settings.depth);
            continue;
        }
        int count = tree.Find(window.At(position), position, limit, settings.depth, found);
        // The longest ones cover the shorter lengths too, if from farther.
        int kept = std::min(count, (int)MaxMatchesKept);
        matches.list.insert(matches.list.end(), found + count - kept, found + count);
        if (count > 0 && found[count - 1].length >= settings.niceLength)
            skipUntil = position + found[count - 1].length;
    }
    matches.first[n] = (uint32_t)matches.list.size();
}

void OptimalParser::ShortestPath(const uint8_t* bytes, uint32_t n,
                                 const std::vector<uint32_t>& blockStart,
                                 const std::vector<CostModel>& models) {
    cost.assign(n + 1, Unreached);
    reach.resize(n + 1);
    cost[0] = 0;
    size_t block = 0;
    for (uint32_t i = 0; i < n; i++) {
        while (block + 1 < blockStart.size() && blockStart[block + 1] <= i) block++;
        const CostModel& model = models[block];
        uint32_t here = cost[i];
        uint32_t literal = here + model.literal[bytes[i]];
        if (literal < cost[i + 1]) {
            cost[i + 1] = literal;
            reach[i + 1] = Literal(bytes[i]);
        }
        int shorter = MinMatchLength - 1;
        for (uint32_t m = matches.first[i]; m < matches.first[i + 1]; m++) {
            const MatchCandidate& match = matches.list[m];
            uint32_t base = here + model.OffsetCost(match.distance - 1u);
            int longest = (int)std::min<uint32_t>(match.length, n - i);
            for (int length = shorter + 1; length <= longest; length++) {
                uint32_t total = base + model.length[length];
                if (total < cost[i + length]) {
                    cost[i + length] = total;
                    reach[i + length] = Match(length, match.distance);
                }
            }
            shorter = std::max(shorter, longest);
        }
    }
    parsed.clear();
    for (uint32_t i = n; i > 0; i -= ItemSize(reach[i])) parsed.push_back(reach[i]);
    std::reverse(parsed.begin(), parsed.end());
}

void OptimalParser::Parse(const InputWindow& window, uint32_t n, const OptimalSettings& settings,
                          std::vector<LzItem>* items) {
    FindMatches(window, n, settings);
    const uint8_t* bytes = window.At(window.Start());
    std::vector<uint32_t> blockStart(1, 0);
    std::vector<CostModel> models(1);
    if (method4) {
        Method4Costs(&models[0]);
    } else {
        histogram.Clear();
        for (uint32_t i = 0; i < n;) {
            uint32_t last = matches.first[i + 1];
            int length = last > matches.first[i]
                             ? (int)std::min<uint32_t>(matches.list[last - 1].length, n - i)
                             : 0;
            LzItem item = length >= MinMatchLength ? Match(length, matches.list[last - 1].distance)
                                                   : Literal(bytes[i]);
            histogram.Add(item);
            i += ItemSize(item);
        }
        EntropyCosts(histogram, &models[0]);
    }
    for (int round = 1;; round++) {
        ShortestPath(bytes, n, blockStart, models);
        if (method4 || round >= settings.rounds) break;
        std::vector<uint32_t> blocks =
            SplitIntoBlocks(parsed.data(), parsed.size(), settings.cellItems);
        blockStart.clear();
        models.resize(blocks.size());
        uint32_t position = 0;
        const LzItem* item = parsed.data();
        for (size_t b = 0; b < blocks.size(); b++) {
            blockStart.push_back(position);
            histogram.Clear();
            for (uint32_t k = 0; k < blocks[b]; k++, item++) {
                histogram.Add(*item);
                position += ItemSize(*item);
            }
            EntropyCosts(histogram, &models[b]);
        }
    }
    items->insert(items->end(), parsed.begin(), parsed.end());
}
