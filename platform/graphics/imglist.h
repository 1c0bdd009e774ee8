#pragma once
// Image lists: equal-sized images with masks, drawn by index, enabled or greyed.
#include <functional>
#include <vector>

#include "platform/core/classes.h"
#include "platform/graphics/graphics.h"
#include "platform/graphics/region.h"

namespace platform {

class TCustomImageList;

// Tells a user of an image list about its changes; unregisters itself when destroyed.
class TChangeLink : public TObject {
public:
    ~TChangeLink() override;
    TCustomImageList* Sender() const { return sender_; }
    void SetSender(TCustomImageList* list) { sender_ = list; }
    void Change();
    TNotifyEvent OnChange;

private:
    TCustomImageList* sender_ = nullptr;
};

class TCustomImageList : public TComponent {
public:
    explicit TCustomImageList(TComponent* owner = nullptr);
    TCustomImageList(int width, int height, TComponent* owner = nullptr);
    ~TCustomImageList() override;

    int Width() const { return width_; }
    int Height() const { return height_; }
    // Changing the size clears the list.
    void SetWidth(int width);
    void SetHeight(int height);
    void SetSize(int width, int height);
    int Count() const { return int(images_.size()); }
    bool Masked() const { return masked_; }
    void SetMasked(bool masked) { masked_ = masked; }
    TColor BkColor() const { return bkColor_; }
    void SetBkColor(TColor color) { bkColor_ = color; }

    // Adds the images of the bitmap (one per Width columns; a narrower rest is dropped)
    // and returns the index of the first, or -1 when nothing was added. Mask: a bitmap
    // whose white pixels are transparent; without one every pixel is drawn.
    int Add(TBitmap* image, TBitmap* mask);
    // As Add, with the pixels of maskColor transparent (clDefault: the colour of the
    // bottom-left pixel).
    int AddMasked(TBitmap* image, TColor maskColor);
    void Delete(int index);
    void Clear();
    // Copies image index into the bitmap (sized to the list), transparent pixels in the
    // background colour (white when BkColor is clNone); nothing for an index out of range.
    void GetBitmap(int index, TBitmap* image);
    // Draws image index at (x, y); a disabled image is drawn embossed in the highlight
    // and shadow colours. An index out of range draws nothing.
    void Draw(TCanvas* canvas, int x, int y, int index, bool enabled = true);

    void RegisterChanges(TChangeLink* link);
    void UnRegisterChanges(TChangeLink* link);
    TNotifyEvent OnChange;

protected:
    void Change();

private:
    struct Image {
        std::vector<std::uint32_t> pixels;  // Width * Height, top-down, 0x00RRGGBB
        std::vector<std::uint8_t> opaque;
    };
    int AddImages(TBitmap* image, const std::function<bool(int x, int y, COLORREF c)>& transparent);
    Region Shape(const Image& im, bool darkOnly) const;
    int width_ = 16, height_ = 16;
    bool masked_ = true;
    TColor bkColor_ = clNone;
    std::vector<Image> images_;
    std::vector<TChangeLink*> links_;
};

class TImageList : public TCustomImageList {
public:
    using TCustomImageList::TCustomImageList;
};

}  // namespace platform
