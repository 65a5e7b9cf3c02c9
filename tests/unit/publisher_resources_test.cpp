// Tests of the publisher's icon and version resource in the built stubs and
// uninstallers: what fits, and the resources read back.
#include "tests/unit/arj_test_support.h"
#include "tools/pack/image_resources.h"
#include "tools/pack/package_file.h"
#include "tools/pack/publisher_resources.h"
#include "tools/pack/version_resource.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <functional>
#include <map>

namespace {

using arj_test::Le;
using arj_test::ReadLe;

std::string Built(const std::string& name) {
    std::string bytes;
    EXPECT_EQ("", ReadWholeFile(VANTOREL_SOURCE_DIR "/build/" + name, &bytes));
    return bytes;
}

// An icon image as a DIB: side x side, 32 bits from rgba(x, y), or 4 bits
// of a grey palette from the low nibble; the mask clears where alpha is 0.
std::string Dib(int side, int bits, const std::function<uint32_t(int, int)>& rgba) {
    std::string dib =
        Le(40, 4) + Le(side, 4) + Le(2 * side, 4) + Le(1, 2) + Le(bits, 2) + std::string(24, '\0');
    for (int i = 0; bits == 4 && i < 16; i++) dib += std::string(3, (char)(i * 17)) + '\0';
    std::string mask;
    for (int y = side - 1; y >= 0; y--) {
        std::string row, maskRow((side + 31) / 32 * 4, '\0');
        for (int x = 0; x < side; x++) {
            uint32_t p = rgba(x, y);
            if (bits == 32) row += Le(p, 4); // blue, green, red, alpha
            if (bits == 4 && x % 2 == 0) row += (char)((p & 15) << 4 | (rgba(x + 1, y) & 15));
            if (!(p >> 24)) maskRow[x / 8] |= (char)(0x80 >> x % 8);
        }
        dib += row + std::string((4 - row.size() % 4) % 4, '\0');
        mask += maskRow;
    }
    return dib + mask;
}

std::string Ico(const std::vector<std::pair<int, std::string>>& images) {
    std::string head = Le(0, 2) + Le(1, 2) + Le(images.size(), 2), data;
    for (const auto& image : images) {
        int bits = ReadLe(image.second, 0, 4) == 40 ? (int)ReadLe(image.second, 14, 2) : 32;
        head += std::string(2, (char)image.first) + std::string(2, '\0') + Le(1, 2) + Le(bits, 2) +
                Le(image.second.size(), 4) + Le(6 + 16 * images.size() + data.size(), 4);
        data += image.second;
    }
    return head + data;
}

// The RGBA pixels of one of our PNGs: RGBA or palette indices of up to 8
// bits; filters none, left and up.
std::vector<uint8_t> PngPixels(const std::string& png, int* side) {
    std::string idat, palette, alphas;
    int depth = 8, type = 6;
    for (size_t at = 8; at + 8 <= png.size();) {
        uint32_t length = __builtin_bswap32((uint32_t)ReadLe(png, at, 4));
        std::string name = png.substr(at + 4, 4), data = png.substr(at + 8, length);
        if (name == "IHDR") *side = __builtin_bswap32(ReadLe(data, 0, 4));
        if (name == "IHDR") depth = data[8], type = data[9];
        if (name == "IDAT") idat += data;
        if (name == "PLTE") palette = data;
        if (name == "tRNS") alphas = data;
        at += 12 + length;
    }
    size_t bits = type == 6 ? 32 : depth, stride = (*side * bits + 7) / 8, step = (bits + 7) / 8;
    std::vector<uint8_t> raw((stride + 1) * *side), rows, pixels;
    uLongf size = raw.size();
    EXPECT_EQ(Z_OK, uncompress(raw.data(), &size, (const Bytef*)idat.data(), idat.size()));
    for (int y = 0; y < *side; y++)
        for (size_t x = 0; x < stride; x++) {
            int filter = raw[y * (stride + 1)];
            uint8_t before = filter == 1 && x >= step ? rows[y * stride + x - step]
                             : filter == 2 && y > 0   ? rows[(y - 1) * stride + x]
                                                      : 0;
            rows.push_back((uint8_t)(raw[y * (stride + 1) + 1 + x] + before));
        }
    for (int i = 0; i < *side * *side; i++) {
        size_t bit = (i % *side) * bits, at = i / *side * stride + bit / 8;
        if (type == 6) pixels.insert(pixels.end(), &rows[at], &rows[at] + 4);
        if (type == 6) continue;
        size_t index = rows[at] >> (8 - depth - bit % 8) & ((1 << depth) - 1);
        for (int c = 0; c < 3; c++) pixels.push_back((uint8_t)palette[3 * index + c]);
        pixels.push_back(index < alphas.size() ? (uint8_t)alphas[index] : 0xFF);
    }
    return pixels;
}

std::map<std::pair<uint32_t, uint32_t>, std::string> Resources(const std::string& image) {
    std::vector<ImageResource> list;
    EXPECT_EQ("", ReadImageResources(image, &list));
    std::map<std::pair<uint32_t, uint32_t>, std::string> byId;
    for (const ImageResource& r : list) byId[{r.type, r.id}] = r.bytes;
    return byId;
}

// The image's base relocations, where its directory says they lie.
std::string Relocations(const std::string& image) {
    size_t pe = ReadLe(image, 60, 4), optional = pe + 24;
    size_t directory = optional + (ReadLe(image, optional, 2) == 0x20B ? 112 : 96) + 8 * 5;
    uint32_t rva = ReadLe(image, directory, 4), size = ReadLe(image, directory + 4, 4);
    for (size_t i = 0; i < ReadLe(image, pe + 6, 2); i++) {
        size_t section = optional + ReadLe(image, pe + 20, 2) + 40 * i;
        uint32_t start = ReadLe(image, section + 12, 4);
        if (rva >= start && rva < start + ReadLe(image, section + 16, 4))
            return image.substr(ReadLe(image, section + 20, 4) + rva - start, size);
    }
    return "";
}

uint32_t Gradient(int x, int y) {
    return 0xFF000000u | (uint32_t)(x * 8) << 16 | (uint32_t)y * 8;
}

uint32_t Round(int x, int y) {
    return (x - 16) * (x - 16) + (y - 16) * (y - 16) < 200 ? Gradient(x, y) : 0;
}

uint32_t Grey(int x, int y) {
    return 0xFF000000u | ((x / 4 + y / 8) % 16) * 0x111111u;
}

uint32_t Noise(int x, int y) {
    uint32_t v = (uint32_t)(x * 7919 + y * 104729) * 2654435761u;
    return v ^ v >> 13;
}

struct Drawn {
    int side, bits;
    uint32_t (*pixel)(int, int); // Grey is drawn as 4 bits of the grey palette
};

TEST(PublisherResources, FitsTheIconImagesThatTheStubsRoomTakes) {
    const Drawn round = {32, 32, Round}, grey = {32, 4, Grey}, noise = {32, 32, Noise},
                small = {16, 32, Gradient}, large = {48, 32, Gradient}, noisy = {48, 32, Noise};
    struct Case {
        const char* image;
        std::vector<Drawn> icon;
        std::vector<int> chosen; // the icon's images, in the group's order
        std::string problem;     // or the start of the complaint
    } cases[] = {
        {"win32/vantorel.exe", {small, round, noisy}, {1, 0}, ""},
        {"win64/vantorel.exe", {noise, grey}, {1}, ""},
        {"win32/vantorel.exe", {small}, {}, "icon.ico has no 32x32 image"},
        {"win32/vantorel.exe", {noise}, {}, "icon.ico does not fit: with its smallest"},
        {"win32/uninstall.exe", {small, noise, large}, {1, 0, 2}, ""},
        {"win64/uninstall.exe", {round}, {0}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.image + (" " + c.problem));
        std::vector<std::pair<int, std::string>> images;
        for (const Drawn& d : c.icon)
            images.push_back({d.side, Dib(d.side, d.bits, [&](int x, int y) {
                                  return d.bits == 4 ? (uint32_t)(x / 4 + y / 8) % 16 | 0xFF000000u
                                                     : d.pixel(x, y);
                              })});
        std::string image = Built(c.image), before = image;
        bool grows = std::string(c.image).find("uninstall") != std::string::npos;
        PublisherResources given = {"icon.ico", {}, ""};
        ASSERT_EQ("", ReadIconFile(Ico(images), &given.icon));
        std::string problem = PutPublisherResources(&image, given, grows);
        EXPECT_EQ(c.problem, problem.substr(0, c.problem.size()));
        if (!c.problem.empty()) {
            EXPECT_EQ(before, image);
            continue;
        }
        if (!grows) {
            EXPECT_EQ(before.size(), image.size());
        }
        auto resources = Resources(image);
        const std::string& group = resources[{ResourceGroupIcon, 101}];
        ASSERT_EQ(c.chosen.size(), ReadLe(group, 4, 2));
        for (size_t i = 0; i < c.chosen.size(); i++) {
            const Drawn& d = c.icon[c.chosen[i]];
            size_t entry = 6 + 14 * i;
            EXPECT_EQ(d.side, (uint8_t)group[entry]);
            const std::string& bytes = resources[{ResourceIcon, ReadLe(group, entry + 12, 2)}];
            EXPECT_EQ(bytes.size(), ReadLe(group, entry + 8, 4));
            if (bytes.compare(0, 4, "\x89PNG") != 0) {
                EXPECT_EQ(images[c.chosen[i]].second, bytes);
                continue;
            }
            // A bitmap written as PNG keeps its pixels.
            int side = 0;
            std::vector<uint8_t> pixels = PngPixels(bytes, &side);
            ASSERT_EQ(d.side, side);
            for (int y = 0; y < side; y++)
                for (int x = 0; x < side; x++) {
                    uint8_t* q = &pixels[(y * side + x) * 4];
                    ASSERT_EQ(d.pixel(x, y), (uint32_t)q[3] << 24 | q[0] << 16 | q[1] << 8 | q[2])
                        << x << "," << y;
                }
        }
    }
}

// The values of a version resource by key, and its fixed part's versions.
std::map<std::string, std::string> VersionValuesOf(const std::string& block) {
    std::map<std::string, std::string> values;
    size_t length = ReadLe(block, 0, 2), valueLength = ReadLe(block, 2, 2), at = 6;
    std::string name;
    for (; block[at] || block[at + 1]; at += 2) name += block[at];
    at = (at + 2 + 3) & ~3u;
    if (ReadLe(block, 4, 2) == 1 && valueLength) {
        std::string text;
        for (size_t i = 0; i + 1 < valueLength; i++) text += block[at + 2 * i];
        values[name] = text;
        return values;
    }
    if (name == "VS_VERSION_INFO") {
        EXPECT_EQ(0xFEEF04BDu, ReadLe(block, at, 4));
        values["file"] = std::to_string(ReadLe(block, at + 10, 2)) + "." +
                         std::to_string(ReadLe(block, at + 8, 2)) + "." +
                         std::to_string(ReadLe(block, at + 14, 2)) + "." +
                         std::to_string(ReadLe(block, at + 12, 2));
        values["product"] = std::to_string(ReadLe(block, at + 18, 2)) + "." +
                            std::to_string(ReadLe(block, at + 16, 2));
    }
    if (name == "Translation") values[name] = std::to_string(ReadLe(block, at, 4));
    for (at += valueLength; (at = (at + 3) & ~3u) < length;) {
        auto inner = VersionValuesOf(block.substr(at, ReadLe(block, at, 2)));
        values.insert(inner.begin(), inner.end());
        at += ReadLe(block, at, 2);
    }
    return values;
}

TEST(PublisherResources, WritesTheVersionResourceExplorerReads) {
    VersionValues values;
    for (const char* bad : {"Comments=x", "ProductVersion", "ProductVersion=beta 2",
                            "FileVersion=1.70000", "CompanyName=", "CompanyName=\xff"})
        EXPECT_NE("", AddVersionValue(bad, &values)) << bad;
    for (const char* good : {"ProductVersion=2.5.1 beta", "CompanyName=Ex\xc3\xa4mple, Inc.",
                             "LegalCopyright=\xc2\xa9 2026"})
        EXPECT_EQ("", AddVersionValue(good, &values)) << good;
    EXPECT_NE("", AddVersionValue("CompanyName=again", &values));
    std::string resource = VersionResource(values, "Demo \xe2\x82\xac");
    auto read = VersionValuesOf(resource);
    // The non-ASCII characters read back as their UTF-16 low bytes.
    EXPECT_EQ((std::map<std::string, std::string>{{"ProductName", "Demo \xac"},
                                                  {"ProductVersion", "2.5.1 beta"},
                                                  {"FileVersion", "2.5.1 beta"},
                                                  {"CompanyName", "Ex\xe4mple, Inc."},
                                                  {"LegalCopyright", "\xa9 2026"},
                                                  {"file", "2.5.1.0"},
                                                  {"product", "2.5"},
                                                  {"Translation", "78644233"}}),
              read);
    EXPECT_EQ(resource.size(), ReadLe(resource, 0, 2));

    // Into the uninstallers, which grow, their relocations moving behind.
    for (const char* name : {"win32/uninstall.exe", "win64/uninstall.exe"}) {
        std::string image = Built(name), big(3000, 'x');
        values = {{"FileDescription", big}};
        PublisherResources given = {"", {}, VersionResource(values, "")};
        ASSERT_EQ("", PutPublisherResources(&image, given, true)) << name;
        EXPECT_GT(image.size(), Built(name).size() + 2500);
        EXPECT_NE("", Relocations(image));
        EXPECT_EQ(Relocations(Built(name)), Relocations(image));
        auto resources = Resources(image);
        EXPECT_EQ(big, VersionValuesOf(resources[{ResourceVersion, 1}])["FileDescription"]);
        auto icon = std::make_pair((uint32_t)ResourceGroupIcon, 101u);
        EXPECT_EQ(Resources(Built(name))[icon], resources[icon]);
        // A stub keeps its size, and says what its room is.
        std::string stub = Built(std::string(name).substr(0, 6) + "vantorel.exe"), kept = stub;
        EXPECT_EQ("the version resource does not fit: with it the resources take ",
                  PutPublisherResources(&stub, given, false).substr(0, 62));
        EXPECT_EQ(kept, stub);
    }
}

} // namespace
