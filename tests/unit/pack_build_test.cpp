// Tests of vantorel-pack build: what it refuses, and the packages it writes.
#include "script/package_layout.h"
#include "tests/unit/arj_test_support.h"
#include "tests/unit/pack_runner.h"

#include <algorithm>

#include <dirent.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/time.h>

#include <string>
#include <vector>

namespace {

using namespace arj_test;

const char GoodScript[] = "Title (\"Demo\");\r\nNumFiles (2);\r\n"
                          "MoveFile (\"a.txt\", \"%t\\a.txt\");\r\n"
                          "MoveFile (\"b.bin\", \"%t\\b.bin\");\r\n";

// A fresh folder per test, so that leftovers can be counted.
class PackBuild : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/vantorel-build-test-XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(pattern));
        dir = pattern;
        ASSERT_TRUE(WriteWholeFile(Path("stub.exe"), PlaceholderStub()));
        ASSERT_TRUE(WriteWholeFile(Path("script.txt"), GoodScript));
    }
    void TearDown() override { ASSERT_EQ(0, system(("rm -rf " + dir).c_str())); }
    std::string Path(const std::string& name) const { return dir + "/" + name; }
    std::vector<std::string> Files() const {
        std::vector<std::string> names;
        DIR* d = opendir(dir.c_str());
        while (dirent* e = readdir(d)) names.push_back(e->d_name);
        closedir(d);
        std::sort(names.begin(), names.end());
        return names;
    }
    // An archive made by the arj archiver itself from files written here.
    std::string ArjArchive() {
        EXPECT_TRUE(WriteWholeFile(Path("a.txt"), "first file\n"));
        EXPECT_TRUE(WriteWholeFile(Path("b.bin"), std::string("\0\1\2\3\xff", 5)));
        std::string command =
            "cd " + dir + " && arj a -m1 -y made.arj a.txt b.bin >/dev/null 2>&1 && rm a.txt b.bin";
        EXPECT_EQ(0, system(command.c_str())) << "the arj archiver is needed";
        std::string archive;
        EXPECT_TRUE(ReadWholeFile(Path("made.arj"), &archive));
        return archive;
    }
    std::string dir;
};

TEST_F(PackBuild, RefusesBadInputsAndWritesNothing) {
    ASSERT_TRUE(WriteWholeFile(Path("short.exe"), std::string(PackageDataOffset - 1, 'M')));
    ASSERT_TRUE(WriteWholeFile(Path("long.exe"), std::string(PackageDataOffset + 1, 'M')));
    ASSERT_TRUE(WriteWholeFile(Path("empty.txt"), ""));
    ASSERT_TRUE(WriteWholeFile(Path("junk.arj"), "PK\3\4 not an ARJ archive at all"));
    std::string good = Archive({Stored("a.txt", "data")});
    std::string badCrc = good;
    badCrc[10] ^= 1; // inside the main header's basic header
    ASSERT_TRUE(WriteWholeFile(Path("crc.arj"), badCrc));
    ASSERT_TRUE(WriteWholeFile(Path("end.arj"), std::string("\x60\xEA\0\0", 4)));
    std::string huge = good;
    huge[2] = (char)(2601 & 0xFF);
    huge[3] = (char)(2601 >> 8);
    ASSERT_TRUE(WriteWholeFile(Path("huge.arj"), huge));
    ASSERT_TRUE(WriteWholeFile(Path("cut.arj"), good.substr(0, 20)));
    std::string damaged = Archive({Stored("a.txt", "data"), Stored("b.bin", "d")});
    damaged[damaged.find("data")] ^= 1; // the installer would not install a.txt
    ASSERT_TRUE(WriteWholeFile(Path("damaged.arj"), damaged));
    ASSERT_TRUE(WriteWholeFile(Path("A.TXT"), "one"));
    ASSERT_TRUE(mkdir(Path("sub").c_str(), 0755) == 0);
    ASSERT_TRUE(WriteWholeFile(Path("sub/a.txt"), "other"));
    ASSERT_TRUE(WriteWholeFile(Path("out.exe"), "an older installer"));
    const std::vector<std::string> before = Files();

    std::string s = " " + Path("script.txt") + " ";
    struct Case {
        std::string arguments;
        std::string message;
    } cases[] = {
        {"--stub " + Path("short.exe") + s + Path("crc.arj"), "is 24575 bytes; an installer stub"},
        {"--stub " + Path("long.exe") + s + Path("crc.arj"), "is 24577 bytes"},
        {"--stub " + Path("none.exe") + s + Path("A.TXT"), "cannot read stub"},
        {"--stub " + Path("stub.exe") + " " + Path("empty.txt") + " " + Path("A.TXT"), "is empty"},
        {"--stub " + Path("stub.exe") + s + Path("junk.arj"), "does not start with an ARJ header"},
        {"--stub " + Path("stub.exe") + s + Path("crc.arj"), "CRC does not match"},
        {"--stub " + Path("stub.exe") + s + Path("end.arj"), "end-of-archive header"},
        {"--stub " + Path("stub.exe") + s + Path("huge.arj"), "larger than 2600 bytes"},
        {"--stub " + Path("stub.exe") + s + Path("cut.arj"), "ends inside its first header"},
        {"--stub " + Path("stub.exe") + s + Path("damaged.arj"), "archive entry a.txt is damaged"},
        {"--stub " + Path("stub.exe") + s + Path("A.TXT") + " " + Path("sub/a.txt"),
         "two files named a.txt"},
        {"--stub " + Path("stub.exe") + s + Path("sub"), "is not a plain file"},
        {"--stub " + Path("stub.exe") + s + Path("missing.bin"), "cannot read"},
        {"--stub " + Path("stub.exe") + " --frob" + s + Path("A.TXT"), "unknown option --frob"},
        {"-m 3" + s + Path("A.TXT"), "-m takes 0, 1 or 4"},
        {"-l 10" + s + Path("A.TXT"), "-l takes a level from 1 to 9"},
        {"-j 0" + s + Path("A.TXT"), "-j takes a number of jobs"},
    };
    for (const Case& c : cases) {
        PackRun run = RunPack("build -o " + Path("out.exe") + " " + c.arguments);
        EXPECT_EQ(1, run.exitCode) << c.arguments;
        std::string err = run.out.substr(run.out.find("--stderr--") + 10);
        EXPECT_EQ(0u, err.find("vantorel-pack: build: ")) << err;
        EXPECT_NE(std::string::npos, err.find(c.message)) << err;
        EXPECT_EQ(1, std::count(err.begin(), err.end(), '\n')) << "one line: " << err;
        EXPECT_EQ(before, Files()) << "no output, no temporary file: " << c.arguments;
        std::string out;
        ASSERT_TRUE(ReadWholeFile(Path("out.exe"), &out));
        EXPECT_EQ("an older installer", out) << "the old output stays";
    }
}

TEST_F(PackBuild, PacksAnArjArchiveAsItIsAndChecksBack) {
    std::string archive = ArjArchive();
    PackRun run = RunPack("build -o " + Path("setup.exe") + " --stub " + Path("stub.exe") + " " +
                          Path("script.txt") + " " + Path("made.arj"));
    ASSERT_EQ(0, run.exitCode) << run.out;
    EXPECT_EQ("--stderr--", run.out) << "quiet on success";
    std::string package;
    ASSERT_TRUE(ReadWholeFile(Path("setup.exe"), &package));
    EXPECT_EQ(MakePackage(PlaceholderStub(), GoodScript, archive), package);

    PackRun check = RunPack("check " + Path("setup.exe"));
    EXPECT_EQ(0, check.exitCode);
    EXPECT_EQ("Title (\"Demo\");\nNumFiles (2);\nMoveFile (\"a.txt\", \"%t\\a.txt\");\n"
              "MoveFile (\"b.bin\", \"%t\\b.bin\");\n--stderr--",
              check.out);
}

// Files that shrink are compressed, the others stored; headers carry what
// the arj archiver writes on Unix. Any number of jobs gives the same bytes.
TEST_F(PackBuild, CompressesGivenFilesUnderTheirBaseNames) {
    ASSERT_TRUE(mkdir(Path("in").c_str(), 0755) == 0);
    std::string binary, noise;
    for (int i = 0; i < 70000; i++) binary += (char)(i * 7 + i / 256);
    for (uint32_t i = 0, x = 1; i < 30000; i++)
        noise += (char)((x = x * 1103515245u + 12345u) >> 16);
    struct {
        const char* name;
        std::string data;
        bool shrinks;
    } files[] = {{"Readme.TXT", "Hello\r\nWorld\r\n", false},
                 {"tool.exe", binary, true},
                 {"empty.dat", "", false},
                 {"noise.bin", noise, false}};
    std::string list, script = "NumFiles (4);\r\n";
    for (const auto& f : files) {
        ASSERT_TRUE(WriteWholeFile(Path("in/") + f.name, f.data));
        struct timeval times[2] = {{1600000000, 0}, {1600000000, 0}};
        ASSERT_EQ(0, utimes((Path("in/") + f.name).c_str(), times));
        ASSERT_EQ(0, chmod((Path("in/") + f.name).c_str(), 0644));
        list += " " + Path("in/") + f.name;
        script += "MoveFile (\"" + std::string(f.name) + "\", \"%t\\x\");\r\n";
    }
    ASSERT_EQ(0, chmod(Path("in/tool.exe").c_str(), 0751));
    ASSERT_TRUE(WriteWholeFile(Path("files.txt"), script));
    std::string head = "build --stub " + Path("stub.exe") + " " + Path("files.txt") + list;
    std::string first;
    struct {
        std::string options;
        uint32_t method; // of files that shrink
    } runs[] = {{"", 1}, {" -j 1", 1}, {" -j 3 -l 1", 1}, {" -m 4", 4}, {" -m 0", 0}};
    for (const auto& r : runs) {
        SCOPED_TRACE(r.options);
        PackRun run = RunPack(head + r.options + " -o " + Path("setup.exe"));
        ASSERT_EQ(0, run.exitCode) << run.out;
        EXPECT_EQ("--stderr--", run.out) << "quiet when stderr is no terminal";
        std::string package;
        ASSERT_TRUE(ReadWholeFile(Path("setup.exe"), &package));
        if (first.empty()) first = package;
        EXPECT_TRUE(r.options != " -j 1" || first == package) << "as with one per core";
        ASSERT_EQ(script.size(), ReadLe(package, PackageDataOffset));
        EXPECT_EQ(script, package.substr(PackageDataOffset + 4, script.size()));
        size_t archiveAt = PackageDataOffset + 8 + script.size(), end;
        std::string archive = package.substr(archiveAt);
        EXPECT_EQ(archive.size(), ReadLe(package, archiveAt - 4));

        std::vector<size_t> headers = BasicHeaders(archive, &end);
        EXPECT_EQ(archive.size(), end + 4) << "nothing behind the end header";
        ASSERT_EQ(5u, headers.size());
        EXPECT_STREQ("setup.arj", archive.c_str() + headers[0] + archive[headers[0]]);
        EXPECT_EQ(MainHeaderType, archive[headers[0] + FileTypeField]);
        for (size_t i = 0; i < headers.size(); i++) {
            size_t at = headers[i], size = ReadLe(archive, at - 2, 2);
            EXPECT_EQ(ArjHeaderId, ReadLe(archive, at - 4, 2));
            EXPECT_EQ(Crc(archive.substr(at, size)), ReadLe(archive, at + size));
            EXPECT_EQ(0u, ReadLe(archive, at + size + 4, 2)) << "no extended headers";
            if (i == 0) continue;
            const auto& f = files[i - 1];
            auto field = [&](int offset, int bytes) { return ReadLe(archive, at + offset, bytes); };
            EXPECT_STREQ(f.name, archive.c_str() + at + archive[at]) << "base name, case kept";
            uint32_t method = f.shrinks ? r.method : 0, stored = field(CompressedSizeField, 4);
            EXPECT_EQ(method, field(MethodField, 1)) << f.name;
            EXPECT_TRUE(method != 0 || archive.substr(at + size + 6, stored) == f.data);
            EXPECT_EQ(f.data.size(), field(OriginalSizeField, 4));
            EXPECT_EQ(Crc(f.data), field(FileCrcField, 4)) << f.name;
            EXPECT_EQ(UnixHostOs, field(HostOsField, 1)) << "names used as stored";
            EXPECT_EQ(BinaryFile, field(FileTypeField, 1)) << "bytes written unchanged";
            EXPECT_LE(field(MinVersionField, 1), MaxMinVersion) << "else the installer skips it";
            EXPECT_EQ(1600000000u, field(TimeStampField, 4)) << "Unix time, as arj writes";
            EXPECT_EQ(i == 2 ? 010751u : 010644u, field(FileModeField, 2)) << f.name;
            if (i == 2) {
                EXPECT_GT(r.method ? binary.size() / 4 : binary.size() + 1, stored);
            }
        }

        // The installer's own reader takes the archive back to the same files.
        ASSERT_EQ(0, system(("rm -rf " + Path("out") + " && mkdir " + Path("out")).c_str()));
        PackRun extract = RunPack("extract " + Path("setup.exe") + " -C " + Path("out"));
        ASSERT_EQ(0, extract.exitCode) << extract.out;
        for (const auto& f : files) {
            std::string data;
            ASSERT_TRUE(ReadWholeFile(Path("out/") + f.name, &data)) << f.name;
            EXPECT_TRUE(f.data == data) << f.name;
        }
    }
}

TEST_F(PackBuild, FindsTheStubBesideItsOwnFolder) {
    // The builds put the tool in build/host and the stub in build/win32.
    ASSERT_EQ(0, system(("mkdir " + Path("host") + " " + Path("win32") +
                         " && cp " VANTOREL_PACK " " + Path("host/"))
                            .c_str()));
    ASSERT_TRUE(WriteWholeFile(Path("a.txt"), "x") && WriteWholeFile(Path("b.bin"), "y"));
    std::string command = Path("host/vantorel-pack") + " build -o " + Path("setup.exe") + " " +
                          Path("script.txt") + " " + Path("a.txt") + " " + Path("b.bin");
    EXPECT_NE(0, system((command + " 2>/dev/null").c_str())); // no stub yet
    std::string stub = "MZ" + PlaceholderStub().substr(2);
    ASSERT_TRUE(WriteWholeFile(Path("win32/vantorel.exe"), stub));
    ASSERT_EQ(0, system(command.c_str()));
    std::string package;
    ASSERT_TRUE(ReadWholeFile(Path("setup.exe"), &package));
    EXPECT_EQ(stub, package.substr(0, PackageDataOffset));
}

TEST_F(PackBuild, RefusesAScriptThatPushesTheArchivePastTheSearchLimit) {
    // The installer looks for the archive only before offset 500000.
    std::string longScript =
        GoodScript +
        std::string(500000 - PackageDataOffset - 8 - std::string(GoodScript).size(), ' ');
    ASSERT_TRUE(WriteWholeFile(Path("long.txt"), longScript));
    ASSERT_TRUE(WriteWholeFile(Path("a.txt"), "x") && WriteWholeFile(Path("b.bin"), "y"));
    std::string tail = " --stub " + Path("stub.exe") + " " + Path("long.txt") + " " +
                       Path("a.txt") + " " + Path("b.bin");
    PackRun run = RunPack("build -o " + Path("setup.exe") + tail);
    EXPECT_EQ(1, run.exitCode);
    EXPECT_NE(std::string::npos, run.out.find("past offset 500000")) << run.out;
    longScript.pop_back(); // now the archive starts at 499999
    ASSERT_TRUE(WriteWholeFile(Path("long.txt"), longScript));
    EXPECT_EQ(0, RunPack("build -o " + Path("setup.exe") + tail).exitCode);
}

TEST_F(PackBuild, RefusesAScriptWithErrorsAndWritesNothing) {
    ASSERT_TRUE(WriteWholeFile(Path("a.txt"), "x") && WriteWholeFile(Path("b.bin"), "y"));
    ASSERT_TRUE(WriteWholeFile(Path("bad.txt"), std::string(GoodScript) +
                                                    "MoveFlie (\"a\", \"b\");\r\n"
                                                    "Foo(1,2,3,4,5,6,7);"));
    ASSERT_TRUE(
        WriteWholeFile(Path("odd.txt"), std::string(GoodScript) + "MoveFlie (\"a\", \"b\");"));
    const std::vector<std::string> before = Files();
    std::string tail = " " + Path("a.txt") + " " + Path("b.bin");
    struct Case {
        std::string options;
        int exitCode;
        std::string err;
    } cases[] = {
        {Path("bad.txt"), 1,
         Path("bad.txt") +
             ":5:1: warning: unknown command 'MoveFlie': the installer passes it "
             "over; did you mean 'MoveFile'?\n" +
             Path("bad.txt") +
             ":6:17: error: a seventh argument: the installer refuses "
             "statements of over six (\"Error parsing installation script.\")\n"
             "vantorel-pack: build: " +
             Path("bad.txt") + ": 1 error in the script; nothing written\n"},
        {"--werror " + Path("odd.txt"), 1, "1 warning in the script, and --werror; nothing"},
        {"--codepage 65001 " + Path("odd.txt"), 1, "65001 is no Windows ANSI code page"},
        {Path("odd.txt"), 0, ":5:1: warning: unknown command 'MoveFlie'"},
    };
    for (const Case& c : cases) {
        PackRun run = RunPack("build -o " + Path("out.exe") + " --stub " + Path("stub.exe") + " " +
                              c.options + tail);
        EXPECT_EQ(c.exitCode, run.exitCode) << c.options;
        EXPECT_NE(std::string::npos, run.out.find(c.err)) << run.out;
        if (c.exitCode) {
            EXPECT_EQ(before, Files()) << "nothing written: " << c.options;
        }
    }
}

TEST_F(PackBuild, ExpandsMoveFolderIntoAFlatArchive) {
    for (const char* folder : {"tree", "tree/docs", "tree/docs/guide", "tree/empty"})
        ASSERT_EQ(0, mkdir(Path(folder).c_str(), 0755));
    ASSERT_TRUE(WriteWholeFile(Path("tree/docs/Readme.txt"), "one"));
    ASSERT_TRUE(WriteWholeFile(Path("tree/docs/guide/readme.txt"), "two"));
    ASSERT_TRUE(WriteWholeFile(Path("tree/caf\xC3\xA9.txt"), "three"));
    ASSERT_TRUE(WriteWholeFile(Path("readme.txt"), "given"));
    ASSERT_TRUE(WriteWholeFile(Path("tree.txt"),
                               "Title (\"Caf\xC3\xA9\");\r\n"
                               "  MoveFolder (\"tree\", \"%t\\\");\r\n"
                               "MoveFile (\"readme.txt\", \"%t\\top.txt\");\r\n"));
    std::string build = "build --stub " + Path("stub.exe") + " " + Path("tree.txt") + " " +
                        Path("readme.txt") + " -o ";
    PackRun run = RunPack(build + Path("setup.exe"));
    ASSERT_EQ("--stderr--", run.out);
    PackRun check = RunPack("check " + Path("setup.exe"));
    EXPECT_EQ("NumFiles (4);\nTitle (\"Caf\xE9\");\nMakeDirectory (\"%t\");\n"
              "MoveFile (\"caf\xE9.txt\", \"%t\\caf\xE9.txt\");\n"
              "MakeDirectory (\"%t\\docs\");\n"
              "MoveFile (\"Readme~2.txt\", \"%t\\docs\\Readme.txt\");\n"
              "MakeDirectory (\"%t\\docs\\guide\");\n"
              "MoveFile (\"readme~3.txt\", \"%t\\docs\\guide\\readme.txt\");\n"
              "MakeDirectory (\"%t\\empty\");\nMoveFile (\"readme.txt\", \"%t\\top.txt\");\n"
              "--stderr--",
              check.out);
    ASSERT_EQ(0, RunPack("extract " + Path("setup.exe") + " -C " + Path("out/x")).exitCode);
    std::string data;
    ASSERT_TRUE(ReadWholeFile(Path("out/x/readme~3.txt"), &data));
    EXPECT_EQ("two", data);
    ASSERT_TRUE(ReadWholeFile(Path("out/x/caf\xE9.txt"), &data));
    EXPECT_EQ("three", data);

    // The same inputs give the same installer.
    std::string first, second;
    ASSERT_TRUE(ReadWholeFile(Path("setup.exe"), &first));
    ASSERT_EQ(0, RunPack(build + Path("setup.exe")).exitCode);
    ASSERT_TRUE(ReadWholeFile(Path("setup.exe"), &second));
    EXPECT_TRUE(first == second);
}

} // namespace
