// version_resource.cpp: VS_VERSIONINFO, written from build's values.
#include "tools/pack/version_resource.h"

#include "tools/pack/code_page.h"
#include "tools/pack/little_endian.h"

#include <stdint.h>

namespace {

const char* const Keys[] = {"ProductName", "ProductVersion",  "FileVersion",
                            "CompanyName", "FileDescription", "LegalCopyright"};

// UTF-8 (checked before) as UTF-16, with its terminating zero.
std::string Utf16(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size();) {
        size_t length = Utf8Length((uint8_t)text[i]);
        uint32_t c = length == 1 ? (uint8_t)text[i] : (uint8_t)text[i] & (0x7F >> length);
        for (size_t j = 1; j < length; j++) c = c << 6 | ((uint8_t)text[i + j] & 0x3F);
        i += length;
        if (c >= 0x10000) {
            AppendLittleEndian(&out, 0xD800 + ((c - 0x10000) >> 10), 2);
            c = 0xDC00 + (c & 0x3FF);
        }
        AppendLittleEndian(&out, c, 2);
    }
    AppendLittleEndian(&out, 0, 2);
    return out;
}

// The leading numbers of a version ("1.2.3 beta": 1, 2, 3, 0); false when
// there are none or one is past 65535.
bool ReadVersion(const std::string& text, uint32_t* high, uint32_t* low) {
    uint32_t parts[4] = {0, 0, 0, 0};
    size_t at = 0;
    for (int part = 0; part < 4; part++) {
        if (at >= text.size() || text[at] < '0' || text[at] > '9') {
            if (part == 0) return false;
            break;
        }
        for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; at++)
            if ((parts[part] = parts[part] * 10 + (uint32_t)(text[at] - '0')) > 0xFFFF)
                return false;
        if (at < text.size() && text[at] == '.')
            at++;
        else
            break;
    }
    *high = parts[0] << 16 | parts[1];
    *low = parts[2] << 16 | parts[3];
    return true;
}

void Pad(std::string* bytes) {
    while (bytes->size() % 4) *bytes += '\0';
}

// A block: length, value length (in words for text), type (1 text, 0
// binary), key, value, then its children, each 4-byte aligned.
std::string Block(const std::string& key, const std::string& value, bool text,
                  const std::string& children) {
    std::string block;
    AppendLittleEndian(&block, 0, 2);
    AppendLittleEndian(&block, (uint32_t)(text ? value.size() / 2 : value.size()), 2);
    AppendLittleEndian(&block, text, 2);
    block += Utf16(key);
    Pad(&block);
    block += value;
    if (!children.empty()) Pad(&block);
    block += children;
    WriteLittleEndian(&block, 0, (uint32_t)block.size(), 2);
    return block;
}

std::string Find(const VersionValues& values, const std::string& key) {
    for (const auto& value : values)
        if (value.first == key) return value.second;
    return "";
}

} // namespace

std::string AddVersionValue(const std::string& argument, VersionValues* values) {
    size_t equals = argument.find('=');
    std::string key = argument.substr(0, equals), value;
    bool known = false;
    for (const char* name : Keys) known |= key == name;
    if (equals == std::string::npos || !known)
        return "--version-info takes KEY=VALUE, KEY one of ProductName, ProductVersion, "
               "FileVersion, CompanyName, FileDescription, LegalCopyright";
    value = argument.substr(equals + 1);
    if (!Find(*values, key).empty()) return "--version-info " + key + " given twice";
    if (value.empty() || !IsUtf8(value)) return "--version-info " + key + " needs a UTF-8 text";
    uint32_t high, low;
    if (key.find("Version") != std::string::npos && !ReadVersion(value, &high, &low))
        return "--version-info " + key +
               " must start with up to four numbers from 0 to 65535, "
               "as in 1.2.3";
    if (value.size() > 1024) return "--version-info " + key + " is longer than 1024 bytes";
    values->push_back({key, value});
    return "";
}

std::string VersionResource(VersionValues values, const std::string& title) {
    if (Find(values, "ProductName").empty() && !title.empty())
        values.insert(values.begin(), {"ProductName", title});
    std::string product = Find(values, "ProductVersion"), file = Find(values, "FileVersion");
    if (file.empty() && !product.empty()) values.push_back({"FileVersion", file = product});
    uint32_t fileHigh = 0, fileLow = 0, productHigh = 0, productLow = 0;
    ReadVersion(file, &fileHigh, &fileLow);
    ReadVersion(product.empty() ? file : product, &productHigh, &productLow);
    std::string fixed;
    for (uint32_t field : {0xFEEF04BDu, 0x10000u, fileHigh, fileLow, productHigh, productLow, 0x3Fu,
                           0u, 0x40004u /* Windows NT */, 1u /* an application */, 0u, 0u, 0u})
        AppendLittleEndian(&fixed, field, 4);
    std::string strings;
    for (const auto& value : values) {
        Pad(&strings);
        strings += Block(value.first, Utf16(value.second), true, "");
    }
    std::string translation;
    AppendLittleEndian(&translation, 0x04B00409, 4); // US English, Unicode
    std::string info = Block("StringFileInfo", "", true, Block("040904B0", "", true, strings));
    Pad(&info);
    info += Block("VarFileInfo", "", true, Block("Translation", translation, false, ""));
    return Block("VS_VERSION_INFO", fixed, false, info);
}
