// image_resources.h: the resources of a Windows image, read out and written
// back in place of its own, within the room the image keeps for them.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

enum { ResourceIcon = 3, ResourceGroupIcon = 14, ResourceVersion = 16 };

struct ImageResource {
    uint32_t type, id, language;
    std::string bytes;
};

// The image's resources, by number (a named one is refused); empty, or the
// complaint.
std::string ReadImageResources(const std::string& image, std::vector<ImageResource>* resources);

// The bytes resources take: their tree and data.
size_t ResourcesSize(const std::vector<ImageResource>& resources);

// The bytes the image has for resources: from the tree's start to whatever
// else its section holds first (the names the stub imports), and the unused
// tails of its sections' file data, which take data the tree points to.
// Gives the pieces' sizes ("1648, 36 and 48"), or empty when the image has
// no resources.
std::string ResourceRoom(const std::string& image, size_t* room);

// Whether resources fit the image's room.
bool ResourcesFit(const std::string& image, std::vector<ImageResource> resources);

// Writes the resources over the image's own. Beyond the room, the resource
// section grows when mayGrow and only base relocations follow it, which then
// move behind it; else the complaint names the room.
std::string WriteImageResources(std::string* image, std::vector<ImageResource> resources,
                                bool mayGrow);
