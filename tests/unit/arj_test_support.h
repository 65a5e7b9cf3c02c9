// arj_test_support.h: archives for the extraction tests, made by the arj
// archiver from files the test writes or by hand byte for byte; packages; a
// sandbox; and small encoders for hand-made compressed streams.
#pragma once

#include "platform/simulation/simulation.h"
#include "tools/pack/package_file.h"

#include <gtest/gtest.h>

#include <stdint.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace arj_test {

using Bytes = std::string;

// Bit by bit, independent of the reader's table.
inline uint32_t Crc(const Bytes& bytes) {
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char c : bytes) {
        crc ^= c;
        for (int i = 0; i < 8; i++) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

inline void Put16(Bytes* b, uint32_t v) {
    *b += (char)v;
    *b += (char)(v >> 8);
}
inline void Put32(Bytes* b, uint32_t v) {
    Put16(b, v);
    Put16(b, v >> 16);
}

// A header frame around a basic header: id, size, bytes, CRC, extended
// headers (each with a CRC the reader does not check), 0.
inline Bytes Frame(const Bytes& basic, const std::vector<Bytes>& extended = {}) {
    Bytes b = "\x60\xEA";
    Put16(&b, (uint32_t)basic.size());
    b += basic;
    Put32(&b, Crc(basic));
    for (const Bytes& e : extended) {
        Put16(&b, (uint32_t)e.size());
        b += e + "CRC!";
    }
    Put16(&b, 0);
    return b;
}

const Bytes EndOfArchive("\x60\xEA\x00\x00", 4);

struct Entry {
    std::string name;
    Bytes data;     // as stored in the archive
    Bytes original; // the file; its CRC goes into the header
    int method = 0, fileType = 0, hostOs = 2, flags = 0, version = 11, minVersion = 1;
    int64_t originalSize = -1;   // -1: original.size()
    int64_t compressedSize = -1; // -1: data.size()
    int64_t crc = -1;            // -1: Crc(original)
    Bytes comment;
};

inline Entry Stored(const std::string& name, const Bytes& data) {
    Entry e;
    e.name = name;
    e.data = e.original = data;
    return e;
}

inline Bytes BasicHeader(const Entry& e) {
    Bytes b;
    b += (char)30;
    b += (char)e.version;
    b += (char)e.minVersion;
    b += (char)e.hostOs;
    b += (char)e.flags;
    b += (char)e.method;
    b += (char)e.fileType;
    b += '\0';
    Put32(&b, 0); // time
    Put32(&b, (uint32_t)(e.compressedSize < 0 ? e.data.size() : e.compressedSize));
    Put32(&b, (uint32_t)(e.originalSize < 0 ? e.original.size() : e.originalSize));
    Put32(&b, (uint32_t)(e.crc < 0 ? Crc(e.original) : e.crc));
    Put16(&b, 0);
    Put16(&b, 0);
    Put16(&b, 0);
    return b + e.name + '\0' + e.comment + '\0';
}

inline Bytes MainHeader() {
    Entry main;
    main.name = "test.arj";
    main.fileType = 2;
    return Frame(BasicHeader(main));
}

inline Bytes Archive(const std::vector<Entry>& entries) {
    Bytes b = MainHeader();
    for (const Entry& e : entries) b += Frame(BasicHeader(e)) + e.data;
    return b + EndOfArchive;
}

inline Bytes Package(const Bytes& archive, const Bytes& script = "Title(\"t\");") {
    return MakePackage(PlaceholderStub(), script, archive);
}

inline Bytes ReadFile(const std::string& path) {
    Bytes b;
    return ReadWholeFile(path, &b) ? b : "<missing>";
}

// A fresh folder mapped to the drives of the simulation; the current
// directory is C:\ (host: root/C). Removed afterwards.
struct Sandbox {
    std::string root;
    Sandbox() {
        char path[] = "/tmp/vantorel-arj-XXXXXX";
        root = mkdtemp(path);
        SimReset(root);
        SimSetMessageOutput(stderr);
    }
    ~Sandbox() {
        if (chdir("/") == 0 && system(("rm -rf '" + root + "'").c_str()) != 0) ADD_FAILURE();
        SimReset(""); // host paths again, no message output
    }
    std::string Host(const std::string& name) const { return root + "/C/" + name; }
    // Writes a package as C:\setup.exe; gives its Windows path.
    std::string WritePackage(const Bytes& bytes) const {
        EXPECT_TRUE(WriteWholeFile(Host("setup.exe"), bytes));
        return "C:\\setup.exe";
    }
};

inline bool HaveArj() {
    return system("command -v arj >/dev/null 2>&1") == 0;
}

// Runs the arj archiver in folder: "arj a -y SWITCHES archive files".
inline Bytes MakeArj(const std::string& folder, const std::string& switches,
                     const std::string& files) {
    std::string archive = folder + "/made.arj";
    unlink(archive.c_str());
    std::string command =
        "cd '" + folder + "' && arj a -y " + switches + " made.arj " + files + " >/dev/null 2>&1";
    EXPECT_EQ(0, system(command.c_str())) << command;
    return ReadFile(archive);
}

// Calls visit(basic header offset, size) for each entry header of an
// archive, so that tests can read or change its fields; fixes the header
// CRCs afterwards.
template <class Visit> void ForEachEntryHeader(Bytes* archive, Visit visit) {
    size_t at = 0;
    for (bool main = true;; main = false) {
        size_t n = (unsigned char)(*archive)[at + 2] | (unsigned char)(*archive)[at + 3] << 8;
        if (n == 0) return;
        size_t basic = at + 4;
        uint32_t compressed = 0;
        for (int i = 3; i >= 0; i--)
            compressed = compressed << 8 | (unsigned char)(*archive)[basic + 12 + i];
        if (!main) visit(basic, n);
        Bytes fixed;
        Put32(&fixed, Crc(archive->substr(basic, n)));
        archive->replace(basic + n, 4, fixed);
        at = basic + n + 4 + 2 + (main ? 0 : compressed); // arj writes no extended headers
    }
}

// Bits most significant first, as the decoders read them.
struct BitWriter {
    Bytes bytes;
    int used = 8;
    void Put(uint32_t value, int count) {
        for (int i = count - 1; i >= 0; i--) {
            if (used == 8) bytes += '\0', used = 0;
            if (value >> i & 1) bytes.back() |= (char)(0x80 >> used);
            used++;
        }
    }
};

// An item of LZ77 output: a literal (length 0) or a match.
struct Item {
    int length;
    unsigned value; // the literal byte, or the match offset (0: the byte written last)
};

// What the decoders must produce for the items: a match copies byte by byte
// from (offset mod 26624) + 1 bytes back; bytes before the start read as 0.
inline Bytes Expand(const std::vector<Item>& items) {
    Bytes out;
    for (const Item& item : items) {
        if (item.length == 0) out += (char)item.value;
        for (int k = 0; k < item.length; k++) {
            int64_t from = (int64_t)out.size() - (item.value % 26624 + 1);
            out += from < 0 ? '\0' : out[from];
        }
    }
    return out;
}

// Canonical codes: each length's codes follow the shorter ones, in symbol order.
inline std::vector<uint32_t> CanonicalCodes(const std::vector<int>& lengths) {
    std::vector<uint32_t> codes(lengths.size());
    uint32_t code = 0;
    for (int length = 1; length <= 16; code <<= 1, length++)
        for (size_t s = 0; s < lengths.size(); s++)
            if (lengths[s] == length) codes[s] = code++;
    return codes;
}

// Method 1 to 3 data: one block that gives every literal/length symbol a
// code (9 bits, 8 for lengths 3 and 4) and every offset symbol (4 bits, 5
// for 15 and 16).
inline Bytes EncodeMethod1(const std::vector<Item>& items) {
    std::vector<int> literal(510, 9), offset(17, 4);
    literal[256] = literal[257] = 8;
    offset[15] = offset[16] = 5;
    std::vector<uint32_t> literalCode = CanonicalCodes(literal),
                          offsetCode = CanonicalCodes(offset);
    BitWriter w;
    w.Put((uint32_t)items.size(), 16);
    // Pre-code: symbols 0 (length 0) and 3 to 17 (lengths 1 to 15), 4 bits
    // each, so symbol 0 is 0000 and symbol 3 + k is k + 1.
    w.Put(18, 5);
    w.Put(4, 3), w.Put(0, 3), w.Put(0, 3), w.Put(0, 2);
    for (int s = 3; s <= 17; s++) w.Put(4, 3);
    w.Put(510, 9);
    for (int length : literal) w.Put(length, 4); // pre-code symbol length + 2
    w.Put(17, 5);
    for (int length : offset) w.Put(length, 3);
    for (const Item& item : items) {
        int s = item.length == 0 ? item.value : 253 + item.length;
        w.Put(literalCode[s], literal[s]);
        if (item.length == 0) continue;
        int c = 0;
        while (c < 16 && item.value >> c) c++;
        w.Put(offsetCode[c], offset[c]);
        if (c > 1) w.Put(item.value - (1u << (c - 1)), c - 1);
    }
    return w.bytes;
}

// Method 4's fixed code: k ones (closed by a 0 when below maxOnes), then
// firstWidth + k value bits.
inline void PutFixedCode(BitWriter* w, unsigned value, int firstWidth, int maxOnes) {
    int k = 0;
    while (k < maxOnes && value >= ((1u << (k + 1)) - 1) << firstWidth) k++;
    for (int i = 0; i < k; i++) w->Put(1, 1);
    if (k < maxOnes) w->Put(0, 1);
    if (firstWidth + k > 0) w->Put(value - (((1u << k) - 1) << firstWidth), firstWidth + k);
}

inline Bytes EncodeMethod4(const std::vector<Item>& items) {
    BitWriter w;
    for (const Item& item : items) {
        PutFixedCode(&w, item.length == 0 ? 0 : item.length - 2, 0, 7);
        if (item.length == 0)
            w.Put(item.value, 8);
        else
            PutFixedCode(&w, item.value, 9, 4);
    }
    return w.bytes;
}

} // namespace arj_test
