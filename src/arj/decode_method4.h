// decode_method4.h: the decoder of entries packed with method 4.
#pragma once

// Decodes the current entry: ArchiveStream stands at its compressed data and
// the output is open. Writes originalSize bytes (more when the last match
// runs past it) through WriteDecoded.
void DecodeMethod4(void);
