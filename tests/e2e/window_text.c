/* window_text.c: prints the text of one control of a top-level window, as UTF-8, so that
 * a test sees what the user sees. usage: window_text CAPTION CONTROL_ID */
#include <windows.h>

#include <stdlib.h>

int main(int argc, char** argv) {
    WCHAR text[1024];
    char utf8[4096];
    HWND window, control;
    int length;
    DWORD written;
    if (argc != 3) return 2;
    window = FindWindowA(NULL, argv[1]);
    control = window ? GetDlgItem(window, atoi(argv[2])) : NULL;
    if (!control) return 1;
    length = GetWindowTextW(control, text, sizeof text / sizeof text[0]);
    length = WideCharToMultiByte(CP_UTF8, 0, text, length, utf8, sizeof utf8, NULL, NULL);
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), utf8, (DWORD)length, &written, NULL);
    return 0;
}
