// entry_output.cpp: writes decoded bytes, translating text entries.
//
// Text entries get the bytes that the C runtime's text mode gives on
// Windows: each LF written as CR LF, and bit 7 cleared when the archive was
// made on another system than Unix. The translation is our own, over a binary
// stream, so the installer and the host write the same bytes.
#include "arj/entry_output.h"

#include "arj/crc32.h"
#include "arj/extraction.h"

enum { TextChunk = 2048 };

static void WriteOrFail(Extraction* x, const unsigned char* bytes, size_t count) {
    if (fwrite(bytes, 1, count, x->output) != count) FailExtraction(x, WriteFailedMessage);
}

void WriteDecoded(Extraction* x, const unsigned char* bytes, size_t count) {
    // The CRC covers the bytes as stored, before any translation.
    x->crc = UpdateCrc(x->crc, bytes, count);
    if (!x->output) return;
    if (x->entry.fileType != TextFile) {
        WriteOrFail(x, bytes, count);
        return;
    }
    unsigned char mask = x->entry.hostOs == UnixHostOs ? 0xFF : 0x7F;
    unsigned char text[TextChunk];
    size_t n = 0;
    for (size_t i = 0; i < count; i++) {
        unsigned char c = bytes[i] & mask;
        if (c == '\n') text[n++] = '\r';
        text[n++] = c;
        if (n >= TextChunk - 1) {
            WriteOrFail(x, text, n);
            n = 0;
        }
    }
    WriteOrFail(x, text, n);
}
