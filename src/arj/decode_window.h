// decode_window.h: the sliding dictionary of one compressed entry, which is
// also its output buffer.
#pragma once

enum { WindowSize = 26624 };

// Allocated per entry by OpenWindow, released by CloseWindow.
extern unsigned char* Window;

// Allocates the window; bytes before the entry's first read as 0.
void OpenWindow(void);

// Writes the full window out; gives the new write index, 0.
int FlushWindow(void);

// Puts one decoded byte at write index r; gives the next write index.
inline int PutByte(int r, unsigned char byte) {
    Window[r] = byte;
    return r + 1 == WindowSize ? FlushWindow() : r + 1;
}

// Repeats length bytes that start offset + 1 bytes behind write index r
// (offset 0: the byte written last); gives the next write index.
int CopyMatch(int r, unsigned offset, int length);

// Writes the r bytes of the last partial window and releases the window.
void CloseWindow(int r);
