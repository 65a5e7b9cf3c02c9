// resource_fuzzer.cpp: arbitrary bytes as the publisher's .ico file and as a
// Windows image whose resources build rewrites; what is written must read
// back as what was put in.
#include "tools/pack/icon_file.h"
#include "tools/pack/image_resources.h"

#include <stdlib.h>

#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string bytes((const char*)data, size);
    std::vector<IconImage> images;
    if (ReadIconFile(bytes, &images).empty()) IconGroup(images, 1);
    std::vector<ImageResource> resources;
    if (!ReadImageResources(bytes, &resources).empty()) return 0;
    resources.push_back({ResourceVersion, 1, 1033, std::string(size % 700, 'v')});
    for (bool grows : {false, true}) {
        std::string image = bytes;
        std::vector<ImageResource> back;
        if (!WriteImageResources(&image, resources, grows).empty()) continue;
        if (!ReadImageResources(image, &back).empty() || back.size() != resources.size()) abort();
    }
    return 0;
}
