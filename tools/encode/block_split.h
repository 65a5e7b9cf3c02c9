// block_split.h: where to cut a run of items into blocks of methods 1 to 3.
#pragma once

#include "tools/encode/lz_item.h"

#include <stddef.h>
#include <stdint.h>

#include <vector>

enum { MaxBlockItems = (1 << BlockSizeBits) - 1 }; // a count of 0 would mean 65536

// The item counts of the blocks, in order, that cost the fewest bits by an
// estimate: cuts fall at multiples of cellItems, and every block holds at
// most MaxBlockItems. count must be above 0.
std::vector<uint32_t> SplitIntoBlocks(const LzItem* items, size_t count, int cellItems);
