// encoder_fuzzer.cpp: the first input byte picks the method and the level; the rest, compressed
// by our ARJ encoder and extracted by the installer's reader, must come out the same, unfailed.
#include "arj/archive_reader.h"
#include "arj/crc32.h"
#include "tools/encode/arj_encoder.h"
#include "fuzz/memory_platform.h"
#include "tools/pack/arj_writer.h"
#include "tools/pack/package_file.h"

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <memory>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    int method = data[0] & 1 ? 4 : 1;
    int level = FastestLevel + (data[0] >> 1) % (BestLevel - FastestLevel + 1);
    std::string in((const char*)data + 1, size - 1);
    // Encoders are kept from run to run, as the package tool keeps one per
    // worker: what one entry leaves behind must not reach the next.
    static std::unique_ptr<EntryEncoder> encoders[2][BestLevel + 1];
    std::unique_ptr<EntryEncoder>& encoder = encoders[method == 4][level];
    if (!encoder) encoder.reset(new EntryEncoder(method, level));
    std::string compressed;
    encoder->Begin([&](const uint8_t* b, size_t n) { compressed.append((const char*)b, n); });
    encoder->Add((const uint8_t*)in.data(), in.size());
    encoder->Finish();

    BuildCrcTable();
    std::string header =
        EntryHeader({"entry", method, 0, (uint32_t)compressed.size(), (uint32_t)in.size(),
                     Crc32(in.data(), in.size()), ArjFileMode(0100644)});
    package = MakePackage(PlaceholderStub(), "Title(\"fuzz\");",
                          MainHeader("fuzz.arj", 0) + header + compressed + EndHeader());
    written.clear();
    char message[MessageSize] = "";
    int failed = ExtractArchive("C:\\SETUP.EXE", nullptr, nullptr, message);
    if (failed != 0 || written != in) {
        fprintf(stderr, "method %d level %d: %zu bytes in, %zu out, %d failed %s\n", method, level,
                in.size(), written.size(), failed, message);
        abort();
    }
    return 0;
}
