// msvcrt_imports.h: put ahead of every source of the Windows programs by the
// build (-include).
//
// mingw's headers declare most msvcrt.dll functions without dllimport, so a
// call goes to a jump stub of the import library (8 bytes per function), which
// jumps through the import address table. Declared as imported, a call goes
// through the table itself: no stubs, and a function called often can be held
// in a register. Some 100 bytes less code for x86-64, 140 for i686.
#pragma once

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#ifdef __cplusplus
extern "C" {
#endif
#define VANTOREL_IMPORTED __attribute__((dllimport))
VANTOREL_IMPORTED FILE* __cdecl fopen(const char*, const char*);
VANTOREL_IMPORTED int __cdecl fclose(FILE*);
VANTOREL_IMPORTED int __cdecl ferror(FILE*);
VANTOREL_IMPORTED int __cdecl fflush(FILE*);
VANTOREL_IMPORTED size_t __cdecl fread(void*, size_t, size_t, FILE*);
VANTOREL_IMPORTED size_t __cdecl fwrite(const void*, size_t, size_t, FILE*);
VANTOREL_IMPORTED int __cdecl fseek(FILE*, long, int);
VANTOREL_IMPORTED long __cdecl ftell(FILE*);
VANTOREL_IMPORTED int __cdecl fprintf(FILE*, const char*, ...);
VANTOREL_IMPORTED int __cdecl fputs(const char*, FILE*);
VANTOREL_IMPORTED void* __cdecl malloc(size_t);
VANTOREL_IMPORTED void* __cdecl calloc(size_t, size_t);
VANTOREL_IMPORTED void __cdecl free(void*);
VANTOREL_IMPORTED void* __cdecl memchr(const void*, int, size_t);
VANTOREL_IMPORTED int __cdecl memcmp(const void*, const void*, size_t);
VANTOREL_IMPORTED void* __cdecl memmove(void*, const void*, size_t);
VANTOREL_IMPORTED size_t __cdecl strlen(const char*);
VANTOREL_IMPORTED int __cdecl strcmp(const char*, const char*);
VANTOREL_IMPORTED int __cdecl strncmp(const char*, const char*, size_t);
VANTOREL_IMPORTED char* __cdecl strcpy(char*, const char*);
VANTOREL_IMPORTED char* __cdecl strncpy(char*, const char*, size_t);
VANTOREL_IMPORTED char* __cdecl strcat(char*, const char*);
VANTOREL_IMPORTED char* __cdecl strchr(const char*, int);
VANTOREL_IMPORTED char* __cdecl strrchr(const char*, int);
#undef VANTOREL_IMPORTED
#ifdef __cplusplus
}
#endif
