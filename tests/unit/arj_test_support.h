// arj_test_support.h: archives made by hand or by arj, encoders for hand-made streams.
#pragma once

#include "arj/archive_reader.h"
#include "arj/arj_format.h"
#include "tests/unit/sandbox.h"

#include <stdint.h>
#include <sys/stat.h>

#include <string>
#include <vector>

namespace arj_test {

using Bytes = std::string;

// Bit by bit, independent of the reader's tables.
inline uint32_t Crc(const Bytes& bytes) {
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char c : bytes)
        for (int i = 0, b = c; i < 8; i++, b >>= 1)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - ((crc ^ b) & 1)));
    return ~crc;
}

inline Bytes Le(uint64_t value, int bytes) {
    return bytes ? (char)value + Le(value >> 8, bytes - 1) : "";
}

inline uint32_t ReadLe(const Bytes& bytes, size_t at, int count = 4) {
    return count ? (uint8_t)bytes.at(at) | ReadLe(bytes, at + 1, count - 1) << 8 : 0;
}

// Where the basic headers of an archive without extended headers start, the
// main header's first; *end: where the end-of-archive header starts.
inline std::vector<size_t> BasicHeaders(const Bytes& archive, size_t* end = nullptr) {
    std::vector<size_t> found;
    size_t h = 0;
    while (uint32_t size = ReadLe(archive, h + 2, 2)) {
        found.push_back(h + 4);
        h += 10 + size + (found.size() > 1 ? ReadLe(archive, h + 4 + CompressedSizeField) : 0);
    }
    if (end) *end = h;
    return found;
}

// Id, size, basic header, its CRC, extended headers (CRCs unchecked), 0.
inline Bytes Frame(const Bytes& basic, const std::vector<Bytes>& extended = {}) {
    Bytes b = "\x60\xEA" + Le((uint32_t)basic.size(), 2) + basic + Le(Crc(basic), 4);
    for (const Bytes& e : extended) b += Le((uint32_t)e.size(), 2) + e + "CRC!";
    return b + Le(0, 2);
}

const Bytes EndOfArchive("\x60\xEA\x00\x00", 4);

struct Entry {
    std::string name;
    Bytes data, original; // as stored; the file (its CRC goes into the header)
    int method = 0, fileType = 0, hostOs = 2, flags = 0, version = 11, minVersion = 1;
    int64_t originalSize = -1, compressedSize = -1, crc = -1; // -1: from the bytes
    uint32_t time = 0;                                        // MS-DOS date and time
    Bytes comment = "";
};

inline Entry Stored(const std::string& name, const Bytes& data) {
    return Entry{name, data, data};
}

inline Bytes BasicHeader(const Entry& e) {
    Bytes b = {30, (char)e.version, (char)e.minVersion, (char)e.hostOs};
    b += {(char)e.flags, (char)e.method, (char)e.fileType, 0};
    b += Le(e.time, 4);
    b += Le((uint32_t)(e.compressedSize < 0 ? e.data.size() : e.compressedSize), 4);
    b += Le((uint32_t)(e.originalSize < 0 ? e.original.size() : e.originalSize), 4);
    b += Le((uint32_t)(e.crc < 0 ? Crc(e.original) : e.crc), 4) + Le(0, 6);
    return b + e.name + '\0' + e.comment + '\0';
}

inline Bytes MainHeader() {
    return Frame(BasicHeader(Entry{"test.arj", "", "", StoredMethod, MainHeaderType}));
}

inline Bytes Archive(const std::vector<Entry>& entries) {
    Bytes b = MainHeader();
    for (const Entry& e : entries) b += Frame(BasicHeader(e)) + e.data;
    return b + EndOfArchive;
}

inline Bytes Package(const Bytes& archive, const Bytes& script = "Title(\"t\");") {
    return MakePackage(PlaceholderStub(), script, archive);
}

// Writes the package to C:\setup.exe; extracts as the installer at path, into
// the current folder or a new one.
struct Extracted {
    int result;
    std::vector<std::string> names;
    std::vector<int> statuses;
    std::string message;
};
inline void NoteEntry(const ArchiveEntry* entry, EntryStatus status, void* context) {
    ((Extracted*)context)->names.push_back(entry->entryName);
    ((Extracted*)context)->statuses.push_back(status);
}
inline Extracted Extract(const Sandbox& box, const Bytes& package,
                         const char* path = "C:\\setup.exe") {
    box.Write("C:\\setup.exe", package);
    Extracted x;
    char message[MessageSize];
    x.result = ExtractArchive(path, NoteEntry, &x, message);
    x.message = message;
    return x;
}
inline Extracted ExtractInto(const Sandbox& box, const Bytes& package, const std::string& folder) {
    box.MakeFolder(folder);
    EXPECT_TRUE(PlatformSetCurrentDirectory(folder.c_str()));
    return Extract(box, package);
}

// -1 for a file that is missing.
inline time_t ModTime(const std::string& path) {
    struct stat info;
    return stat(SimHostPath(path).c_str(), &info) == 0 ? info.st_mtime : -1;
}

// Bytes from a small alphabet compress; from all 256 they do not; -1 draws
// a few values with falling odds.
inline Bytes Pseudo(size_t size, uint32_t seed, int alphabet = 256) {
    Bytes b(size, '\0');
    for (char& c : b) {
        seed = seed * 1103515245u + 12345u;
        c = (char)(alphabet == 256 ? seed >> 16 : 'a' + (seed >> 16) % alphabet);
        if (alphabet < 0) c = (char)(__builtin_ctz(seed >> 8 | 1u << 23) * 11); // 2^-(k+1) each
    }
    return b;
}

// 16-bit counters: no 3 bytes repeat, so every byte is a literal item.
inline Bytes Counters(size_t size) {
    Bytes b;
    for (uint32_t i = 0; b.size() < size; i++) b += Le(i, 2);
    return b.substr(0, size);
}

// Contents to compress: around the window size (26624), empty, one byte, runs,
// far matches, only literals, incompressible, skewed, text.
inline std::vector<Entry> Shapes() {
    Bytes text;
    for (int i = 0; text.size() < 200000; i++)
        text += "line " + std::to_string(i * 7919 % 1000) + ": the quick brown fox\n";
    Bytes skewed = Pseudo(60000, 6, -1); // rare bytes get codes of more than 12 bits
    return {
        Stored("empty", ""),
        Stored("one", "x"),
        Stored("million", Bytes(1000000, 'a')),
        Stored("runs", Bytes(200000, 'x') + Pseudo(1000, 4, 2) + Bytes(70000, '\0')),
        Stored("a26623", Pseudo(26623, 1, 4)),
        Stored("a26624", Pseudo(26624, 2, 4)),
        Stored("a26625", Pseudo(26625, 3, 4)),
        Stored("w26623", Pseudo(26623, 1).substr(0, 20000) + Bytes(6623, 'b')),
        Stored("w26624", skewed.substr(0, 26624)),
        Stored("w26625", text.substr(0, 26625)),
        Stored("random", Pseudo(100000, 2)),
        Stored("far", Pseudo(26624, 3) + Pseudo(26624, 3) + Pseudo(15872, 4) + Pseudo(15872, 4)),
        Stored("beyond", Pseudo(26625, 7) + Pseudo(26625, 7) + Pseudo(15873, 8) + Pseudo(15873, 8)),
        Stored("items65535", Counters(65535)),
        Stored("items65536", Counters(65536) + Pseudo(40000, 5)),
        Stored("skewed", skewed),
        Stored("text", text)};
}

inline bool HaveArj() {
    return system("command -v arj >/dev/null 2>&1") == 0;
}

// "arj a -y SWITCHES made.arj FILES" in folder (a host path), to a new
// archive or added to the last; gives the archive.
inline Bytes MakeArj(const std::string& folder, const std::string& switches,
                     const std::string& files, bool add = false) {
    if (!add) unlink((folder + "/made.arj").c_str());
    std::string command =
        "cd '" + folder + "' && arj a -y " + switches + " made.arj " + files + " >/dev/null 2>&1";
    EXPECT_EQ(0, system(command.c_str())) << command;
    Bytes b;
    return ReadWholeFile(folder + "/made.arj", &b).empty() ? b : "<missing>";
}

// Bits most significant first, as the decoders read them.
struct BitWriter {
    Bytes bytes;
    int used = 8;
    BitWriter& Put(uint32_t value, int count) {
        for (int i = count - 1; i >= 0; i--, used++) {
            if (used == 8) bytes += '\0', used = 0;
            if (value >> i & 1) bytes.back() |= (char)(0x80 >> used);
        }
        return *this;
    }
};

// LZ77 output: a literal (length 0, value the byte) or a match (value the
// offset, 0 for the byte written last).
struct Item {
    int length;
    unsigned value;
};

// What a decoder must produce: a match copies byte by byte from
// (offset mod 26624) + 1 bytes back; bytes before the start read as 0.
inline Bytes Expand(const std::vector<Item>& items) {
    Bytes out;
    for (const Item& item : items) {
        if (item.length == 0) out += (char)item.value;
        for (size_t k = 0, back = item.value % 26624 + 1; k < (size_t)item.length; k++)
            out += out.size() < back ? '\0' : out[out.size() - back];
    }
    return out;
}

// Methods 1 to 3: one block whose codes hold every symbol: literal/length 9 bits (8 for
// lengths 3 and 4), offsets 4 bits (5 for 15 and 16). In canonical order the 8-bit codes
// are 0 and 1, the 9-bit ones follow from 4; the offset codes are 0 to 14, then 30, 31.
inline Bytes EncodeMethod1(const std::vector<Item>& items) {
    BitWriter w;
    // Pre-code: 4-bit codes for symbol 0 (length 0) and 3 to 17 (lengths 1
    // to 15), so symbol 0 is 0000 and symbol L + 2 is L.
    w.Put((uint32_t)items.size(), 16).Put(18, 5).Put(4, 3).Put(0, 6).Put(0, 2);
    for (int s = 3; s <= 17; s++) w.Put(4, 3);
    w.Put(510, 9);
    for (int s = 0; s < 510; s++) w.Put(s == 256 || s == 257 ? 8 : 9, 4);
    w.Put(17, 5);
    for (int c = 0; c < 17; c++) w.Put(c < 15 ? 4 : 5, 3);
    for (const Item& item : items) {
        int s = item.length == 0 ? item.value : 253 + item.length, c = 0;
        bool short8 = s == 256 || s == 257;
        w.Put(short8 ? s - 256 : s < 256 ? s + 4 : s + 2, short8 ? 8 : 9);
        if (item.length == 0) continue;
        while (c < 16 && item.value >> c) c++;
        w.Put(c < 15 ? c : c + 15, c < 15 ? 4 : 5);
        if (c > 1) w.Put(item.value - (1u << (c - 1)), c - 1);
    }
    return w.bytes;
}

// Method 4: the fixed codes of lengths and offsets.
inline void PutFixedCode(BitWriter* w, unsigned value, int firstWidth, int maxOnes) {
    int ones = 0;
    while (ones < maxOnes && value >= ((2u << ones) - 1) << firstWidth) ones++;
    if (ones) w->Put((1u << ones) - 1, ones);
    if (ones < maxOnes) w->Put(0, 1);
    if (firstWidth + ones) w->Put(value - (((1u << ones) - 1) << firstWidth), firstWidth + ones);
}
inline Bytes EncodeMethod4(const std::vector<Item>& items) {
    BitWriter w;
    for (const Item& item : items) { // a literal: length code 0, then the byte
        PutFixedCode(&w, item.length ? item.length - 2 : 0, 0, 7);
        if (item.length) PutFixedCode(&w, item.value, 9, 4);
        if (!item.length) w.Put(item.value, 8);
    }
    return w.bytes;
}

} // namespace arj_test
