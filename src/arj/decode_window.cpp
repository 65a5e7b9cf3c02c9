// decode_window.cpp: the window shared by both decoders.
#include "arj/decode_window.h"

#include "arj/entry_output.h"
#include "arj/extraction_error.h"

#include <stdlib.h>
#include <string.h>

unsigned char* Window;

void OpenWindow(void) {
    Window = (unsigned char*)AllocateOrFail(WindowSize);
    // A match may reach back before the entry's first byte; it then reads 0,
    // never a byte of an earlier entry or of the heap.
    memset(Window, 0, WindowSize);
}

int FlushWindow(void) {
    WriteDecoded(Window, WindowSize);
    return 0;
}

int CopyMatchSlow(int r, int i, int length) {
    // A source ahead of the destination (still from the window's previous
    // round) is never reached by the bytes the match writes, so a plain
    // move gives what a byte-by-byte copy gives.
    if (i > r && i + length <= WindowSize && r + length < WindowSize) {
        memmove(Window + r, Window + i, length);
        return r + length;
    }
    // Near the window's end: one byte at a time, wrapping both indexes.
    while (length-- > 0) {
        Window[r] = Window[i];
        if (++r == WindowSize) r = FlushWindow();
        if (++i == WindowSize) i = 0;
    }
    return r;
}

void CloseWindow(int r) {
    if (r != 0) WriteDecoded(Window, r);
    free(Window);
    Window = 0;
}
