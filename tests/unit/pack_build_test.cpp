// Tests of vantorel-pack build: what it refuses, and the packages it writes.
#include "script/package_layout.h"
#include "tests/unit/arj_test_support.h"
#include "tests/unit/pack_runner.h"

#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace {

using namespace arj_test;

const char GoodScript[] = "Title (\"Demo\");\r\nNumFiles (2);\r\n"
                          "MoveFile (\"a.txt\", \"%t\\a.txt\");\r\n"
                          "MoveFile (\"b.bin\", \"%t\\b.bin\");\r\n";

// With the stub, GoodScript and the files that it moves.
struct PackBuild : PackFolder {
    void SetUp() override {
        Write("stub.exe", PlaceholderStub());
        Write("script.txt", GoodScript);
        Write("a.txt", "first file\n");
        Write("b.bin", std::string("\0\1\2\3\xff", 5));
    }
    std::set<std::string> Files() const {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(box.root))
            names.insert(entry.path().filename());
        return names;
    }
};

TEST_F(PackBuild, RefusesBadInputsAndWritesNothing) {
    std::string good = Archive({Stored("a.txt", "data")}), badCrc = good, huge = good;
    badCrc[10] ^= 1; // inside the main header's basic header
    huge.replace(2, 2, Le(2601, 2));
    std::string damaged = Archive({Stored("a.txt", "data"), Stored("b.bin", "d")});
    damaged[damaged.find("data")] ^= 1; // the installer would not install a.txt
    // The installer looks for the archive only before offset 500000.
    std::string longScript =
        GoodScript + std::string(500000 - PackageDataOffset - 8 - strlen(GoodScript), ' ');
    Write("short.exe", std::string(PackageDataOffset - 1, 'M'));
    Write("long.exe", std::string(PackageDataOffset + 1, 'M'));
    Write("empty.txt", "");
    Write("junk.arj", "PK\3\4 not an ARJ archive at all");
    Write("crc.arj", badCrc);
    Write("end.arj", EndOfArchive);
    Write("huge.arj", huge);
    Write("cut.arj", good.substr(0, 20));
    Write("damaged.arj", damaged);
    Write("method5.arj", Archive({Entry{"a.txt", "data", "data", 5}, Stored("b.bin", "d")}));
    Write("A.TXT", "one");
    Write("conout$.log", "a device's name");
    ASSERT_EQ(0, mkdir(Path("sub").c_str(), 0755));
    Write("sub/a.txt", "other");
    Write("long.txt", longScript);
    longScript.pop_back(); // the archive starts at 499999
    Write("shorter.txt", longScript);
    Write("bad.txt", std::string(GoodScript) + "MoveFlie (\"a\", \"b\");\r\nFoo(1,2,3,4,5,6,7);");
    Write("odd.txt", std::string(GoodScript) + "MoveFlie (\"a\", \"b\");");
    Write("out.exe", "an older installer");
    std::string i686 = PlaceholderStub(); // a PE header that names the machine
    i686.replace(0, 2, "MZ");
    i686[0x3C] = 0x40;
    i686.replace(0x40, 6, std::string("PE\0\0\x4C\x01", 6));
    Write("i686.exe", i686);
    const std::set<std::string> before = Files();

    std::string s = " " + Path("script.txt") + " ", stub = "--stub " + Path("stub.exe") + " ";
    std::string files = " " + Path("a.txt") + " " + Path("b.bin");
    std::string build = "build -o " + Path("out.exe") + " ";
    struct Case {
        std::string arguments, message;
    } cases[] = {
        {"--stub " + Path("short.exe") + s + Path("crc.arj"), "is 24575 bytes; an installer stub"},
        {"--stub " + Path("long.exe") + s + Path("crc.arj"), "is 24577 bytes"},
        {"--stub " + Path("none.exe") + s + Path("A.TXT"), "cannot read stub"},
        {stub + Path("empty.txt") + " " + Path("A.TXT"), "is empty"},
        {stub + s + Path("junk.arj"), "does not start with an ARJ header"},
        {stub + s + Path("crc.arj"), "CRC does not match"},
        {stub + s + Path("end.arj"), "end-of-archive header"},
        {stub + s + Path("huge.arj"), "larger than 2600 bytes"},
        {stub + s + Path("cut.arj"), "ends inside its first header"},
        {stub + s + Path("damaged.arj"), "archive entry a.txt is damaged"},
        {stub + s + Path("method5.arj"), "archive entry a.txt uses a method"},
        {stub + s + Path("A.TXT") + " " + Path("sub/a.txt"), "two files named a.txt"},
        {stub + s + Path("sub"), "is not a plain file"},
        {stub + s + "'" + Path("conout$.log") + "'", "Windows reserves the name CONOUT$ for a"},
        {stub + s + Path("missing.bin"), "cannot read"},
        {stub + "--frob" + s + Path("A.TXT"), "unknown option --frob"},
        {"-m 3" + s + Path("A.TXT"), "-m takes lzma, 0, 1 or 4"},
        {"--arch arm" + s + Path("A.TXT"), "--arch takes x86 or x64"},
        {"--arch x64 --stub " + Path("i686.exe") + s + Path("A.TXT"),
         "is an x86 stub, but --arch is x64"},
        {"-l 10" + s + Path("A.TXT"), "-l takes a level from 1 to 9"},
        {"-j 0" + s + Path("A.TXT"), "-j takes a number of jobs"},
        {stub + Path("long.txt") + files, "past offset 500000"},
        {stub + "--codepage 65001 " + Path("odd.txt") + files, "65001 is no Windows ANSI code"},
    };
    for (const Case& c : cases) {
        PackRun run = RunPack(build + c.arguments);
        EXPECT_EQ(1, run.exitCode) << c.arguments;
        std::string err = run.out.substr(run.out.find("--stderr--") + 10);
        EXPECT_EQ(0u, err.find("vantorel-pack: build: ")) << err;
        EXPECT_NE(std::string::npos, err.find(c.message)) << err;
        EXPECT_EQ(1, std::count(err.begin(), err.end(), '\n')) << "one line: " << err;
        EXPECT_EQ(before, Files()) << "no output, no temporary file: " << c.arguments;
        EXPECT_EQ("an older installer", Read("out.exe")) << "the old output stays";
    }

    // Problems in the script, each where it is; warnings fail only with --werror.
    std::string warning = ":5:1: warning: unknown command 'MoveFlie': the installer passes it "
                          "over; did you mean 'MoveFile'?\n";
    const std::pair<std::string, PackRun> runs[] = {
        {Path("bad.txt"),
         {1, "--stderr--" + Path("bad.txt") + warning + Path("bad.txt") +
                 ":6:17: error: a seventh argument: the installer refuses statements of over six "
                 "(\"Error parsing installation script.\")\nvantorel-pack: build: " +
                 Path("bad.txt") + ": 1 error in the script; nothing written\n"}},
        {"--werror " + Path("odd.txt"),
         {1, "--stderr--" + Path("odd.txt") + warning + "vantorel-pack: build: " + Path("odd.txt") +
                 ": 1 warning in the script, and --werror; nothing written\n"}},
        // Written from here on.
        {Path("odd.txt"), {0, "--stderr--" + Path("odd.txt") + warning}},
        {Path("shorter.txt"), {0, "--stderr--"}},
    };
    for (const auto& r : runs) {
        EXPECT_EQ(r.second, RunPack(build + stub + r.first + files));
        EXPECT_TRUE(!r.second.exitCode || before == Files()) << "nothing written: " << r.first;
    }
}

TEST_F(PackBuild, PacksAnArjArchiveAsItIsAndFindsTheStubBesideItsOwnFolder) {
    std::string archive = MakeArj(box.root, "-m1", "a.txt b.bin");
    EXPECT_EQ((PackRun{0, "--stderr--"}),
              RunPack("build -o " + Path("setup.exe") + " --stub " + Path("stub.exe") + " " +
                      Path("script.txt") + " " + Path("made.arj")))
        << "quiet on success";
    EXPECT_EQ(MakePackage(PlaceholderStub(), GoodScript, archive), Unsealed(Read("setup.exe")));
    EXPECT_EQ((PackRun{0, "Title (\"Demo\");\nNumFiles (2);\nMoveFile (\"a.txt\", \"%t\\a.txt\");\n"
                          "MoveFile (\"b.bin\", \"%t\\b.bin\");\n--stderr--"}),
              RunPack("check " + Path("setup.exe")));
    // The builds put the tool in build/host and the stub in build/win32.
    std::string cd = "cd " + box.root + " && ";
    ASSERT_EQ(0, system((cd + "mkdir host win32 && cp " VANTOREL_PACK " host/").c_str()));
    std::string build = cd + "host/vantorel-pack build -o setup.exe script.txt a.txt b.bin";
    EXPECT_NE(0, system((build + " 2>/dev/null").c_str())); // no stub yet
    std::string stub = "MZ" + PlaceholderStub().substr(2);
    Write("win32/vantorel.exe", stub);
    ASSERT_EQ(0, system(build.c_str()));
    EXPECT_EQ(stub, Unsealed(Read("setup.exe")).substr(0, PackageDataOffset));
}

// Without --stub, the stub of the architecture built beside the tool.
TEST_F(PackBuild, TakesTheStubOfTheArchitecture) {
    Write("script.txt", "Title (\"t\");");
    for (const auto& arch : {std::make_pair("x86", 0x14Cu), std::make_pair("x64", 0x8664u)}) {
        std::string out = Path(std::string(arch.first) + ".exe");
        PackRun run = RunPack("build --arch " + std::string(arch.first) + " -o " + out + " " +
                              Path("script.txt"));
        if (run.out.find("cannot read stub") != std::string::npos) continue; // not built
        ASSERT_EQ(0, run.exitCode) << run.out;
        std::string installer = Read(std::string(arch.first) + ".exe");
        EXPECT_EQ(arch.second, ReadLe(installer, ReadLe(installer, 0x3C) + 4, 2)) << arch.first;
    }
}

// --sign runs the command on uninstall.exe and on the installer, here a
// "signature" appended as a real one is; what breaks the package is refused.
TEST_F(PackBuild, SignsTheUninstallerAndTheInstaller) {
    Write("stub.exe", PlaceholderStub());
    Write("uninstall.exe", "MZ an uninstaller");
    Write("a.txt", "data");
    Write("script.txt", "Title (\"t\");\r\nMoveFile (\"a.txt\", \"%t\\a.txt\");\r\n"
                        "MoveFile (\"uninstall.exe\", \"%t\\uninstall.exe\");");
    std::string build = "build --uninstaller --stub " + Path("stub.exe") + " -o " +
                        Path("out.exe") + " " + Path("script.txt") + " " + Path("a.txt") +
                        " --sign ";
    for (const char* command :
         {"'cp {in} {out} && printf SIGNED >>{out}'", "'printf SIGNED >>{in}'"}) {
        ASSERT_EQ(0, RunPack(build + command).exitCode) << command;
        std::string installer = Read("out.exe");
        EXPECT_EQ("SIGNED", installer.substr(installer.size() - 6));
        ASSERT_EQ(0, RunPack("extract " + Path("out.exe") + " -C " + Path("x")).exitCode);
        EXPECT_EQ("MZ an uninstallerSIGNED", Read("x/uninstall.exe"));
        EXPECT_EQ("MZ an uninstaller", Read("uninstall.exe")) << "the original stays";
    }
    const std::set<std::string> before = Files();
    struct {
        const char* command;
        const char* message;
    } refused[] = {
        {"'false {in}'", "uninstall.exe: the signing command failed"},
        {"'case {in} in *.exe) ;; *) false;; esac'",
         "the signed installer: the signing command failed"},
        {"'printf X | dd of={in} bs=1 seek=24600 conv=notrunc status=none'",
         "the signed installer: the package is damaged"},
        {"true", "--sign needs {in}"},
    };
    for (const auto& r : refused) {
        PackRun run = RunPack(build + r.command);
        EXPECT_EQ(1, run.exitCode) << r.command;
        EXPECT_NE(std::string::npos, run.out.find(r.message)) << run.out;
        EXPECT_EQ(before, Files()) << "nothing written: " << r.command;
    }
}

// Uninstaller places uninstall.exe (no --uninstaller needed) and writes the
// product's Add/Remove values; what it cannot take is an error where it stands.
TEST_F(PackBuild, ExpandsUninstallerIntoTheProductsValues) {
    Write("stub.exe", PlaceholderStub());
    Write("uninstall.exe", std::string(3000, 'u'));
    Write("a.txt", std::string(5000, 'a'));
    Write("files.arj", Archive({Stored("a.txt", "data")}));
    std::string head = "Title (\"Example Tool\");\r\nMoveFile (\"a.txt\", \"%t\\a.txt\");\r\n";
    auto build = [&](const std::string& statement, const char* input = "a.txt") {
        Write("script.txt", head + statement);
        return RunPack("build --stub " + Path("stub.exe") + " -o " + Path("out.exe") + " " +
                       Path("script.txt") + " " + Path(input));
    };
    ASSERT_EQ(0, build("Uninstaller (\"ExampleTool\", \"Example Corp\", \"1.2\");").exitCode);
    std::string key =
        "(2, \"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ExampleTool\", ";
    std::string expected = "MoveFile (\"uninstall.exe\", \"%t\\uninstall.exe\");\n";
    for (const char* value :
         {"DisplayName\", \"Example Tool", "UninstallString\", \"%t\\uninstall.exe",
          "QuietUninstallString\", \"%t\\uninstall.exe /S", "DisplayIcon\", \"%t\\uninstall.exe",
          "Publisher\", \"Example Corp", "DisplayVersion\", \"1.2", "InstallLocation\", \"%t"})
        expected += "Registry " + key + "\"" + value + "\");\n";
    for (const char* value : {"EstimatedSize\", 8", "NoModify\", 1", "NoRepair\", 1"})
        expected += "RegistryInt " + key + "\"" + value + ");\n";
    EXPECT_NE(std::string::npos, RunPack("check " + Path("out.exe")).out.find(expected));

    struct {
        std::string statement, message;
    } refused[] = {
        {"Uninstaller (\"Tool\", \"Smith, J\", \"1\");", "3:1: error: Uninstaller takes three"},
        {"Uninstaller (\"A\\B\", \"Corp\", \"1\");", "a key cannot hold '\\'"},
        {"Uninstaller (\"Tool\", \"Corp\", \"\");", "an empty text"},
        {"Uninstaller (\"T\", \"C\", \"1\");\r\nUninstaller (\"T\", \"C\", \"2\");", "given again"},
    };
    for (const auto& r : refused)
        EXPECT_NE(std::string::npos, build(r.statement).out.find(r.message)) << r.statement;
    std::string arj = build("Uninstaller (\"T\", \"C\", \"1\");", "files.arj").out;
    EXPECT_NE(std::string::npos, arj.find("Uninstaller adds uninstall.exe to an archive"));
    head = "MoveFile (\"a.txt\", \"%t\\a.txt\");\r\n";
    EXPECT_NE(std::string::npos, build("Uninstaller (\"T\", \"C\", \"1\");").out.find("no Title"));
}

// Files that shrink are compressed, the others stored; headers carry what
// the arj archiver writes on Unix. Any number of jobs gives the same bytes.
TEST_F(PackBuild, CompressesGivenFilesUnderTheirBaseNames) {
    ASSERT_EQ(0, mkdir(Path("in").c_str(), 0755));
    std::string binary;
    for (int i = 0; i < 70000; i++) binary += (char)(i * 7 + i / 256);
    struct {
        const char* name;
        std::string data;
        bool shrinks;
    } files[] = {{"Readme.TXT", "Hello\r\nWorld\r\n", false},
                 {"tool.exe", binary, true},
                 {"empty.dat", "", false},
                 {"noise.bin", Pseudo(30000, 1), false}};
    std::string list, script = "NumFiles (4);\r\n";
    for (const auto& f : files) {
        Write("in/" + std::string(f.name), f.data);
        list += " " + Path("in/") + f.name;
        script += "MoveFile (\"" + std::string(f.name) + "\", \"%t\\x\");\r\n";
    }
    std::string set = " && touch -d @1600000000 * && chmod 644 * && chmod 751 tool.exe";
    ASSERT_EQ(0, system(("cd " + Path("in") + set).c_str()));
    Write("files.txt", script);
    std::string head = "build --stub " + Path("stub.exe") + " " + Path("files.txt") + list;
    std::string first;
    struct {
        std::string options;
        uint32_t method; // of files that shrink
    } runs[] = {
        {" -m 1", 1}, {" -m 1 -j 1", 1}, {" -m 1 -j 3 -l 1", 1}, {" -m 4", 4}, {" -m 0", 0}};
    for (const auto& r : runs) {
        SCOPED_TRACE(r.options);
        ASSERT_EQ((PackRun{0, "--stderr--"}),
                  RunPack(head + r.options + " -o " + Path("setup.exe")))
            << "quiet when stderr is no terminal";
        std::string package = Read("setup.exe");
        if (first.empty()) first = package;
        EXPECT_TRUE(r.options != " -m 1 -j 1" || first == package) << "as with one per core";
        size_t end, archiveAt = PackageDataOffset + 8 + script.size();
        std::string archive = package.substr(archiveAt);
        EXPECT_TRUE(MakePackage(PlaceholderStub(), script, archive) == Unsealed(package))
            << "the layout";

        std::vector<size_t> headers = BasicHeaders(archive, &end);
        EXPECT_EQ(archive.size(), end + 4) << "nothing behind the end header";
        ASSERT_EQ(5u, headers.size());
        for (size_t i = 0; i < headers.size(); i++) {
            size_t at = headers[i], size = ReadLe(archive, at - 2, 2);
            auto field = [&](int offset, int bytes) { return ReadLe(archive, at + offset, bytes); };
            EXPECT_EQ(ArjHeaderId, ReadLe(archive, at - 4, 2));
            EXPECT_EQ(Crc(archive.substr(at, size)), ReadLe(archive, at + size));
            EXPECT_EQ(0u, ReadLe(archive, at + size + 4, 2)) << "no extended headers";
            EXPECT_STREQ(i ? files[i - 1].name : "setup.arj", archive.c_str() + at + archive[at])
                << "base name, case kept";
            EXPECT_EQ(i ? BinaryFile : MainHeaderType, field(FileTypeField, 1))
                << "bytes written unchanged";
            if (i == 0) continue;
            const auto& f = files[i - 1];
            uint32_t method = f.shrinks ? r.method : 0, stored = field(CompressedSizeField, 4);
            EXPECT_EQ(method, field(MethodField, 1)) << f.name;
            EXPECT_TRUE(method != 0 || archive.substr(at + size + 6, stored) == f.data);
            EXPECT_GT(method ? f.data.size() / 4 : f.data.size() + 1, stored) << f.name;
            EXPECT_EQ(f.data.size(), field(OriginalSizeField, 4));
            EXPECT_EQ(Crc(f.data), field(FileCrcField, 4)) << f.name;
            EXPECT_EQ(UnixHostOs, field(HostOsField, 1)) << "names used as stored";
            EXPECT_LE(field(MinVersionField, 1), MaxMinVersion) << "else the installer skips it";
            EXPECT_EQ(1600000000u, field(TimeStampField, 4)) << "Unix time, as arj writes";
            EXPECT_EQ(i == 2 ? 010751u : 010644u, field(FileModeField, 2)) << f.name;
        }

        // The installer's own reader takes the archive back to the same files.
        ASSERT_EQ(0, system(("rm -rf " + Path("out") + " && mkdir " + Path("out")).c_str()));
        ASSERT_EQ(0, RunPack("extract " + Path("setup.exe") + " -C " + Path("out")).exitCode);
        for (const auto& f : files)
            EXPECT_TRUE(f.data == Read("out/" + std::string(f.name))) << f.name;
    }
}

TEST_F(PackBuild, ExpandsMoveFolderIntoAFlatArchive) {
    for (const char* folder : {"tree", "tree/docs", "tree/docs/guide", "tree/empty"})
        ASSERT_EQ(0, mkdir(Path(folder).c_str(), 0755));
    Write("tree/docs/Readme.txt", "one");
    Write("tree/docs/guide/readme.txt", "two");
    Write("tree/caf\xC3\xA9.txt", "three");
    Write("readme.txt", "given");
    Write("tree.txt", "Title (\"Caf\xC3\xA9\");\r\n  MoveFolder (\"tree\", \"%t\\\");\r\n"
                      "MoveFile (\"readme.txt\", \"%t\\top.txt\");\r\n");
    std::string build = "build --stub " + Path("stub.exe") + " " + Path("tree.txt") + " " +
                        Path("readme.txt") + " -o " + Path("setup.exe");
    ASSERT_EQ("--stderr--", RunPack(build).out);
    std::string first = Read("setup.exe");
    EXPECT_EQ("NumFiles (4);\nTitle (\"Caf\xE9\");\nMakeDirectory (\"%t\");\n"
              "MoveFile (\"caf\xE9.txt\", \"%t\\caf\xE9.txt\");\n"
              "MakeDirectory (\"%t\\docs\");\n"
              "MoveFile (\"Readme~2.txt\", \"%t\\docs\\Readme.txt\");\n"
              "MakeDirectory (\"%t\\docs\\guide\");\n"
              "MoveFile (\"readme~3.txt\", \"%t\\docs\\guide\\readme.txt\");\n"
              "MakeDirectory (\"%t\\empty\");\nMoveFile (\"readme.txt\", \"%t\\top.txt\");\n"
              "--stderr--",
              RunPack("check " + Path("setup.exe")).out);
    ASSERT_EQ(0, RunPack("extract " + Path("setup.exe") + " -C " + Path("out/x")).exitCode);
    EXPECT_EQ("two", Read("out/x/readme~3.txt"));
    EXPECT_EQ("three", Read("out/x/caf\xE9.txt"));
    // The same inputs give the same installer.
    ASSERT_EQ(0, RunPack(build).exitCode);
    EXPECT_TRUE(first == Read("setup.exe"));
}

// Any byte of a sealed package changed, or one cut off, is refused by list and
// extract; a signature behind it is no package; unsealed, nothing is checked.
TEST_F(PackBuild, SealsThePackageSoThatAnyChangeIsRefused) {
    RunPack("build --stub " + Path("stub.exe") + " -o " + Path("setup.exe") + " " +
            Path("script.txt") + " " + Path("a.txt") + " " + Path("b.bin"));
    std::string sealed = Read("setup.exe");
    size_t length =
        FindSeal(sealed.substr(0, PackageDataOffset)) + offsetof(PackageSeal, packageLength);
    ASSERT_EQ(sealed.size() - PackageDataOffset, ReadLe(sealed, length, 4));
    for (size_t at = length; at < sealed.size();
         at = at == length + 7 ? (size_t)PackageDataOffset : at + 1) {
        std::string flipped = sealed;
        flipped[at] ^= 0x20;
        Write("flipped.exe", flipped);
        EXPECT_EQ(1, RunPack("list " + Path("flipped.exe")).exitCode) << "a change at " << at;
    }
    std::pair<std::string, int> cases[] = {
        {sealed, 0},
        {sealed + std::string(1500, '\x30'), 0}, // a signature
        {sealed.substr(0, sealed.size() - 1), 1},
        {Unsealed(sealed).replace(PackageDataOffset + 6, 1, "X"), 0}};
    for (const auto& c : cases) {
        Write("case.exe", c.first);
        EXPECT_EQ(c.second, RunPack("list " + Path("case.exe")).exitCode);
        EXPECT_EQ(c.second, RunPack("extract -C " + Path("out") + " " + Path("case.exe")).exitCode);
    }
}

} // namespace
