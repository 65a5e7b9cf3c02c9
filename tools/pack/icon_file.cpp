// icon_file.cpp: .ico files read, their bitmaps written as PNG.
#include "tools/pack/icon_file.h"

#include "tools/pack/little_endian.h"

#include <zlib.h>

#include <stdlib.h>

#include <algorithm>

namespace {

// PNG's numbers are the other way round.
void AppendBigEndian(std::string* bytes, uint32_t value) {
    for (int i = 3; i >= 0; i--) *bytes += (char)(value >> (8 * i));
}

void AddChunk(std::string* png, const char* type, const std::string& data) {
    AppendBigEndian(png, (uint32_t)data.size());
    std::string body = type + data;
    *png += body;
    AppendBigEndian(png, (uint32_t)crc32(0, (const Bytef*)body.data(), (uInt)body.size()));
}

// Rows as PNG lays them out, each behind its filter: with filters, the one
// of none, left (bytes before) and up whose bytes vary least, the usual guess
// at what deflates best.
std::string Filtered(const std::vector<uint8_t>& rows, size_t stride, size_t bytes, bool filters) {
    std::string raw;
    for (size_t y = 0; y * stride < rows.size(); y++) {
        const uint8_t* row = &rows[y * stride];
        std::string best;
        long bestCost = -1;
        for (int filter = 0; filter < (filters ? 3 : 1); filter++) {
            std::string line(1, (char)filter);
            long cost = 0;
            for (size_t x = 0; x < stride; x++) {
                int before = filter == 1   ? (x >= bytes ? row[x - bytes] : 0)
                             : filter == 2 ? (y ? rows[(y - 1) * stride + x] : 0)
                                           : 0;
                int8_t value = (int8_t)(row[x] - before);
                line += (char)value;
                cost += abs(value);
            }
            if (bestCost < 0 || cost < bestCost) best = line, bestCost = cost;
        }
        raw += best;
    }
    return raw;
}

std::string PngFile(int width, int height, int depth, int colourType, const std::string& chunks,
                    const std::string& raw) {
    std::string packed(compressBound((uLong)raw.size()), '\0');
    uLongf length = (uLongf)packed.size();
    compress2((Bytef*)&packed[0], &length, (const Bytef*)raw.data(), (uLong)raw.size(), 9);
    packed.resize(length);
    std::string png = "\x89PNG\r\n\x1a\n", header;
    AppendBigEndian(&header, (uint32_t)width);
    AppendBigEndian(&header, (uint32_t)height);
    AppendLittleEndian(&header, (uint32_t)depth, 1);
    AppendLittleEndian(&header, (uint32_t)colourType, 1);
    AppendLittleEndian(&header, 0, 3); // deflate, the one filter set, no interlacing
    AddChunk(&png, "IHDR", header);
    png += chunks;
    AddChunk(&png, "IDAT", packed);
    AddChunk(&png, "IEND", "");
    return png;
}

// RGBA pixels as PNG: as they are, or, with 256 colours or fewer, as indices
// of as few bits as they need into a palette, whichever is smaller.
std::string Png(int width, int height, const std::vector<uint8_t>& rgba) {
    std::string truecolour = PngFile(width, height, 8, 6, "", Filtered(rgba, width * 4, 4, true));
    std::vector<uint32_t> palette;
    std::vector<uint8_t> indices;
    for (size_t i = 0; i < rgba.size() && palette.size() <= 256; i += 4) {
        uint32_t colour = ReadLittleEndian(std::string((const char*)&rgba[i], 4), 0, 4);
        size_t index = std::find(palette.begin(), palette.end(), colour) - palette.begin();
        if (index == palette.size()) palette.push_back(colour);
        indices.push_back((uint8_t)index);
    }
    if (palette.size() > 256) return truecolour;
    int depth = palette.size() <= 2 ? 1 : palette.size() <= 4 ? 2 : palette.size() <= 16 ? 4 : 8;
    size_t stride = ((size_t)width * depth + 7) / 8;
    std::vector<uint8_t> rows(stride * height);
    for (size_t i = 0; i < indices.size(); i++) {
        size_t x = i % width, bit = x * depth;
        rows[i / width * stride + bit / 8] |= (uint8_t)(indices[i] << (8 - depth - bit % 8));
    }
    std::string colours, alphas, chunks;
    for (uint32_t colour : palette) {
        for (int c = 0; c < 3; c++) colours += (char)(colour >> (8 * c));
        alphas += (char)(colour >> 24);
    }
    while (!alphas.empty() && (uint8_t)alphas.back() == 0xFF) alphas.pop_back();
    AddChunk(&chunks, "PLTE", colours);
    if (!alphas.empty()) AddChunk(&chunks, "tRNS", alphas);
    std::string indexed =
        PngFile(width, height, depth, 3, chunks, Filtered(rows, stride, 1, false));
    return indexed.size() < truecolour.size() ? indexed : truecolour;
}

// A DIB of an icon (colours, then the mask that makes pixels transparent) as
// PNG; empty when it is not one that is understood.
std::string DibAsPng(const std::string& dib) {
    if (dib.size() < 40) return "";
    uint32_t header = ReadLittleEndian(dib, 0, 4), width = ReadLittleEndian(dib, 4, 4),
             height = ReadLittleEndian(dib, 8, 4) / 2;
    unsigned bits = ReadLittleEndian(dib, 14, 2), colours = ReadLittleEndian(dib, 32, 4);
    if (header < 40 || header > dib.size() || width - 1 > 255 || height - 1 > 255 ||
        ReadLittleEndian(dib, 16, 4) != 0 ||
        (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32))
        return "";
    size_t palette = bits <= 8 ? (colours ? colours : 1u << bits) : 0;
    size_t colourStride = (width * bits + 31) / 32 * 4, maskStride = (width + 31) / 32 * 4;
    size_t colourAt = header + 4 * palette, maskAt = colourAt + colourStride * height;
    if (palette > 256 || maskAt + maskStride * height > dib.size()) return "";
    // The mask's bit, set where the pixel is transparent.
    auto clear = [&](uint32_t x, uint32_t y) {
        return (uint8_t)dib[maskAt + (height - 1 - y) * maskStride + x / 8] >> (7 - x % 8) & 1;
    };
    std::vector<uint8_t> rgba(width * height * 4);
    bool alpha = false;
    for (uint32_t y = 0; y < height; y++) {
        size_t row = colourAt + (height - 1 - y) * colourStride;
        for (uint32_t x = 0; x < width; x++) {
            uint8_t* pixel = &rgba[(y * width + x) * 4];
            size_t at = row + x * bits / 8;
            if (bits <= 8) {
                unsigned index = (uint8_t)dib[at] >> (8 - bits - x * bits % 8) & ((1 << bits) - 1);
                if (index >= palette) return "";
                at = header + 4 * index;
            }
            for (int c = 0; c < 3; c++) pixel[c] = (uint8_t)dib[at + 2 - c];
            pixel[3] = bits == 32 ? (uint8_t)dib[at + 3] : 255;
            alpha |= pixel[3] != 0;
            if (bits < 32 && clear(x, y)) pixel[0] = pixel[1] = pixel[2] = pixel[3] = 0;
        }
    }
    // A 32-bit DIB without alpha takes its transparency from the mask.
    for (uint32_t i = 0; bits == 32 && !alpha && i < width * height; i++)
        rgba[i * 4 + 3] = clear(i % width, i / width) ? 0 : 255;
    return Png((int)width, (int)height, rgba);
}

} // namespace

std::string ReadIconFile(const std::string& file, std::vector<IconImage>* images) {
    if (file.size() < 6 || ReadLittleEndian(file, 0, 2) != 0 || ReadLittleEndian(file, 2, 2) != 1)
        return "it is not an icon (.ico) file";
    unsigned count = ReadLittleEndian(file, 4, 2);
    if (!count || 6 + 16 * count > file.size()) return "its image directory is empty or cut short";
    for (unsigned i = 0; i < count; i++) {
        size_t entry = 6 + 16 * i;
        uint32_t size = ReadLittleEndian(file, entry + 8, 4),
                 at = ReadLittleEndian(file, entry + 12, 4);
        if (size < 40 || at > file.size() || size > file.size() - at)
            return "image " + std::to_string(i + 1) + " lies outside the file";
        IconImage image = {file[entry] ? (uint8_t)file[entry] : 256,
                           file[entry + 1] ? (uint8_t)file[entry + 1] : 256,
                           (int)ReadLittleEndian(file, entry + 6, 2), file.substr(at, size)};
        bool png = image.bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") == 0;
        if (!png && ReadLittleEndian(image.bytes, 0, 4) < 40)
            return "image " + std::to_string(i + 1) + " is neither a bitmap nor PNG";
        if (!png && !image.bitCount) image.bitCount = (int)ReadLittleEndian(image.bytes, 14, 2);
        if (!image.bitCount) image.bitCount = 32;
        std::string asPng = png ? "" : DibAsPng(image.bytes);
        if (!asPng.empty() && asPng.size() < image.bytes.size()) image.bytes = asPng;
        images->push_back(image);
    }
    return "";
}

std::string IconGroup(const std::vector<IconImage>& images, uint32_t firstId) {
    std::string group;
    AppendLittleEndian(&group, 0, 2);
    AppendLittleEndian(&group, 1, 2);
    AppendLittleEndian(&group, (uint32_t)images.size(), 2);
    for (const IconImage& image : images) {
        AppendLittleEndian(&group, (uint32_t)image.width & 0xFF, 1);
        AppendLittleEndian(&group, (uint32_t)image.height & 0xFF, 1);
        AppendLittleEndian(&group, image.bitCount < 8 ? 1u << image.bitCount : 0, 1);
        AppendLittleEndian(&group, 0, 1);
        AppendLittleEndian(&group, 1, 2); // planes
        AppendLittleEndian(&group, (uint32_t)image.bitCount, 2);
        AppendLittleEndian(&group, (uint32_t)image.bytes.size(), 4);
        AppendLittleEndian(&group, firstId++, 2);
    }
    return group;
}
