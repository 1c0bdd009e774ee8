#pragma once
// The free functions every skinned control shares: cutting a frame out of a picture strip,
// nine-piece and three-piece stretches, tiling, gradients, rotations, letting the parent
// paint under a transparent control, framing a window, a window region from a picture,
// shortening a caption to a width, button captions, the style hand-down to children and
// three window services the controls ask for.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/controls/controls.h"
#include "platform/controls/forms.h"
#include "platform/controls/stdctrls.h"
#include "platform/graphics/gdi.h"
#include "platform/graphics/graphics.h"
#include "skinctrl/dvxtheme.h"

namespace skinctrl {

using platform::HWND;
using platform::TCanvas;
using platform::TControl;
using platform::TCustomForm;
using platform::TFont;
using platform::TPicture;
using platform::TPoint;
using platform::TRect;
using platform::TWinControl;

class TdvxFileTheme;

// The transparent key colour of the control pictures.
constexpr TColor DVX_KEY_COLOR = 0xFF00FF;

// ---- pictures and painting ----

// Dest receives frame index (from 1) of count equal frames of source, each source.Width()
// div count wide; the last frame is taken flush with the right edge. A count below 1, an
// index outside 1..count, or frames of no width leave dest empty.
void SpitBitmap(TBitmap* source, TBitmap* dest, int count, int index);
// Nine-piece stretch of bitmap over rect: corners unscaled (their outer parts kept when the
// rectangle is small), edges and centre stretched; 0xFF00FF pixels of edges and centre are
// never drawn, those of corners only when transparent is false. Left and top pieces start
// at the canvas origin, right and bottom pieces at rect's right and bottom.
void SpitDraw(TBitmap* bitmap, TCanvas* canvas, const TRect& rect, bool transparent);
// Three frames side by side (left end, middle, right end): ends unscaled, the middle
// stretched between them over a fill of fillColor. The mask colour is the picture's pixel
// at (0, 0) or (0, height - 1) when usePixelAsMask, else 0xFF00FF.
void SpitDrawHorizontal(TBitmap* bitmap, TCanvas* canvas, const TRect& rect, bool usePixelAsMask, TColor fillColor,
                        bool maskPixelFromTop);
// As SpitDrawHorizontal with maskColor (when masked) and the picture's own height.
void SpitDrawHorizontal2(TBitmap* bitmap, TCanvas* canvas, const TRect& rect, bool masked, TColor maskColor);
// The whole bitmap stretched into rect, each pixel averaging what it covers.
void ResizeImage(TBitmap* bitmap, TCanvas* canvas, const TRect& rect);
// Tiles the picture from the canvas origin until it covers rect's size (the last tiles may
// reach past it). Nothing for an empty picture.
void TileDraw(TCanvas* canvas, TPicture* picture, const TRect& rect);
// Makes the bitmap 24 bits per pixel and replaces every pixel of oldColor by newColor.
void ScanColor(TBitmap* bitmap, TColor oldColor, TColor newColor);
// Row (column) gradients: first row fromColor, last row toColor, the rows between by
// c1 + trunc((c2 - c1) / height * (y - top - 1)) per component.
void DrawHorizontalGradient(TCanvas* canvas, const TRect& rect, TColor fromColor, TColor toColor);
void DrawVerticalGradient(TCanvas* canvas, const TRect& rect, TColor fromColor, TColor toColor);
// In-place rotations: a quarter turn counter-clockwise, a half turn, a quarter turn clockwise.
void RoundPicture(TBitmap* bitmap);
void RoundPicture2(TBitmap* bitmap);
void RoundPicture3(TBitmap* bitmap);
// The control's parent paints, into canvas, what lies under the control.
void DoTrans(TCanvas* canvas, TControl* control);
// Frames the whole window of the control (client and non-client area) in borderColor and,
// when drawInner, the ring one pixel inside in innerColor.
void DrawControlBorder(TWinControl* control, TColor borderColor, TColor innerColor, bool drawInner);
// The drop-down button of a skinned combo box over button on dc: the style's picture under
// MacOS and WinXP, otherwise a fill of buttonColor with a line in borderColor along the side
// facing the text (the right one when rightToLeft); then, except under WinXP whose picture
// holds its own, the arrow: arrowColor, or grey over a white shadow when disabled, raised
// by arrowRaise pixels.
void DrawComboButton(platform::HDC dc, const TRect& button, TdvxUIStyle style, TColor buttonColor, TColor borderColor,
                     TColor arrowColor, bool enabled, bool rightToLeft, int arrowRaise = 0);
// Gives the window a region of the bitmap's pixels that are not transparentColor. Runs are
// closed at the last column, which therefore never belongs to the region.
void SetBitmapWindow(HWND window, TBitmap* bitmap, TColor transparentColor);
// The region SetBitmapWindow would give (the caller owns it).
platform::HRGN BitmapRegion(TBitmap* bitmap, TColor transparentColor);
// Drops csOpaque and gives the window WS_EX_TRANSPARENT.
void SetWinControlTransparent(TWinControl* control);

// ---- geometry and windows ----

// All four edges inclusive.
bool InRect(const TPoint& point, const TRect& rect);
bool InRect(int x, int y, const TRect& rect);
void PlaceControl(TControl* control, const TPoint& point);
void PlaceControl(TControl* control, const TRect& rect);
// The work area of the screen the main form is on (of the primary screen without one).
TRect GetWorkAreaRect();
bool FormHasFocus(TCustomForm* form);

// ---- texts and fonts ----

// The text when it fits width; otherwise the longest start of it followed by "..." that
// fits, or its first character and "..." when none does.
std::string FormatStringWithWidth(TCanvas* canvas, const std::string& text, int width);
std::string PCharToStr(const char* p);
enum TMsgDlgBtn { mbYes, mbNo, mbOK, mbCancel, mbAbort, mbRetry, mbIgnore, mbAll, mbNoToAll, mbYesToAll, mbHelp };
std::string GetLocaleButtonCaption(TMsgDlgBtn button);
// The system has no caption-font setting here: the font stays as it is.
void GetCaptionFont(TFont* font);

// ---- properties and styles ----

// The direct children of a container (graphic ones first, then windowed ones, each bottom
// first), as its Controls list holds them.
std::vector<TControl*> ChildControls(const TWinControl* container);

// Whether the component publishes the property (skinned controls answer "UIStyle",
// "FileTheme" and whatever else they declare).
bool IsHasProperty(TComponent* component, const std::string& name);
// Every direct child publishing both FileTheme and UIStyle gets fileTheme, then uiStyle.
void ContainerApplyUIStyle(TWinControl* container, TdvxUIStyle uiStyle, TdvxFileTheme* fileTheme);

// ---- platform ----

bool IsWinXP();
bool IsWinVista();

using platform::COMBOBOXINFO;
bool DVXGetScrollBarInfo(HWND window, int objectId, platform::SCROLLBARINFO* info);
// The parts of a combo box's window; false for a window that is not a combo box.
bool DVXGetComboBoxInfo(HWND window, COMBOBOXINFO* info);
bool DVXAnimateWindow(HWND window, int time, int flags);


}  // namespace skinctrl
