#pragma once
// A small reader of uncompressed SWF files for the tests: the header, the tags, and the
// display list as it stands after each frame (from PlaceObject2 and RemoveObject2).
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace pmtest {

struct SwfMatrix {
    double scaleX = 1, scaleY = 1;
    double x = 0, y = 0;  // pixels
};

struct SwfItem {
    int character = 0;
    int characterTag = 0;  // code of the tag that defined the character (60: video, 39: sprite, ...)
    std::string name;
    SwfMatrix matrix;
};

struct SwfTag {
    int code = 0;
    int frame = 0;  // index of the frame the tag belongs to
    std::vector<std::uint8_t> body;
};

struct SwfMovie {
    bool ok = false;
    std::string error;
    int version = 0;
    double width = 0, height = 0;  // pixels
    double frameRate = 0;
    int frameCount = 0;           // from the header
    std::vector<SwfTag> tags;
    std::vector<std::map<int, SwfItem>> frames;  // display list (depth -> item) after each ShowFrame
    std::vector<int> removalsPerFrame;           // RemoveObject2 tags in each frame
    std::vector<int> actionsPerFrame;            // DoAction tags in each frame

    // Depth of the item named `name` in frame `frame`, if any.
    std::optional<SwfItem> Named(int frame, const std::string& name) const {
        if (frame < 0 || frame >= static_cast<int>(frames.size())) return std::nullopt;
        for (const auto& [depth, item] : frames[frame]) {
            if (item.name == name) return item;
        }
        return std::nullopt;
    }
    // Items whose character was defined by a tag with this code.
    std::vector<SwfItem> OfTag(int frame, int code) const {
        std::vector<SwfItem> out;
        if (frame < 0 || frame >= static_cast<int>(frames.size())) return out;
        for (const auto& [depth, item] : frames[frame]) {
            if (item.characterTag == code) out.push_back(item);
        }
        return out;
    }
};

SwfMovie ReadSwf(const std::string& path);

}  // namespace pmtest
