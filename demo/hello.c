/* hello.c: the demo's program, a window that says hello. */
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
    (void)instance, (void)previous, (void)commandLine, (void)show;
    MessageBoxA(NULL, "Hello from a program that Vantorel installed.", "Vantorel Demo",
                MB_OK | MB_ICONINFORMATION);
    return 0;
}
