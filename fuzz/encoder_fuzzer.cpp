// encoder_fuzzer.cpp: bytes in, compressed by our ARJ encoder, extracted by
// the installer's own reader: the same bytes must come out.
//
// The first input byte picks the method (bit 0: 1 or 4) and the level (the
// others); the rest is the entry, read back through memory_platform.h. Any
// failure of the reader is a finding.
#include "arj/archive_reader.h"
#include "arj/crc32.h"
#include "arj/encode/arj_encoder.h"
#include "fuzz/memory_platform.h"
#include "tools/pack/arj_writer.h"
#include "tools/pack/package_file.h"

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <memory>
#include <string>

namespace {

// The installer's reader on an archive of one entry; gives the bytes that it
// wrote and the number of entries that failed. The one place that calls it.
std::string ExtractWithReader(const std::string& archive, int* failed) {
    package = MakePackage(PlaceholderStub(), "Title(\"fuzz\");", archive);
    written.clear();
    char message[MessageSize];
    *failed = ExtractArchive("C:\\SETUP.EXE", nullptr, nullptr, message);
    if (*failed == ArchiveFailed) fprintf(stderr, "the reader stopped: %s\n", message);
    return written;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    int method = data[0] & 1 ? 4 : 1;
    int level = FastestLevel + (data[0] >> 1) % (BestLevel - FastestLevel + 1);
    const uint8_t* bytes = data + 1;
    size_t count = size - 1;
    // Encoders are kept from run to run, as the package tool keeps one per
    // worker: what one entry leaves behind must not reach the next.
    static std::unique_ptr<EntryEncoder> encoders[2][BestLevel + 1];
    std::unique_ptr<EntryEncoder>& encoder = encoders[method == 4][level];
    if (!encoder) encoder.reset(new EntryEncoder(method, level));
    std::string compressed;
    encoder->Begin([&](const uint8_t* b, size_t n) { compressed.append((const char*)b, n); });
    encoder->Add(bytes, count);
    encoder->Finish();

    BuildCrcTable();
    EntryFields entry = {"entry",
                         method,
                         0,
                         (uint32_t)compressed.size(),
                         (uint32_t)count,
                         Crc32(bytes, count),
                         ArjFileMode(0100644)};
    std::string archive = MainHeader("fuzz.arj", 0) + EntryHeader(entry) + compressed + EndHeader();
    int failed;
    std::string out = ExtractWithReader(archive, &failed);
    if (failed != 0 || out != std::string((const char*)bytes, count)) {
        fprintf(stderr, "method %d level %d: %zu bytes in, %zu out, %d failed\n", method, level,
                count, out.size(), failed);
        abort();
    }
    return 0;
}
