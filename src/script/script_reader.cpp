// script_reader.cpp: the script reader.
//
// Two steps over the text: a cleaning pass drops layout and comments (the
// quote flag keeps blanks inside quotes), then the cleaned text is cut at ';'
// into statements and each statement at '(' ',' ')' into a name and arguments.
// Quotes matter only to the cleaning: no text can hold ; , ) or #.
#include "script/script_reader.h"

#include "platform/platform.h"
#include "script/command_records.h"
#include "script/package_layout.h"

#include <limits.h>
#include <stdlib.h>
#include <string.h>

enum { MaxNameLength = CommandNameSize - 1, MaxTextLength = ArgumentTextSize - 1 };

static int IsLineEnd(char c) {
    return c == '\r' || c == '\n';
}

// Copies raw to clean without layout and comments; returns the cleaned length.
// A comment runs from '#' to the line end and takes that one CR or LF with it,
// so of a CR LF pair the LF is left to the table: dropped outside quotes.
static uint32_t CleanScript(const char* raw, uint32_t length, char* clean) {
    uint32_t out = 0;
    int inQuotes = 0;
    for (uint32_t in = 0; in < length; in++) {
        char c = raw[in];
        if (c == '#') {
            while (in < length && !IsLineEnd(raw[in])) in++;
            continue; // the loop's increment drops the CR or LF
        }
        if (c == '"')
            inQuotes = !inQuotes;
        else if (!inQuotes && (c == '\t' || c == '\n' || c == '\r' || c == ' '))
            continue;
        clean[out++] = c;
    }
    clean[out] = 0;
    return out;
}

static int IsIntegerSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

int32_t ParseScriptInteger(const char* text, const char* end) {
    while (text < end && IsIntegerSpace(*text)) text++;
    int negative = 0;
    if (text < end && (*text == '+' || *text == '-')) negative = *text++ == '-';
    int64_t value = 0;
    for (; text < end && *text >= '0' && *text <= '9'; text++) {
        value = value * 10 + (*text - '0');
        if (value > (int64_t)INT_MAX + 1) value = (int64_t)INT_MAX + 1;
    }
    if (negative) value = -value;
    if (value > INT_MAX) value = INT_MAX;
    return (int32_t)value;
}

// Fills slot from the argument [text, end); -1 when its text is too long.
static int ParseArgument(CommandArgument* slot, const char* text, const char* end) {
    if (text < end && *text == '"') {
        // The first and the last byte are dropped, whatever the last one is.
        size_t length = end - text >= 2 ? (size_t)(end - text) - 2 : 0;
        if (length > MaxTextLength) return -1;
        memcpy(slot->text, text + 1, length);
        slot->text[length] = 0;
        slot->type = ArgumentType::Text;
    } else {
        slot->intValue = ParseScriptInteger(text, end);
        slot->type = ArgumentType::Integer;
    }
    return 0;
}

// Parses the statement [text, end) into a new record at the list's tail.
static int ParseStatement(const char* text, const char* end) {
    const char* open = (const char*)memchr(text, '(', end - text);
    const char* nameEnd = open ? open : end;
    if (nameEnd - text > MaxNameLength) return -1;
    CommandRecord* record = AppendCommandRecord();
    if (!record) return -1;
    memcpy(record->name, text, nameEnd - text);
    if (!open) return 0;

    const char* p = open + 1;
    if (p == end || *p == ')') return 0;
    for (int slot = 0;; slot++) {
        if (slot == ArgumentSlots) return -1;
        const char* argEnd = p;
        while (argEnd < end && *argEnd != ',' && *argEnd != ')') argEnd++;
        if (ParseArgument(&record->arguments[slot], p, argEnd) != 0) return -1;
        // Behind ')' or the statement's end nothing more is an argument, nor
        // behind a trailing comma.
        if (argEnd == end || *argEnd == ')') return 0;
        p = argEnd + 1;
        if (p == end || *p == ')') return 0;
    }
}

int ParseScriptText(const char* raw, uint32_t length) {
    char* clean = (char*)malloc((size_t)length + 1);
    if (!clean) return -1;
    CleanScript(raw, length, clean);
    ResetCommandList();

    int result = 0;
    const char* text = clean;
    const char* textEnd = text + strlen(clean); // a NUL ends the script
    while (text < textEnd && result == 0) {
        const char* end = (const char*)memchr(text, ';', textEnd - text);
        if (!end) end = textEnd;
        if (end > text) result = ParseStatement(text, end);
        text = end + 1;
    }
    free(clean);
    return result;
}

static uint32_t ReadU32(const unsigned char* bytes) {
    return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | (uint32_t)bytes[3] << 24;
}

int ParseScript(const char* path) {
    FILE* file = PlatformOpenFile(path, "rb");
    if (!file) return -1;
    int result = -1;
    unsigned char lengthBytes[4];
    char* raw = 0;
    long fileSize = fseek(file, 0, SEEK_END) == 0 ? ftell(file) : -1;
    if (fseek(file, PackageDataOffset, SEEK_SET) == 0 && fread(lengthBytes, 1, 4, file) == 4) {
        uint32_t length = ReadU32(lengthBytes);
        // A script cut short means a damaged package: refuse it rather than
        // run the part that is there (and never allocate for bytes that
        // the file does not hold).
        long available = fileSize - (PackageDataOffset + 4);
        if (length > 0 && available > 0 && length <= (unsigned long)available &&
            (raw = (char*)malloc(length)) != 0 && fread(raw, 1, length, file) == length)
            result = ParseScriptText(raw, length);
    }
    free(raw);
    fclose(file);
    return result;
}
