// lzma_decoder.cpp: decodes a raw LZMA1 stream into a circular dictionary
// and hands its bytes out to the archive reader.
//
// The stream is a range code: every bit is decoded with a probability that
// adapts to the bits seen in its context. A symbol is a literal byte, a
// match (length, then distance) or a repeated match at one of the four
// latest distances; a 12-state machine remembers the kinds of the latest
// symbols. Decoding runs ahead of the reader by at most a step, and never
// past the block's length: the end marker that follows is not read.
#include "arj/lzma_decoder.h"

#include "arj/extraction.h"

#include <stdlib.h>
#include <string.h>

enum {
    States = 12,
    LiteralStates = 7, // states below this follow a literal
    PositionStates = 4,
    LiteralContextBits = 3,
    LengthStates = 4,
    SlotBits = 6,
    AlignBits = 4,
    EndSlot = 14, // slots from here send their low bits apart
    FullDistances = 128,
    LowLengthBits = 3,
    HighLengthBits = 8,
    MinLzmaMatch = 2,
    ProbabilityBits = 11,
    MoveBits = 5,
    RangeTop = 1 << 24,
    LzmaInputSize = 16384,
    DecodeStep = 1 << 18, // decoded ahead of the reader at most
};

// Each is the probability, in 2^11ths, that the next bit in its context is 0.
typedef uint16_t Probability;

struct LengthModel {
    Probability choice, choice2; // beyond the low lengths, beyond the middle ones
    Probability low[PositionStates][1 << LowLengthBits];
    Probability middle[PositionStates][1 << LowLengthBits];
    Probability high[1 << HighLengthBits];
};

// Bit trees, as DecodeTree reads them.
struct LzmaModel {
    Probability isMatch[States][PositionStates];
    Probability isRep[States];
    Probability isRep0[States]; // 0: the latest distance
    Probability isRep1[States];
    Probability isRep2[States];
    Probability isLongRep0[States][PositionStates]; // 0: one byte at the latest distance
    Probability slot[LengthStates][1 << SlotBits];
    Probability special[1 + FullDistances - EndSlot]; // reverse trees of slots 4 to 13, from 1
    Probability align[1 << AlignBits];
    LengthModel matchLength, repLength;
    // By the top bits of the byte before.
    Probability literal[1 << LiteralContextBits][0x300];
};

struct LzmaDecoder {
    Extraction* x;
    uint32_t range, code;
    const unsigned char* next; // compressed bytes at hand
    const unsigned char* end;
    uint32_t inputLeft; // compressed bytes of the block not yet read
    unsigned char* dictionary;
    uint32_t size;      // of the dictionary
    uint32_t position;  // where the next byte is decoded
    uint32_t handedOut; // the bytes before it that the reader has
    uint32_t total;     // bytes decoded in the block
    uint32_t blockSize; // its decoded length
    uint32_t pending;   // bytes of the current match still to copy
    unsigned state;
    uint32_t rep[4]; // the latest distances, latest first; 0 is the byte before
    LzmaModel model;
    unsigned char input[LzmaInputSize];
};

static void FailData(LzmaDecoder* d) {
    FailExtraction(d->x, BadLzmaDataMessage);
}

static unsigned NextInputByte(LzmaDecoder* d) {
    if (d->next == d->end) {
        uint32_t want =
            d->inputLeft < (uint32_t)LzmaInputSize ? d->inputLeft : (uint32_t)LzmaInputSize;
        if (want == 0) FailData(d); // the stream needs bytes past its data
        if (fread(d->input, 1, want, d->x->archive) != want) FailRead(d->x);
        d->inputLeft -= want;
        d->next = d->input;
        d->end = d->input + want;
    }
    return *d->next++;
}

static void Normalize(LzmaDecoder* d) {
    if (d->range < RangeTop) {
        d->range <<= 8;
        d->code = d->code << 8 | NextInputByte(d);
    }
}

static unsigned DecodeBit(LzmaDecoder* d, Probability* p) {
    uint32_t bound = (d->range >> ProbabilityBits) * *p;
    unsigned bit = d->code >= bound;
    if (bit) {
        d->range -= bound;
        d->code -= bound;
        *p -= *p >> MoveBits;
    } else {
        d->range = bound;
        *p += ((1 << ProbabilityBits) - *p) >> MoveBits;
    }
    Normalize(d);
    return bit;
}

// Bits of probability one half, most significant first.
static uint32_t DecodeDirect(LzmaDecoder* d, int count) {
    uint32_t value = 0;
    while (count-- > 0) {
        d->range >>= 1;
        unsigned bit = d->code >= d->range;
        if (bit) d->code -= d->range;
        value = value << 1 | bit;
        Normalize(d);
    }
    return value;
}

// A number of bits down a tree whose node n (from 1) has its probability at
// tree[n] and children 2n and 2n + 1: most significant bit first, or least
// significant first when reverse.
static unsigned DecodeTree(LzmaDecoder* d, Probability* tree, int bits, int reverse = 0) {
    unsigned node = 1, value = 0;
    for (int i = 0; i < bits; i++) {
        unsigned bit = DecodeBit(d, tree + node);
        node = node << 1 | bit;
        value |= bit << i;
    }
    return reverse ? value : node - (1u << bits);
}

// A match length less 2: 0 to 7, 8 to 15, 16 to 271.
static unsigned DecodeLength(LzmaDecoder* d, LengthModel* m, unsigned posState) {
    if (!DecodeBit(d, &m->choice)) return DecodeTree(d, m->low[posState], LowLengthBits);
    if (!DecodeBit(d, &m->choice2)) return 8 + DecodeTree(d, m->middle[posState], LowLengthBits);
    return 16 + DecodeTree(d, m->high, HighLengthBits);
}

// A slot sends the position of the distance's top bit and the bit below
// it; the bits below those follow, from a tree in reverse or, for large
// distances, as direct bits and then four from the align tree.
static uint32_t DecodeDistance(LzmaDecoder* d, unsigned length) {
    unsigned lengthState = length < LengthStates - 1 ? length : LengthStates - 1;
    unsigned slot = DecodeTree(d, d->model.slot[lengthState], SlotBits);
    if (slot < 4) return slot;
    int lowBits = (int)(slot >> 1) - 1;
    uint32_t distance = (2 | (slot & 1)) << lowBits;
    if (slot < EndSlot)
        return distance + DecodeTree(d, d->model.special + distance - slot, lowBits, 1);
    distance += DecodeDirect(d, lowBits - AlignBits) << AlignBits;
    return distance + DecodeTree(d, d->model.align, AlignBits, 1);
}

// Where the bytes at the latest distance start.
static uint32_t MatchStart(const LzmaDecoder* d) {
    uint32_t from = d->position - d->rep[0] - 1;
    return d->position <= d->rep[0] ? from + d->size : from;
}

// Past a match, the byte at the latest distance predicts the literal:
// while their bits agree, each bit has the context of the matching bit too,
// 0x100 or 0x200 further on.
static unsigned char DecodeLiteral(LzmaDecoder* d, unsigned previous, int matched) {
    Probability* probs = d->model.literal[previous >> (8 - LiteralContextBits)];
    unsigned symbol = 1, matchByte = 0, agree = matched ? 0x100 : 0;
    if (matched) matchByte = d->dictionary[MatchStart(d)];
    do {
        matchByte <<= 1;
        unsigned matchBit = matchByte & agree;
        unsigned bit = DecodeBit(d, probs + agree + matchBit + symbol);
        symbol = symbol << 1 | bit;
        agree &= bit ? matchBit : ~matchBit;
    } while (symbol < 0x100);
    return (unsigned char)symbol;
}

// Copies what it can of the current match before limit.
static void CopyPending(LzmaDecoder* d, uint32_t limit) {
    uint32_t position = d->position, size = d->size;
    uint32_t count = limit - position < d->pending ? limit - position : d->pending;
    uint32_t from = MatchStart(d);
    d->pending -= count;
    d->total += count;
    d->position = position + count;
    unsigned char* dictionary = d->dictionary;
    while (count-- > 0) {
        dictionary[position++] = dictionary[from++];
        if (from == size) from = 0;
    }
}

// Decodes symbols until the dictionary's position reaches limit.
static void DecodeUntil(LzmaDecoder* d, uint32_t limit) {
    LzmaModel* m = &d->model;
    while (d->position < limit) {
        if (d->pending > 0) {
            CopyPending(d, limit);
            continue;
        }
        unsigned state = d->state, posState = d->total & (PositionStates - 1);
        if (!DecodeBit(d, &m->isMatch[state][posState])) {
            unsigned previous = 0;
            if (d->total > 0) previous = d->dictionary[(d->position ? d->position : d->size) - 1];
            d->dictionary[d->position] = DecodeLiteral(d, previous, state >= LiteralStates);
            d->position++;
            d->total++;
            d->state = state < 4 ? 0 : state < 10 ? state - 3 : state - 6;
            continue;
        }
        unsigned length = 0, latest = 3; // the distance that moves to the front
        uint32_t distance;
        if (!DecodeBit(d, &m->isRep[state])) {
            length = DecodeLength(d, &m->matchLength, posState);
            distance = DecodeDistance(d, length);
            d->state = state < LiteralStates ? 7 : 10;
        } else {
            if (!DecodeBit(d, &m->isRep0[state]))
                latest = 0;
            else if (!DecodeBit(d, &m->isRep1[state]))
                latest = 1;
            else
                latest = 2 + DecodeBit(d, &m->isRep2[state]);
            distance = d->rep[latest];
            if (latest == 0 && !DecodeBit(d, &m->isLongRep0[state][posState])) {
                length = (unsigned)-1; // a single byte
                d->state = state < LiteralStates ? 9 : 11;
            } else {
                length = DecodeLength(d, &m->repLength, posState);
                d->state = state < LiteralStates ? 8 : 11;
            }
        }
        for (; latest > 0; latest--) d->rep[latest] = d->rep[latest - 1];
        d->rep[0] = distance;
        // Only bytes of this block, and only as far back as the dictionary
        // reaches; the end marker's distance is never one of them.
        uint32_t filled = d->total < d->size ? d->total : d->size;
        if (distance >= filled) FailData(d);
        d->pending = length + MinLzmaMatch;
    }
}

void OpenLzmaBlock(Extraction* x) {
    LzmaDecoder* d = (LzmaDecoder*)AllocateOrFail(x, sizeof(LzmaDecoder));
    memset(d, 0, sizeof *d);
    x->lzma = d;
    d->x = x;
    d->inputLeft = x->remaining;
    x->remaining = 0;
    d->next = d->end = d->input;
    unsigned properties = NextInputByte(d);
    uint32_t size = 0;
    for (int i = 0; i < 4; i++) size |= (uint32_t)NextInputByte(d) << (8 * i);
    // The dictionary holds the whole block when that is smaller; never more
    // than 64 MB, whatever a block says.
    if (properties != LzmaProperties || size > MaxDictionarySize) FailData(d);
    d->blockSize = (uint32_t)x->entry.originalSize;
    if (size > d->blockSize) size = d->blockSize;
    if (size == 0) FailData(d);
    d->dictionary = (unsigned char*)AllocateOrFail(x, size);
    d->size = size;
    Probability* p = (Probability*)&d->model;
    for (size_t i = 0; i < sizeof d->model / sizeof *p; i++) p[i] = 1 << (ProbabilityBits - 1);
    d->range = 0xFFFFFFFFu;
    // The encoder's first byte is always 0.
    if (NextInputByte(d) != 0) FailData(d);
    for (int i = 0; i < 4; i++) d->code = d->code << 8 | NextInputByte(d);
}

void ReadLzmaBlock(Extraction* x, unsigned char* buffer, size_t count) {
    LzmaDecoder* d = x->lzma;
    while (count > 0) {
        if (d->handedOut == d->position) {
            if (d->position == d->size) d->position = d->handedOut = 0;
            uint32_t want = d->size - d->position, left = d->blockSize - d->total;
            if (want > left) want = left;
            if (want > DecodeStep) want = DecodeStep;
            if (want == 0) FailData(d); // the reader wants more than the block holds
            DecodeUntil(d, d->position + want);
        }
        uint32_t take = d->position - d->handedOut;
        if (take > count) take = (uint32_t)count;
        if (buffer) {
            memcpy(buffer, d->dictionary + d->handedOut, take);
            buffer += take;
        }
        d->handedOut += take;
        count -= take;
    }
}

void CloseLzmaBlock(Extraction* x) {
    LzmaDecoder* d = x->lzma;
    if (!d) return;
    x->remaining = d->inputLeft;
    free(d->dictionary);
    free(d);
    x->lzma = 0;
}
