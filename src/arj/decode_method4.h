// decode_method4.h: the decoder of entries packed with method 4. It fails
// through the extraction.
#pragma once

struct Extraction;

// Decodes the current entry: the archive stream stands at its compressed
// data. Writes originalSize bytes (more when the last match runs past it)
// through WriteDecoded.
void DecodeMethod4(Extraction* x);
