// archive_builder.cpp: compresses files on worker threads and writes them as
// one archive, in the order given, into an installer package.
//
// Each worker takes the next file, reads it in pieces, takes its CRC and
// compresses it into a spool. The calling thread writes the entries in order
// as they become ready and shows the progress. A spool keeps its bytes in
// memory up to a limit and in an unnamed temporary file beyond it; finished
// spools that wait for their turn move to their files too once they hold too
// much between them. So memory stays bounded per worker, whatever the files'
// sizes. A file that would not shrink is stored: the writer copies it from
// disk again and checks that it did not change meanwhile.
#include "tools/pack/archive_builder.h"

#include "arj/arj_format.h"
#include "arj/crc32.h"
#include "tools/pack/arj_writer.h"
#include "tools/pack/lzma_block.h"
#include "tools/pack/package_file.h"

#include <string.h>
#include <strings.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

enum : size_t {
    ReadChunk = 1 << 16,
    SpoolMemory = 1 << 20,            // held by a spool while it is written
    WaitingMemoryPerWorker = 4 << 20, // held by finished spools waiting for their turn
};
const std::chrono::milliseconds ProgressInterval(250);

// Compressed bytes: in memory, and past SpoolMemory all of them in a file.
class Spool {
  public:
    ~Spool() { Clear(); }
    bool Write(const uint8_t* bytes, size_t count) {
        size += count;
        if (!file && memory.size() + count <= SpoolMemory) {
            memory.append((const char*)bytes, count);
            return true;
        }
        return MoveToFile() && fwrite(bytes, 1, count, file) == count;
    }
    bool MoveToFile() {
        if (!file && !(file = tmpfile())) return false;
        bool written = fwrite(memory.data(), 1, memory.size(), file) == memory.size();
        std::string().swap(memory);
        return written;
    }
    bool CopyTo(FILE* out) {
        if (file) {
            char block[ReadChunk];
            rewind(file);
            size_t got;
            while ((got = fread(block, 1, sizeof block, file)) > 0)
                if (fwrite(block, 1, got, out) != got) return false;
            if (ferror(file)) return false;
        }
        return fwrite(memory.data(), 1, memory.size(), out) == memory.size();
    }
    void Clear() {
        if (file) fclose(file);
        file = nullptr;
        std::string().swap(memory);
        size = 0;
    }
    size_t MemoryHeld() const { return memory.size(); }
    uint64_t size = 0;

  private:
    std::string memory;
    FILE* file = nullptr;
};

struct FileEntry {
    ArchiveInput input;
    uint64_t size;
    uint32_t timeStamp;
    uint32_t mode;
    // Set by the worker before done.
    bool done = false;
    std::string error;
    int method = StoredMethod;
    uint32_t crc = 0;
    Spool spool;
    size_t waitingMemory = 0;
};

struct Build {
    std::vector<FileEntry> entries;
    ArchiveOptions options;
    uint64_t totalSize = 0;
    std::atomic<size_t> next{0};
    std::atomic<bool> stop{false};
    std::atomic<uint64_t> bytesRead{0};
    std::mutex mutex; // guards done, writing and waitingMemory
    std::condition_variable ready;
    size_t writing = 0; // the entry that the writer waits for
    size_t waitingMemory = 0;
};

// Windows would let two names that differ only in case overwrite each
// other, so those are refused.
std::string CheckInputs(const std::vector<ArchiveInput>& inputs, Build* build) {
    build->entries.resize(inputs.size());
    for (size_t i = 0; i < inputs.size(); i++) {
        const ArchiveInput& input = inputs[i];
        struct stat info;
        if (stat(input.path.c_str(), &info) != 0) return "cannot read " + input.path;
        if (!S_ISREG(info.st_mode)) return input.path + " is not a plain file";
        if (input.storedName.size() >= EntryNameSize)
            return input.path + ": name longer than " + std::to_string(EntryNameSize - 1) +
                   " characters";
        for (size_t j = 0; j < i; j++)
            if (strcasecmp(inputs[j].storedName.c_str(), input.storedName.c_str()) == 0)
                return "two files named " + input.storedName +
                       " (names are matched without regard to case)";
        if ((uint64_t)info.st_size > MaxEntrySize)
            return input.path + " is too large for the archive";
        FileEntry& entry = build->entries[i];
        entry.input = input;
        entry.size = (uint64_t)info.st_size;
        entry.timeStamp = ArjTimeStamp(info.st_mtime);
        entry.mode = ArjFileMode(info.st_mode);
        build->totalSize += entry.size;
    }
    return "";
}

std::string Changed(const FileEntry& entry) {
    return entry.input.path + " changed while it was being archived";
}

// Reads, checks and compresses one file into its spool; sets method, crc
// and error.
void CompressEntry(Build& build, FileEntry& entry, EntryEncoder* encoder, uint8_t* chunk) {
    FILE* file = fopen(entry.input.path.c_str(), "rb");
    if (!file) {
        entry.error = "cannot read " + entry.input.path;
        return;
    }
    bool compress = encoder != nullptr, spoolFailed = false;
    if (compress)
        encoder->Begin([&](const uint8_t* bytes, size_t count) {
            if (!entry.spool.Write(bytes, count)) spoolFailed = true;
        });
    uint32_t crc = CrcStart;
    uint64_t total = 0;
    size_t got;
    while (!build.stop && (got = fread(chunk, 1, ReadChunk, file)) > 0) {
        crc = UpdateCrc(crc, chunk, got);
        total += got;
        build.bytesRead += got;
        if (!compress) continue;
        encoder->Add(chunk, got);
        // Far behind already: it will be stored, so spare the work.
        if (entry.spool.size > total + ReadChunk) {
            compress = false;
            entry.spool.Clear();
        }
    }
    bool readFailed = ferror(file) != 0;
    fclose(file);
    if (readFailed)
        entry.error = "cannot read " + entry.input.path;
    else if (total != entry.size && !build.stop)
        entry.error = Changed(entry);
    if (compress && encoder->Finish() < total) entry.method = build.options.method;
    if (spoolFailed && entry.method != StoredMethod)
        entry.error = "cannot write a temporary file for " + entry.input.path;
    if (entry.method == StoredMethod) entry.spool.Clear();
    entry.crc = crc ^ CrcStart;
}

void Work(Build& build) {
    std::unique_ptr<EntryEncoder> encoder;
    if (build.options.method != StoredMethod)
        encoder.reset(new EntryEncoder(build.options.method, build.options.level));
    std::vector<uint8_t> chunk(ReadChunk);
    for (;;) {
        size_t i = build.next++;
        if (i >= build.entries.size() || build.stop) return;
        FileEntry& entry = build.entries[i];
        CompressEntry(build, entry, encoder.get(), chunk.data());
        std::lock_guard<std::mutex> lock(build.mutex);
        size_t budget = WaitingMemoryPerWorker * build.options.jobs;
        if (i != build.writing && build.waitingMemory + entry.spool.MemoryHeld() > budget &&
            !entry.spool.MoveToFile())
            entry.error = "cannot write a temporary file for " + entry.input.path;
        entry.waitingMemory = entry.spool.MemoryHeld();
        build.waitingMemory += entry.waitingMemory;
        entry.done = true;
        build.ready.notify_all();
    }
}

// Reads a file in chunks and gives each to use (which fails the archive's
// write when it gives false); then checks that it is still the file the
// workers saw, by its size and, with check, the CRC in *crc; sets *crc.
std::string ReadFile(const FileEntry& entry, uint32_t* crc, bool check,
                     const std::function<bool(const uint8_t*, size_t)>& use) {
    FILE* file = fopen(entry.input.path.c_str(), "rb");
    if (!file) return "cannot read " + entry.input.path;
    std::vector<uint8_t> chunk(ReadChunk);
    uint32_t running = CrcStart;
    uint64_t total = 0;
    size_t got;
    bool used = true;
    while (used && (got = fread(chunk.data(), 1, chunk.size(), file)) > 0) {
        running = UpdateCrc(running, chunk.data(), got);
        total += got;
        used = use(chunk.data(), got);
    }
    bool readFailed = ferror(file) != 0;
    fclose(file);
    if (!used) return "cannot write the archive";
    if (readFailed) return "cannot read " + entry.input.path;
    if (total != entry.size || (check && (running ^ CrcStart) != *crc)) return Changed(entry);
    *crc = running ^ CrcStart;
    return "";
}

// Copies a stored file into the archive, checking it against what the
// worker read.
std::string CopyStored(const FileEntry& entry, FILE* out) {
    uint32_t crc = entry.crc;
    return ReadFile(entry, &crc, true,
                    [&](const uint8_t* b, size_t n) { return fwrite(b, 1, n, out) == n; });
}

class Progress {
  public:
    Progress(const Build& build) : build(build), started(std::chrono::steady_clock::now()) {}
    // Files written so far, their original and archived bytes.
    void Show(size_t files, uint64_t original, uint64_t archived, bool last) {
        if (!build.options.progress) return;
        auto now = std::chrono::steady_clock::now();
        if (!last && now - shown < ProgressInterval) return;
        shown = now;
        double seconds = std::chrono::duration<double>(now - started).count();
        uint64_t read = build.bytesRead;
        long left =
            read > 0 ? (long)(seconds * (double)(build.totalSize - read) / (double)read) : 0;
        fprintf(
            stderr,
            "\r%zu/%zu files, %.1f of %.1f MB read, %.1f MB written (%.1f%%), %ld:%02ld left\033[K",
            files, build.entries.size(), read / 1e6, build.totalSize / 1e6, archived / 1e6,
            original ? 100.0 * (double)archived / (double)original : 0.0, left / 60, left % 60);
        if (last) fputc('\n', stderr);
        fflush(stderr);
    }

  private:
    const Build& build;
    std::chrono::steady_clock::time_point started, shown;
};

bool Put(FILE* out, const std::string& bytes, uint64_t* written) {
    *written += bytes.size();
    return fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
}

// Writes the entries in order as the workers finish them.
std::string WriteEntries(Build& build, FILE* out, uint64_t* written) {
    Progress progress(build);
    uint64_t original = 0;
    for (size_t i = 0; i < build.entries.size(); i++) {
        FileEntry& entry = build.entries[i];
        {
            std::unique_lock<std::mutex> lock(build.mutex);
            build.writing = i;
            while (!entry.done) {
                if (build.ready.wait_for(lock, ProgressInterval) == std::cv_status::timeout) {
                    lock.unlock();
                    progress.Show(i, original, *written, false);
                    lock.lock();
                }
            }
            build.waitingMemory -= entry.waitingMemory;
        }
        if (!entry.error.empty()) return entry.error;
        bool stored = entry.method == StoredMethod;
        EntryFields fields = {entry.input.storedName,
                              entry.method,
                              entry.timeStamp,
                              (uint32_t)(stored ? entry.size : entry.spool.size),
                              (uint32_t)entry.size,
                              entry.crc,
                              entry.mode};
        if (!Put(out, EntryHeader(fields), written)) return "cannot write the archive";
        if (stored) {
            std::string problem = CopyStored(entry, out);
            if (!problem.empty()) return problem;
        } else if (!entry.spool.CopyTo(out)) {
            return "cannot write the archive";
        }
        *written += fields.compressedSize;
        original += entry.size;
        entry.spool.Clear();
        progress.Show(i + 1, original, *written, false);
    }
    progress.Show(build.entries.size(), original, *written, true);
    return "";
}

// The LZMA method: one solid block of every file. Each file is read twice,
// for its CRC, which its header carries ahead of its bytes, and then into
// the stream. The block's header goes in front once its sizes are known.
std::string WriteSolidBlock(Build& build, FILE* out, uint64_t* written) {
    uint32_t newest = 0;
    uint64_t headerBytes = 0;
    for (FileEntry& entry : build.entries) {
        newest = std::max(newest, entry.timeStamp);
        headerBytes += EntryHeader({entry.input.storedName, 0, 0, 0, 0, 0, 0}).size();
    }
    uint64_t streamSize = LzmaBlockWriter::StreamSize(headerBytes, build.totalSize);
    if (streamSize > MaxEntrySize) return "the files are too large for one LZMA block (2 GB)";
    EntryFields block = {LzmaBlockName, LzmaMethod, newest, 0, (uint32_t)streamSize, 0, 0100644};
    long blockStart = ftell(out);
    if (!Put(out, EntryHeader(block), written)) return "cannot write the archive";

    LzmaBlockWriter writer(streamSize, [&](const uint8_t* bytes, size_t count) {
        return fwrite(bytes, 1, count, out) == count;
    });
    Progress progress(build);
    uint64_t original = 0;
    for (size_t i = 0; i < build.entries.size(); i++) {
        FileEntry& entry = build.entries[i];
        bool program = false, first = true, changed = false;
        std::string problem = ReadFile(entry, &entry.crc, false, [&](const uint8_t* b, size_t n) {
            if (first) program = IsProgram(b, n);
            first = false;
            return true;
        });
        if (!problem.empty()) return problem;
        EntryFields fields = {entry.input.storedName, 0,         entry.timeStamp, 0,
                              (uint32_t)entry.size,   entry.crc, entry.mode};
        if (!writer.BeginFile(fields, program)) return "cannot write the archive";
        first = true;
        problem = ReadFile(entry, &entry.crc, true, [&](const uint8_t* b, size_t n) {
            changed = first && IsProgram(b, n) != program;
            first = false;
            build.bytesRead += n;
            return !changed && writer.AddFileBytes(b, n);
        });
        if (changed) return Changed(entry);
        if (!problem.empty()) return problem;
        if (!writer.EndFile()) return "cannot write the archive";
        original += entry.size;
        progress.Show(i + 1, original, *written + writer.compressedSize, false);
    }
    if (!writer.Finish()) return "cannot write the archive";
    progress.Show(build.entries.size(), original, *written + writer.compressedSize, true);
    if (writer.decodedSize != streamSize) return "the LZMA block's length was miscounted";
    if (writer.compressedSize > MaxEntrySize) return "the LZMA block is larger than 2 GB";
    *written += writer.compressedSize;
    block.compressedSize = (uint32_t)writer.compressedSize;
    block.fileCrc = writer.decodedCrc;
    long end = ftell(out);
    std::string header = EntryHeader(block);
    if (fseek(out, blockStart, SEEK_SET) != 0 ||
        fwrite(header.data(), 1, header.size(), out) != header.size() ||
        fseek(out, end, SEEK_SET) != 0)
        return "cannot write the archive";
    return "";
}

} // namespace

std::string WritePackageOfFiles(FILE* out, const std::string& stub, const std::string& script,
                                const std::string& archiveName,
                                const std::vector<ArchiveInput>& inputs,
                                const ArchiveOptions& options) {
    BuildCrcTable(); // before any thread takes a CRC
    Build build;
    build.options = options;
    std::string problem = CheckInputs(inputs, &build);
    if (!problem.empty()) return problem;
    if (build.options.jobs <= 0)
        build.options.jobs = (int)std::max(1u, std::thread::hardware_concurrency());
    build.options.jobs =
        (int)std::min<size_t>(build.options.jobs, std::max<size_t>(1, inputs.size()));

    // The archive's length goes in front of it once it is known.
    std::string head = MakePackage(stub, script, "");
    if (fwrite(head.data(), 1, head.size(), out) != head.size()) return "cannot write the package";
    uint32_t newest = 0;
    for (const FileEntry& entry : build.entries) newest = std::max(newest, entry.timeStamp);
    uint64_t written = 0; // archive bytes
    if (!Put(out, MainHeader(archiveName, newest), &written)) return "cannot write the archive";

    if (build.options.method == LzmaMethod) {
        problem = build.entries.empty() ? "" : WriteSolidBlock(build, out, &written);
    } else {
        std::vector<std::thread> workers;
        for (int i = 0; i < build.options.jobs; i++) workers.emplace_back(Work, std::ref(build));
        problem = WriteEntries(build, out, &written);
        build.stop = true;
        for (std::thread& worker : workers) worker.join();
    }
    if (!problem.empty()) return problem;
    if (!Put(out, EndHeader(), &written)) return "cannot write the archive";

    if (written > 0xFFFFFFFFu) return "the archive is larger than 4 GB";
    std::string length;
    for (int i = 0; i < 4; i++) length += (char)(written >> (8 * i));
    if (fseek(out, (long)head.size() - 4, SEEK_SET) != 0 || fwrite(length.data(), 1, 4, out) != 4)
        return "cannot write the package";
    return "";
}
