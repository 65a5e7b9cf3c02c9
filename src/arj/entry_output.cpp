// entry_output.cpp: writes decoded bytes, translating text entries.
//
// Text entries get the bytes that the C runtime's text mode gives on
// Windows: each LF written as CR LF, and bit 7 cleared when the archive was
// made on another system than Unix. The translation is our own, over a binary
// stream, so the installer and the host write the same bytes.
#include "arj/entry_output.h"

#include "arj/archive_headers.h"
#include "arj/crc32.h"
#include "arj/extraction_error.h"

enum { TextChunk = 2048 };

FILE* OutputStream;
uint32_t RunningCrc;

static void WriteOrFail(const unsigned char* bytes, size_t count) {
    if (fwrite(bytes, 1, count, OutputStream) != count) ExtractionError(WriteFailedMessage, "");
}

void WriteDecoded(const unsigned char* bytes, size_t count) {
    // The CRC covers the bytes as stored, before any translation.
    RunningCrc = UpdateCrc(RunningCrc, bytes, count);
    if (archiveEntry.fileType != TextFile) {
        WriteOrFail(bytes, count);
        return;
    }
    unsigned char mask = archiveEntry.hostOs == UnixHostOs ? 0xFF : 0x7F;
    unsigned char text[TextChunk];
    size_t n = 0;
    for (size_t i = 0; i < count; i++) {
        unsigned char c = bytes[i] & mask;
        if (c == '\n') text[n++] = '\r';
        text[n++] = c;
        if (n >= TextChunk - 1) {
            WriteOrFail(text, n);
            n = 0;
        }
    }
    WriteOrFail(text, n);
}
