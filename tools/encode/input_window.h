// input_window.h: an entry's bytes as the parsers see them: the window of
// bytes already coded, then the bytes still to code, in one buffer that
// slides down when it is full.
#pragma once

#include "arj/arj_format.h"
#include "tools/encode/match_finder.h"

#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <algorithm>
#include <vector>

class InputWindow {
  public:
    // Room for the window and ahead of it; compare padding behind.
    explicit InputWindow(size_t ahead)
        : capacity(WindowSize + ahead), buffer(capacity + ComparePadding, 0) {}

    void Reset() {
        start = end = 0;
        startPosition = MatchOrigin;
    }

    // The byte at an absolute position, from the window on.
    const uint8_t* At(uint32_t position) const {
        return buffer.data() + start + (position - startPosition);
    }
    // The first position not coded yet, and the first not read yet.
    uint32_t Start() const { return startPosition; }
    uint32_t End() const { return startPosition + (uint32_t)(end - start); }
    // Bytes from position on that may be compared: up to a whole match.
    int Limit(uint32_t position) const {
        return (int)std::min<uint32_t>(MaxMatchLength, End() - position);
    }

    // Takes up to count bytes; gives how many fitted.
    size_t Append(const uint8_t* bytes, size_t count) {
        if (end == capacity) Slide();
        size_t n = std::min(count, capacity - end);
        memcpy(buffer.data() + end, bytes, n);
        end += n;
        return n;
    }

    // The bytes before position are coded: they become window.
    void Consume(uint32_t position) {
        start += position - startPosition;
        startPosition = position;
    }

  private:
    // Moves the window and the bytes not coded yet to the front.
    void Slide() {
        size_t keep = std::min(start, (size_t)WindowSize);
        memmove(buffer.data(), buffer.data() + start - keep, end - (start - keep));
        end -= start - keep;
        start = keep;
    }

    size_t capacity;
    std::vector<uint8_t> buffer;
    size_t start = 0, end = 0; // buffer[start] is at startPosition
    uint32_t startPosition = MatchOrigin;
};
