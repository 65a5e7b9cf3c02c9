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

int CopyMatch(int r, unsigned offset, int length) {
    // Offsets of a window and more (methods 1 to 3 can send up to 65535) wrap
    // around the window, so that every read stays inside it.
    if (offset >= WindowSize) offset %= WindowSize;
    int i = r - (int)offset - 1;
    if (i < 0) i += WindowSize;

    if (i < r && r + length < WindowSize) {
        // Neither index reaches the window's end. Byte by byte, a source
        // that overlaps the destination repeats the last r - i bytes; copying
        // in pieces of r - i bytes, each piece taken from bytes written
        // before it, gives the same result, and each piece may double.
        unsigned char* to = Window + r;
        const unsigned char* from = Window + i;
        int piece = r - i;
        for (int left = length; left > 0; left -= piece, to += piece, piece *= 2) {
            if (piece > left) piece = left;
            memcpy(to, from, piece);
        }
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
