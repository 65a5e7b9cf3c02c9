// simulation.cpp: the host implementation of platform.h.
#include "tools/platform_sim/simulation.h"

#include "platform/platform.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <deque>
#include <map>
#include <memory>
#include <unordered_map>

namespace {

const char* const RootNames[4] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE",
                                  "HKEY_USERS"};
enum { ErrorFileNotFound = 2, ErrorAccessDenied = 5, ErrorInvalidHandle = 6, ErrorMoreData = 234 };
const int32_t PathNotFoundHresult = (int32_t)0x80070003u;

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = c - 'A' + 'a';
    return text;
}

std::string Hex(uint32_t value) {
    char text[16];
    snprintf(text, sizeof text, "0x%x", value);
    return text;
}

struct StoredValue {
    std::string name; // as first written
    SimValue value;
};
struct Key {
    std::map<std::string, StoredValue> values; // by lower-case name
};
struct OpenKey {
    int root;
    std::string path;
};
struct ShellLink {
    std::string path;
    std::string description;
};

struct Simulation {
    std::string sandbox;
    std::map<std::string, Key> registry[4]; // by lower-case key path
    std::map<uintptr_t, OpenKey> openKeys;
    uintptr_t nextHandle = 0x1000;
    bool failKeyCreation = false;
    std::vector<SimCall> calls;
    std::deque<int> answers;
    FILE* messageOutput = nullptr;
    int32_t shellLinkFailure = 0;
    int silent = 0;
    uint32_t lastError = 0;
    bool elevated = false;
    std::string windowsDir = "C:\\Windows";
    std::string systemDir = "C:\\Windows\\system32";
    std::string tempPath = "C:\\Temp\\";
    std::string moduleFileName = "C:\\vantorel.exe";
};

Simulation& State() {
    static Simulation simulation;
    return simulation;
}

void Record(const char* name, std::vector<std::string> args) {
    State().calls.push_back(SimCall{name, std::move(args)});
}

// Registry key paths: backslash-separated, compared without regard to case,
// without leading, trailing or doubled separators.
std::string NormalKeyPath(const std::string& path) {
    std::string out;
    for (size_t i = 0; i < path.size(); i++) {
        if (path[i] == '\\' && (out.empty() || out.back() == '\\')) continue;
        out += path[i];
    }
    if (!out.empty() && out.back() == '\\') out.pop_back();
    return Lower(out);
}

// The open key behind a handle: a root, or a key opened before.
bool ResolveKey(PlatformKey key, OpenKey* out) {
    uintptr_t value = (uintptr_t)key;
    if (value >= 0x80000000u && value <= 0x80000003u) {
        *out = OpenKey{(int)(value - 0x80000000u), ""};
        return true;
    }
    auto found = State().openKeys.find(value);
    if (found == State().openKeys.end()) return false;
    *out = found->second;
    return true;
}

std::string KeyName(PlatformKey key) {
    OpenKey open;
    if (!ResolveKey(key, &open)) return Hex((uint32_t)(uintptr_t)key);
    return open.path.empty() ? RootNames[open.root]
                             : std::string(RootNames[open.root]) + "\\" + open.path;
}

std::string JoinKey(const std::string& parent, const char* subKey) {
    std::string sub = subKey ? subKey : "";
    if (parent.empty()) return NormalKeyPath(sub);
    return NormalKeyPath(parent + "\\" + sub);
}

PlatformKey NewHandle(int root, const std::string& path) {
    uintptr_t handle = State().nextHandle++;
    State().openKeys[handle] = OpenKey{root, path};
    return (PlatformKey)handle;
}

bool Exists(const std::string& hostPath) {
    struct stat info;
    return stat(hostPath.c_str(), &info) == 0;
}

bool IsDirectory(const std::string& hostPath) {
    struct stat info;
    return stat(hostPath.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The names of one folder by their lower-case form, read once and kept
// current as we make names in it, so that a name is found in constant time;
// a folder changed by anyone else (its time differs) is read again.
struct FolderIndex {
    struct timespec changed;
    std::unordered_map<std::string, std::string> names;
};
std::unordered_map<std::string, FolderIndex> folderIndexes; // by absolute host path

std::string AbsoluteFolder(const std::string& folder) {
    if (!folder.empty() && folder[0] == '/') return folder;
    char cwd[4096];
    std::string current = getcwd(cwd, sizeof cwd) ? cwd : ".";
    return folder.empty() || folder == "." ? current : current + "/" + folder;
}

bool SameTime(const struct timespec& a, const struct timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// The entry of folder whose name is component in another case, or "".
std::string FindName(const std::string& folder, const std::string& component) {
    std::string absolute = AbsoluteFolder(folder);
    struct stat info;
    if (stat(absolute.c_str(), &info) != 0) return "";
    FolderIndex& index = folderIndexes[absolute];
    if (!SameTime(index.changed, info.st_mtim)) {
        index.changed = info.st_mtim;
        index.names.clear();
        if (DIR* dir = opendir(absolute.c_str())) {
            while (dirent* entry = readdir(dir)) index.names[Lower(entry->d_name)] = entry->d_name;
            closedir(dir);
        }
    }
    auto found = index.names.find(Lower(component));
    if (found == index.names.end()) return "";
    // A name removed since it was read is no match.
    if (!Exists(absolute + "/" + found->second)) {
        index.names.erase(found);
        return "";
    }
    return found->second;
}

// After we made hostPath: its folder's index learns the name without being
// read again.
void NoteMade(const std::string& hostPath) {
    size_t slash = hostPath.find_last_of('/');
    std::string folder = slash == std::string::npos ? "" : hostPath.substr(0, slash);
    auto index = folderIndexes.find(AbsoluteFolder(slash == 0 ? "/" : folder));
    struct stat info;
    if (index == folderIndexes.end() || stat(index->first.c_str(), &info) != 0) return;
    std::string name = hostPath.substr(slash + 1);
    index->second.names[Lower(name)] = name;
    index->second.changed = info.st_mtim;
}

// Appends component to base, taking an existing entry whose name differs only
// in letter case when the exact name does not exist.
std::string JoinResolved(const std::string& base, const std::string& component) {
    std::string exact = base.empty()  ? component
                        : base == "/" ? "/" + component
                                      : base + "/" + component;
    if (component == "." || component == ".." || Exists(exact)) return exact;
    std::string match = FindName(base, component);
    if (match.empty()) return exact;
    return base.empty() ? match : base == "/" ? "/" + match : base + "/" + match;
}

bool HasDrive(const std::string& path) {
    return path.size() >= 2 && path[1] == ':' &&
           ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
}

std::string DriveFolder(char letter) {
    if (letter >= 'a' && letter <= 'z') letter = letter - 'a' + 'A';
    std::string folder = State().sandbox + "/" + letter;
    mkdir(folder.c_str(), 0755);
    return folder;
}

std::string ToHost(const std::string& windowsPath) {
    std::string rest = windowsPath;
    std::string base;
    if (!State().sandbox.empty() && HasDrive(rest)) {
        base = DriveFolder(rest[0]);
        rest = rest.substr(2);
    } else if (!rest.empty() && (rest[0] == '/' || rest[0] == '\\')) {
        base = "/";
    }
    if (!State().sandbox.empty() && base == "/") {
        // A path from the root of the current drive.
        char cwd[4096];
        std::string current = getcwd(cwd, sizeof cwd) ? cwd : "";
        std::string prefix = State().sandbox + "/";
        base = current.compare(0, prefix.size(), prefix) == 0 ? current.substr(0, prefix.size() + 1)
                                                              : DriveFolder('C');
    }
    std::string component;
    for (size_t i = 0; i <= rest.size(); i++) {
        char c = i < rest.size() ? rest[i] : '\\';
        if (c == '\\' || c == '/') {
            if (!component.empty()) base = JoinResolved(base, component);
            component.clear();
        } else {
            component += c;
        }
    }
    return base.empty() ? "." : base;
}

std::string ToWindows(const std::string& hostPath) {
    std::string prefix = State().sandbox + "/";
    if (State().sandbox.empty() || hostPath.compare(0, prefix.size(), prefix) != 0 ||
        hostPath.size() < prefix.size() + 1)
        return hostPath;
    std::string out(1, hostPath[prefix.size()]);
    out += ":\\";
    std::string rest = hostPath.substr(prefix.size() + 1);
    if (!rest.empty() && rest[0] == '/') rest = rest.substr(1);
    for (char& c : rest)
        if (c == '/') c = '\\';
    return out + rest;
}

uint32_t CopyOut(const std::string& text, char* buffer, uint32_t size) {
    if (text.size() + 1 > size) return (uint32_t)text.size() + 1; // Win32: the size needed
    memcpy(buffer, text.c_str(), text.size() + 1);
    return (uint32_t)text.size();
}

} // namespace

// ---- controls ----

void SimReset(const std::string& sandbox) {
    Simulation& s = State();
    s = Simulation();
    s.sandbox = sandbox;
    if (!sandbox.empty()) {
        mkdir(sandbox.c_str(), 0755);
        if (chdir(DriveFolder('C').c_str()) != 0) abort();
        mkdir((DriveFolder('C') + "/Temp").c_str(), 0755);
    }
}

std::string SimHostPath(const std::string& windowsPath) {
    return ToHost(windowsPath);
}
void SimSetWindowsDirectory(const std::string& path) {
    State().windowsDir = path;
}
void SimSetSystemDirectory(const std::string& path) {
    State().systemDir = path;
}
void SimSetTempPath(const std::string& path) {
    State().tempPath = path;
}
void SimSetModuleFileName(const std::string& path) {
    State().moduleFileName = path;
}
void SimSetElevated(bool elevated) {
    State().elevated = elevated;
}

void SimSetRegistryValue(int rootIndex, const std::string& key, const std::string& name,
                         uint32_t type, const std::vector<uint8_t>& data) {
    State().registry[rootIndex][NormalKeyPath(key)].values[Lower(name)] =
        StoredValue{name, SimValue{type, data}};
}

void SimSetRegistryString(int rootIndex, const std::string& key, const std::string& name,
                          const std::string& text) {
    std::vector<uint8_t> data(text.begin(), text.end());
    data.push_back(0);
    SimSetRegistryValue(rootIndex, key, name, PLATFORM_REG_SZ, data);
}

bool SimGetRegistryValue(int rootIndex, const std::string& key, const std::string& name,
                         SimValue* value) {
    auto& keys = State().registry[rootIndex];
    auto found = keys.find(NormalKeyPath(key));
    if (found == keys.end()) return false;
    auto v = found->second.values.find(Lower(name));
    if (v == found->second.values.end()) return false;
    *value = v->second.value;
    return true;
}

bool SimKeyExists(int rootIndex, const std::string& key) {
    return State().registry[rootIndex].count(NormalKeyPath(key)) != 0;
}

void SimFailKeyCreation(bool fail) {
    State().failKeyCreation = fail;
}

bool SimReadShortcut(const std::string& windowsPath, SimShortcut* shortcut) {
    FILE* file = fopen(ToHost(windowsPath).c_str(), "rb");
    if (!file) return false;
    char line[1024];
    std::vector<std::string> lines;
    while (fgets(line, sizeof line, file)) {
        std::string text = line;
        if (!text.empty() && text.back() == '\n') text.pop_back();
        lines.push_back(text);
    }
    fclose(file);
    if (lines.size() != 3 || lines[0] != "[simulated shortcut]") return false;
    shortcut->target = lines[1].substr(lines[1].find('=') + 1);
    shortcut->description = lines[2].substr(lines[2].find('=') + 1);
    return true;
}

void SimFailShellLinkCreation(int32_t hresult) {
    State().shellLinkFailure = hresult;
}
void SimQueueMessageBoxAnswer(int answer) {
    State().answers.push_back(answer);
}
void SimSetMessageOutput(FILE* output) {
    State().messageOutput = output;
}
const std::vector<SimCall>& SimCalls(void) {
    return State().calls;
}
void SimClearCalls(void) {
    State().calls.clear();
}

std::vector<SimCall> SimCallsNamed(const std::string& name) {
    std::vector<SimCall> out;
    for (const SimCall& call : State().calls)
        if (call.name == name) out.push_back(call);
    return out;
}

// ---- registry ----

long PlatformRegOpenKeyEx(PlatformKey root, const char* subKey, uint32_t options, uint32_t access,
                          PlatformKey* result) {
    Record("RegOpenKeyEx",
           {KeyName(root), subKey ? subKey : "", std::to_string(options), Hex(access)});
    OpenKey parent;
    if (!ResolveKey(root, &parent)) return ErrorInvalidHandle;
    std::string path = JoinKey(parent.path, subKey);
    if (!path.empty() && !State().registry[parent.root].count(path)) return ErrorFileNotFound;
    *result = NewHandle(parent.root, path);
    return 0;
}

long PlatformRegQueryValueEx(PlatformKey key, const char* valueName, uint32_t* type, uint8_t* data,
                             uint32_t* size) {
    Record("RegQueryValueEx", {KeyName(key), valueName ? valueName : "", std::to_string(*size)});
    OpenKey open;
    if (!ResolveKey(key, &open)) return ErrorInvalidHandle;
    SimValue value;
    if (!SimGetRegistryValue(open.root, open.path, valueName ? valueName : "", &value))
        return ErrorFileNotFound;
    if (type) *type = value.type;
    if (value.data.size() > *size) {
        *size = (uint32_t)value.data.size();
        return ErrorMoreData; // Windows leaves the buffer undefined; we leave it alone
    }
    memcpy(data, value.data.data(), value.data.size());
    *size = (uint32_t)value.data.size();
    return 0;
}

long PlatformRegCreateKey(PlatformKey root, const char* subKey, PlatformKey* result) {
    Record("RegCreateKey", {KeyName(root), subKey ? subKey : ""});
    OpenKey parent;
    if (!ResolveKey(root, &parent) || State().failKeyCreation) return ErrorInvalidHandle;
    std::string path = JoinKey(parent.path, subKey);
    // Every level of the path comes into being, as on Windows.
    for (size_t at = path.find('\\'); at != std::string::npos; at = path.find('\\', at + 1))
        State().registry[parent.root][path.substr(0, at)];
    State().registry[parent.root][path];
    *result = NewHandle(parent.root, path);
    return 0;
}

long PlatformRegSetValueEx(PlatformKey key, const char* valueName, uint32_t type,
                           const uint8_t* data, uint32_t size) {
    std::string bytes;
    for (uint32_t i = 0; i < size; i++) {
        char hex[4];
        snprintf(hex, sizeof hex, "%02X", data[i]);
        bytes += hex;
    }
    Record("RegSetValueEx", {KeyName(key), valueName ? valueName : "", std::to_string(type),
                             std::to_string(size), bytes});
    OpenKey open;
    if (!ResolveKey(key, &open)) return ErrorInvalidHandle;
    SimSetRegistryValue(open.root, open.path, valueName ? valueName : "", type,
                        std::vector<uint8_t>(data, data + size));
    return 0;
}

long PlatformRegDeleteValue(PlatformKey key, const char* valueName) {
    Record("RegDeleteValue", {KeyName(key), valueName});
    OpenKey open;
    if (!ResolveKey(key, &open)) return ErrorInvalidHandle;
    auto found = State().registry[open.root].find(open.path);
    if (found == State().registry[open.root].end()) return ErrorFileNotFound;
    return found->second.values.erase(Lower(valueName)) ? 0 : ErrorFileNotFound;
}

// Removes a key that has no subkeys, as RegDeleteKeyA does.
long PlatformRegDeleteKey(PlatformKey root, const char* subKey) {
    Record("RegDeleteKey", {KeyName(root), subKey});
    OpenKey parent;
    if (!ResolveKey(root, &parent)) return ErrorInvalidHandle;
    std::string path = JoinKey(parent.path, subKey);
    auto& keys = State().registry[parent.root];
    if (path.empty() || !keys.count(path)) return ErrorFileNotFound;
    for (const auto& other : keys)
        if (other.first.compare(0, path.size() + 1, path + "\\") == 0) return ErrorAccessDenied;
    keys.erase(path);
    return 0;
}

long PlatformRegQueryInfoKey(PlatformKey key, uint32_t* subKeys, uint32_t* values) {
    Record("RegQueryInfoKey", {KeyName(key)});
    OpenKey open;
    if (!ResolveKey(key, &open)) return ErrorInvalidHandle;
    const auto& keys = State().registry[open.root];
    auto found = keys.find(open.path);
    if (found == keys.end()) return ErrorFileNotFound;
    *values = (uint32_t)found->second.values.size();
    *subKeys = 0;
    for (const auto& other : keys) {
        size_t prefix = open.path.empty() ? 0 : open.path.size() + 1;
        if ((open.path.empty() || other.first.compare(0, prefix, open.path + "\\") == 0) &&
            other.first.size() > prefix && other.first.find('\\', prefix) == std::string::npos)
            ++*subKeys;
    }
    return 0;
}

long PlatformRegCloseKey(PlatformKey key) {
    Record("RegCloseKey", {KeyName(key)});
    return State().openKeys.erase((uintptr_t)key) ? 0 : ErrorInvalidHandle;
}

// ---- files and folders ----

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

int PlatformCreateDirectory(const char* path) {
    Record("CreateDirectory", {path});
    return mkdir(ToHost(path).c_str(), 0755) == 0;
}

// The descriptor is recorded, not applied: host permissions cannot express it.
int PlatformCreateSecuredDirectory(const char* path, const char* sddl) {
    Record("CreateDirectory", {path, sddl});
    return mkdir(ToHost(path).c_str(), 0700) == 0;
}

// The Win32 error of the errno a file call failed with.
static int Failed(void) {
    State().lastError = errno == ENOENT      ? 2
                        : errno == ENOTDIR   ? 3
                        : errno == ENOTEMPTY ? 145
                                             : 5; // ERROR_ACCESS_DENIED
    return 0;
}

int PlatformRemoveDirectory(const char* path) {
    Record("RemoveDirectory", {path});
    return rmdir(ToHost(path).c_str()) == 0 || Failed();
}

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
    if (stat(ToHost(path).c_str(), &info) != 0) return Failed(), 0xFFFFFFFFu;
    return S_ISDIR(info.st_mode) ? 0x10 : 0x80; // FILE_ATTRIBUTE_DIRECTORY, _NORMAL
}

uint32_t PlatformGetLastError(void) {
    return State().lastError;
}

void PlatformSleep(uint32_t milliseconds) {
    Record("Sleep", {std::to_string(milliseconds)});
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
        return path.size() < 260 ? (snprintf(buffer, 260, "%s", path.c_str()), unique) : 0;
    }
    return 0;
}

int PlatformMoveFileEx(const char* from, const char* to, uint32_t flags) {
    Record("MoveFileEx", {from, to, std::to_string(flags)});
    std::string target = ToHost(to);
    if (!(flags & PLATFORM_MOVEFILE_REPLACE_EXISTING) && Exists(target)) return 0;
    return !IsDirectory(target) && rename(ToHost(from).c_str(), target.c_str()) == 0;
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

uint32_t PlatformGetModuleFileName(char* buffer, uint32_t size) {
    const std::string& name = State().moduleFileName;
    if (size == 0) return 0;
    // Win32 cuts a name that does not fit and still terminates it.
    uint32_t length = name.size() < size ? (uint32_t)name.size() : size - 1;
    memcpy(buffer, name.data(), length);
    buffer[length] = 0;
    return length;
}

uint32_t PlatformGetTickCount(void) {
    static uint32_t ticks = 1000;
    return ticks += 16;
}

int PlatformIsElevated(void) {
    Record("CheckTokenMembership", {"S-1-5-32-544"});
    return State().elevated;
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

int PlatformSetFileTime(const char* path, int64_t time) {
    Record("SetFileTime", {path, std::to_string(time)});
    struct utimbuf times = {(time_t)time, (time_t)time};
    return utime(ToHost(path).c_str(), &times) == 0;
}

FILE* PlatformOpenFile(const char* path, const char* mode) {
    std::string host = ToHost(path);
    FILE* file = fopen(host.c_str(), mode);
    if (file && mode[0] != 'r') NoteMade(host);
    return file;
}

// Another opener is not shut out: tests run one process.
FILE* PlatformOpenFileAlone(const char* path, const char* mode) {
    Record("OpenFileAlone", {path, mode});
    FILE* file = PlatformOpenFile(path, mode);
    if (!file) Failed();
    return file;
}

int PlatformSetFileSize(FILE* file, long size) {
    return fflush(file) == 0 && ftruncate(fileno(file), size) == 0;
}

// ---- COM and shell links ----

int32_t PlatformCoInitialize(void) {
    Record("CoInitialize", {});
    return 0;
}

void PlatformCoUninitialize(void) {
    Record("CoUninitialize", {});
}

int32_t PlatformCreateShellLink(PlatformShellLink* link) {
    Record("CoCreateInstance", {"CLSID_ShellLink", "CLSCTX_INPROC_SERVER", "IID_IShellLinkA"});
    if (State().shellLinkFailure < 0) {
        int32_t failure = State().shellLinkFailure;
        State().shellLinkFailure = 0;
        return failure;
    }
    *link = new ShellLink();
    return 0;
}

int32_t PlatformShellLinkSetPath(PlatformShellLink link, const char* path) {
    Record("SetPath", {path});
    static_cast<ShellLink*>(link)->path = path;
    return 0;
}

int32_t PlatformShellLinkSetDescription(PlatformShellLink link, const char* description) {
    Record("SetDescription", {description});
    static_cast<ShellLink*>(link)->description = description;
    return 0;
}

int32_t PlatformShellLinkQueryPersistFile(PlatformShellLink link, PlatformPersistFile* file) {
    Record("QueryInterface", {"IID_IPersistFile"});
    *file = link;
    return 0;
}

int32_t PlatformPersistFileSave(PlatformPersistFile file, const uint16_t* path, int remember) {
    std::string narrow;
    for (const uint16_t* p = path; *p; p++) narrow += (char)*p;
    Record("Save", {narrow, std::to_string(remember)});
    std::string host = ToHost(narrow);
    std::string folder =
        host.substr(0, host.find_last_of('/') == std::string::npos ? 0 : host.find_last_of('/'));
    if (!folder.empty() && !IsDirectory(folder)) return PathNotFoundHresult;
    FILE* out = fopen(host.c_str(), "wb");
    if (!out) return PathNotFoundHresult;
    const ShellLink* link = static_cast<const ShellLink*>(file);
    fprintf(out, "[simulated shortcut]\nTarget=%s\nDescription=%s\n", link->path.c_str(),
            link->description.c_str());
    fclose(out);
    return 0;
}

void PlatformReleasePersistFile(PlatformPersistFile) {
    Record("Release", {"IPersistFile"});
}

void PlatformReleaseShellLink(PlatformShellLink link) {
    Record("Release", {"IShellLinkA"});
    delete static_cast<ShellLink*>(link);
}

int PlatformAnsiToWide(const char* text, uint16_t* wide, int wideSize) {
    int length = (int)strlen(text) + 1;
    if (length > wideSize) return 0;
    for (int i = 0; i < length; i++) wide[i] = (unsigned char)text[i];
    return length;
}

// ---- message boxes and exit ----

int PlatformMessageBox(const char* text, const char* caption, uint32_t type) {
    Simulation& s = State();
    Record("MessageBox", {text, caption, Hex(type)});
    int first = (type & 0xF) == PLATFORM_MB_YESNO ? 6 : 1;
    if (s.silent) return first;
    if (s.messageOutput) fprintf(s.messageOutput, "%s\n", text);
    if (s.answers.empty()) return first;
    int answer = s.answers.front();
    s.answers.pop_front();
    return answer;
}

void PlatformSetSilent(int silent) {
    State().silent = silent;
}

int PlatformRemoveSelfLater(const char* self, int levels) {
    Record("RemoveSelfLater", {self, std::to_string(levels)});
    return 1;
}

void PlatformExit(int code) {
    fflush(stdout);
    fflush(stderr);
    exit(code);
}
