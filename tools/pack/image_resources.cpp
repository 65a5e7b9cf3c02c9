// image_resources.cpp: a Windows image's resource tree, read and rewritten.
#include "tools/pack/image_resources.h"

#include "tools/pack/little_endian.h"
#include "tools/pack/package_seal.h"

#include <algorithm>

namespace {

enum { ImportDirectory = 1, ResourceDirectory = 2, SecurityDirectory = 4, RelocationDirectory = 5 };

struct Section {
    size_t header; // where its 40 bytes lie
    uint32_t virtualSize, rva, rawSize, rawAt;
    // The file data it may hold: its own, and for the last section the
    // padding behind it to the file's end (a stub's fixed size).
    uint32_t span;
};

struct PeLayout {
    size_t optional, directories;
    uint32_t directoryCount, sectionAlignment, fileAlignment;
    bool plus; // PE32+
    std::vector<Section> sections;
};

uint32_t Align(uint32_t value, uint32_t alignment) {
    return alignment ? (value + alignment - 1) / alignment * alignment : value;
}

std::string ReadLayout(const std::string& image, PeLayout* pe) {
    size_t header = PeHeader(image, 24);
    if (!header) return "it is not a Windows image";
    unsigned count = ReadLittleEndian(image, header + 6, 2),
             optionalSize = ReadLittleEndian(image, header + 20, 2);
    pe->optional = header + 24;
    if (optionalSize < 96 || pe->optional + optionalSize + 40 * count > image.size())
        return "its headers are cut short";
    unsigned magic = ReadLittleEndian(image, pe->optional, 2);
    if (magic != 0x10B && magic != 0x20B) return "its optional header is of an unknown kind";
    pe->plus = magic == 0x20B;
    size_t countAt = pe->optional + (pe->plus ? 108 : 92);
    pe->directories = countAt + 4;
    pe->directoryCount =
        countAt + 4 <= pe->optional + optionalSize ? ReadLittleEndian(image, countAt, 4) : 0;
    pe->directoryCount = std::min<uint32_t>(
        pe->directoryCount, (uint32_t)(pe->optional + optionalSize - pe->directories) / 8);
    pe->sectionAlignment = ReadLittleEndian(image, pe->optional + 32, 4);
    pe->fileAlignment = ReadLittleEndian(image, pe->optional + 36, 4);
    if (!pe->sectionAlignment || !pe->fileAlignment) return "its alignments are zero";
    for (unsigned i = 0; i < count; i++) {
        size_t at = pe->optional + optionalSize + 40 * i;
        Section s = {at,
                     ReadLittleEndian(image, at + 8, 4),
                     ReadLittleEndian(image, at + 12, 4),
                     ReadLittleEndian(image, at + 16, 4),
                     ReadLittleEndian(image, at + 20, 4),
                     0};
        if ((uint64_t)s.rawAt + s.rawSize > image.size()) return "a section lies past its end";
        s.span = s.rawSize;
        pe->sections.push_back(s);
    }
    // Rewritten in place, resources must not reach the headers or another
    // section's data.
    size_t headers = pe->optional + optionalSize + 40 * count;
    for (const Section& s : pe->sections)
        for (const Section& other : pe->sections)
            if (s.rawSize &&
                (s.rawAt < headers || (&other != &s && other.rawSize && s.rawAt <= other.rawAt &&
                                       s.rawAt + s.rawSize > other.rawAt)))
                return "its sections overlap its headers or each other";
    Section* last = nullptr;
    for (Section& s : pe->sections)
        if (s.rawSize && (!last || s.rawAt > last->rawAt)) last = &s;
    bool highest = last != nullptr;
    for (const Section& s : pe->sections) highest &= !last || s.rva <= last->rva;
    if (highest)
        last->span = (uint32_t)(image.size() - last->rawAt) / pe->fileAlignment * pe->fileAlignment;
    if (highest && last->span < last->rawSize) last->span = last->rawSize;
    return "";
}

void Directory(const std::string& image, const PeLayout& pe, uint32_t index, uint32_t* rva,
               uint32_t* size) {
    *rva = *size = 0;
    if (index >= pe.directoryCount) return;
    *rva = ReadLittleEndian(image, pe.directories + 8 * index, 4);
    *size = ReadLittleEndian(image, pe.directories + 8 * index + 4, 4);
}

// The section whose file data holds rva, or -1.
int SectionOf(const PeLayout& pe, uint32_t rva) {
    for (size_t i = 0; i < pe.sections.size(); i++)
        if (rva >= pe.sections[i].rva && rva - pe.sections[i].rva < pe.sections[i].span)
            return (int)i;
    return -1;
}

// Where rva lies in the file, with bytes of the same section behind it; else
// std::string::npos.
size_t FileOffset(const PeLayout& pe, uint32_t rva, size_t bytes) {
    int i = SectionOf(pe, rva);
    if (i < 0 || rva - pe.sections[i].rva + (uint64_t)bytes > pe.sections[i].span)
        return std::string::npos;
    return pe.sections[i].rawAt + (rva - pe.sections[i].rva);
}

// The names an image imports, by their addresses: what may lie behind the
// resources in their section.
void LowerToImports(const std::string& image, const PeLayout& pe, uint32_t from, uint32_t* end) {
    uint32_t rva, size;
    Directory(image, pe, ImportDirectory, &rva, &size);
    auto lower = [&](uint32_t at) {
        if (at >= from && at < *end) *end = at;
    };
    const int thunk = pe.plus ? 8 : 4;
    for (uint32_t d = rva; rva; d += 20) {
        size_t at = FileOffset(pe, d, 20);
        if (at == std::string::npos || !ReadLittleEndian(image, at + 12, 4)) break;
        lower(ReadLittleEndian(image, at + 12, 4));
        uint32_t table = ReadLittleEndian(image, at, 4) ? ReadLittleEndian(image, at, 4)
                                                        : ReadLittleEndian(image, at + 16, 4);
        for (size_t t = FileOffset(pe, table, thunk);
             t != std::string::npos &&
             ReadLittleEndian(image, t, 4) | ReadLittleEndian(image, t + thunk - 4, 4);
             table += thunk, t = FileOffset(pe, table, thunk))
            if (!(ReadLittleEndian(image, t + thunk - 4, 4) >> 31))
                lower(ReadLittleEndian(image, t, 4));
    }
}

// A stretch of the image's file data that resources may take.
struct Extent {
    uint32_t rva, end;
};

// Where resources may go: first from the tree's start to whatever else its
// section holds (the names the stub imports), then the unused tails of the
// sections' file data.
std::string Extents(const std::string& image, const PeLayout& pe, int* section,
                    std::vector<Extent>* extents) {
    uint32_t start, size;
    Directory(image, pe, ResourceDirectory, &start, &size);
    *section = start ? SectionOf(pe, start) : -1;
    if (*section < 0) return "it has no resource section";
    const Section& s = pe.sections[*section];
    uint32_t end = s.rva + s.span;
    for (uint32_t i = 0; i < pe.directoryCount; i++) {
        uint32_t rva, bytes;
        Directory(image, pe, i, &rva, &bytes);
        if (i != ResourceDirectory && i != SecurityDirectory && rva > start && rva < end) end = rva;
    }
    LowerToImports(image, pe, start, &end);
    extents->assign(1, {start, end});
    for (const Section& other : pe.sections) {
        uint32_t tail = Align(other.rva + other.virtualSize, 4);
        if (tail < other.rva + other.span && (tail >= end || other.rva + other.span <= start))
            extents->push_back({tail, other.rva + other.span});
    }
    return "";
}

// The tree for resources (sorted), as it lies at rva: the three levels of
// directories (type, number, language) and the data entries, then the data;
// or, given where each resource's data lies, without the data.
std::string BuildTree(const std::vector<ImageResource>& r, uint32_t rva,
                      const std::vector<uint32_t>* placed = nullptr) {
    size_t n = r.size(), types = 0, names = 0;
    for (size_t i = 0; i < n; i++) {
        bool newType = i == 0 || r[i].type != r[i - 1].type;
        types += newType;
        names += newType || r[i].id != r[i - 1].id;
    }
    size_t nameDirs = 16 + 8 * types, languageDirs = nameDirs + 16 * types + 8 * names;
    size_t entries = languageDirs + 16 * names + 8 * n, data = entries + 16 * n, end = data;
    for (size_t i = 0; !placed && i < n; i++) end = Align((uint32_t)end, 4) + r[i].bytes.size();
    std::string tree(end, '\0');
    WriteLittleEndian(&tree, 14, (uint32_t)types, 2);
    size_t root = 16, nameDir = 0, languageDir = 0;
    for (size_t i = 0; i < n; i++) {
        if (i == 0 || r[i].type != r[i - 1].type) {
            nameDir = nameDirs;
            WriteLittleEndian(&tree, root, r[i].type, 4);
            WriteLittleEndian(&tree, root + 4, 0x80000000u | (uint32_t)nameDir, 4);
            root += 8;
            size_t count = 0;
            for (size_t j = i; j < n && r[j].type == r[i].type; j++)
                count += j == i || r[j].id != r[j - 1].id;
            WriteLittleEndian(&tree, nameDir + 14, (uint32_t)count, 2);
            nameDirs += 16 + 8 * count;
            nameDir += 16;
        }
        if (i == 0 || r[i].type != r[i - 1].type || r[i].id != r[i - 1].id) {
            languageDir = languageDirs;
            WriteLittleEndian(&tree, nameDir, r[i].id, 4);
            WriteLittleEndian(&tree, nameDir + 4, 0x80000000u | (uint32_t)languageDir, 4);
            nameDir += 8;
            size_t count = 0;
            for (size_t j = i; j < n && r[j].type == r[i].type && r[j].id == r[i].id; j++) count++;
            WriteLittleEndian(&tree, languageDir + 14, (uint32_t)count, 2);
            languageDirs += 16 + 8 * count;
            languageDir += 16;
        }
        WriteLittleEndian(&tree, languageDir, r[i].language, 4);
        WriteLittleEndian(&tree, languageDir + 4, (uint32_t)entries, 4);
        languageDir += 8;
        data = Align((uint32_t)data, 4);
        WriteLittleEndian(&tree, entries, placed ? (*placed)[i] : rva + (uint32_t)data, 4);
        WriteLittleEndian(&tree, entries + 4, (uint32_t)r[i].bytes.size(), 4);
        entries += 16;
        if (placed) continue;
        tree.replace(data, r[i].bytes.size(), r[i].bytes);
        data += r[i].bytes.size();
    }
    return tree;
}

// Puts the data of r[order[k]] and those after it into the extents, the
// largest first, trying each extent in turn (a few resources, a few extents;
// the steps are bounded all the same).
bool PlaceFrom(const std::vector<ImageResource>& r, const std::vector<size_t>& order, size_t k,
               std::vector<Extent>& extents, std::vector<uint32_t>* placed, long* steps) {
    if (k == order.size()) return true;
    size_t i = order[k];
    for (Extent& e : extents) {
        uint32_t at = Align(e.rva, 4), rva = e.rva;
        if (at > e.end || r[i].bytes.size() > e.end - at || --*steps < 0) continue;
        (*placed)[i] = at;
        e.rva = at + (uint32_t)r[i].bytes.size();
        if (PlaceFrom(r, order, k + 1, extents, placed, steps)) return true;
        e.rva = rva;
    }
    return false;
}

// Where each resource's data goes: behind the tree's directories or in
// another extent. False when they do not fit.
bool Place(const std::vector<ImageResource>& r, std::vector<Extent> extents,
           std::vector<uint32_t>* placed) {
    extents[0].rva += (uint32_t)BuildTree(r, 0, placed).size();
    if (extents[0].rva > extents[0].end) return false;
    std::vector<size_t> order(r.size());
    for (size_t i = 0; i < r.size(); i++) order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return r[a].bytes.size() > r[b].bytes.size(); });
    long steps = 1000000;
    return PlaceFrom(r, order, 0, extents, placed, &steps);
}

bool Before(const ImageResource& a, const ImageResource& b) {
    if (a.type != b.type) return a.type < b.type;
    return a.id != b.id ? a.id < b.id : a.language < b.language;
}

// Makes the resource section large enough for a tree of size bytes, when
// nothing but base relocations lies behind it; they move back.
std::string Grow(std::string* image, const PeLayout& pe, int index, uint32_t start, size_t size) {
    const Section& s = pe.sections[index];
    uint32_t relocations, bytes;
    Directory(*image, pe, RelocationDirectory, &relocations, &bytes);
    const Section* behind = nullptr;
    for (const Section& other : pe.sections) {
        if (other.rawAt <= s.rawAt || !other.rawSize) continue;
        if (behind || other.rva != relocations || other.rawAt != s.rawAt + s.rawSize)
            return "more than base relocations lie behind it";
        behind = &other;
    }
    uint32_t fileEnd = behind ? behind->rawAt + behind->rawSize : s.rawAt + s.rawSize;
    if (fileEnd != image->size()) return "data lies behind its sections";
    uint32_t virtualSize = start - s.rva + (uint32_t)size;
    uint32_t rawSize = Align(virtualSize, pe.fileAlignment), delta = rawSize - s.rawSize;
    image->insert(s.rawAt + s.rawSize, delta, '\0');
    WriteLittleEndian(image, s.header + 8, virtualSize, 4);
    WriteLittleEndian(image, s.header + 16, rawSize, 4);
    uint32_t imageEnd = s.rva + virtualSize;
    if (behind) {
        uint32_t rva = std::max(behind->rva, Align(imageEnd, pe.sectionAlignment));
        WriteLittleEndian(image, behind->header + 12, rva, 4);
        WriteLittleEndian(image, behind->header + 20, behind->rawAt + delta, 4);
        WriteLittleEndian(image, pe.directories + 8 * RelocationDirectory, rva, 4);
        imageEnd = rva + behind->virtualSize;
    }
    WriteLittleEndian(image, pe.optional + 56, Align(imageEnd, pe.sectionAlignment), 4);
    return "";
}

} // namespace

std::string ReadImageResources(const std::string& image, std::vector<ImageResource>* resources) {
    PeLayout pe;
    std::string problem = ReadLayout(image, &pe);
    uint32_t rva, size;
    if (problem.empty()) Directory(image, pe, ResourceDirectory, &rva, &size);
    if (!problem.empty() || !rva) return problem;
    size_t base = FileOffset(pe, rva, 16);
    if (base == std::string::npos) return "its resource directory lies outside its sections";
    const Section& s = pe.sections[SectionOf(pe, rva)];
    size_t limit = s.rawAt + s.rawSize;
    // The three levels: type, number, language.
    struct Level {
        size_t at, left;
        uint32_t id;
    } levels[3] = {
        {base, ReadLittleEndian(image, base + 14, 2) + ReadLittleEndian(image, base + 12, 2), 0}};
    long entries = 0; // a tree whose directories share levels could take ages
    for (int depth = 0; depth >= 0;) {
        Level& level = levels[depth];
        if (++entries > 100000) return "its resource tree is damaged";
        if (!level.left) {
            depth--;
            continue;
        }
        size_t entry = level.at + 16 +
                       8 * (ReadLittleEndian(image, level.at + 12, 2) +
                            ReadLittleEndian(image, level.at + 14, 2) - level.left--);
        if (entry + 8 > limit) return "its resource tree is cut short";
        uint32_t name = ReadLittleEndian(image, entry, 4),
                 target = ReadLittleEndian(image, entry + 4, 4);
        if (name >> 31) return "it has resources with names, which are not rewritten";
        level.id = name;
        size_t at = base + (target & 0x7FFFFFFF);
        if (at + 16 > limit || (target >> 31) != (depth < 2)) return "its resource tree is damaged";
        if (depth < 2) {
            levels[++depth] = {
                at, ReadLittleEndian(image, at + 12, 2) + ReadLittleEndian(image, at + 14, 2), 0};
            continue;
        }
        uint32_t dataSize = ReadLittleEndian(image, at + 4, 4);
        size_t data = FileOffset(pe, ReadLittleEndian(image, at, 4), dataSize);
        if (data == std::string::npos) return "a resource's data lies outside its sections";
        resources->push_back({levels[0].id, levels[1].id, name, image.substr(data, dataSize)});
        if (resources->size() > 1024) return "it has more than 1024 resources";
    }
    return "";
}

size_t ResourcesSize(const std::vector<ImageResource>& resources) {
    std::vector<ImageResource> sorted = resources;
    std::sort(sorted.begin(), sorted.end(), Before);
    return BuildTree(sorted, 0).size();
}

std::string ResourceRoom(const std::string& image, size_t* room) {
    PeLayout pe;
    int section;
    std::vector<Extent> extents;
    std::string problem = ReadLayout(image, &pe), pieces;
    if (problem.empty()) problem = Extents(image, pe, &section, &extents);
    *room = 0;
    for (size_t i = 0; i < extents.size(); i++) {
        *room += extents[i].end - extents[i].rva;
        pieces += (i == 0                    ? ""
                   : i + 1 == extents.size() ? " and "
                                             : ", ") +
                  std::to_string(extents[i].end - extents[i].rva);
    }
    return problem.empty() ? pieces : "";
}

bool ResourcesFit(const std::string& image, std::vector<ImageResource> resources) {
    PeLayout pe;
    int section;
    std::vector<Extent> extents;
    std::vector<uint32_t> placed(resources.size());
    std::sort(resources.begin(), resources.end(), Before);
    return ReadLayout(image, &pe).empty() && Extents(image, pe, &section, &extents).empty() &&
           Place(resources, extents, &placed);
}

std::string WriteImageResources(std::string* image, std::vector<ImageResource> resources,
                                bool mayGrow) {
    PeLayout pe;
    int section;
    uint32_t rva, size;
    std::vector<Extent> extents;
    std::string problem = ReadLayout(*image, &pe);
    if (problem.empty()) problem = Extents(*image, pe, &section, &extents);
    if (!problem.empty()) return problem;
    Directory(*image, pe, SecurityDirectory, &rva, &size);
    if (rva) return "it is signed, and would not be after: give it unsigned";
    std::sort(resources.begin(), resources.end(), Before);
    std::vector<uint32_t> placed(resources.size());
    uint32_t start = extents[0].rva;
    std::string tree;
    bool fits = Place(resources, extents, &placed);
    if (fits) {
        tree = BuildTree(resources, start, &placed);
    } else if (mayGrow) {
        tree = BuildTree(resources, start);
        if (tree.size() > extents[0].end - start) {
            problem = Grow(image, pe, section, start, tree.size());
            if (!problem.empty()) return "its resource section cannot grow: " + problem;
        }
        extents[0].end = std::max(extents[0].end, start + (uint32_t)tree.size());
    } else {
        size_t room;
        std::string pieces = ResourceRoom(*image, &room);
        return "its resources would take " + std::to_string(ResourcesSize(resources)) +
               " bytes, and it keeps room for " + std::to_string(room) + " (" + pieces + ")";
    }
    const Section& s = pe.sections[section];
    WriteLittleEndian(image, pe.directories + 8 * ResourceDirectory + 4, (uint32_t)tree.size(), 4);
    // The loader maps a section's data only as far as its sizes say.
    auto cover = [&](const Section& in, uint32_t end) {
        if (ReadLittleEndian(*image, in.header + 8, 4) < end)
            WriteLittleEndian(image, in.header + 8, end, 4);
        if (ReadLittleEndian(*image, in.header + 16, 4) < end)
            WriteLittleEndian(image, in.header + 16, Align(end, pe.fileAlignment), 4);
        if (ReadLittleEndian(*image, pe.optional + 56, 4) < in.rva + end)
            WriteLittleEndian(image, pe.optional + 56, Align(in.rva + end, pe.sectionAlignment), 4);
    };
    cover(s, start - s.rva + (uint32_t)tree.size());
    // What the old tree took and the new one leaves is cleared.
    tree.resize(std::max<size_t>(tree.size(), extents[0].end - start), '\0');
    image->replace(s.rawAt + (start - s.rva), tree.size(), tree);
    for (size_t i = 0; fits && i < resources.size(); i++) {
        const Section& in = pe.sections[SectionOf(pe, placed[i])];
        image->replace(in.rawAt + (placed[i] - in.rva), resources[i].bytes.size(),
                       resources[i].bytes);
        cover(in, placed[i] + (uint32_t)resources[i].bytes.size() - in.rva);
    }
    SetChecksum(image);
    return "";
}
