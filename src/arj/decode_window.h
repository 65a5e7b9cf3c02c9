// decode_window.h: the sliding dictionary of one compressed entry, which is
// also its output buffer. Each fails through the extraction.
#pragma once

#include "arj/arj_format.h"

#include <string.h>

enum { CopyStep = 8 }; // a match is copied in steps of this many bytes

// The output is written straight on through a buffer of twice the window's
// size: the window is always the WindowSize bytes before the write position,
// so a match never wraps around, and a copy may run a few bytes past its end
// into bytes not yet written. When the position passes the buffer's second
// half, that half is written out and the window moves down to the first.
// Allocated per entry by OpenWindow into the extraction's window, released
// by CloseWindow.
struct Extraction;

// Allocates the buffer; the bytes before the entry's first read as 0. Gives
// the write position.
unsigned char* OpenWindow(Extraction* x);

// Where the buffer is written out.
unsigned char* FlushPosition(Extraction* x);

// Writes out the full second half and moves the window down; gives the new
// write position. For out at or past FlushPosition.
unsigned char* FlushWindow(Extraction* x, unsigned char* out);

// Repeats length bytes that start offset + 1 bytes before out (offset 0: the
// byte written last); gives the position behind them.
inline unsigned char* CopyMatch(unsigned char* out, unsigned offset, int length) {
    // Offsets of a window and more (methods 1 to 3 can send up to 65535) are
    // taken modulo the window, so that every read stays inside it.
    if (offset >= WindowSize) offset %= WindowSize;
    const unsigned char* from = out - offset - 1;
    unsigned char* end = out + length;
    // Byte by byte, a match reads again the bytes it writes when its distance
    // is below its length. Steps of 8 bytes give the same result when the
    // distance is at least 8: each step reads only bytes written before it.
    // The last step may write past the end: bytes nobody has read yet.
    if (offset >= CopyStep - 1) {
        do {
            memcpy(out, from, CopyStep);
            out += CopyStep;
            from += CopyStep;
        } while (out < end);
    } else if (offset == 0) {
        memset(out, *from, length); // a run of the last byte
    } else {
        do *out++ = *from++;
        while (out < end);
    }
    return end;
}

// Writes the bytes before out that are not yet written and releases the
// buffer.
void CloseWindow(Extraction* x, unsigned char* out);
