// prefix_code.cpp: optimal length-limited prefix codes by package-merge.
//
// Package-merge sees a code of at most L bits as a choice of "coins": each
// symbol has one coin for each length 1 to L, worth its frequency. Level L
// holds the symbols' coins in order of frequency; each level above merges the
// symbols' coins with packages, each the sum of two neighbours of the level
// below. Taking the 2n - 2 cheapest items of level 1, and then as many items
// of each level below as there were packages taken from it, gives every
// symbol a length equal to the number of levels at which its coin was taken.
// The lists are kept as leaf-or-package flags, since the taken items of every
// level are a prefix of it and only the leaves among them matter.
#include "tools/encode/prefix_code.h"

#include "arj/arj_format.h"

#include <algorithm>
#include <vector>

int LimitedCodeLengths(const uint32_t* frequencies, int count, int maxLength, uint8_t* lengths) {
    std::vector<int> symbols;
    for (int s = 0; s < count; s++) {
        lengths[s] = 0;
        if (frequencies[s]) symbols.push_back(s);
    }
    int n = (int)symbols.size();
    if (n < 2) return n;
    std::stable_sort(symbols.begin(), symbols.end(),
                     [&](int a, int b) { return frequencies[a] < frequencies[b]; });

    // No level needs more than the 2n - 2 items that level 1 takes.
    const size_t keep = 2 * (size_t)n - 2;
    std::vector<uint64_t> below, merged;
    std::vector<std::vector<uint8_t>> isPackage(maxLength + 1);
    for (int s : symbols) below.push_back(frequencies[s]);
    for (int level = maxLength - 1; level >= 1; level--) {
        merged.clear();
        std::vector<uint8_t>& flags = isPackage[level];
        flags.clear();
        size_t leaf = 0, pair = 0;
        while (merged.size() < keep && (leaf < (size_t)n || pair + 1 < below.size())) {
            bool havePackage = pair + 1 < below.size();
            uint64_t package = havePackage ? below[pair] + below[pair + 1] : 0;
            if (leaf < (size_t)n && (!havePackage || frequencies[symbols[leaf]] <= package)) {
                merged.push_back(frequencies[symbols[leaf++]]);
                flags.push_back(0);
            } else {
                merged.push_back(package);
                flags.push_back(1);
                pair += 2;
            }
        }
        below.swap(merged);
    }

    size_t taken = keep;
    for (int level = 1; level <= maxLength; level++) {
        size_t packages = 0;
        if (level < maxLength)
            for (size_t i = 0; i < taken; i++) packages += isPackage[level][i];
        size_t leaves = taken - packages;
        for (size_t i = 0; i < leaves; i++) lengths[symbols[i]]++;
        taken = 2 * packages;
    }
    return n;
}

// Lengths follow frequencies in a code of fewest bits, so only the number of
// symbols of each length matters: the most frequent take the shortest. A
// step splits a leaf of length l into two of l + 1 and joins two leaves of
// length k + 1 into one of k, which keeps the code complete; the best step
// is taken until none gains.
bool RebalanceLengths(const uint32_t* frequencies, int count, const uint64_t* lengthCost,
                      uint8_t* lengths) {
    std::vector<int> symbols;
    for (int s = 0; s < count; s++)
        if (lengths[s]) symbols.push_back(s);
    std::stable_sort(symbols.begin(), symbols.end(), [&](int a, int b) {
        return lengths[a] != lengths[b] ? lengths[a] < lengths[b] : frequencies[a] > frequencies[b];
    });
    std::vector<uint64_t> sum(symbols.size() + 1, 0); // frequencies of the first i symbols
    for (size_t i = 0; i < symbols.size(); i++) sum[i + 1] = sum[i] + frequencies[symbols[i]];
    int perLength[MaxCodeLength + 1] = {0};
    for (int s : symbols) perLength[lengths[s]]++;
    auto bits = [&]() {
        uint64_t total = 0;
        size_t first = 0;
        for (int l = 1; l <= MaxCodeLength; l++) {
            size_t end = first + perLength[l];
            total += l * (sum[end] - sum[first]) + perLength[l] * lengthCost[l];
            first = end;
        }
        return total;
    };
    uint64_t best = bits();
    bool changed = false;
    for (;;) {
        int split = 0, join = 0;
        for (int l = 1; l < MaxCodeLength; l++) {
            if (perLength[l] == 0) continue;
            for (int k = 1; k < MaxCodeLength; k++) {
                if (k == l) continue; // the same leaf again
                perLength[l]--, perLength[l + 1] += 2, perLength[k]++;
                if (perLength[k + 1] >= 2) {
                    perLength[k + 1] -= 2;
                    uint64_t total = bits();
                    if (total < best) best = total, split = l, join = k;
                    perLength[k + 1] += 2;
                }
                perLength[l]++, perLength[l + 1] -= 2, perLength[k]--;
            }
        }
        if (split == 0) break;
        perLength[split]--, perLength[split + 1] += 2, perLength[join]++, perLength[join + 1] -= 2;
        changed = true;
    }
    size_t next = 0;
    for (int l = 1; l <= MaxCodeLength; l++)
        for (int i = 0; i < perLength[l]; i++) lengths[symbols[next++]] = (uint8_t)l;
    return changed;
}

void CanonicalCodes(const uint8_t* lengths, int count, uint16_t* codes) {
    int perLength[MaxCodeLength + 1] = {0};
    for (int s = 0; s < count; s++) perLength[lengths[s]]++;
    uint32_t next[MaxCodeLength + 1];
    uint32_t code = 0;
    for (int length = 1; length <= MaxCodeLength; length++) {
        next[length] = code;
        code = (code + perLength[length]) << 1;
    }
    for (int s = 0; s < count; s++)
        if (lengths[s]) codes[s] = (uint16_t)next[lengths[s]]++;
}
