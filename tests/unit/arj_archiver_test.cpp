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

TEST_F(ArjArchiver, EveryMethodExtractsByteForByteWithItsTime) {
    std::vector<Entry> files = Shapes();
    std::string names;
    std::vector<std::string> expectedNames;
    for (const Entry& f : files) {
        box.Write("C:\\in\\" + f.name, f.original);
        names += " " + f.name;
        expectedNames.push_back(f.name);
    }
    ASSERT_EQ(0, system(("touch -d @1614834368 " + in + "/*").c_str()));
    for (int method = 0; method <= 4; method++) {
        SCOPED_TRACE("method " + std::to_string(method));
        Bytes archive = MakeArj(in, "-m" + std::to_string(method), names);
        std::vector<size_t> headers = BasicHeaders(archive);
        int packed = 0; // arj stores what does not shrink
        for (size_t i = 1; i < headers.size(); i++) {
            EXPECT_TRUE(archive[headers[i] + MethodField] == 0 ||
                        archive[headers[i] + MethodField] == method);
            packed += archive[headers[i] + MethodField] != 0;
        }
        EXPECT_LE(method == 0 ? 0 : 5, packed);
        std::string folder = "C:\\out" + std::to_string(method);
        Extracted x = ExtractInto(box, Package(archive), folder);
        EXPECT_EQ(0, x.result) << x.message;
        EXPECT_EQ(expectedNames, x.names);
        for (const Entry& f : files)
            EXPECT_TRUE(f.original == box.Read(folder + "\\" + f.name)) << f.name;
        EXPECT_EQ(1614834368, ModTime(folder + "\\text"));
    }
}

// Text gets CR LF for each LF; from Unix (host OS 2, what arj on Linux
// writes) all 8 bits are kept. From other systems names are created in upper
// case (the caller still gets them as stored) and text loses bit 7, while the
// CRC is over the stored bytes.
TEST_F(ArjArchiver, TextEntriesAndOtherHostSystems) {
    Bytes text = "caf\xE9 au lait\nline\r\n\n" + Pseudo(40000, 9, 3) + "\nend";
    Bytes binary = "\xC1\xC2\n" + Pseudo(30000, 8, 5);
    box.Write("C:\\in\\readme.txt", text);
    box.Write("C:\\in\\Data.bin", binary);
    for (std::string method : {"-m0", "-m1", "-m4"}) {
        SCOPED_TRACE(method);
        MakeArj(in, "-t1 " + method, "readme.txt");
        Bytes archive = MakeArj(in, method, "Data.bin", true);
        std::vector<size_t> headers = BasicHeaders(archive);
        EXPECT_EQ(UnixHostOs, archive[headers[1] + HostOsField]);
        EXPECT_EQ(TextFile, archive[headers[1] + FileTypeField]);
        EXPECT_EQ(0, ExtractInto(box, Package(archive), "C:\\unix" + method).result);
        EXPECT_EQ(CrLf(text), box.Read("C:\\unix" + method + "\\readme.txt"));
        for (size_t i = 1; i < headers.size(); i++) {
            size_t at = headers[i], size = ReadLe(archive, at - 2, 2);
            archive[at + HostOsField] = MsdosHostOs;
            archive.replace(at + size, 4, Le(Crc(archive.substr(at, size)), 4));
        }
        Extracted x = ExtractInto(box, Package(archive), "C:\\dos" + method);
        EXPECT_EQ(0, x.result) << x.message;
        EXPECT_EQ(std::vector<std::string>({"readme.txt", "Data.bin"}), x.names);
        EXPECT_EQ(CrLf(text, 0x7F), box.Read("C:\\dos" + method + "\\README.TXT"));
        EXPECT_EQ(binary, box.Read("C:\\dos" + method + "\\DATA.BIN"));
    }
}

} // namespace
