// arj_format.h: the facts of the ARJ format that its reader and writers share.
//
// A header: the id, the basic header's size N (0 ends the archive), N bytes
// of basic header, their CRC-32, then extended headers (u16 size, bytes,
// CRC-32) up to a size of 0. An entry's compressed data follows its header.
// Numbers are little-endian.
#pragma once

enum {
    ArjHeaderId = 0xEA60,        // the bytes 0x60 0xEA open every header
    MaxBasicHeaderSize = 2600,   // the most a reader takes
    BasicFixedSize = 30,         // the basic header up to the name, as archivers write it
    ArchiveSearchLimit = 500000, // the first header must begin before this file position
    EntryNameSize = 512,         // a stored name of at most 511 characters and its NUL
};

// Offsets of the fields of the basic header (from its first byte).
enum BasicHeaderField {
    FirstHeaderSizeField = 0, // u8: where the name starts
    ArchiverVersionField = 1, // u8
    MinVersionField = 2,      // u8: the oldest archiver that can extract the entry
    HostOsField = 3,          // u8
    FlagsField = 4,           // u8
    MethodField = 5,          // u8
    FileTypeField = 6,        // u8
    TimeStampField = 8,       // u32: MS-DOS date and time, local time
    CompressedSizeField = 12, // u32
    OriginalSizeField = 16,   // u32
    FileCrcField = 20,        // u32: CRC-32 of the original bytes
    EntryPositionField = 24,  // u16
    FileModeField = 26,       // u16
    HostDataField = 28,       // u16
};

enum {
    GarbledFlag = 0x01, // an enciphered entry
    MsdosHostOs = 0,
    UnixHostOs = 2, // names and text keep all 8 bits
    BinaryFile = 0, // fileType values
    TextFile = 1,
    MainHeaderType = 2,
    StoredMethod = 0,
    MaxMethod = 4,             // methods 1 to 3 share one format; 4 has its own
    MaxMinVersion = 3,         // newer entries need features we lack
    FirstArchiverVersion = 1,  // whose method 4 is another format
    MaxEntrySize = 0x7FFFFFFF, // sizes with the top bit set are not read
};

// Our own method, which the archiver lacks: a solid LZMA block (see
// lzma_decoder.h). ARJ itself uses 0 to 4, and 8 and 9 for entries without data.
enum {
    LzmaMethod = 14,     // the block; within it, a file's bytes as they are
    LzmaX86Method = 15,  // within a block, a file whose x86 branches were converted
    LzmaProperties = 93, // literal context bits 3, literal position bits 0, position bits 2
    MaxDictionarySize = 1 << 26,
};

// The compressed formats: LZ77 over one window, matches of 3 to 256 bytes.
enum {
    WindowSize = 26624, // how far back a match can reach
    MinMatchLength = 3,
    MaxMatchLength = 256,

    // Methods 1 to 3: blocks, each sending three canonical prefix codes.
    LiteralLengthSymbols = 510, // 0-255 literal bytes, 256-509 match lengths 3-256
    NodeStoreSize = 2 * LiteralLengthSymbols - 1, // tree nodes of the longest code
    FirstMatchSymbol = 256,
    PreCodeSymbols = 19, // sends the literal/length code's lengths
    OffsetSymbols = 17,  // symbol c > 0: an offset of c - 1 more bits after a leading 1
    MaxCodeLength = 16,
    BlockSizeBits = 16, // literal/length symbols in a block; 0 means 65536
    MaxBlockSize = 65536,
    SmallCountBits = 5,      // count (or single value) of the pre-code and the offset code
    LiteralCountBits = 9,    // count (or single value) of the literal/length code
    PreCodeZeroRunAfter = 3, // the pre-code's third length is followed by a 2-bit zero run
    PreCodeZeroRunBits = 2,
    // Lengths of the pre-code and the offset code: 0 to 6 in 3 bits; from 7 on
    // 111, then a 1 for each step beyond 7 and a closing 0.
    SmallLengthBits = 3,
    SmallLengthEscape = 7,
    // The pre-code's symbols: 0 one zero length, 1 and 2 runs of zero lengths
    // (their sizes follow in 4 or 9 bits), and 3 to 18 the lengths 1 to 16.
    ZeroLengthSymbol = 0,
    ShortZeroRunSymbol = 1,
    ShortZeroRunBits = 4,
    ShortZeroRunMin = 3, // to 18
    LongZeroRunSymbol = 2,
    LongZeroRunBits = 9,
    LongZeroRunMin = 20, // to 531
    FirstLengthSymbol = 3,
    LiteralTableBits = 12, // lookup bits of the decoder's tables
    SmallTableBits = 8,

    // Method 4: fixed codes, a run of 1 bits telling how many value bits follow.
    LengthFirstWidth = 0,
    LengthMaxOnes = 7,
    OffsetFirstWidth = 9,
    OffsetMaxOnes = 4,
    LiteralBits = 8,
    MatchLengthBias = 2, // length code c means c + 2 bytes
    MaxMethod4Offset = 15871,
};
