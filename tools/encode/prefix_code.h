// prefix_code.h: canonical prefix codes as the decoders build them, from
// symbol frequencies.
#pragma once

#include <stdint.h>

// Code lengths of at most maxLength bits that give the fewest bits for these
// frequencies; unused symbols get 0. With fewer than two used symbols every
// length is 0 (such a code is sent as a single value). Gives the number of
// used symbols. count must be at most 2^maxLength.
int LimitedCodeLengths(const uint32_t* frequencies, int count, int maxLength, uint8_t* lengths);

// Changes complete code lengths (of at most MaxCodeLength bits) where the
// bits that sending each length costs, lengthCost[l] for a length l, outweigh
// what the frequencies gain; the code stays complete and every used symbol
// keeps a code. Gives whether a length changed.
bool RebalanceLengths(const uint32_t* frequencies, int count, const uint64_t* lengthCost,
                      uint8_t* lengths);

// The canonical codes of the lengths: the codes of each length follow those of
// the shorter ones, in increasing symbol order.
void CanonicalCodes(const uint8_t* lengths, int count, uint16_t* codes);
