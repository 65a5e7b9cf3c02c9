// log_reader.cpp: install.log's lines back into records.
#include "script/log_reader.h"

#include "script/command_names.h"

#include <stdlib.h>
#include <string.h>

// Each kind's line as the log writes it: '#' stands for an integer, '@' for
// a text. A text ends where the rest of its line begins: the last one at
// the line's closing '");', the one before another at the first '", "',
// which only the script's key path precedes, and a script text holds no ','.
static const char* const logLayouts[] = {
    LOG_DELETE_FILE " (\"@\");",
    LOG_REMOVE_DIRECTORY " (\"@\");",
    LOG_REMOVE_REGISTRY " (#, \"@\", \"@\");",
    LOG_TITLE " (\"@\");",
};

// "%d" of a 32-bit value: an optional '-', then digits, no leading zero
// and no "-0", so that a record reads from one spelling only.
static const char* ReadInteger(const char* p, const char* end, int32_t* value) {
    int negative = p < end && *p == '-';
    p += negative;
    const char* digits = p;
    int64_t magnitude = 0;
    for (; p < end && *p >= '0' && *p <= '9' && p - digits < 11; p++)
        magnitude = magnitude * 10 + (*p - '0');
    if (p == digits || magnitude > (int64_t)INT32_MAX + negative ||
        (*digits == '0' && (p - digits > 1 || negative)))
        return 0;
    *value = (int32_t)(negative ? -magnitude : magnitude);
    return p;
}

static int ReadLayout(const char* layout, const char* line, const char* end,
                      CommandRecord* record) {
    memset(record, 0, sizeof *record);
    memcpy(record->name, layout, strchr(layout, ' ') - layout);
    CommandArgument* argument = record->arguments;
    const char* p = line;
    for (const char* l = layout; *l; l++) {
        if (*l == '#') {
            argument->type = ArgumentType::Integer;
            if (!(p = ReadInteger(p, end, &argument++->intValue))) return 0;
        } else if (*l == '@') {
            const char* close = end - strlen(l + 1);
            if (strchr(l + 1, '@'))
                for (close = p; close + 3 <= end && memcmp(close, l + 1, 3);) close++;
            if (close < p || close + 3 > end || close - p >= ArgumentTextSize) return 0;
            argument->type = ArgumentType::Text;
            memcpy(argument++->text, p, close - p);
            p = close;
        } else if (p == end || *p++ != *l) {
            return 0;
        }
    }
    return p == end;
}

int ReadLogLine(const char* line, size_t length, CommandRecord* record) {
    if (memchr(line, 0, length)) return 0;
    for (const char* layout : logLayouts)
        if (ReadLayout(layout, line, line + length, record)) return 1;
    return 0;
}

size_t ReadLogText(const char* text, size_t size, LogRecordTaker take) {
    CommandRecord record;
    size_t number = 1;
    for (size_t at = 0; at < size; number++) {
        const char* lf = (const char*)memchr(text + at, '\n', size - at);
        if (!lf || !ReadLogLine(text + at, lf - (text + at), &record) || !take(&record))
            return number;
        at = lf + 1 - text;
    }
    return 0;
}

char* ReadLogBytes(FILE* file, long size) {
    char* text = size >= 0 ? (char*)malloc((size_t)size + 1) : 0;
    if (text && (fseek(file, 0, SEEK_SET) || fread(text, 1, (size_t)size, file) != (size_t)size)) {
        free(text);
        return 0;
    }
    if (text) text[size] = 0;
    return text;
}
