// decode_window.cpp: the window shared by both decoders.
#include "arj/decode_window.h"

#include "arj/entry_output.h"
#include "arj/extraction_error.h"

#include <stdlib.h>
#include <string.h>

// Room behind the second half for a match that starts just before the
// flush position, and for the last step of its copy.
enum { BufferSize = 2 * WindowSize + MaxMatchLength + CopyStep };

unsigned char* Window;

unsigned char* OpenWindow(void) {
    Window = (unsigned char*)AllocateOrFail(BufferSize);
    // A match may reach back before the entry's first byte; it then reads 0,
    // never a byte of an earlier entry or of the heap.
    memset(Window, 0, WindowSize);
    return WindowStart();
}

unsigned char* FlushWindow(unsigned char* out) {
    WriteDecoded(WindowStart(), WindowSize);
    memmove(Window, WindowStart(), out - WindowStart());
    return out - WindowSize;
}

void CloseWindow(unsigned char* out) {
    if (out > WindowStart()) WriteDecoded(WindowStart(), out - WindowStart());
    free(Window);
    Window = 0;
}
