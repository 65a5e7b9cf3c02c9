// Tests of extraction from archives that arj makes of files the test writes.
#include "tests/unit/arj_test_support.h"

namespace {

using namespace arj_test;

Bytes CrLf(const Bytes& text, char mask = '\xFF') {
    Bytes out;
    for (char c : text) out += c == '\n' ? Bytes("\r\n") : Bytes(1, (char)(c & mask));
    return out;
}

struct ArjArchiver : ::testing::Test {
    Sandbox box;
    std::string in = SimHostPath("C:\\in");
    void SetUp() override {
        if (!HaveArj()) GTEST_SKIP() << "arj is not installed";
        box.MakeFolder("C:\\in");
    }
};

// Every method and shape, with a text entry: it gets CR LF for each LF. From Unix (host OS
// 2, as arj on Linux writes) all 8 bits are kept; from others names are made in upper case
// (reported as stored) and text loses bit 7, the CRC being over the stored bytes.
TEST_F(ArjArchiver, EveryMethodTextEntriesAndOtherHostSystems) {
    Bytes text = "caf\xE9 au lait\nline\r\n\n" + Pseudo(40000, 9, 3) + "\nend";
    std::vector<Entry> files = Shapes();
    files.push_back(Stored("Data.bin", "\xC1\xC2\n" + Pseudo(30000, 8, 5)));
    box.Write("C:\\in\\readme.txt", text);
    std::string names;
    std::vector<std::string> expectedNames = {"readme.txt"};
    for (const Entry& f : files) {
        box.Write("C:\\in\\" + f.name, f.original);
        names += " " + f.name;
        expectedNames.push_back(f.name);
    }
    ASSERT_EQ(0, system(("touch -d @1614834368 " + in + "/*").c_str()));
    for (int method = 0; method <= 4; method++) {
        std::string m = std::to_string(method);
        SCOPED_TRACE("method " + m);
        MakeArj(in, "-t1 -m" + m, "readme.txt");
        Bytes archive = MakeArj(in, "-m" + m, names, true), dosArchive = archive;
        std::vector<size_t> headers = BasicHeaders(archive);
        EXPECT_EQ(UnixHostOs, archive[headers[1] + HostOsField]);
        EXPECT_EQ(TextFile, archive[headers[1] + FileTypeField]);
        int packed = 0; // arj stores what does not shrink
        for (size_t i = 1; i < headers.size(); i++) {
            size_t at = headers[i], size = ReadLe(archive, at - 2, 2);
            EXPECT_TRUE(archive[at + MethodField] == 0 || archive[at + MethodField] == method);
            packed += archive[at + MethodField] != 0;
            dosArchive[at + HostOsField] = MsdosHostOs;
            dosArchive.replace(at + size, 4, Le(Crc(dosArchive.substr(at, size)), 4));
        }
        EXPECT_LE(method == 0 ? 0 : 5, packed);
        for (int dos = 0; dos < 2; dos++) {
            std::string folder = (dos ? "C:\\dos" : "C:\\unix") + m;
            Extracted x = ExtractInto(box, Package(dos ? dosArchive : archive), folder);
            EXPECT_EQ(0, x.result) << x.message;
            EXPECT_EQ(expectedNames, x.names);
            EXPECT_EQ(CrLf(text, dos ? '\x7F' : '\xFF'), box.Read(folder + "\\README.TXT"));
            Lines made = box.List(folder); // the simulation finds names in any case
            EXPECT_EQ(1, std::count(made.begin(), made.end(), dos ? "DATA.BIN" : "Data.bin"));
            for (const Entry& f : files)
                EXPECT_TRUE(f.original == box.Read(folder + "\\" + f.name)) << f.name;
        }
        EXPECT_EQ(1614834368, ModTime("C:\\unix" + m + "\\text"));
    }
}

} // namespace
