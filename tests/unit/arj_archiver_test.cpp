// Tests of extraction on archives that the arj archiver makes from files the
// test writes, and of vantorel-pack list and extract.
#include "arj/archive_reader.h"
#include "platform/platform.h"
#include "tests/unit/arj_test_support.h"

#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>

namespace {

using namespace arj_test;

std::vector<std::string> doneNames;
void RecordDone(const char* name) {
    doneNames.push_back(name);
}

// Writes the package and extracts it into a new folder C:\folder.
int ExtractInto(const Sandbox& box, const Bytes& package, const std::string& folder) {
    mkdir(box.Host(folder).c_str(), 0755);
    std::string path = box.WritePackage(package);
    EXPECT_TRUE(PlatformSetCurrentDirectory(("C:\\" + folder).c_str()));
    doneNames.clear();
    return ExtractArchive(path.c_str(), RecordDone);
}

// Bytes from a small alphabet compress; from all 256 they do not; -1 draws
// a few values with falling odds.
Bytes Pseudo(size_t size, uint32_t seed, int alphabet) {
    Bytes b(size, '\0');
    for (char& c : b) {
        seed = seed * 1103515245u + 12345u;
        c = (char)(alphabet == 256 ? seed >> 16 : 'a' + (seed >> 16) % alphabet);
        if (alphabet < 0) c = (char)(__builtin_ctz(seed >> 8 | 1u << 23) * 11); // 2^-(k+1) each
    }
    return b;
}

Bytes CrLf(const Bytes& text, char mask = '\xFF') {
    Bytes out;
    for (char c : text) out += c == '\n' ? Bytes("\r\n") : Bytes(1, (char)(c & mask));
    return out;
}

TEST(ArjArchiver, EveryMethodExtractsByteForByte) {
    SKIP_WITHOUT_ARJ();
    Sandbox box;
    mkdir(box.Host("in").c_str(), 0755);
    Bytes text;
    for (int i = 0; text.size() < 150000; i++)
        text += "line " + std::to_string(i * 7919 % 1000) + "\n";
    // Around the window size (26624), empty, one byte, runs, incompressible.
    std::vector<std::pair<std::string, Bytes>> files = {
        {"empty", ""},
        {"one", "x"},
        {"w26623", Pseudo(26623, 1, 4)},
        {"w26624", Pseudo(26624, 2, 4)},
        {"w26625", Pseudo(26625, 3, 4)},
        {"runs", Bytes(200000, 'x') + Pseudo(1000, 4, 2) + Bytes(70000, '\0')},
        {"random", Pseudo(70000, 5, 256)},
        {"skewed", Pseudo(60000, 6, -1)}, // rare bytes get codes of more than 12 bits
        {"text", text}};
    std::string names;
    std::vector<std::string> expectedNames;
    for (auto& f : files) {
        ASSERT_TRUE(WriteWholeFile(box.Host("in/" + f.first), f.second));
        names += " " + f.first;
        expectedNames.push_back(f.first);
    }
    for (int method = 0; method <= 4; method++) {
        SCOPED_TRACE("method " + std::to_string(method));
        Bytes archive = MakeArj(box.Host("in"), "-m" + std::to_string(method), names);
        int packed = 0; // arj stores what does not shrink
        ForEachEntryHeader(&archive, [&](size_t at) {
            EXPECT_TRUE(archive[at + 5] == 0 || archive[at + 5] == method);
            packed += archive[at + 5] != 0;
        });
        EXPECT_LE(method == 0 ? 0 : 5, packed);
        std::string folder = "out" + std::to_string(method);
        EXPECT_EQ(0, ExtractInto(box, Package(archive), folder));
        for (auto& f : files)
            EXPECT_EQ(f.second, ReadFile(box.Host(folder + "/" + f.first))) << f.first;
        EXPECT_EQ(expectedNames, doneNames);
    }
}

// Text gets CR LF for each LF; from Unix (host OS 2, what arj on Linux
// writes) all 8 bits are kept. From other systems names are created in upper
// case (the caller still gets them as stored) and text loses bit 7, while the
// CRC is over the stored bytes.
TEST(ArjArchiver, TextEntriesAndOtherHostSystems) {
    SKIP_WITHOUT_ARJ();
    Sandbox box;
    mkdir(box.Host("in").c_str(), 0755);
    Bytes text = "caf\xE9 au lait\nline\r\n\n" + Pseudo(40000, 9, 3) + "\nend";
    Bytes binary = "\xC1\xC2\n" + Pseudo(30000, 8, 5);
    ASSERT_TRUE(WriteWholeFile(box.Host("in/readme.txt"), text));
    ASSERT_TRUE(WriteWholeFile(box.Host("in/Data.bin"), binary));
    for (const char* method : {"-m0", "-m1", "-m4"}) {
        Bytes archive = MakeArj(box.Host("in"), std::string("-t1 ") + method, "readme.txt");
        ForEachEntryHeader(&archive, [&](size_t at) {
            EXPECT_EQ(2, archive[at + 3]); // host OS
            EXPECT_EQ(1, archive[at + 6]); // text
        });
        EXPECT_EQ(0, ExtractInto(box, Package(archive), "out"));
        EXPECT_EQ(CrLf(text), ReadFile(box.Host("out/readme.txt"))) << method;
    }
    MakeArj(box.Host("in"), "-m1 -t1", "readme.txt");
    Bytes archive = MakeArj(box.Host("in"), "-m1", "Data.bin", true);
    ForEachEntryHeader(&archive, [&](size_t at) { archive[at + 3] = 0; }); // MS-DOS
    EXPECT_EQ(0, ExtractInto(box, Package(archive), "dos"));
    EXPECT_EQ(std::vector<std::string>({"readme.txt", "Data.bin"}), doneNames);
    EXPECT_EQ(CrLf(text, 0x7F), ReadFile(box.Host("dos/README.TXT")));
    EXPECT_EQ(binary, ReadFile(box.Host("dos/DATA.BIN")));
}

// Runs vantorel-pack; gives the exit code, with stdout and stderr (kept in
// the sandbox).
std::string sandboxRoot;
int RunPack(const std::string& arguments, std::string* out, std::string* err) {
    std::string base = sandboxRoot + "/pack";
    int status =
        system((VANTOREL_PACK " " + arguments + " >" + base + ".out 2>" + base + ".err").c_str());
    *out = ReadFile(base + ".out");
    *err = ReadFile(base + ".err");
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(PackTool, ListsAndExtractsWithTheInstallersExitCodes) {
    SKIP_WITHOUT_ARJ();
    Sandbox box;
    sandboxRoot = box.root;
    mkdir(box.Host("in").c_str(), 0755);
    mkdir(box.Host("out").c_str(), 0755);
    Bytes text = Pseudo(50000, 3, 6);
    ASSERT_TRUE(WriteWholeFile(box.Host("in/a.txt"), text));
    ASSERT_TRUE(WriteWholeFile(box.Host("in/b.txt"), text.substr(100)));
    std::string package = box.Host("good.pkg"), out, err;
    ASSERT_TRUE(WriteWholeFile(package, Package(MakeArj(box.Host("in"), "-m4", "a.txt b.txt"))));

    // A header line, then method, sizes, CRC, host OS, file type, name.
    EXPECT_EQ(0, RunPack("list " + package, &out, &err)) << err;
    unsigned method, crc, host, type;
    long original, compressed;
    char name[32];
    ASSERT_EQ(7, sscanf(strchr(out.c_str(), '\n') + 1, "%u %ld %ld %x %u %u %31s", &method,
                        &original, &compressed, &crc, &host, &type, name));
    EXPECT_EQ("4 50000 2 0 a.txt", std::to_string(method) + " " + std::to_string(original) + " " +
                                       std::to_string(host) + " " + std::to_string(type) + " " +
                                       name);
    EXPECT_EQ(Crc(text), crc);
    EXPECT_GT(50000, compressed);
    EXPECT_NE(std::string::npos, out.find("  b.txt\n"));
    EXPECT_EQ(0, RunPack("extract " + package + " -C " + box.Host("out"), &out, &err)) << err;
    EXPECT_EQ(text, ReadFile(box.Host("out/a.txt")));
    EXPECT_EQ(text.substr(100), ReadFile(box.Host("out/b.txt")));

    Entry bad = Stored("bad", "data");
    bad.crc = 1;
    ASSERT_TRUE(WriteWholeFile(package, Package(Archive({Stored("ok", "fine"), bad}))));
    EXPECT_EQ(2, RunPack("extract -C " + box.Host("out") + " " + package, &out, &err));
    EXPECT_EQ("vantorel-pack: 1 of 2 entries failed (passed over, not creatable or CRC mismatch)\n",
              err);
    ASSERT_TRUE(WriteWholeFile(package, Package("no archive here")));
    for (const char* command : {"extract ", "list "}) {
        EXPECT_EQ(1, RunPack(command + package, &out, &err));
        EXPECT_EQ(package + " is not an ARJ archive\n", err); // the installer's message
        EXPECT_EQ(1, RunPack(command + std::string("/nonexistent/x.pkg"), &out, &err));
        EXPECT_EQ("vantorel-pack: cannot read /nonexistent/x.pkg: No such file or directory\n",
                  err);
        EXPECT_EQ(0, RunPack(command + std::string("--help"), &out, &err));
        EXPECT_EQ(0u, out.find("usage: vantorel-pack " + std::string(command)));
        EXPECT_EQ(1, RunPack(command, &out, &err)); // no package
    }
    EXPECT_EQ(1, RunPack("extract " + package + " -C " + package + "/sub", &out, &err));
    EXPECT_EQ("vantorel-pack: cannot enter " + package + "/sub: Not a directory\n", err);
}

} // namespace
