// block_split.cpp: cuts items into blocks by a shortest path over cells.
//
// A block pays for its header, so a new block is worth it only where the
// symbols' frequencies change enough. A block's item bits are estimated by
// the entropy of its symbols under its own frequencies, which a prefix code
// comes close to; its header by a least-squares fit, over the headers that
// the default level writes for the benchmark's payload, to the numbers of
// literal/length and offset symbols used and of runs of unused ones. The
// items are taken in cells of a fixed size; the cheapest cutting at cell
// boundaries then follows from the cheapest cutting of every shorter prefix.
// That search is quadratic in the cells a block can span, so it runs on
// coarse cells, and each cut then moves by fine cells to where the two
// blocks beside it cost least.
#include "tools/encode/block_split.h"

#include <math.h>

#include <algorithm>
#include <utility>

namespace {

enum {
    SymbolCount = LiteralLengthSymbols + OffsetSymbols, // offsets behind literals/lengths
    CoarseCells = 4, // cells in a cell of the first cutting, which a cut may then move either way
};

// The header estimate: a base and the bits per literal/length symbol used,
// per offset symbol used and per run of unused literal/length symbols.
const double HeaderBase = 13, HeaderPerLiteral = 1.51, HeaderPerOffset = 22.5, HeaderPerRun = 2.73,
             HeaderLeast = 100;

// f log2 f for every frequency that a block can have.
const std::vector<double>& FLogF() {
    static const std::vector<double> table = [] {
        std::vector<double> t(MaxBlockItems + 1, 0.0);
        for (size_t f = 1; f < t.size(); f++) t[f] = (double)f * log2((double)f);
        return t;
    }();
    return table;
}

struct Cell {
    std::vector<std::pair<uint16_t, uint16_t>> counts; // symbol, frequency
    uint64_t extraBits = 0;
    uint32_t items = 0;
};

// The frequencies of a run of cells, with what the estimate needs kept up
// to date as cells come and go.
class Tally {
  public:
    Tally() : table(FLogF()), count(SymbolCount, 0) {}

    void Add(const Cell& cell) { Change(cell, 1); }
    void Subtract(const Cell& cell) { Change(cell, -1); }

    double Bits() const {
        double header = HeaderBase + HeaderPerLiteral * usedLiterals +
                        HeaderPerOffset * usedOffsets + HeaderPerRun * runs;
        return table[literalTotal] - literalSum + table[offsetTotal] - offsetSum +
               (double)extraBits + std::max(header, HeaderLeast);
    }

    uint32_t items = 0;

  private:
    bool Used(int s) const { return s >= 0 && s < LiteralLengthSymbols && count[s]; }

    void Change(const Cell& cell, int sign) {
        for (const auto& sc : cell.counts) {
            int s = sc.first;
            uint32_t before = count[s], after = before + sign * sc.second;
            count[s] = after;
            bool literal = s < LiteralLengthSymbols;
            (literal ? literalSum : offsetSum) += table[after] - table[before];
            (literal ? literalTotal : offsetTotal) += sign * sc.second;
            if (before && after) continue;
            if (!literal) {
                usedOffsets += sign;
                continue;
            }
            usedLiterals += sign;
            // Runs are counted at the used symbols that an unused one follows.
            runs += sign * (!Used(s + 1) - Used(s - 1));
        }
        extraBits += sign * (int64_t)cell.extraBits;
        items += sign * cell.items;
    }

    const std::vector<double>& table;
    std::vector<uint32_t> count;
    double literalSum = 0, offsetSum = 0;
    uint32_t literalTotal = 0, offsetTotal = 0;
    int usedLiterals = 0, usedOffsets = 0, runs = 0;
    int64_t extraBits = 0;
};

std::vector<Cell> MakeCells(const LzItem* items, size_t count, size_t cellItems) {
    std::vector<Cell> cells((count + cellItems - 1) / cellItems);
    std::vector<uint16_t> dense(SymbolCount, 0);
    for (size_t c = 0; c < cells.size(); c++) {
        Cell& cell = cells[c];
        size_t end = std::min(count, (c + 1) * cellItems);
        for (size_t i = c * cellItems; i < end; i++) {
            const LzItem& item = items[i];
            dense[LiteralLengthSymbol(item)]++;
            if (item.length == 0) continue;
            int symbol = OffsetSymbol(item.value);
            dense[LiteralLengthSymbols + symbol]++;
            cell.extraBits += OffsetExtraBits(symbol);
        }
        cell.items = (uint32_t)(end - c * cellItems);
        for (int s = 0; s < SymbolCount; s++)
            if (dense[s]) {
                cell.counts.push_back({(uint16_t)s, dense[s]});
                dense[s] = 0;
            }
    }
    return cells;
}

// The cheapest cutting at the cells' boundaries: best[j] is the fewest bits
// of the cells before j, from[j] where the last block of that cutting starts.
// The blocks from each start are priced by growing one tally cell by cell,
// and those from the next start by shrinking it back, so that each start
// costs one pass over the cells a block can span.
std::vector<size_t> CheapestCuts(const std::vector<Cell>& cells) {
    size_t n = cells.size();
    std::vector<double> best(n + 1, HUGE_VAL);
    std::vector<size_t> from(n + 1, 0);
    best[0] = 0;
    Tally tally; // the cells from i up to end
    size_t end = 0;
    // The block of the cells from i up to end.
    auto offer = [&](size_t i) {
        double bits = best[i] + tally.Bits();
        if (bits < best[end]) {
            best[end] = bits;
            from[end] = i;
        }
    };
    for (size_t i = 0; i < n; i++) {
        if (i > 0 && end > i - 1) tally.Subtract(cells[i - 1]);
        bool shrink = end > i; // else the tally is empty and only grows
        end = std::max(end, i);
        bool offered = false;
        for (; end < n && tally.items + cells[end].items <= MaxBlockItems; offered = true) {
            tally.Add(cells[end++]);
            offer(i);
        }
        if (!shrink) continue;
        if (!offered) offer(i);
        while (end > i + 1) {
            tally.Subtract(cells[--end]);
            offer(i);
        }
    }
    std::vector<size_t> cuts;
    for (size_t j = n; j > 0; j = from[j]) cuts.push_back(j);
    cuts.push_back(0);
    std::reverse(cuts.begin(), cuts.end());
    return cuts;
}

} // namespace

std::vector<uint32_t> SplitIntoBlocks(const LzItem* items, size_t count, int cellItems) {
    // Cut at coarse cells first, then move each cut by up to a coarse cell
    // either way where that is cheaper.
    std::vector<Cell> fine = MakeCells(items, count, cellItems);
    std::vector<size_t> cuts =
        CheapestCuts(MakeCells(items, count, (size_t)cellItems * CoarseCells));
    for (size_t& cut : cuts) cut = std::min(cut * CoarseCells, fine.size());

    Tally tallies[2];
    Tally* left = &tallies[0];
    Tally* right = &tallies[1];
    // Moves the cell next to cut k over it: to the right block for a step of
    // -1, to the left one for +1.
    auto move = [&](size_t k, int step) {
        const Cell& moved = fine[step < 0 ? cuts[k] - 1 : cuts[k]];
        (step < 0 ? left : right)->Subtract(moved);
        (step < 0 ? right : left)->Add(moved);
        cuts[k] += step;
    };
    for (size_t c = cuts[0]; c < cuts[1]; c++) left->Add(fine[c]);
    for (size_t k = 1; k + 1 < cuts.size(); k++) {
        for (size_t c = cuts[k]; c < cuts[k + 1]; c++) right->Add(fine[c]);
        const size_t original = cuts[k];
        double best = left->Bits() + right->Bits();
        size_t bestCut = original;
        for (int step = -1; step <= 1; step += 2) {
            for (int moves = 0; moves < CoarseCells; moves++) {
                size_t cut = cuts[k];
                bool emptied = step < 0 ? cut - 1 <= cuts[k - 1] : cut + 1 >= cuts[k + 1];
                if (emptied) break;
                const Cell& moved = fine[step < 0 ? cut - 1 : cut];
                if ((step < 0 ? right : left)->items + moved.items > MaxBlockItems) break;
                move(k, step);
                double bits = left->Bits() + right->Bits();
                if (bits < best) {
                    best = bits;
                    bestCut = cuts[k];
                }
            }
            while (cuts[k] != original) move(k, cuts[k] < original ? 1 : -1);
        }
        while (cuts[k] != bestCut) move(k, cuts[k] < bestCut ? 1 : -1);
        // The right block is the next left one; the right one starts empty.
        for (size_t c = cuts[k - 1]; c < cuts[k]; c++) left->Subtract(fine[c]);
        std::swap(left, right);
    }

    std::vector<uint32_t> sizes;
    for (size_t k = 0; k + 1 < cuts.size(); k++) {
        uint32_t blockItems = 0;
        for (size_t c = cuts[k]; c < cuts[k + 1]; c++) blockItems += fine[c].items;
        sizes.push_back(blockItems);
    }
    return sizes;
}
