// block_code.cpp: designs and writes blocks of methods 1 to 3.
//
// A block sends its item count, then the pre-code, the literal/length lengths
// through the pre-code, the offset code, and its items. The literal/length
// lengths are most of the header: runs of zero lengths can go as single
// zeros or as short and long runs, and which is cheapest depends on the
// pre-code, which in turn is built from the choice. A few rounds of choosing
// the runs by the last pre-code's costs and rebuilding it settle that.
//
// The lengths that give the items fewest bits are not always the cheapest
// in all: a rare symbol's length costs header bits as well, less where many
// symbols share it. So flatter codes are tried too, and lengths are moved
// where the header's prices for them outweigh the items' bits.
#include "tools/encode/block_code.h"

#include "tools/encode/prefix_code.h"

#include <string.h>

#include <algorithm>

namespace {

enum {
    TokenSymbolBits = 5,
    PreCodeRounds = 3,
    MaxShortZeroRun = ShortZeroRunMin + (1 << ShortZeroRunBits) - 1,
    MaxLongZeroRun = LongZeroRunMin + (1 << LongZeroRunBits) - 1,
    UnusedPreSymbolBits = 8, // a guess for symbols the last pre-code did not have
    Flattenings = 3,         // literal/length codes tried: frequencies + 0, 1, 2
    RebalanceRounds = 3,     // of moving literal/length lengths by the pre-code's prices
};
const uint64_t Unreachable = ~(uint64_t)0 >> 2;

uint64_t SmallLengthCost(int length) {
    return length < SmallLengthEscape ? (uint64_t)SmallLengthBits
                                      : (uint64_t)length - SmallLengthBits;
}

void PutSmallLength(int length, BitOutput* out) {
    if (length < SmallLengthEscape) {
        out->Put(length, SmallLengthBits);
    } else {
        // 111, a 1 for each step beyond 7, then a 0.
        int ones = length - SmallLengthEscape;
        out->Put(7, 3);
        out->Put(((1u << ones) - 1) << 1, ones + 1);
    }
}

uint64_t CodeBits(const uint32_t* frequencies, int count, const SentCode& code) {
    uint64_t bits = 0;
    for (int s = 0; s < count; s++) bits += (uint64_t)frequencies[s] * code.lengths[s];
    return bits;
}

// Builds a code of at most 16 bits for the frequencies, each used one raised
// by flatten; gives the bits that its symbols take.
uint64_t BuildCode(const uint32_t* frequencies, int count, SentCode* code, uint32_t flatten = 0) {
    uint32_t raised[LiteralLengthSymbols];
    for (int s = 0; s < count; s++) raised[s] = frequencies[s] ? frequencies[s] + flatten : 0;
    int used = LimitedCodeLengths(raised, count, MaxCodeLength, code->lengths);
    memset(code->codes, 0, sizeof code->codes);
    code->single = -1;
    if (used < 2) {
        code->single = 0;
        for (int s = 0; s < count; s++)
            if (frequencies[s]) code->single = s;
        return 0;
    }
    CanonicalCodes(code->lengths, count, code->codes);
    return CodeBits(frequencies, count, *code);
}

// Moves a code's lengths where lengthCost outweighs the symbols' bits; gives
// the bits that its symbols take.
uint64_t Rebalance(const uint32_t* frequencies, int count, const uint64_t* lengthCost,
                   SentCode* code) {
    if (code->single < 0 && RebalanceLengths(frequencies, count, lengthCost, code->lengths))
        CanonicalCodes(code->lengths, count, code->codes);
    return CodeBits(frequencies, count, *code);
}

// What a length of the pre-code or the offset code costs in the header.
const uint64_t* SmallLengthCosts() {
    static const struct Table {
        uint64_t cost[MaxCodeLength + 1];
        Table() {
            for (int l = 0; l <= MaxCodeLength; l++) cost[l] = SmallLengthCost(l);
        }
    } table;
    return table.cost;
}

// Codes after the last used one are not sent.
int SentCount(const uint8_t* lengths, int count) {
    while (count > 0 && lengths[count - 1] == 0) count--;
    return count;
}

// Bits of a small code's lengths, or of its single value, behind its count.
uint64_t SmallCodeHeaderBits(const SentCode& code, int count, int zeroRunAfter) {
    if (code.single >= 0) return 2 * SmallCountBits;
    int n = SentCount(code.lengths, count);
    uint64_t bits = SmallCountBits;
    for (int i = 0; i < n; i++) {
        bits += SmallLengthCost(code.lengths[i]);
        if (i + 1 == zeroRunAfter) {
            bits += PreCodeZeroRunBits;
            for (int z = 0; z < 3 && i + 1 < n && code.lengths[i + 1] == 0; z++) i++;
        }
    }
    return bits;
}

void PutSmallCode(const SentCode& code, int count, int zeroRunAfter, BitOutput* out) {
    if (code.single >= 0) {
        out->Put(0, SmallCountBits);
        out->Put(code.single, SmallCountBits);
        return;
    }
    int n = SentCount(code.lengths, count);
    out->Put(n, SmallCountBits);
    for (int i = 0; i < n; i++) {
        PutSmallLength(code.lengths[i], out);
        if (i + 1 == zeroRunAfter) {
            int zeros = 0;
            while (zeros < 3 && i + 1 < n && code.lengths[i + 1] == 0) zeros++, i++;
            out->Put(zeros, PreCodeZeroRunBits);
        }
    }
}

uint16_t Token(int symbol, int field) {
    return (uint16_t)(symbol | field << TokenSymbolBits);
}

int TokenSymbol(uint16_t token) {
    return token & ((1 << TokenSymbolBits) - 1);
}

// What sending pre-code symbol s costs by the pre-code of a past round; a
// symbol that it lacks would have to join it.
uint64_t PreSymbolCost(const SentCode& pre, int s) {
    uint64_t unused = UnusedPreSymbolBits;
    if (pre.single >= 0) return s == pre.single ? 0 : unused;
    return pre.lengths[s] ? pre.lengths[s] : unused;
}

// The cheapest tokens for the literal/length lengths when pre-code symbol s
// costs cost[s] bits; gives their bits. Runs of zeros are split by a small
// shortest-path search over their sizes.
uint64_t ChooseTokens(const uint8_t* lengths, int n, const uint64_t* cost,
                      std::vector<uint16_t>* tokens) {
    int longest = 0;
    for (int i = 0, run = 0; i < n; i++) {
        run = lengths[i] ? 0 : run + 1;
        longest = std::max(longest, run);
    }
    // best[r]: the bits of a run of r zeros; last[r] the token that ends it.
    std::vector<uint64_t> best(longest + 1, Unreachable);
    std::vector<uint16_t> last(longest + 1, 0);
    best[0] = 0;
    uint64_t shortRun = cost[ShortZeroRunSymbol] + ShortZeroRunBits;
    uint64_t longRun = cost[LongZeroRunSymbol] + LongZeroRunBits;
    static_assert((int)MaxLongZeroRun >= (int)LiteralLengthSymbols, "a long run covers any run");
    int longFrom = 0;
    for (int r = 1; r <= longest; r++) {
        best[r] = best[r - 1] + cost[ZeroLengthSymbol];
        last[r] = Token(ZeroLengthSymbol, 0);
        for (int k = ShortZeroRunMin; k <= std::min(r, (int)MaxShortZeroRun); k++)
            if (best[r - k] + shortRun < best[r]) {
                best[r] = best[r - k] + shortRun;
                last[r] = Token(ShortZeroRunSymbol, k - ShortZeroRunMin);
            }
        // A long run costs the same for any size, so it follows the cheapest
        // shorter run it can.
        if (r >= LongZeroRunMin) {
            if (best[r - LongZeroRunMin] < best[longFrom]) longFrom = r - LongZeroRunMin;
            if (best[longFrom] + longRun < best[r]) {
                best[r] = best[longFrom] + longRun;
                last[r] = Token(LongZeroRunSymbol, r - longFrom - LongZeroRunMin);
            }
        }
    }

    tokens->clear();
    uint64_t bits = 0;
    std::vector<uint16_t> run;
    for (int i = 0; i < n;) {
        if (lengths[i]) {
            int symbol = lengths[i] + FirstLengthSymbol - 1;
            tokens->push_back(Token(symbol, 0));
            bits += cost[symbol];
            i++;
            continue;
        }
        int r = 0;
        while (i + r < n && lengths[i + r] == 0) r++;
        bits += best[r];
        run.clear();
        for (int left = r; left > 0;) {
            uint16_t token = last[left];
            int symbol = TokenSymbol(token), field = token >> TokenSymbolBits;
            run.push_back(token);
            left -= symbol == ZeroLengthSymbol     ? 1
                    : symbol == ShortZeroRunSymbol ? field + ShortZeroRunMin
                                                   : field + LongZeroRunMin;
        }
        tokens->insert(tokens->end(), run.rbegin(), run.rend());
        i += r;
    }
    return bits;
}

// The literal/length lengths and the pre-code that sends them; gives the
// bits of both (without the 9-bit count).
uint64_t DesignLengthTokens(BlockCode* code) {
    const uint8_t* lengths = code->literalLength.lengths;
    int n = SentCount(lengths, LiteralLengthSymbols);
    uint64_t cost[PreCodeSymbols];
    std::fill(cost, cost + PreCodeSymbols, (uint64_t)4);
    uint64_t bestBits = Unreachable;
    std::vector<uint16_t> tokens;
    SentCode preCode;
    for (int round = 0; round < PreCodeRounds; round++) {
        ChooseTokens(lengths, n, cost, &tokens);
        uint32_t frequencies[PreCodeSymbols] = {0};
        for (uint16_t token : tokens) frequencies[TokenSymbol(token)]++;
        BuildCode(frequencies, PreCodeSymbols, &preCode);
        uint64_t bits = Rebalance(frequencies, PreCodeSymbols, SmallLengthCosts(), &preCode);
        for (uint16_t token : tokens) {
            int symbol = TokenSymbol(token);
            bits += symbol == ShortZeroRunSymbol  ? ShortZeroRunBits
                    : symbol == LongZeroRunSymbol ? LongZeroRunBits
                                                  : 0;
        }
        bits += SmallCodeHeaderBits(preCode, PreCodeSymbols, PreCodeZeroRunAfter);
        if (bits < bestBits) {
            bestBits = bits;
            code->preCode = preCode;
            code->lengthTokens = tokens;
        }
        for (int s = 0; s < PreCodeSymbols; s++) cost[s] = PreSymbolCost(preCode, s);
    }
    return bestBits;
}

} // namespace

void BlockHistogram::Clear() {
    memset(this, 0, sizeof *this);
}

void BlockHistogram::Add(const LzItem& item) {
    literalLength[LiteralLengthSymbol(item)]++;
    items++;
    if (item.length == 0) return;
    int symbol = OffsetSymbol(item.value);
    offset[symbol]++;
    extraBits += OffsetExtraBits(symbol);
}

void BlockHistogram::Add(const BlockHistogram& other) {
    for (int s = 0; s < LiteralLengthSymbols; s++) literalLength[s] += other.literalLength[s];
    for (int s = 0; s < OffsetSymbols; s++) offset[s] += other.offset[s];
    extraBits += other.extraBits;
    items += other.items;
}

// The literal/length code and how its lengths are sent, of fewest bits in
// all; gives those bits (without the 9-bit count).
uint64_t DesignLiteralCode(const uint32_t* frequencies, BlockCode* code, bool thorough) {
    if (!thorough) {
        return BuildCode(frequencies, LiteralLengthSymbols, &code->literalLength) +
               DesignLengthTokens(code);
    }
    uint64_t best = ~(uint64_t)0;
    BlockCode trial;
    for (uint32_t flatten = 0; flatten < Flattenings; flatten++) {
        BuildCode(frequencies, LiteralLengthSymbols, &trial.literalLength, flatten);
        for (int round = 0;; round++) {
            uint64_t bits = CodeBits(frequencies, LiteralLengthSymbols, trial.literalLength) +
                            DesignLengthTokens(&trial);
            if (bits < best) {
                best = bits;
                code->literalLength = trial.literalLength;
                code->preCode = trial.preCode;
                code->lengthTokens = trial.lengthTokens;
            } else if (round > 0) {
                break;
            }
            if (round == RebalanceRounds) break;
            // Priced by the pre-code that sends these lengths.
            uint64_t cost[MaxCodeLength + 1];
            for (int l = 1; l <= MaxCodeLength; l++)
                cost[l] = PreSymbolCost(trial.preCode, l + FirstLengthSymbol - 1);
            if (!RebalanceLengths(frequencies, LiteralLengthSymbols, cost,
                                  trial.literalLength.lengths))
                break;
            CanonicalCodes(trial.literalLength.lengths, LiteralLengthSymbols,
                           trial.literalLength.codes);
        }
    }
    return best;
}

uint64_t DesignBlockCode(const BlockHistogram& histogram, BlockCode* code, bool thorough) {
    BuildCode(histogram.offset, OffsetSymbols, &code->offset);
    uint64_t offsetBits =
        Rebalance(histogram.offset, OffsetSymbols, SmallLengthCosts(), &code->offset);
    code->headerBits = BlockSizeBits + SmallCodeHeaderBits(code->offset, OffsetSymbols, -1);
    code->itemBits = offsetBits + histogram.extraBits;

    uint64_t literalBits =
        BuildCode(histogram.literalLength, LiteralLengthSymbols, &code->literalLength);
    if (code->literalLength.single >= 0) {
        // The pre-code is still sent, though nothing reads it.
        code->preCode.single = 0;
        code->lengthTokens.clear();
        code->headerBits += 2 * SmallCountBits + 2 * LiteralCountBits;
        code->itemBits += literalBits;
    } else {
        uint64_t bits = DesignLiteralCode(histogram.literalLength, code, thorough);
        literalBits = CodeBits(histogram.literalLength, LiteralLengthSymbols, code->literalLength);
        code->itemBits += literalBits;
        code->headerBits += LiteralCountBits + bits - literalBits;
    }
    return code->headerBits + code->itemBits;
}

void WriteBlock(const LzItem* items, size_t count, const BlockCode& code, BitOutput* out) {
    out->Put((uint32_t)count, BlockSizeBits);
    PutSmallCode(code.preCode, PreCodeSymbols, PreCodeZeroRunAfter, out);
    const SentCode& literal = code.literalLength;
    if (literal.single >= 0) {
        out->Put(0, LiteralCountBits);
        out->Put(literal.single, LiteralCountBits);
    } else {
        out->Put(SentCount(literal.lengths, LiteralLengthSymbols), LiteralCountBits);
        const SentCode& pre = code.preCode;
        for (uint16_t token : code.lengthTokens) {
            int symbol = TokenSymbol(token), field = token >> TokenSymbolBits;
            if (pre.single < 0) out->Put(pre.codes[symbol], pre.lengths[symbol]);
            if (symbol == ShortZeroRunSymbol) out->Put(field, ShortZeroRunBits);
            if (symbol == LongZeroRunSymbol) out->Put(field, LongZeroRunBits);
        }
    }
    PutSmallCode(code.offset, OffsetSymbols, -1, out);

    const SentCode& offset = code.offset;
    for (size_t i = 0; i < count; i++) {
        const LzItem& item = items[i];
        int symbol = LiteralLengthSymbol(item);
        out->Put(literal.codes[symbol], literal.lengths[symbol]);
        if (item.length == 0) continue;
        int offsetSymbol = OffsetSymbol(item.value);
        out->Put(offset.codes[offsetSymbol], offset.lengths[offsetSymbol]);
        int extra = OffsetExtraBits(offsetSymbol);
        out->Put(item.value - (1u << extra), extra);
    }
}
