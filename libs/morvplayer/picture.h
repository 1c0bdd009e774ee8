#pragma once
// Pictures of the player: 32-bit BGRA images, the filter chain that turns a decoded frame
// into what shows, sub-pictures burnt in, picture files read and written.
#include <cstdint>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavfilter/avfilter.h>
}

#include "libs/morvconverter/internal.h"

namespace morvplayer {

struct Image {
    int width = 0, height = 0;
    std::vector<std::uint8_t> pixels;  // BGRA, width * 4 bytes per row
    bool Empty() const { return width <= 0 || height <= 0; }
    void Resize(int w, int h) {
        width = w, height = h;
        pixels.assign(std::size_t(std::max(0, w)) * std::max(0, h) * 4, 0);
    }
};

struct Rect {
    int x = 0, y = 0, width = 0, height = 0;
};

// The picture settings the user changes while playing; the crop applies only outside
// edit mode (edit mode shows the whole picture with the crop as a frame).
struct PictureSettings {
    int cropTop = 0, cropBottom = 0, cropLeft = 0, cropRight = 0;
    std::string aspect = "original";
    int brightness = 0, contrast = 0, saturation = 0;
    bool verticalFlip = false, horizontalFlip = false;
    int effect = 0;
    bool editMode = false;
    // The filter chain's view of them; crops that leave less than 2 pixels are dropped.
    morvconv::InputPlan Plan(int sourceWidth, int sourceHeight) const;
};

// The size at which a source shows: its (cropped) frame at the asked display aspect.
void DisplaySize(int croppedWidth, int croppedHeight, AVRational sampleAspect, const std::string& aspect,
                 int& width, int& height);
// The largest rectangle of that aspect centred in a window.
Rect FitRect(int width, int height, int windowWidth, int windowHeight);

// Runs decoded frames through the shared filter chain into BGRA at a given size; keeps
// its graph while the frame format, the settings and the size stay the same.
class FrameRenderer {
public:
    ~FrameRenderer();
    bool Render(const AVFrame* frame, AVRational timeBase, const morvconv::InputPlan& plan, int width, int height,
                Image& out);

private:
    void Free();
    AVFilterGraph* graph_ = nullptr;
    AVFilterContext* src_ = nullptr;
    AVFilterContext* sink_ = nullptr;
    std::string key_;
};

// Burns a bitmap subtitle into a picture that shows the source's area `area` (in source
// pixels) at the picture's size.
void BurnSubtitle(const AVSubtitle& sub, const Rect& area, Image& picture);

// Reads a BMP, PNG or JPEG file; false (and an empty image) when it cannot.
bool LoadPicture(const std::string& path, Image& out);
// Scales src into dst's rectangle r (bilinear).
void ScaleInto(const std::uint8_t* src, int srcWidth, int srcHeight, int srcStride, Image& dst, const Rect& r);
// Writes a picture as JPEG, BMP or PNG by the path's extension (any case), through a
// temporary name in the same folder; false when the extension is none of these or the
// file cannot be written (nothing is left behind then).
bool WritePicture(const Image& picture, const std::string& path);

}  // namespace morvplayer
