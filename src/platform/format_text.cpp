// format_text.cpp: a small formatter whose output never passes its buffer,
// the same in the installer and on the host.
#include "platform/format_text.h"

#include <stdarg.h>

#ifdef VANTOREL_STUB
#include <stdio.h>

// msvcrt's formatter writes the same texts for %s, %d and %%; it leaves a
// text that fills the count unterminated and gives -1 for one cut short.
size_t FormatText(char* buffer, size_t size, const char* format, ...) {
    if (size == 0) return 0;
    va_list args;
    va_start(args, format);
    int length = _vsnprintf(buffer, size - 1, format, args);
    va_end(args);
    buffer[size - 1] = 0;
    return length < 0 ? size - 1 : (size_t)length;
}
#else
size_t FormatText(char* buffer, size_t size, const char* format, ...) {
    if (size == 0) return 0;
    va_list args;
    va_start(args, format);
    size_t out = 0;
    for (const char* f = format; *f; f++) {
        char digits[12];
        const char* piece = digits;
        if (*f != '%' || !f[1]) {
            digits[0] = *f;
            digits[1] = 0;
        } else if (*++f == 's') {
            piece = va_arg(args, const char*);
        } else if (*f == 'd') {
            int value = va_arg(args, int);
            unsigned magnitude = value < 0 ? 0u - (unsigned)value : (unsigned)value;
            char* p = digits + sizeof digits - 1;
            *p = 0;
            do *--p = (char)('0' + magnitude % 10);
            while (magnitude /= 10);
            if (value < 0) *--p = '-';
            piece = p;
        } else {
            digits[0] = *f;
            digits[1] = 0;
        }
        while (*piece && out + 1 < size) buffer[out++] = *piece++;
    }
    buffer[out] = 0;
    va_end(args);
    return out;
}
#endif
