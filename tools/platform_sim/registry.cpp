// registry.cpp: advapi32's registry, held in memory under the four roots.
#include "tools/platform_sim/simulation_internal.h"

#include <string.h>

using namespace sim;

namespace {

const char* const RootNames[4] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE",
                                  "HKEY_USERS"};
const long ErrorInvalidHandle = 6; // ERROR_INVALID_HANDLE: only the simulation gives it

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
    uintptr_t first = (uintptr_t)PLATFORM_HKEY_CLASSES_ROOT;
    if (value >= first && value <= (uintptr_t)PLATFORM_HKEY_USERS) {
        *out = OpenKey{(int)(value - first), ""};
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

} // namespace

// ---- controls ----

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

// ---- the registry calls ----

long PlatformRegOpenKeyEx(PlatformKey root, const char* subKey, uint32_t options, uint32_t access,
                          PlatformKey* result) {
    Record("RegOpenKeyEx",
           {KeyName(root), subKey ? subKey : "", std::to_string(options), Hex(access)});
    OpenKey parent;
    if (!ResolveKey(root, &parent)) return ErrorInvalidHandle;
    std::string path = JoinKey(parent.path, subKey);
    if (!path.empty() && !State().registry[parent.root].count(path))
        return PLATFORM_ERROR_FILE_NOT_FOUND;
    *result = NewHandle(parent.root, path);
    return PLATFORM_ERROR_SUCCESS;
}

long PlatformRegQueryValueEx(PlatformKey key, const char* valueName, uint32_t* type, uint8_t* data,
                             uint32_t* size) {
    Record("RegQueryValueEx", {KeyName(key), valueName ? valueName : "", std::to_string(*size)});
    OpenKey open;
    if (!ResolveKey(key, &open)) return ErrorInvalidHandle;
    SimValue value;
    if (!SimGetRegistryValue(open.root, open.path, valueName ? valueName : "", &value))
        return PLATFORM_ERROR_FILE_NOT_FOUND;
    if (type) *type = value.type;
    if (value.data.size() > *size) {
        *size = (uint32_t)value.data.size();
        return PLATFORM_ERROR_MORE_DATA; // Windows leaves the buffer undefined; we leave it alone
    }
    memcpy(data, value.data.data(), value.data.size());
    *size = (uint32_t)value.data.size();
    return PLATFORM_ERROR_SUCCESS;
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
    return PLATFORM_ERROR_SUCCESS;
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
    return PLATFORM_ERROR_SUCCESS;
}

long PlatformRegDeleteValue(PlatformKey key, const char* valueName) {
    Record("RegDeleteValue", {KeyName(key), valueName});
    OpenKey open;
    if (!ResolveKey(key, &open)) return ErrorInvalidHandle;
    auto found = State().registry[open.root].find(open.path);
    if (found == State().registry[open.root].end()) return PLATFORM_ERROR_FILE_NOT_FOUND;
    return found->second.values.erase(Lower(valueName)) ? PLATFORM_ERROR_SUCCESS
                                                        : PLATFORM_ERROR_FILE_NOT_FOUND;
}

// Removes a key that has no subkeys, as RegDeleteKeyA does.
long PlatformRegDeleteKey(PlatformKey root, const char* subKey) {
    Record("RegDeleteKey", {KeyName(root), subKey});
    OpenKey parent;
    if (!ResolveKey(root, &parent)) return ErrorInvalidHandle;
    std::string path = JoinKey(parent.path, subKey);
    auto& keys = State().registry[parent.root];
    if (path.empty() || !keys.count(path)) return PLATFORM_ERROR_FILE_NOT_FOUND;
    for (const auto& other : keys)
        if (other.first.compare(0, path.size() + 1, path + "\\") == 0)
            return PLATFORM_ERROR_ACCESS_DENIED;
    keys.erase(path);
    return PLATFORM_ERROR_SUCCESS;
}

long PlatformRegQueryInfoKey(PlatformKey key, uint32_t* subKeys, uint32_t* values) {
    Record("RegQueryInfoKey", {KeyName(key)});
    OpenKey open;
    if (!ResolveKey(key, &open)) return ErrorInvalidHandle;
    const auto& keys = State().registry[open.root];
    auto found = keys.find(open.path);
    if (found == keys.end()) return PLATFORM_ERROR_FILE_NOT_FOUND;
    *values = (uint32_t)found->second.values.size();
    *subKeys = 0;
    for (const auto& other : keys) {
        size_t prefix = open.path.empty() ? 0 : open.path.size() + 1;
        if ((open.path.empty() || other.first.compare(0, prefix, open.path + "\\") == 0) &&
            other.first.size() > prefix && other.first.find('\\', prefix) == std::string::npos)
            ++*subKeys;
    }
    return PLATFORM_ERROR_SUCCESS;
}

long PlatformRegCloseKey(PlatformKey key) {
    Record("RegCloseKey", {KeyName(key)});
    if (!State().openKeys.erase((uintptr_t)key)) return ErrorInvalidHandle;
    return PLATFORM_ERROR_SUCCESS;
}
