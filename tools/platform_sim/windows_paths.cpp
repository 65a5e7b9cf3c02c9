// windows_paths.cpp: Windows paths on the host: drives as sandbox folders, names in any case.
#include "tools/platform_sim/simulation_internal.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <unordered_map>

namespace sim {

bool Exists(const std::string& hostPath) {
    struct stat info;
    return stat(hostPath.c_str(), &info) == 0;
}

bool IsDirectory(const std::string& hostPath) {
    struct stat info;
    return stat(hostPath.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

namespace {

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

} // namespace

// The folder's index learns the name without being read again.
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

} // namespace sim

std::string SimHostPath(const std::string& windowsPath) {
    return sim::ToHost(windowsPath);
}
