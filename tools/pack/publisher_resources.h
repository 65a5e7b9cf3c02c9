// publisher_resources.h: the publisher's icon and version resource, put into
// the installer's stub and into its uninstall.exe.
#pragma once

#include "tools/pack/icon_file.h"

#include <string>
#include <vector>

struct PublisherResources {
    std::string iconPath;
    std::vector<IconImage> icon; // read from iconPath
    std::string version;         // a version resource, or empty
};

// Replaces the image's icon with the icon's images that fit best (the
// deepest 32x32 one that fits, then 16x16 and 48x48 ones as they still fit)
// and adds the version resource. An image that may grow takes them all; the
// stub has its room, and the complaint says what would fit in it.
std::string PutPublisherResources(std::string* image, const PublisherResources& given,
                                  bool mayGrow);
