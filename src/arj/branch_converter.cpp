// branch_converter.cpp: x86 branch operands to targets and back.
#include "arj/branch_converter.h"

enum : uint32_t {
    BranchReach = 1u << 24, // converted operands lie in [-BranchReach, BranchReach)
    BranchOperandSize = 4,
};

size_t ConvertBranches(unsigned char* bytes, size_t count, uint32_t position,
                       BranchDirection direction) {
    size_t i = 0;
    for (; i + BranchOperandSize < count; i++) {
        if ((bytes[i] & 0xFE) != 0xE8) continue;
        unsigned char* operand = bytes + i + 1;
        uint32_t value =
            operand[0] | operand[1] << 8 | operand[2] << 16 | (uint32_t)operand[3] << 24;
        if (value + BranchReach < 2 * BranchReach) {
            // Distances count from the next instruction.
            uint32_t next = position + (uint32_t)i + 1 + BranchOperandSize;
            value += direction == ConvertToTargets ? next : 0u - next;
            value = ((value + BranchReach) & (2 * BranchReach - 1)) - BranchReach;
            for (int k = 0; k < 4; k++) operand[k] = (unsigned char)(value >> (8 * k));
        }
        i += BranchOperandSize;
    }
    return i;
}
