// decode_window.h: the sliding dictionary of one compressed entry, which is
// also its output buffer.
#pragma once

#include <string.h>

enum { WindowSize = 26624 };

// Allocated per entry by OpenWindow, released by CloseWindow.
extern unsigned char* Window;

// Allocates the window; bytes before the entry's first read as 0.
void OpenWindow(void);

// Writes the full window out; gives the new write index, 0.
int FlushWindow(void);

// CopyMatch outside its fast path: a source at or ahead of the write index,
// or an index that reaches the window's end.
int CopyMatchSlow(int r, int i, int length);

// Repeats length bytes that start offset + 1 bytes behind write index r
// (offset 0: the byte written last); gives the next write index.
inline int CopyMatch(int r, unsigned offset, int length) {
    // Offsets of a window and more (methods 1 to 3 can send up to 65535) wrap
    // around the window, so that every read stays inside it.
    if (offset >= WindowSize) offset %= WindowSize;
    int i = r - (int)offset - 1;
    if (i < 0) i += WindowSize;
    if (!(i < r && r + length < WindowSize)) return CopyMatchSlow(r, i, length);

    // Neither index reaches the window's end, and the source starts before
    // the destination. Byte by byte, bytes written by the match are read
    // again by it when the distance is below the length. Copying 8 bytes a
    // step gives the same result when the distance is at least 8: each step
    // reads only bytes written before it. The last step ends at the match's
    // end and writes some bytes again, with the same values.
    unsigned char* to = Window + r;
    const unsigned char* from = Window + i;
    int distance = r - i;
    if (distance >= 8 && length >= 8) {
        for (int k = 0; k < length - 8; k += 8) memcpy(to + k, from + k, 8);
        memcpy(to + length - 8, from + length - 8, 8);
    } else if (distance >= 4 && length >= 4) {
        for (int k = 0; k < length - 4; k += 4) memcpy(to + k, from + k, 4);
        memcpy(to + length - 4, from + length - 4, 4);
    } else if (length == 3) {
        to[0] = from[0];
        to[1] = from[1];
        to[2] = from[2];
    } else if (distance == 1) {
        memset(to, *from, length); // a run of the last byte
    } else {
        for (int k = 0; k < length; k++) to[k] = from[k];
    }
    return r + length;
}

// Writes the r bytes of the last partial window and releases the window.
void CloseWindow(int r);
