#pragma once
// The translucent picture of the dragged rows (or of a dragged column) that follows the
// pointer. It keeps a copy of the screen under itself, blends its picture onto that copy
// and shows the result in a small popup window that lets the pointer through. A move that
// overlaps the old place scrolls the saved background and samples only the newly covered
// strips from the screen, so the screen is never read whole while the image moves.
#include <algorithm>
#include <memory>

#include "platform/windows/clipboard.h"
#include "platform/graphics/graphics.h"
#include "treeview/vtblend.h"

namespace treeview {

class TBaseVastTree;

enum TVTDragMoveRestriction { dmrNone, dmrHorizontalOnly, dmrVerticalOnly };

enum TVTDragImageState : unsigned { disHidden = 1, disInDrag = 2, disPrepared = 4, disSystemSupport = 8 };
using TVTDragImageStates = unsigned;

// The rectangles of one overlapping move by (deltaX, deltaY) (old position minus new) of a
// w x h image, in image coordinates: the background is scrolled by the deltas inside Clip
// from Scroll; the restore rectangles are what the image no longer covers at the old place,
// the sample rectangles what it newly covers at the new place. Rectangles a case does not
// use stay empty: with deltaX 0 only the second ones, with deltaY 0 only the first ones.
struct TDragRectangles {
    platform::TRect Clip, Scroll, FirstRestore, SecondRestore, FirstSample, SecondSample;
};
TDragRectangles FillDragRectangles(int width, int height, int deltaX, int deltaY);

class TVTDragImage {
public:
    explicit TVTDragImage(TBaseVastTree* owner);
    ~TVTDragImage();
    TVTDragImage(const TVTDragImage&) = delete;
    TVTDragImage& operator=(const TVTDragImage&) = delete;

    // The constant alpha of the picture over the background (255: opaque).
    int ImageAlpha() const { return imageAlpha_; }
    void SetImageAlpha(int value) { imageAlpha_ = std::clamp(value, 0, 255); }
    // Brightness added once when the picture is prepared, and at every composition.
    int PrepareBias() const { return prepareBias_; }
    void SetPrepareBias(int value) { prepareBias_ = std::clamp(value, -128, 127); }
    int ShowBias() const { return showBias_; }
    void SetShowBias(int value) { showBias_ = std::clamp(value, -128, 127); }
    // The picture fades towards its edges.
    bool RadialFade() const { return radialFade_; }
    void SetRadialFade(bool value) { radialFade_ = value; }
    TVTDragMoveRestriction MoveLimit() const { return moveLimit_; }
    void SetMoveLimit(TVTDragMoveRestriction value) { moveLimit_ = value; }
    // Pixels of the picture in this colour are not shown (clNone: every pixel is).
    platform::TColor KeyColor() const { return keyColor_; }
    void SetKeyColor(platform::TColor value) { keyColor_ = value; }
    TVTDragImageStates ImageStates() const { return states_; }
    // Prepared, in a drag and not hidden.
    bool Visible() const;

    // Takes the picture (copied, with PrepareBias) for a drag: imagePosition is the screen
    // point of its top-left corner, hotSpot the pointer's screen point. The image shows
    // with the first ShowDragImage.
    void PrepareDrag(platform::TBitmap* dragImage, platform::TPoint imagePosition, platform::TPoint hotSpot,
                     platform::IDataObject* dataObject);
    // Moves the image with the pointer to screen point p; whether it moved.
    bool DragTo(platform::TPoint p, bool forceRepaint);
    void ShowDragImage();
    void HideDragImage();
    // Hides the image, leaves the drag and frees the bitmaps.
    void EndDrag();
    // The image on the screen while visible, else empty.
    platform::TRect GetDragImageRect() const;
    // Whether DragTo(p) would move the visible image.
    bool WillMove(platform::TPoint p) const;
    // The tree painted r (client coordinates) under the image: the covered part is painted
    // into the saved background (visibleRegion: the tree's visible part, screen
    // coordinates; frame: its frame too), composed and shown again with redraw.
    void RecaptureBackground(TBaseVastTree* tree, platform::TRect r, platform::HRGN visibleRegion, bool frame,
                             bool redraw);
    // Alpha of each pixel of target: 0 where source shows the key colour, else fading from
    // 255 at the centre as 255 * exp(-8 d), d the distance from the centre over the longer side.
    void MakeAlphaChannel(platform::TBitmap* source, platform::TBitmap* target) const;

    // What the image holds: the picture with its alpha, the screen under it and the last
    // composition; and the popup showing it (null before the first show).
    platform::TBitmap* DragPicture() const { return dragPicture_.get(); }
    platform::TBitmap* Background() const { return background_.get(); }
    platform::TBitmap* Composition() const { return composition_.get(); }
    platform::HWND Window() const { return window_; }

private:
    void Deltas(platform::TPoint p, int& deltaX, int& deltaY) const;
    // Copies the screen inside area (image coordinates, at the image position) into the
    // background.
    void SampleScreen(const platform::TRect& area);
    void InternalShowDragImage();
    void PutOnScreen();
    void HideWindow();

    TBaseVastTree* owner_;
    int imageAlpha_ = 128;
    int prepareBias_ = 0;
    int showBias_ = 0;
    bool radialFade_ = false;
    TVTDragMoveRestriction moveLimit_ = dmrNone;
    platform::TColor keyColor_ = platform::clNone;
    TVTDragImageStates states_ = 0;
    std::unique_ptr<platform::TBitmap> dragPicture_, background_, composition_;
    platform::TPoint imagePosition_;
    platform::TPoint lastPosition_;
    platform::HWND window_ = nullptr;
};

}  // namespace treeview
