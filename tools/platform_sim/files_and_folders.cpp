// files_and_folders.cpp: kernel32's files, folders and streams, on the host's file system.
#include "tools/platform_sim/simulation_internal.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

using namespace sim;

namespace {

const uint32_t FileAttributeNormal = 0x80; // FILE_ATTRIBUTE_NORMAL

uint32_t CopyOut(const std::string& text, char* buffer, uint32_t size) {
    if (text.size() + 1 > size) return (uint32_t)text.size() + 1; // Win32: the size needed
    memcpy(buffer, text.c_str(), text.size() + 1);
    return (uint32_t)text.size();
}

// Keeps the Win32 error of the errno a file call failed with; 0 for the
// caller's BOOL.
int Failed(void) {
    State().lastError = errno == ENOENT      ? PLATFORM_ERROR_FILE_NOT_FOUND
                        : errno == ENOTDIR   ? PLATFORM_ERROR_PATH_NOT_FOUND
                        : errno == ENOTEMPTY ? PLATFORM_ERROR_DIR_NOT_EMPTY
                                             : PLATFORM_ERROR_ACCESS_DENIED;
    return 0;
}

} // namespace

// ---- controls ----

void SimSetWindowsDirectory(const std::string& path) {
    State().windowsDir = path;
}
void SimSetSystemDirectory(const std::string& path) {
    State().systemDir = path;
}
void SimSetTempPath(const std::string& path) {
    State().tempPath = path;
}

// ---- the current directory and the system's folders ----

uint32_t PlatformGetCurrentDirectory(uint32_t size, char* buffer) {
    char cwd[4096];
    std::string current = getcwd(cwd, sizeof cwd) ? ToWindows(cwd) : "";
    Record("GetCurrentDirectory", {std::to_string(size)});
    return CopyOut(current, buffer, size);
}

int PlatformSetCurrentDirectory(const char* path) {
    Record("SetCurrentDirectory", {path});
    std::string host = ToHost(path);
    return IsDirectory(host) && chdir(host.c_str()) == 0;
}

uint32_t PlatformGetWindowsDirectory(char* buffer, uint32_t size) {
    return CopyOut(State().windowsDir, buffer, size);
}

uint32_t PlatformGetSystemDirectory(char* buffer, uint32_t size) {
    return CopyOut(State().systemDir, buffer, size);
}

uint32_t PlatformGetTempPath(uint32_t size, char* buffer) {
    Simulation& s = State();
    if (!s.sandbox.empty()) {
        std::string host = ToHost(s.tempPath);
        mkdir(host.c_str(), 0755);
    }
    return CopyOut(s.tempPath, buffer, size);
}

// ---- folders ----

int PlatformCreateDirectory(const char* path) {
    Record("CreateDirectory", {path});
    return mkdir(ToHost(path).c_str(), 0755) == 0;
}

// The descriptor is recorded, not applied: host permissions cannot express it.
int PlatformCreateSecuredDirectory(const char* path, const char* sddl) {
    Record("CreateDirectory", {path, sddl});
    return mkdir(ToHost(path).c_str(), 0700) == 0;
}

int PlatformRemoveDirectory(const char* path) {
    Record("RemoveDirectory", {path});
    return rmdir(ToHost(path).c_str()) == 0 || Failed();
}

void PlatformListFiles(const char* folder, PlatformFileVisitor visit) {
    std::string host = ToHost(folder);
    DIR* dir = opendir(host.c_str());
    if (!dir) return;
    std::vector<std::string> names;
    while (dirent* entry = readdir(dir))
        if (!IsDirectory(host + "/" + entry->d_name)) names.push_back(entry->d_name);
    closedir(dir);
    for (const std::string& name : names) visit(name.c_str());
}

// ---- files ----

int PlatformCopyFile(const char* source, const char* destination, int failIfExists) {
    Record("CopyFile", {source, destination, std::to_string(failIfExists)});
    std::string to = ToHost(destination);
    if (failIfExists && Exists(to)) return 0;
    FILE* in = fopen(ToHost(source).c_str(), "rb");
    if (!in || IsDirectory(ToHost(source))) {
        if (in) fclose(in);
        return 0;
    }
    FILE* out = fopen(to.c_str(), "wb");
    if (!out) {
        fclose(in);
        return 0;
    }
    char block[65536];
    size_t got;
    bool good = true;
    while ((got = fread(block, 1, sizeof block, in)) > 0)
        if (fwrite(block, 1, got, out) != got) good = false;
    fclose(in);
    if (fclose(out) != 0) good = false;
    // CopyFileA keeps the modification time.
    struct stat info;
    if (good && stat(ToHost(source).c_str(), &info) == 0) {
        struct utimbuf times = {info.st_atime, info.st_mtime};
        utime(to.c_str(), &times);
    }
    return good;
}

int PlatformDeleteFile(const char* path) {
    Record("DeleteFile", {path});
    std::string host = ToHost(path);
    if (IsDirectory(host)) errno = EISDIR;
    return (!IsDirectory(host) && unlink(host.c_str()) == 0) || Failed();
}

uint32_t PlatformGetFileAttributes(const char* path) {
    struct stat info;
    if (stat(ToHost(path).c_str(), &info) != 0) return Failed(), PLATFORM_INVALID_FILE_ATTRIBUTES;
    return S_ISDIR(info.st_mode) ? PLATFORM_FILE_ATTRIBUTE_DIRECTORY : FileAttributeNormal;
}

uint32_t PlatformGetLastError(void) {
    return State().lastError;
}

uint32_t PlatformGetTempFileName(const char* folder, const char* prefix, char* buffer) {
    Record("GetTempFileName", {folder, prefix});
    std::string host = ToHost(folder);
    if (!IsDirectory(host)) return 0;
    for (uint32_t unique = 1; unique < 0x10000; unique++) {
        char name[32];
        snprintf(name, sizeof name, "%.3s%X.TMP", prefix, unique);
        int fd = open((host + "/" + name).c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return 0;
        }
        close(fd);
        std::string path = std::string(folder) +
                           (*folder && folder[strlen(folder) - 1] == '\\' ? "" : "\\") + name;
        return path.size() < PLATFORM_MAX_PATH
                   ? (snprintf(buffer, PLATFORM_MAX_PATH, "%s", path.c_str()), unique)
                   : 0;
    }
    return 0;
}

int PlatformMoveFileEx(const char* from, const char* to, uint32_t flags) {
    Record("MoveFileEx", {from, to, std::to_string(flags)});
    std::string target = ToHost(to);
    if (!(flags & PLATFORM_MOVEFILE_REPLACE_EXISTING) && Exists(target)) return 0;
    return !IsDirectory(target) && rename(ToHost(from).c_str(), target.c_str()) == 0;
}

int PlatformSetFileTime(const char* path, int64_t time) {
    Record("SetFileTime", {path, std::to_string(time)});
    struct utimbuf times = {(time_t)time, (time_t)time};
    return utime(ToHost(path).c_str(), &times) == 0;
}

// ---- streams ----

FILE* PlatformOpenFile(const char* path, const char* mode) {
    std::string host = ToHost(path);
    FILE* file = fopen(host.c_str(), mode);
    if (file && mode[0] != 'r') NoteMade(host);
    return file;
}

// Another opener is not shut out: tests run one process.
FILE* PlatformOpenFileAlone(const char* path, const char* mode, uint32_t* error) {
    Record("OpenFileAlone", {path, mode});
    FILE* file = PlatformOpenFile(path, mode);
    if (!file) {
        Failed();
        *error = State().lastError;
    }
    return file;
}

int PlatformSetFileSize(FILE* file, long size) {
    return fflush(file) == 0 && ftruncate(fileno(file), size) == 0;
}
