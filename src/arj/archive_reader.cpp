// archive_reader.cpp: walks the archive's entries and writes each one that
// can be extracted into the current directory, checking its CRC.
//
// Entries that cannot be extracted (unsupported, not creatable, a name that
// would leave the current directory or name a device) are passed over and
// counted, as are entries whose data is damaged, whose file is then removed;
// only a damaged archive structure, a read or write failure or exhausted
// memory ends the walk.
#include "arj/archive_reader.h"

#include "arj/archive_headers.h"
#include "arj/branch_converter.h"
#include "arj/crc32.h"
#include "arj/decode_method4.h"
#include "arj/decode_methods1to3.h"
#include "arj/entry_output.h"
#include "arj/lzma_decoder.h"
#include "platform/format_text.h"
#include "platform/platform.h"

#include <stdlib.h>
#include <string.h>
#include <time.h>

enum {
    ArchiveNameSize = 512,
    CopyChunk = 4096, // stored data is read in chunks aligned to this in the file
};

static void Uppercase(char* text) {
    for (; *text; text++)
        if (*text >= 'a' && *text <= 'z') *text -= 'a' - 'A';
}

// a holds the upper-case text b in any case.
static int SameLetters(const char* a, const char* b, size_t length) {
    for (size_t i = 0; i < length; i++) {
        char c = a[i];
        if (c >= 'a' && c <= 'z') c -= 'a' - 'A';
        if (c != b[i]) return 0;
    }
    return 1;
}

// COM and LPT take the superscript digits of the ANSI code page too.
int IsDeviceName(const char* name, size_t length) {
    BYTE_ALIGNED static const char Devices[] = "CON PRN AUX NUL ";
    while (length > 0 && name[length - 1] == ' ') length--;
    if (length == 3) {
        for (const char* d = Devices; *d; d += 4)
            if (SameLetters(name, d, 3)) return 1;
    } else if (length == 4 && (SameLetters(name, "COM", 3) || SameLetters(name, "LPT", 3))) {
        unsigned char digit = name[3];
        return (digit >= '1' && digit <= '9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
    } else if ((length == 6 && SameLetters(name, "CONIN$", 6)) ||
               (length == 7 && SameLetters(name, "CONOUT$", 7))) {
        return 1;
    }
    return 0;
}

// A name must stay a file below the current directory: no leading separator,
// no colon (a drive, or a Windows stream name), no component made only of
// dots and blanks, none that ends in a dot or blank (Windows drops those, so
// "a.txt." would be "a.txt" and ".. " would be ".."), none naming a device.
static int IsSafeName(const char* name) {
    if (*name == 0 || *name == '/' || *name == '\\') return 0;
    for (const char* p = name; *p;) {
        const char* end = p;
        const char* dot = 0;
        for (; *end && *end != '/' && *end != '\\'; end++) {
            if (*end == ':') return 0;
            if (*end == '.' && !dot) dot = end;
        }
        if (end == p || end[-1] == '.' || end[-1] == ' ') return 0;
        if (IsDeviceName(p, (dot ? dot : end) - p)) return 0;
        p = end;
        if (*p && !*++p) return 0; // a folder's name, not a file's
    }
    return 1;
}

// The entry's time as the C runtime counts it, or -1 when it holds none.
// The archiver on Unix stores seconds since 1970; on other systems the
// MS-DOS date and time, local time.
static time_t EntryTime(const ArchiveEntry* e) {
    uint32_t dos = e->timeStamp;
    if (dos == 0) return -1;
    if (e->hostOs == UnixHostOs) return (time_t)dos;
    struct tm t;
    memset(&t, 0, sizeof t);
    t.tm_year = (int)(dos >> 25) + 80;
    t.tm_mon = (int)(dos >> 21 & 15) - 1;
    t.tm_mday = (int)(dos >> 16 & 31);
    t.tm_hour = (int)(dos >> 11 & 31);
    t.tm_min = (int)(dos >> 5 & 63);
    t.tm_sec = (int)(dos & 31) * 2;
    t.tm_isdst = -1;
    if (t.tm_mon < 0 || t.tm_mon > 11 || t.tm_mday == 0) return -1;
    return mktime(&t);
}

// Copies the stored data through one buffer, reading at positions aligned
// to the chunk size after a first, shorter chunk. In a solid block, it
// converts branches back when the entry's method asks: an operand may lie
// across two reads, so the bytes not yet converted move to the front.
static void CopyStored(Extraction* x) {
    uint32_t chunk = CopyChunk - (uint32_t)(ftell(x->archive) % CopyChunk);
    uint32_t kept = 0, position = 0;
    for (;;) {
        uint32_t count = chunk - kept;
        if (count > x->remaining) count = x->remaining;
        if (ReadInput(x, x->input + kept, count) != count) FailRead(x);
        x->remaining -= count;
        count += kept;
        uint32_t done = count;
        if (x->entry.method == LzmaX86Method)
            done = (uint32_t)ConvertBranches(x->input, count, position, ConvertToDistances);
        if (x->remaining == 0) done = count;
        WriteDecoded(x, x->input, done);
        if (x->remaining == 0) return;
        kept = count - done;
        memmove(x->input, x->input + done, kept);
        position += done;
        chunk = CopyChunk;
    }
}

// Decodes the entry's data into the output (none when testing), then passes
// over what the decoder did not need, so that the next header is read where
// it begins.
static void DecodeEntry(Extraction* x) {
    x->crc = CrcStart;
    if (x->lzma || x->entry.method == StoredMethod)
        CopyStored(x);
    else if (x->entry.method == 4)
        DecodeMethod4(x);
    else
        DecodeMethods1To3(x);
    SkipEntryData(x);
}

static void CloseOutput(Extraction* x) {
    // A failing close can lose the last buffered bytes of the file.
    int closed = fclose(x->output) == 0;
    x->output = 0;
    if (!closed) FailExtraction(x, WriteFailedMessage);
}

static void OpenStep(Extraction* x) {
    OpenArchive(x, x->archiveName);
}

// Enters each solid block as its entry comes, and leaves it at its end.
static void NextHeaderStep(Extraction* x) {
    for (;;) {
        if (ReadHeader(x)) {
            if (x->lzma || x->entry.method != LzmaMethod || !IsEntrySupported(x)) return;
            OpenLzmaBlock(x);
        } else {
            x->archiveEnded = !x->lzma;
            if (x->archiveEnded) return;
            CloseLzmaBlock(x);
            SkipEntryData(x); // what the stream did not need, such as its end marker
        }
    }
}

// Handles the entry whose header was just read; gives its status, or -1
// when the walk cannot go on.
static int HandleEntry(Extraction* x, ArchiveMode mode) {
    EntryStatus status = IsEntrySupported(x) ? EntryDone : EntryUnsupported;
    if (mode == ListEntries || status == EntryUnsupported)
        return RunStep(x, SkipEntryData) == StepDone ? status : -1;
    // Names from other systems were case-insensitive; the file gets them
    // uppercased, while the entry's name keeps its case for the caller.
    char outputName[EntryNameSize];
    memcpy(outputName, x->entry.entryName, EntryNameSize);
    if (x->entry.hostOs != UnixHostOs) Uppercase(outputName);
    if (!x->entry.nameComplete || !IsSafeName(outputName))
        status = EntryNameRefused;
    else if (mode == ExtractEntries && !(x->output = PlatformOpenFile(outputName, "wb")))
        status = EntryNotCreatable;
    if (status != EntryDone) return RunStep(x, SkipEntryData) == StepDone ? status : -1;

    StepResult result = RunStep(x, DecodeEntry);
    if (result == StepDone && x->output) result = RunStep(x, CloseOutput);
    free(x->window);
    x->window = 0;
    if (result == StepEntryDamaged) result = RunStep(x, SkipEntryData);
    if (result != StepDone || (x->crc ^ CrcStart) != x->entry.fileCrc) {
        if (x->output) fclose(x->output);
        x->output = 0;
        // A damaged file is not installed; a partial one is not left behind.
        if (mode == ExtractEntries) PlatformDeleteFile(outputName);
        return result == StepFatal ? -1 : EntryDamaged;
    }
    if (mode == ExtractEntries) {
        time_t when = EntryTime(&x->entry);
        if (when != -1) PlatformSetFileTime(outputName, when);
    }
    return EntryDone;
}

int ReadArchive(const char* name, ArchiveMode mode, EntryVisitor visit, void* context,
                char* message) {
    // Too large for the installer's stack budget; one block for the pass.
    Extraction* x = (Extraction*)calloc(1, sizeof(Extraction));
    if (!x) {
        FormatText(message, MessageSize, OutOfMemoryMessage);
        return ArchiveFailed;
    }
    BuildCrcTable();
    x->archiveName = name;
    int failed = 0, status = 0;
    if (RunStep(x, OpenStep) != StepDone) status = -1;
    while (status >= 0) {
        if (RunStep(x, NextHeaderStep) != StepDone) status = -1;
        if (status < 0 || x->archiveEnded) break;
        status = HandleEntry(x, mode);
        if (status > EntryDone) failed++;
        if (status >= 0 && visit) visit(&x->entry, (EntryStatus)status, context);
    }
    CloseLzmaBlock(x);
    if (x->archive) fclose(x->archive);
    FormatText(message, MessageSize, "%s", x->message);
    free(x);
    return status < 0 ? ArchiveFailed : failed;
}

// The installer opens its own file under an uppercased name; a name whose last
// part has no dot gets ".arj", one ending in a dot loses it. Only '/' ends a
// part here. 0 when the name does not fit: a cut name could open another file.
static int PrepareArchiveName(const char* path, char* name) {
    size_t length = strlen(path);
    if (length >= ArchiveNameSize) return 0;
    memcpy(name, path, length + 1);
    Uppercase(name);
    if (length > 0 && name[length - 1] == '.') {
        name[length - 1] = 0;
        return 1;
    }
    int dotted = 0; // the last part holds a dot
    for (const char* p = name; *p; p++)
        if (*p == '/' || *p == '.') dotted = *p == '.';
    if (dotted) return 1;
    if (length + 4 >= ArchiveNameSize) return 0;
    memcpy(name + length, ".arj", 5);
    return 1;
}

int ExtractArchive(const char* path, EntryVisitor visit, void* context, char* message) {
    char name[ArchiveNameSize];
    if (!PrepareArchiveName(path, name)) {
        FormatText(message, MessageSize, CantOpenMessage, path);
        return ArchiveFailed;
    }
    return ReadArchive(name, ExtractEntries, visit, context, message);
}
