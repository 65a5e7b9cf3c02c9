// arj_encoder.h: compresses the bytes of an archive entry into the data of
// method 1 (which methods 2 and 3 share) or method 4, as the installer's
// decoders read them. Host-only; never part of the installer.
//
// The encoder takes the entry's bytes in pieces of any size and hands out
// the compressed bytes as they are ready. Its memory is fixed per encoder,
// whatever the entry's size. One encoder serves one entry at a time; separate
// encoders may run on separate threads (after BuildCrcTable, if the caller
// takes CRCs).
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <functional>
#include <memory>
#include <string>

enum {
    FastestLevel = 1, // greedy parsing; about as fast as the arj archiver, and smaller
    DefaultLevel = 4,
    BestLevel = 9,
};

typedef std::function<void(const uint8_t* bytes, size_t count)> CompressedSink;

class EntryEncoder {
  public:
    // method 1 or 4; level FastestLevel to BestLevel.
    EntryEncoder(int method, int level);
    ~EntryEncoder();

    // Starts an entry whose compressed bytes go to sink.
    void Begin(CompressedSink sink);
    void Add(const void* bytes, size_t count);
    // Writes what is left; gives the entry's compressed size.
    uint64_t Finish();

  private:
    struct State;
    std::unique_ptr<State> state;
};

// The compressed data of a whole entry.
std::string EncodeEntry(const void* bytes, size_t count, int method, int level);
