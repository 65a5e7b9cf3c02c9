// archive_builder.h: an installer package with an ARJ archive of files on
// disk, compressed by our own encoder on several threads, for vantorel-pack
// build.
#pragma once

#include "arj/arj_format.h"
#include "tools/encode/arj_encoder.h"
#include "tools/pack/arj_writer.h"

#include <stdint.h>
#include <stdio.h>

#include <string>
#include <vector>

struct ArchiveOptions {
    // LzmaMethod: one solid block; 0 stores every file; 1 or 4 compress,
    // storing what would not shrink.
    int method = LzmaMethod;
    int level = DefaultLevel;
    int jobs = 0;          // files compressed at once; 0: one per processor
    bool progress = false; // a progress line on stderr
};

// Writes an installer package to out: the stub, the script and an archive of
// the inputs (main header, one entry per input in their order, end header).
// The inputs must be plain files, with names of at most 511 characters that
// differ without regard to case; they are checked before the archive is
// written. Gives "" or what went wrong (out then holds a part).
std::string WritePackageOfFiles(FILE* out, const std::string& stub, const std::string& script,
                                const std::string& archiveName,
                                const std::vector<ArchiveInput>& inputs,
                                const ArchiveOptions& options);
