// lzma_block.cpp: the block's stream through liblzma's raw LZMA1 encoder at
// its strongest preset.
#include "tools/pack/lzma_block.h"

#include "arj/arj_format.h"
#include "arj/branch_converter.h"
#include "arj/crc32.h"

#include <lzma.h>

#include <algorithm>
#include <vector>

const char LzmaBlockName[] = "lzma-solid-block";

enum : size_t { OutputChunk = 1 << 16, MinDictionary = 4096 };

struct LzmaBlockWriter::Encoder {
    lzma_stream stream = LZMA_STREAM_INIT;
    std::vector<uint8_t> output = std::vector<uint8_t>(OutputChunk);
    ~Encoder() { lzma_end(&stream); }
};

uint64_t LzmaBlockWriter::StreamSize(uint64_t headerBytes, uint64_t fileBytes) {
    return headerBytes + fileBytes + EndHeader().size();
}

LzmaBlockWriter::LzmaBlockWriter(uint64_t streamSize, Sink sink, uint32_t largestDictionary)
    : encoder(new Encoder), sink(std::move(sink)), crc(CrcStart) {
    uint32_t dictionary =
        (uint32_t)std::min<uint64_t>(std::max<uint64_t>(streamSize, MinDictionary),
                                     std::min<uint32_t>(largestDictionary, MaxDictionarySize));
    lzma_options_lzma options;
    lzma_lzma_preset(&options, 9 | LZMA_PRESET_EXTREME);
    options.dict_size = dictionary;
    options.lc = 3; // as the installer's decoder takes them: LzmaProperties
    options.lp = 0;
    options.pb = 2;
    lzma_filter filters[] = {{LZMA_FILTER_LZMA1, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
    if (lzma_raw_encoder(&encoder->stream, filters) != LZMA_OK) {
        failed = true;
        return;
    }
    uint8_t head[5] = {LzmaProperties, (uint8_t)dictionary, (uint8_t)(dictionary >> 8),
                       (uint8_t)(dictionary >> 16), (uint8_t)(dictionary >> 24)};
    compressedSize = sizeof head;
    failed = !this->sink(head, sizeof head);
}

LzmaBlockWriter::~LzmaBlockWriter() = default;

bool LzmaBlockWriter::Feed(const uint8_t* bytes, size_t count, bool last) {
    if (failed) return false;
    crc = UpdateCrc(crc, bytes, count);
    decodedSize += count;
    lzma_stream& s = encoder->stream;
    s.next_in = bytes;
    s.avail_in = count;
    for (;;) {
        s.next_out = encoder->output.data();
        s.avail_out = encoder->output.size();
        lzma_ret result = lzma_code(&s, last ? LZMA_FINISH : LZMA_RUN);
        size_t got = encoder->output.size() - s.avail_out;
        compressedSize += got;
        if ((result != LZMA_OK && result != LZMA_STREAM_END) ||
            (got > 0 && !sink(encoder->output.data(), got))) {
            failed = true;
            return false;
        }
        if (last ? result == LZMA_STREAM_END : s.avail_in == 0 && s.avail_out > 0) return true;
    }
}

bool LzmaBlockWriter::BeginFile(EntryFields fields, bool convertBranches) {
    fields.method = convertBranches ? LzmaX86Method : LzmaMethod;
    fields.compressedSize = fields.originalSize;
    std::string header = EntryHeader(fields);
    convert = convertBranches;
    position = 0;
    kept.clear();
    return Feed((const uint8_t*)header.data(), header.size(), false);
}

bool LzmaBlockWriter::AddFileBytes(const uint8_t* bytes, size_t count) {
    if (!convert) return Feed(bytes, count, false);
    kept.append((const char*)bytes, count);
    size_t done =
        ConvertBranches((unsigned char*)&kept[0], kept.size(), position, ConvertToTargets);
    position += (uint32_t)done;
    bool fed = Feed((const uint8_t*)kept.data(), done, false);
    kept.erase(0, done);
    return fed;
}

bool LzmaBlockWriter::EndFile() {
    bool fed = Feed((const uint8_t*)kept.data(), kept.size(), false);
    kept.clear();
    return fed;
}

bool LzmaBlockWriter::Finish() {
    std::string end = EndHeader();
    bool fed = Feed((const uint8_t*)end.data(), end.size(), true);
    decodedCrc = crc ^ CrcStart;
    return fed;
}

bool IsProgram(const uint8_t* start, size_t count) {
    return count >= 2 && start[0] == 'M' && start[1] == 'Z';
}
