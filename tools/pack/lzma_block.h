// lzma_block.h: the solid block of the LZMA method, as vantorel-pack build
// writes it: entry headers and files in one stream, compressed by liblzma.
#pragma once

#include "arj/arj_format.h"
#include "tools/pack/arj_writer.h"

#include <stdint.h>

#include <functional>
#include <memory>
#include <string>

// Takes the decoded stream piece by piece and gives the block entry's data:
// properties, dictionary size, then the raw LZMA1 stream. The stream's
// length, counted ahead, sizes the dictionary: the whole stream, from 4 KB
// up to 64 MB (or the largest given).
class LzmaBlockWriter {
  public:
    typedef std::function<bool(const uint8_t* bytes, size_t count)> Sink;
    LzmaBlockWriter(uint64_t streamSize, Sink sink, uint32_t largestDictionary = MaxDictionarySize);
    ~LzmaBlockWriter();
    // A file's header, then its bytes; x86 branches are converted when
    // convert is set (its method then says so).
    bool BeginFile(EntryFields fields, bool convert);
    bool AddFileBytes(const uint8_t* bytes, size_t count);
    bool EndFile();
    // Ends the stream; false when the encoder or the sink failed.
    bool Finish();

    uint64_t decodedSize = 0;    // bytes given so far
    uint32_t decodedCrc = 0;     // their CRC-32, once finished
    uint64_t compressedSize = 0; // the block's data so far

    // The length of the stream a list of files makes.
    static uint64_t StreamSize(uint64_t headerBytes, uint64_t fileBytes);

  private:
    bool Feed(const uint8_t* bytes, size_t count, bool last);
    struct Encoder;
    std::unique_ptr<Encoder> encoder;
    Sink sink;
    uint32_t crc;
    bool convert = false;
    uint32_t position = 0; // of the file, behind what was converted
    std::string kept;      // bytes not yet converted
    bool failed = false;
};

// The name that the block's own entry has in the archive.
extern const char LzmaBlockName[];

// 1 for a file worth the branch conversion: a Windows program or library.
bool IsProgram(const uint8_t* start, size_t count);
