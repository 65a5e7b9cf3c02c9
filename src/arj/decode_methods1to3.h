// decode_methods1to3.h: the decoder of entries packed with methods 1, 2 and 3.
// It fails through the extraction.
#pragma once

struct Extraction;

// Decodes the current entry: the archive stream stands at its compressed
// data. Writes originalSize bytes (more when the last match runs past it)
// through WriteDecoded.
void DecodeMethods1To3(Extraction* x);
