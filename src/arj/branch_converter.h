// branch_converter.h: the conversion of x86 calls and jumps that makes
// programs compress better, and its inverse.
//
// A call (E8) or jump (E9) carries a 32-bit distance to its target, which
// differs at every call of the same function. Converted, it carries the
// target's position in the file instead, the same for every call, which the
// compressor finds again. Only distances of less than 16 MB either way are
// converted, and they stay in that range (taken modulo 32 MB), so the
// decoder tells a converted operand from the others by its value alone. The
// scan passes over each operand, converted or not, and so meets the same
// opcode bytes in both directions.
#pragma once

#include <stddef.h>
#include <stdint.h>

enum BranchDirection { ConvertToTargets = 1, ConvertToDistances = -1 };

// Converts the branches whose operands lie inside bytes[0..count), the
// first byte being at position in the file; gives how many bytes at the
// front are done. The rest, at most 4 bytes, is scanned again in front of
// the next bytes; at the file's end it is left as it is.
size_t ConvertBranches(unsigned char* bytes, size_t count, uint32_t position,
                       BranchDirection direction);
