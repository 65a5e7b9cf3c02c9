// decode_window.cpp: the window shared by both decoders.
#include "arj/decode_window.h"

#include "arj/entry_output.h"
#include "arj/extraction.h"

#include <stdlib.h>
#include <string.h>

// Room behind the second half for a match that starts just before the
// flush position, and for the last step of its copy.
enum { BufferSize = 2 * WindowSize + MaxMatchLength + CopyStep };

// Writing starts behind a window of zeros.
static unsigned char* WindowStart(Extraction* x) {
    return x->window + WindowSize;
}

unsigned char* FlushPosition(Extraction* x) {
    return x->window + 2 * WindowSize;
}

unsigned char* OpenWindow(Extraction* x) {
    x->window = (unsigned char*)AllocateOrFail(x, BufferSize);
    // A match may reach back before the entry's first byte; it then reads 0,
    // never a byte of an earlier entry or of the heap.
    memset(x->window, 0, WindowSize);
    return WindowStart(x);
}

unsigned char* FlushWindow(Extraction* x, unsigned char* out) {
    WriteDecoded(x, WindowStart(x), WindowSize);
    memmove(x->window, WindowStart(x), out - WindowStart(x));
    return out - WindowSize;
}

void CloseWindow(Extraction* x, unsigned char* out) {
    if (out > WindowStart(x)) WriteDecoded(x, WindowStart(x), out - WindowStart(x));
    free(x->window);
    x->window = 0;
}
