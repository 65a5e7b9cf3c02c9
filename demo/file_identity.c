/* file_identity.c: prints what Explorer shows of a program, as Windows reads it: the version
 * resource's values and fixed file version, and the size and centre colour of the icon that
 * the shell takes from it. usage: file_identity FILE */
#include <windows.h>

#include <stdio.h>

int main(int argc, char** argv) {
    static const char* const keys[] = {"ProductName", "ProductVersion", "FileVersion",
                                       "CompanyName", "FileDescription", "LegalCopyright"};
    static char data[65536];
    VS_FIXEDFILEINFO* fixed;
    UINT length;
    HICON large = NULL;
    ICONINFO info;
    BITMAP bitmap;
    char path[128], *value;
    int i;
    if (argc != 2) return 2;
    if (GetFileVersionInfoA(argv[1], 0, sizeof data, data)) {
        for (i = 0; i < 6; i++) {
            sprintf(path, "\\StringFileInfo\\040904B0\\%s", keys[i]);
            if (VerQueryValueA(data, path, (void**)&value, &length) && length)
                printf("%s=%s\n", keys[i], value);
        }
        if (VerQueryValueA(data, "\\", (void**)&fixed, &length) && length >= sizeof *fixed)
            printf("fixed=%lu.%lu.%lu.%lu\n", HIWORD(fixed->dwFileVersionMS),
                   LOWORD(fixed->dwFileVersionMS), HIWORD(fixed->dwFileVersionLS),
                   LOWORD(fixed->dwFileVersionLS));
    }
    if (ExtractIconExA(argv[1], 0, &large, NULL, 1) == 1 && large && GetIconInfo(large, &info) &&
        GetObjectA(info.hbmColor, sizeof bitmap, &bitmap)) {
        HDC dc = CreateCompatibleDC(NULL);
        SelectObject(dc, info.hbmColor);
        COLORREF centre = GetPixel(dc, bitmap.bmWidth / 2, bitmap.bmHeight / 2);
        printf("icon=%dx%d %02x%02x%02x\n", bitmap.bmWidth, bitmap.bmHeight, GetRValue(centre),
               GetGValue(centre), GetBValue(centre));
    }
    return 0;
}
