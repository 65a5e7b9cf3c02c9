// optimal_parse.h: the cheapest items for a run of bytes under the codes
// that the items themselves will get.
#pragma once

#include "tools/encode/block_code.h"
#include "tools/encode/input_window.h"
#include "tools/encode/lz_item.h"
#include "tools/encode/match_finder.h"

#include <stdint.h>

#include <vector>

struct OptimalSettings {
    int rounds;     // parses, each priced by the codes of the one before
    int depth;      // tree nodes looked at per position
    int niceLength; // a match this long is taken without looking inside it
    int cellItems;  // the grain of the block cuts that price a round
};

// What items cost in one block, in sixteenths of a bit.
struct CostModel {
    uint32_t literal[256];
    uint32_t length[MaxMatchLength + 1];  // by match length
    uint32_t offsetSymbol[OffsetSymbols]; // extra bits included; method 4: by number of 1 bits
    bool method4 = false;

    uint32_t OffsetCost(uint32_t offset) const;
};

class OptimalParser {
  public:
    // method 1 or 4.
    explicit OptimalParser(int method);
    void Reset(); // for a new entry

    // Parses the n bytes from the window's start (the window must hold a
    // whole match behind them, or the entry's end); appends the items.
    void Parse(const InputWindow& window, uint32_t n, const OptimalSettings& settings,
               std::vector<LzItem>* items);

    // The matches of every position of the range parsed.
    struct RangeMatches {
        std::vector<uint32_t> first; // position i: list[first[i]] to list[first[i + 1]]
        std::vector<MatchCandidate> list;
    };

  private:
    void FindMatches(const InputWindow& window, uint32_t n, const OptimalSettings& settings);
    void ShortestPath(const uint8_t* bytes, uint32_t n, const std::vector<uint32_t>& blockStart,
                      const std::vector<CostModel>& models);

    bool method4;
    MatchTree tree;
    RangeMatches matches;
    std::vector<uint32_t> cost;
    std::vector<LzItem> reach; // the item by which the cheapest path reaches each position
    std::vector<LzItem> parsed;
    BlockHistogram histogram;
};
