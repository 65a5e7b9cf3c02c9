// icon_file.h: a publisher's .ico file, as the images an icon resource holds.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

struct IconImage {
    int width, height, bitCount;
    std::string bytes; // as the resource holds it: a DIB, or a PNG
};

// The images of an .ico file, each in the smaller of the forms Windows reads:
// as given, or a DIB written as PNG. Empty, or the complaint.
std::string ReadIconFile(const std::string& file, std::vector<IconImage>* images);

// The icon group for images, which are numbered from firstId on.
std::string IconGroup(const std::vector<IconImage>& images, uint32_t firstId);
