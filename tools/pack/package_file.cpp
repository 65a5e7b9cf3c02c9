// package_file.cpp: writing and reading package files on the host.
#include "tools/pack/package_file.h"

#include "frontend/package_check.h"
#include "script/package_layout.h"

#include <stdint.h>

#include <fstream>
#include <iterator>

static void AppendU32(std::string* bytes, uint32_t value) {
    for (int i = 0; i < 4; i++) *bytes += (char)(value >> (8 * i));
}

std::string MakePackage(const std::string& stub, const std::string& script,
                        const std::string& archive) {
    std::string bytes = stub;
    AppendU32(&bytes, (uint32_t)script.size());
    bytes += script;
    AppendU32(&bytes, (uint32_t)archive.size());
    bytes += archive;
    return bytes;
}

std::string PlaceholderStub() {
    std::string stub(PackageDataOffset, '\0');
    return stub.replace(512, sizeof PACKAGE_SEAL_MAGIC, PACKAGE_SEAL_MAGIC,
                        sizeof PACKAGE_SEAL_MAGIC);
}

std::string ReadWholeFile(const std::string& path, std::string* bytes) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return "cannot read " + path;
    bytes->assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return file.bad() ? "cannot read " + path : "";
}

std::string BaseName(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string FolderOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

std::string WriteWholeFile(const std::string& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), (std::streamsize)bytes.size());
    return file.flush() ? "" : "cannot write " + path;
}
