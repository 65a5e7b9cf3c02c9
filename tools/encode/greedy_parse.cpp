// greedy_parse.cpp: greedy parsing with one step of look-ahead.
//
// A match found at a position waits for the next position's search: if that
// finds a longer one that saves clearly more bits, the first position goes
// out as a literal and the new match waits in turn.
#include "tools/encode/greedy_parse.h"

namespace {

// A 3-byte match from farther away costs more bits than its three literals.
const uint32_t FarDistance = 4096;

// Roughly the bits that a match saves: 8 per byte, less its offset's bits.
// The match after a literal must save more than this besides.
const int LazyBias = 4;
inline int Gain(int length, uint32_t distance) {
    return 8 * length - (32 - __builtin_clz(distance));
}

struct GreedyParser {
    const InputWindow& window;
    const GreedySettings& settings;
    MatchChain* chain;
    std::vector<LzItem>* items;

    // The longest match at position worth taking, of more than atLeast bytes.
    int Longest(uint32_t position, int atLeast, uint32_t* distance) {
        int limit = window.Limit(position);
        if (limit < MinMatchLength) return 0;
        // A match waiting that is already long gets a shorter search.
        int links = atLeast >= settings.lazyLimit / 2 ? settings.chain / 4 : settings.chain;
        int length = chain->Longest(window.At(position), position, limit, atLeast, links,
                                    settings.niceLength, distance);
        return length == MinMatchLength && *distance > FarDistance ? 0 : length;
    }

    void Insert(uint32_t from, uint32_t to) {
        uint32_t last = window.End() - (MinMatchLength - 1);
        for (uint32_t p = from; p < to && p < last; p++) chain->Insert(window.At(p), p);
    }

    // Puts out a match at position whose bytes from insertFrom on are not
    // in the chain yet; gives the position behind it.
    uint32_t TakeMatch(uint32_t position, int length, uint32_t distance, uint32_t insertFrom) {
        items->push_back(Match(length, distance));
        Insert(insertFrom, position + length);
        return position + length;
    }

    uint32_t Parse(uint32_t end) {
        uint32_t position = window.Start();
        bool waiting = false;  // whether position - 1 waits for its item
        int waitingLength = 0; // the match found there, if any
        uint32_t waitingDistance = 0;
        while (position < end) {
            uint32_t distance = 0;
            int length = waitingLength < settings.lazyLimit
                             ? Longest(position, waitingLength, &distance)
                             : 0;
            Insert(position, position + 1);
            if (waiting && waitingLength >= MinMatchLength &&
                (length < MinMatchLength ||
                 Gain(length, distance) <= Gain(waitingLength, waitingDistance) + LazyBias)) {
                position = TakeMatch(position - 1, waitingLength, waitingDistance, position + 1);
                waiting = false;
                waitingLength = 0;
                continue;
            }
            if (waiting) items->push_back(Literal(window.At(position - 1)[0]));
            if (length >= settings.lazyLimit) {
                position = TakeMatch(position, length, distance, position + 1);
                waiting = false;
                waitingLength = 0;
                continue;
            }
            waiting = true;
            waitingLength = length;
            waitingDistance = distance;
            position++;
        }
        if (!waiting) return position;
        if (waitingLength >= MinMatchLength)
            return TakeMatch(position - 1, waitingLength, waitingDistance, position);
        items->push_back(Literal(window.At(position - 1)[0]));
        return position;
    }
};

} // namespace

uint32_t ParseGreedily(const InputWindow& window, uint32_t end, const GreedySettings& settings,
                       MatchChain* chain, std::vector<LzItem>* items) {
    return GreedyParser{window, settings, chain, items}.Parse(end);
}
