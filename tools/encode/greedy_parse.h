// greedy_parse.h: fast parsing: at each position the longest match found
// on a hash chain, unless the next position has a longer one.
#pragma once

#include "tools/encode/input_window.h"
#include "tools/encode/lz_item.h"
#include "tools/encode/match_finder.h"

#include <stdint.h>

#include <vector>

struct GreedySettings {
    int chain;      // links looked at per position
    int niceLength; // a match this long ends the search
    int lazyLimit;  // a match this long is taken without looking at the next position
};

// Parses from the window's start to at least end, and on to the end of a
// match that reaches past it; appends the items and gives where they end.
// Every position parsed goes into the chain.
uint32_t ParseGreedily(const InputWindow& window, uint32_t end, const GreedySettings& settings,
                       MatchChain* chain, std::vector<LzItem>* items);
