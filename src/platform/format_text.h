// format_text.h: bounded formatting of the installer's messages and status
// texts. Knows %s and %d (and %% ); always terminates, cutting what does not fit.
#pragma once

#include <stddef.h>

void FormatText(char* buffer, size_t size, const char* format, ...);
