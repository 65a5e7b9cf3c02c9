// encoder_fuzzer.cpp: the first input byte picks the method and the level; the rest, compressed
// by our ARJ encoder and extracted by the installer's reader, must come out the same, unfailed.
// With its top bit set the rest is two files, split where the second byte says, in a solid
// LZMA block (a file that starts with MZ has its branches converted).
#include "arj/archive_reader.h"
#include "arj/crc32.h"
#include "tools/encode/arj_encoder.h"
#include "fuzz/memory_platform.h"
#include "tools/pack/arj_writer.h"
#include "tools/pack/lzma_block.h"
#include "tools/pack/package_file.h"

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <memory>
#include <string>

namespace {

// The block entry of two files, as build writes it.
std::string SolidArchive(const std::string& in, size_t split) {
    std::string files[2] = {in.substr(0, split), in.substr(split)}, data;
    std::string headers =
        EntryHeader({"one", 0, 0, 0, 0, 0, 0}) + EntryHeader({"two", 0, 0, 0, 0, 0, 0});
    uint64_t streamSize = LzmaBlockWriter::StreamSize(headers.size(), in.size());
    LzmaBlockWriter writer(streamSize, [&](const uint8_t* b, size_t n) {
        data.append((const char*)b, n);
        return true;
    });
    for (int i = 0; i < 2; i++) {
        const std::string& f = files[i];
        const uint8_t* bytes = (const uint8_t*)f.data();
        writer.BeginFile({i ? "two" : "one", 0, 0, 0, (uint32_t)f.size(), Crc32(bytes, f.size()),
                          ArjFileMode(0100644)},
                         IsProgram(bytes, f.size()));
        // In two pieces, as a file is read in chunks.
        writer.AddFileBytes(bytes, f.size() / 2);
        writer.AddFileBytes(bytes + f.size() / 2, f.size() - f.size() / 2);
        writer.EndFile();
    }
    if (!writer.Finish() || writer.decodedSize != streamSize) abort();
    return EntryHeader({LzmaBlockName, LzmaMethod, 0, (uint32_t)data.size(), (uint32_t)streamSize,
                        writer.decodedCrc, ArjFileMode(0100644)}) +
           data;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    BuildCrcTable();
    if (data[0] & 0x80) {
        if (size < 2) return 0;
        std::string in((const char*)data + 2, size - 2);
        package = MakePackage(PlaceholderStub(), "Title(\"fuzz\");",
                              MainHeader("fuzz.arj", 0) +
                                  SolidArchive(in, data[1] * in.size() / 256) + EndHeader());
        written.clear();
        char message[MessageSize] = "";
        int failed = ExtractArchive("C:\\SETUP.EXE", nullptr, nullptr, message);
        if (failed != 0 || written != in) {
            fprintf(stderr, "lzma: %zu bytes in, %zu out, %d failed %s\n", in.size(),
                    written.size(), failed, message);
            abort();
        }
        return 0;
    }
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
