// match_finder.cpp: binary trees and hash chains over the window.
#include "tools/encode/match_finder.h"

#include "arj/arj_format.h"

#include <string.h>

namespace {

// Slots are taken modulo a power of two above the window, so that no two
// positions of the window share one.
const uint32_t SlotCount = 1 << 15;
static_assert(SlotCount > WindowSize, "a slot for every position of the window");

const int LiteralWorth = 8; // bits that a byte coded as part of a match saves, about

inline uint32_t Slot(uint32_t position) {
    return position & (SlotCount - 1);
}

inline uint32_t Hash3(const uint8_t* p) {
    uint32_t value = p[0] | p[1] << 8 | p[2] << 16;
    return (value * 2654435761u) >> (32 - MatchHashBits);
}

inline uint64_t Load64(const uint8_t* p) {
    uint64_t value;
    memcpy(&value, p, sizeof value);
    return value;
}

// The number of equal bytes of a and b from start on, at most limit. Reads up
// to ComparePadding bytes past the limit.
inline int CommonLength(const uint8_t* a, const uint8_t* b, int start, int limit) {
    int length = start;
    while (length < limit) {
        uint64_t difference = Load64(a + length) ^ Load64(b + length);
        if (difference) {
            // The first byte in memory is the lowest of the word, or the highest.
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
            length += __builtin_clzll(difference) / 8;
#else
            length += __builtin_ctzll(difference) / 8;
#endif
            return length < limit ? length : limit;
        }
        length += 8;
    }
    return limit;
}

} // namespace

MatchTree::MatchTree(uint32_t window)
    : window(window), head(1 << MatchHashBits), children(2 * SlotCount) {}

void MatchTree::Reset() {
    memset(head.data(), 0, head.size() * sizeof head[0]);
}

// The walk splits the old tree into the suffixes smaller than the new one,
// which become its left subtree, and the greater ones, its right subtree.
// smaller points at where the next smaller suffix met is to hang: the new
// node's left link at first, then the greater link of the last smaller
// suffix hung there (everything met later lies between them). Any suffix
// still ahead shares with the new one at least the shorter of the prefixes
// that the last smaller and the last greater suffix shared with it, so the
// comparison starts behind that.
template <bool Report>
int MatchTree::Walk(const uint8_t* cur, uint32_t pos, int limit, int maxDepth,
                    MatchCandidate* out) {
    uint32_t& root = head[Hash3(cur)];
    uint32_t candidate = root;
    root = pos;
    uint32_t* smaller = &children[2 * Slot(pos)];
    uint32_t* greater = smaller + 1;
    int smallerLength = 0, greaterLength = 0, best = MinMatchLength - 1, found = 0;
    for (int depth = maxDepth;; depth--) {
        uint32_t distance = pos - candidate;
        if (distance > window || depth == 0) {
            *smaller = *greater = 0;
            return found;
        }
        const uint8_t* other = cur - distance;
        int length = CommonLength(
            cur, other, smallerLength < greaterLength ? smallerLength : greaterLength, limit);
        if (length > best) {
            best = length;
            if (Report) out[found++] = MatchCandidate{(uint16_t)length, (uint16_t)distance};
        }
        uint32_t* links = &children[2 * Slot(candidate)];
        if (length == limit) {
            // As good as the new suffix can tell: it takes the old one's place.
            *smaller = links[0];
            *greater = links[1];
            return found;
        }
        if (other[length] < cur[length]) {
            *smaller = candidate;
            smaller = &links[1];
            candidate = links[1];
            smallerLength = length;
        } else {
            *greater = candidate;
            greater = &links[0];
            candidate = links[0];
            greaterLength = length;
        }
    }
}

int MatchTree::Find(const uint8_t* cur, uint32_t pos, int limit, int maxDepth,
                    MatchCandidate* out) {
    return Walk<true>(cur, pos, limit, maxDepth, out);
}

void MatchTree::Insert(const uint8_t* cur, uint32_t pos, int limit, int maxDepth) {
    Walk<false>(cur, pos, limit, maxDepth, nullptr);
}

MatchChain::MatchChain(uint32_t window)
    : window(window), head(1 << MatchHashBits), previous(SlotCount) {}

void MatchChain::Reset() {
    memset(head.data(), 0, head.size() * sizeof head[0]);
}

void MatchChain::Insert(const uint8_t* cur, uint32_t pos) {
    uint32_t& first = head[Hash3(cur)];
    previous[Slot(pos)] = first;
    first = pos;
}

int MatchChain::Longest(const uint8_t* cur, uint32_t pos, int limit, int atLeast, int maxChain,
                        int niceLength, uint32_t* distance) const {
    int best = atLeast < MinMatchLength - 1 ? MinMatchLength - 1 : atLeast;
    if (best >= limit) return 0;
    int found = 0;
    for (uint32_t candidate = head[Hash3(cur)]; maxChain-- > 0;
         candidate = previous[Slot(candidate)]) {
        uint32_t d = pos - candidate;
        if (d > window) break;
        const uint8_t* other = cur - d;
        // The byte that would make it longer decides most candidates at once.
        if (other[best] != cur[best]) continue;
        int length = CommonLength(cur, other, 0, limit);
        if (length > best) {
            // A longer match from farther away pays more offset bits.
            if (found && LiteralWorth * (length - found) <=
                             (32 - __builtin_clz(d)) - (32 - __builtin_clz(*distance)))
                continue;
            best = found = length;
            *distance = d;
            if (length >= niceLength || length == limit) break;
        }
    }
    return found;
}
