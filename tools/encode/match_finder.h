// match_finder.h: finds where the bytes ahead occurred before, within the
// window, for the encoders.
//
// Positions are absolute, counted from MatchOrigin for an entry's first byte,
// so that 0 (nothing yet) always lies outside the window. The bytes compared
// are those at cur and, for a candidate at distance d, at cur - d; the caller
// keeps the window's bytes in front of cur, and at least ComparePadding
// readable bytes behind the limit it gives.
#pragma once

#include <stdint.h>

#include <vector>

enum {
    MatchOrigin = 1 << 16,
    ComparePadding = 8, // matches are compared a word at a time
    MatchHashBits = 16,
};

struct MatchCandidate {
    uint16_t length;
    uint16_t distance; // 1 is the byte before
};

// All matches of each position, for the optimal parser: binary search trees
// of the window's suffixes in lexicographic order, one per hash of their
// first 3 bytes, each rooted at its newest suffix. Inserting a position walks
// the tree from its root and meets every match longer than the ones before
// it, so the walk that inserts also finds.
class MatchTree {
  public:
    explicit MatchTree(uint32_t window);
    void Reset();

    // Inserts pos (the bytes at cur; limit of them may be compared, at least
    // MinMatchLength) and writes its matches to out, longer ones behind
    // shorter ones, each at the nearest distance seen; gives their count
    // (at most MaxMatchLength - MinMatchLength + 1). maxDepth bounds the walk.
    int Find(const uint8_t* cur, uint32_t pos, int limit, int maxDepth, MatchCandidate* out);

    // Inserts pos without reporting matches.
    void Insert(const uint8_t* cur, uint32_t pos, int limit, int maxDepth);

  private:
    template <bool Report>
    int Walk(const uint8_t* cur, uint32_t pos, int limit, int maxDepth, MatchCandidate* out);
    uint32_t window;
    std::vector<uint32_t> head;     // newest position of each hash
    std::vector<uint32_t> children; // two per slot: smaller, greater suffix
};

// Hash chains, for the greedy parsers: each position links to the previous one
// with the same hash of 3 bytes.
class MatchChain {
  public:
    explicit MatchChain(uint32_t window);
    void Reset();

    // Inserts pos; its bytes at cur must have MinMatchLength bytes.
    void Insert(const uint8_t* cur, uint32_t pos);

    // The longest match of more than atLeast bytes (up to limit) among the
    // first maxChain links of the chain of cur, which must not contain pos
    // yet; stops at niceLength. Gives its length (0 when none) and distance.
    int Longest(const uint8_t* cur, uint32_t pos, int limit, int atLeast, int maxChain,
                int niceLength, uint32_t* distance) const;

  private:
    uint32_t window;
    std::vector<uint32_t> head;
    std::vector<uint32_t> previous;
};
