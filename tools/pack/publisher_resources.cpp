// publisher_resources.cpp: the icon and version resource fitted into an image.
#include "tools/pack/publisher_resources.h"

#include "tools/pack/image_resources.h"

#include <stdint.h>

#include <algorithm>

namespace {

const uint32_t UsEnglish = 1033, DefaultGroup = 101, FirstImage = 1;

// The resources with the icon group and these images in it.
std::vector<ImageResource> WithIcon(std::vector<ImageResource> resources, uint32_t group,
                                    uint32_t language, const std::vector<IconImage>& images) {
    for (size_t i = 0; i < images.size(); i++)
        resources.push_back({ResourceIcon, FirstImage + (uint32_t)i, language, images[i].bytes});
    if (!images.empty())
        resources.push_back({ResourceGroupIcon, group, language, IconGroup(images, FirstImage)});
    return resources;
}

} // namespace

std::string PutPublisherResources(std::string* image, const PublisherResources& given,
                                  bool mayGrow) {
    std::vector<ImageResource> kept;
    std::string problem = ReadImageResources(*image, &kept);
    if (!problem.empty()) return problem;
    size_t room = SIZE_MAX;
    std::string pieces = mayGrow ? "" : ResourceRoom(*image, &room);
    if (!mayGrow && pieces.empty()) return "it has no resources to replace";
    std::string keeps = " bytes of the " + std::to_string(room) +
                        " the stub keeps for them (in pieces of " + pieces + ")";
    bool icon = !given.iconPath.empty();
    uint32_t group = DefaultGroup, language = UsEnglish;
    for (const ImageResource& resource : kept)
        if (icon && resource.type == ResourceGroupIcon)
            group = resource.id, language = resource.language;
    kept.erase(std::remove_if(kept.begin(), kept.end(),
                              [&](const ImageResource& r) {
                                  return (icon && (r.type == ResourceIcon ||
                                                   r.type == ResourceGroupIcon)) ||
                                         (!given.version.empty() && r.type == ResourceVersion);
                              }),
               kept.end());
    if (!given.version.empty()) {
        kept.push_back({ResourceVersion, 1, UsEnglish, given.version});
        if (!mayGrow && !ResourcesFit(*image, kept))
            return "the version resource does not fit: with it the resources take " +
                   std::to_string(ResourcesSize(kept)) + keeps + "; shorten its values";
    }
    std::vector<IconImage> chosen;
    for (int side : {32, 16, 48}) {
        std::vector<IconImage> sized;
        for (const IconImage& i : given.icon)
            if (i.width == side && i.height == side) sized.push_back(i);
        // The deepest colours first, the fewest bytes among equals.
        std::sort(sized.begin(), sized.end(), [](const IconImage& a, const IconImage& b) {
            return a.bitCount != b.bitCount ? a.bitCount > b.bitCount
                                            : a.bytes.size() < b.bytes.size();
        });
        for (const IconImage& candidate : sized) {
            std::vector<IconImage> trial = chosen;
            trial.push_back(candidate);
            if (mayGrow || ResourcesFit(*image, WithIcon(kept, group, language, trial))) {
                chosen = trial;
                break;
            }
        }
        if (side != 32 || !icon || !chosen.empty()) continue;
        if (sized.empty()) return given.iconPath + " has no 32x32 image";
        size_t least = SIZE_MAX;
        for (const IconImage& i : sized)
            least = std::min(least, ResourcesSize(WithIcon(kept, group, language, {i})));
        return given.iconPath + " does not fit: with its smallest 32x32 image the resources " +
               "take " + std::to_string(least) + keeps +
               (given.version.empty() ? "" : " beside the version resource") +
               "; a 32x32 image in 16 colours or as a small PNG may fit";
    }
    return WriteImageResources(image, WithIcon(kept, group, language, chosen), mayGrow);
}
