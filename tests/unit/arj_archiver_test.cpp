// Tests of extraction on archives that the arj archiver makes from files the
// test writes: every method, text mode, archives from other systems, and the
// package tool's list and extract.
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

// Writes the package and extracts it into C:\folder as the installer does.
int ExtractInto(const Sandbox& box, const Bytes& package, const std::string& folder) {
    mkdir(box.Host(folder).c_str(), 0755);
    std::string path = box.WritePackage(package);
    EXPECT_TRUE(PlatformSetCurrentDirectory(("C:\\" + folder).c_str()));
    doneNames.clear();
    return ExtractArchive(path.c_str(), RecordDone);
}

// Bytes drawn from a small alphabet compress; from all 256 they do not.
Bytes Pseudo(size_t size, uint32_t seed, int alphabet) {
    Bytes b(size, '\0');
    for (char& c : b) {
        seed = seed * 1103515245u + 12345u;
        c = (char)('a' + (seed >> 16) % alphabet);
        if (alphabet == 256) c = (char)(seed >> 16);
    }
    return b;
}

struct File {
    std::string name;
    Bytes bytes;
};

// Sizes around the window (26624), empty and one-byte files, long runs,
// repetitive text and incompressible data.
std::vector<File> SampleFiles() {
    Bytes text;
    for (int i = 0; text.size() < 150000; i++)
        text += "line " + std::to_string(i * 7919 % 1000) + " of the sample text\n";
    return {{"empty", ""},
            {"one", "x"},
            {"w26623", Pseudo(26623, 1, 4)},
            {"w26624", Pseudo(26624, 2, 4)},
            {"w26625", Pseudo(26625, 3, 4)},
            {"runs", Bytes(200000, 'x') + Pseudo(1000, 4, 2) + Bytes(70000, '\0')},
            {"random", Pseudo(70000, 5, 256)},
            {"text", text}};
}

TEST(ArjArchiver, EveryMethodExtractsByteForByte) {
    if (!HaveArj()) GTEST_SKIP() << "arj is not installed";
    Sandbox box;
    std::vector<File> files = SampleFiles();
    std::string names;
    mkdir(box.Host("in").c_str(), 0755);
    for (const File& f : files) {
        ASSERT_TRUE(WriteWholeFile(box.Host("in/" + f.name), f.bytes));
        names += " " + f.name;
    }
    for (int method = 0; method <= 4; method++) {
        SCOPED_TRACE("method " + std::to_string(method));
        Bytes archive = MakeArj(box.Host("in"), "-m" + std::to_string(method), names);
        // arj stores what does not shrink; everything else uses the method.
        int packed = 0;
        ForEachEntryHeader(&archive, [&](size_t at, size_t) {
            EXPECT_TRUE(archive[at + 5] == 0 || archive[at + 5] == method);
            packed += archive[at + 5] != 0;
        });
        EXPECT_LE(method == 0 ? 0 : 5, packed);

        std::string folder = "out" + std::to_string(method);
        EXPECT_EQ(0, ExtractInto(box, Package(archive), folder));
        std::vector<std::string> expectedNames;
        for (const File& f : files) {
            EXPECT_EQ(f.bytes, ReadFile(box.Host(folder + "/" + f.name))) << f.name;
            expectedNames.push_back(f.name);
        }
        EXPECT_EQ(expectedNames, doneNames);
    }
}

// Text as the Windows C runtime writes it: each LF as CR LF; bit 7 is kept
// for archives made on Unix (host OS 2, as arj on Linux writes).
TEST(ArjArchiver, TextEntriesGetCrLf) {
    if (!HaveArj()) GTEST_SKIP() << "arj is not installed";
    Sandbox box;
    mkdir(box.Host("in").c_str(), 0755);
    Bytes text = "caf\xE9 au lait\nsecond line\r\n\n" + Pseudo(40000, 9, 3) + "\nend";
    ASSERT_TRUE(WriteWholeFile(box.Host("in/notes.txt"), text));
    Bytes expected;
    for (char c : text) expected += c == '\n' ? Bytes("\r\n") : Bytes(1, c);
    for (const char* method : {"-m0", "-m1", "-m4"}) {
        Bytes archive = MakeArj(box.Host("in"), std::string("-t1 ") + method, "notes.txt");
        ForEachEntryHeader(&archive, [&](size_t at, size_t) {
            EXPECT_EQ(2, archive[at + 3]); // host OS
            EXPECT_EQ(1, archive[at + 6]); // text
        });
        EXPECT_EQ(0, ExtractInto(box, Package(archive), "out"));
        EXPECT_EQ(expected, ReadFile(box.Host("out/notes.txt"))) << method;
    }
}

// From another host OS: names are created uppercased (the caller still gets
// the stored name) and text loses bit 7, while the CRC is taken over the
// stored bytes.
TEST(ArjArchiver, OtherHostSystemsGetUppercaseNamesAndSevenBitText) {
    if (!HaveArj()) GTEST_SKIP() << "arj is not installed";
    Sandbox box;
    mkdir(box.Host("in").c_str(), 0755);
    Bytes text = Bytes("\xC1\xC2 top bits\n", 12) + Pseudo(30000, 7, 5);
    Bytes binary = "\xC1\xC2\n" + Pseudo(30000, 8, 5);
    ASSERT_TRUE(WriteWholeFile(box.Host("in/readme.txt"), text));
    ASSERT_TRUE(WriteWholeFile(box.Host("in/Data.bin"), binary));
    MakeArj(box.Host("in"), "-m1 -t1", "readme.txt");
    std::string add = "cd '" + box.Host("in") + "' && arj a -y -m1 made.arj Data.bin >/dev/null";
    ASSERT_EQ(0, system(add.c_str()));
    Bytes archive = ReadFile(box.Host("in/made.arj"));
    ForEachEntryHeader(&archive, [&](size_t at, size_t) { archive[at + 3] = 0; }); // MS-DOS

    EXPECT_EQ(0, ExtractInto(box, Package(archive), "out"));
    EXPECT_EQ(std::vector<std::string>({"readme.txt", "Data.bin"}), doneNames);
    Bytes expected;
    for (char c : text) expected += c == '\n' ? Bytes("\r\n") : Bytes(1, (char)(c & 0x7F));
    EXPECT_EQ(expected, ReadFile(box.Host("out/README.TXT")));
    EXPECT_EQ(binary, ReadFile(box.Host("out/DATA.BIN")));
}

// Runs vantorel-pack; gives the exit code, with stdout and stderr.
int RunPack(const std::string& arguments, std::string* out, std::string* err) {
    std::string base = "/tmp/vantorel-pack-test-" + std::to_string(getpid());
    int status = system(
        (std::string(VANTOREL_PACK) + " " + arguments + " >" + base + ".out 2>" + base + ".err")
            .c_str());
    *out = ReadFile(base + ".out");
    *err = ReadFile(base + ".err");
    unlink((base + ".out").c_str());
    unlink((base + ".err").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(PackTool, ListsAndExtractsWithTheInstallersExitCodes) {
    if (!HaveArj()) GTEST_SKIP() << "arj is not installed";
    Sandbox box;
    mkdir(box.Host("in").c_str(), 0755);
    mkdir(box.Host("out").c_str(), 0755);
    Bytes text = Pseudo(50000, 3, 6);
    ASSERT_TRUE(WriteWholeFile(box.Host("in/a.txt"), text));
    ASSERT_TRUE(WriteWholeFile(box.Host("in/b.txt"), text.substr(100)));
    Bytes archive = MakeArj(box.Host("in"), "-m4", "a.txt b.txt");
    std::string package = box.Host("good.pkg");
    ASSERT_TRUE(WriteWholeFile(package, Package(archive)));
    std::string out, err;

    EXPECT_EQ(0, RunPack("list " + package, &out, &err)) << err;
    EXPECT_EQ(0u, out.find("Method ")); // a header line, then one line per entry
    unsigned method, crc, host;
    long original, compressed;
    int type;
    char name[32];
    const char* second = strchr(out.c_str(), '\n') + 1;
    ASSERT_EQ(7, sscanf(second, "%u %ld %ld %x %u %d %31s", &method, &original, &compressed, &crc,
                        &host, &type, name));
    EXPECT_EQ(4u, method);
    EXPECT_EQ(50000, original);
    EXPECT_GT(50000, compressed);
    EXPECT_EQ(Crc(text), crc);
    EXPECT_EQ(2u, host);
    EXPECT_EQ(0, type);
    EXPECT_STREQ("a.txt", name);
    EXPECT_NE(std::string::npos, out.find("  b.txt\n"));

    EXPECT_EQ(0, RunPack("extract " + package + " -C " + box.Host("out"), &out, &err)) << err;
    EXPECT_EQ(text, ReadFile(box.Host("out/a.txt")));
    EXPECT_EQ(text.substr(100), ReadFile(box.Host("out/b.txt")));

    // One of two entries fails its CRC: exit 2 with the count.
    Entry bad = Stored("bad", "data");
    bad.crc = 1;
    ASSERT_TRUE(WriteWholeFile(package, Package(Archive({Stored("ok", "fine"), bad}))));
    EXPECT_EQ(2, RunPack("extract -C " + box.Host("out") + " " + package, &out, &err));
    EXPECT_EQ("vantorel-pack: 1 of 2 entries failed (passed over, not creatable or CRC mismatch)\n",
              err);
    EXPECT_EQ("data", ReadFile(box.Host("out/bad")));

    // Fatal: the installer's message, exit 1.
    ASSERT_TRUE(WriteWholeFile(package, Package("no archive here")));
    EXPECT_EQ(1, RunPack("extract " + package, &out, &err));
    EXPECT_EQ(package + " is not an ARJ archive\n", err);
    EXPECT_EQ(1, RunPack("list " + package, &out, &err));
    EXPECT_EQ(package + " is not an ARJ archive\n", err);

    EXPECT_EQ(1, RunPack("extract /nonexistent/x.pkg", &out, &err));
    EXPECT_EQ("vantorel-pack: cannot read /nonexistent/x.pkg: No such file or directory\n", err);
    EXPECT_EQ(1, RunPack("list /nonexistent/x.pkg", &out, &err));
    EXPECT_EQ(1, RunPack("extract " + package + " -C /nonexistent", &out, &err));
    EXPECT_EQ("vantorel-pack: cannot enter /nonexistent: No such file or directory\n", err);
    EXPECT_EQ(0, RunPack("extract --help", &out, &err));
    EXPECT_NE(std::string::npos, out.find("usage: vantorel-pack extract PACKAGE [-C DIR]"));
    EXPECT_EQ(0, RunPack("list --help", &out, &err));
    EXPECT_NE(std::string::npos, out.find("usage: vantorel-pack list PACKAGE"));
    EXPECT_EQ(1, RunPack("extract", &out, &err));
}

} // namespace
