// Header painting: the layout of image, caption and sort glyph in a header cell, the
// whole row painted into one bitmap and copied in one step, the edges of the classic
// styles, the XP look without themes, captions, and the header's utility images.
#include <algorithm>
#include <memory>
#include <mutex>

#include "platform/graphics/gdi.h"
#include "platform/graphics/imglist.h"
#include "treeview/vasttrees.h"
#include "treeview/vststrings.h"
#include "treeview/vtheader.h"
#include "treeview/vtinternal.h"

namespace treeview {

using namespace platform;

namespace {

constexpr TColor Magenta = 0xFF00FF;

// 16 x 16 pictures drawn by code: 0 and 1 the drop marks (left, right), 2 and 3 the
// sort glyphs (descending, ascending), 4 and 5 the same for themed headers, 6, 7 and 8
// the left end, middle and right end of the XP hot-tracking bar.
std::unique_ptr<TBitmap> MakeUtilityStrip() {
    auto strip = std::make_unique<TBitmap>();
    strip->SetPixelFormat(pf32bit);
    strip->SetSize(16 * 9, 16);
    TCanvas* c = strip->Canvas();
    c->Brush()->SetColor(Magenta);
    c->FillRect(TRect{0, 0, 16 * 9, 16});
    auto triangle = [&](int image, bool up, TColor color) {
        int x0 = image * 16;
        for (int row = 0; row < 4; ++row) {
            int y = up ? 6 + row : 9 - row;
            for (int x = 4 + row; x <= 11 - row; ++x) c->SetPixels(x0 + x, y, color);
        }
    };
    triangle(2, false, clBtnShadow);
    triangle(3, true, clBtnShadow);
    triangle(4, false, 0x808080);
    triangle(5, true, 0x808080);
    // Drop marks: an arrow pointing into the cell from its left or right edge.
    for (int row = 0; row < 5; ++row)
        for (int x = 0; x <= row; ++x) {
            c->SetPixels(0 * 16 + 4 - x, 3 + row, clBlack);
            c->SetPixels(0 * 16 + 4 - x, 13 - row, clBlack);
            c->SetPixels(1 * 16 + 11 + x, 3 + row, clBlack);
            c->SetPixels(1 * 16 + 11 + x, 13 - row, clBlack);
        }
    // The hot bar: three orange rows, rounded at both ends.
    const TColor bar[3] = {0x3CC7F8, 0x31B2F9, 0x1C96E5};
    for (int image = 6; image <= 8; ++image)
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 16; ++x) {
                bool corner = (image == 6 && x == 0 && y != 1) || (image == 8 && x == 15 && y != 1);
                if (!corner) c->SetPixels(image * 16 + x, y, bar[y]);
            }
    return strip;
}

TCustomImageList* UtilityImages() {
    static std::mutex lock;
    static std::unique_ptr<TCustomImageList> list;
    std::lock_guard<std::mutex> guard(lock);
    if (!list) {
        list = std::make_unique<TCustomImageList>(16, 16);
        std::unique_ptr<TBitmap> strip = MakeUtilityStrip();
        list->AddMasked(strip.get(), Magenta);
    }
    return list.get();
}

void Line(HDC dc, TColor color, std::initializer_list<POINT> points) {
    HPEN pen = CreatePen(PS_SOLID, 1, ColorToRGB(color));
    HGDIOBJ old = SelectObject(dc, pen);
    std::vector<POINT> list(points);
    MoveToEx(dc, list[0].x, list[0].y, nullptr);
    for (std::size_t i = 1; i < list.size(); ++i) LineTo(dc, list[i].x, list[i].y);
    SelectObject(dc, old);
    DeleteObject(pen);
}

TColor Rgb(int r, int g, int b) { return TColor(r | g << 8 | b << 16); }

}  // namespace

TCustomImageList* HeaderUtilityImages() { return UtilityImages(); }

void DrawXPButton(HDC dc, const TRect& r, bool drawSplitter, bool down, bool hover) {
    HBRUSH brush = CreateSolidBrush(ColorToRGB(down ? Rgb(222, 223, 216) : hover ? Rgb(250, 248, 243) : Rgb(235, 234, 219)));
    RECT fill = r;
    FillRect(dc, &fill, brush);
    DeleteObject(brush);
    if (drawSplitter && !down && !hover) {
        Line(dc, Rgb(199, 197, 178), {{r.right - 2, r.top + 3}, {r.right - 2, r.bottom - 5}});
        Line(dc, clWhite, {{r.right - 1, r.top + 3}, {r.right - 1, r.bottom - 5}});
    }
    if (down) {
        Line(dc, Rgb(165, 165, 151), {{r.left, r.top}, {r.left, r.bottom - 1}, {r.right - 1, r.bottom - 1}, {r.right - 1, r.top - 1}});
        Line(dc, Rgb(193, 194, 184), {{r.left + 1, r.bottom - 2}, {r.left + 1, r.top}, {r.right - 1, r.top}});
        Line(dc, Rgb(208, 209, 201), {{r.left + 2, r.bottom - 2}, {r.left + 2, r.top + 1}, {r.right - 1, r.top + 1}});
    } else if (hover) {
        TCustomImageList* images = UtilityImages();
        auto piece = [&](int index, int x, int width) {
            TBitmap picture;
            images->GetBitmap(index, &picture);
            BitBlt(dc, x, r.bottom - 3, width, 3, picture.Canvas()->Handle(), 0, 0, SRCCOPY);
        };
        int width = r.right - r.left;
        if (width <= 32) {
            piece(8, r.right - 16, 16);
            piece(6, r.left, width / 2);
        } else {
            piece(6, r.left, 16);
            int x = r.left + 16;
            do {
                piece(7, x, 16);
                x += 16;
            } while (x + 16 < r.right);
            piece(8, r.right - 16, 16);
        }
    } else {
        Line(dc, Rgb(224, 222, 207), {{r.left, r.bottom - 3}, {r.right, r.bottom - 3}});
        Line(dc, Rgb(213, 210, 195), {{r.left, r.bottom - 2}, {r.right, r.bottom - 2}});
        Line(dc, Rgb(203, 199, 184), {{r.left, r.bottom - 1}, {r.right, r.bottom - 1}});
    }
}

void TVastTreeColumn::ComputeHeaderLayout(HDC dc, const TRect& client, bool useHeaderGlyph, bool useSortGlyph,
                                          TPoint& headerGlyphPos, TPoint& sortGlyphPos, TRect& textBounds) {
    bool hasText = !text_.empty();
    if (!hasText && !useHeaderGlyph && !useSortGlyph) return;
    TVTHeader* header = Owner() ? Owner()->Header() : nullptr;
    bool rtl = biDiMode_ != bdLeftToRight;
    TAlignment alignment = alignment_;
    if (rtl && alignment != taCenter) alignment = alignment == taLeftJustify ? taRightJustify : taLeftJustify;
    const int w = client.Width(), h = client.Height();
    TPoint glyphSize{0, 0}, sortSize{0, 0};
    TCustomImageList* images = header ? header->Images() : nullptr;
    if (useHeaderGlyph && images) glyphSize = TPoint{images->Width(), images->Height()};
    if (useSortGlyph) {
        sortSize = TPoint{UtilityImages()->Width(), UtilityImages()->Height()};
        sortGlyphPos.y = (h - sortSize.y) / 2;
    }
    int tw = 0, th = 0, ts = 0;
    if (hasText) {
        SIZE size{};
        std::string caption = ValidUtf8(text_);
        GetTextExtentPoint32(dc, caption.data(), int(caption.size()), &size);
        tw = size.cx + 2;
        th = size.cy;
        textBounds = TRect{0, 0, tw, th};
        ts = spacing_;
    }
    int tx = 0, ty = 0;
    bool glyph = useHeaderGlyph;
    bool sideGlyph = layout_ == blGlyphLeft || layout_ == blGlyphRight;
    if (useSortGlyph && !hasText && !useHeaderGlyph) {
        sortGlyphPos = TPoint{(w - sortSize.x) / 2, (h - sortSize.y) / 2};
    } else {
        if (sideGlyph || !glyph) {
            headerGlyphPos.y = (h - glyphSize.y) / 2;
            ty = (h - th) / 2;
        } else if (layout_ == blGlyphTop) {
            headerGlyphPos.y = (h - glyphSize.y - th - ts) / 2;
            ty = headerGlyphPos.y + glyphSize.y + ts;
        } else {
            ty = (h - glyphSize.y - th - ts) / 2;
            headerGlyphPos.y = ty + th + ts;
        }
        if (alignment == taLeftJustify) {
            int x = margin_;
            if (useSortGlyph && rtl) {
                sortGlyphPos.x = x;
                x += sortSize.x + spacing_;
            }
            if (!sideGlyph) {
                tx = x;
                if (glyph) {
                    headerGlyphPos.x = std::max((w - glyphSize.x) / 2, x);
                    x = std::max(headerGlyphPos.x + glyphSize.x + spacing_, tx + tw + ts);
                } else {
                    x = tx + tw + ts;
                }
            } else {
                if (glyph && layout_ == blGlyphLeft) {
                    headerGlyphPos.x = x;
                    x += glyphSize.x + spacing_;
                }
                tx = x;
                x += tw + ts;
                if (glyph && layout_ == blGlyphRight) {
                    headerGlyphPos.x = x;
                    x += glyphSize.x + spacing_;
                }
            }
            if (useSortGlyph && !rtl) sortGlyphPos.x = x;
        } else if (alignment == taCenter) {
            if (!sideGlyph) {
                headerGlyphPos.x = (w - glyphSize.x) / 2;
                tx = (w - tw) / 2 - (useSortGlyph ? sortSize.x / 2 : 0);
            } else {
                int x = (w - glyphSize.x - ts - tw) / 2;
                if (glyph && layout_ == blGlyphLeft) {
                    headerGlyphPos.x = x;
                    x += glyphSize.x + ts;
                }
                tx = x;
                x += tw + ts;
                if (glyph && layout_ == blGlyphRight) headerGlyphPos.x = x;
            }
            int minLeft = glyph ? std::min(headerGlyphPos.x, tx) : tx;
            int maxRight = glyph ? std::max(headerGlyphPos.x + glyphSize.x, tx + tw) : tx + tw;
            if (useSortGlyph) sortGlyphPos.x = rtl ? minLeft - spacing_ - sortSize.x : maxRight + spacing_;
        } else {
            int x = w - margin_;
            if (useSortGlyph && !rtl) {
                x -= sortSize.x;
                sortGlyphPos.x = x;
                x -= spacing_;
            }
            if (!sideGlyph) {
                tx = x - tw;
                if (glyph) {
                    headerGlyphPos.x = (w - glyphSize.x) / 2;
                    if (headerGlyphPos.x + glyphSize.x + spacing_ > x) headerGlyphPos.x = x - glyphSize.x - spacing_;
                    x = std::min(tx - ts, headerGlyphPos.x - spacing_);
                } else {
                    x = tx - ts;
                }
            } else {
                if (glyph && layout_ == blGlyphRight) {
                    headerGlyphPos.x = x - glyphSize.x;
                    x = headerGlyphPos.x - spacing_;
                }
                tx = x - tw;
                x = tx - ts;
                if (glyph && layout_ == blGlyphLeft) {
                    headerGlyphPos.x = x - glyphSize.x;
                    x = headerGlyphPos.x - spacing_;
                }
            }
            if (useSortGlyph && rtl) sortGlyphPos.x = x - sortSize.x;
        }
    }
    int minLeft = margin_, maxRight = w - margin_;
    if (useSortGlyph) {
        if (!rtl) {
            if (sortGlyphPos.x + sortSize.x > maxRight) sortGlyphPos.x = maxRight - sortSize.x;
            maxRight = sortGlyphPos.x - spacing_;
        }
        if (sortGlyphPos.x < minLeft) sortGlyphPos.x = minLeft;
        if (rtl) minLeft = sortGlyphPos.x + sortSize.x + spacing_;
        sortGlyphPos.x += client.left;
        sortGlyphPos.y += client.top;
    }
    if (useHeaderGlyph) {
        if (headerGlyphPos.x + glyphSize.x > maxRight) headerGlyphPos.x = maxRight - glyphSize.x;
        if (layout_ == blGlyphRight) maxRight = headerGlyphPos.x - spacing_;
        if (headerGlyphPos.x < minLeft) headerGlyphPos.x = minLeft;
        if (layout_ == blGlyphLeft) minLeft = headerGlyphPos.x + glyphSize.x + spacing_;
        headerGlyphPos.x += client.left;
        headerGlyphPos.y += client.top;
    }
    if (hasText) {
        if (tx < minLeft) tx = minLeft;
        textBounds = TRect{textBounds.left + tx, textBounds.top + ty, textBounds.right + tx, textBounds.bottom + ty};
        if (textBounds.right > maxRight) textBounds.right = maxRight;
        textBounds = TRect{textBounds.left + client.left, textBounds.top + client.top, textBounds.right + client.left,
                           textBounds.bottom + client.top};
    }
}

void TVastTreeColumns::DrawButtonText(HDC dc, const std::string& caption, TRect bounds, bool enabled, bool hot,
                                      unsigned drawFormat) {
    std::string text = ValidUtf8(caption);
    SIZE size{};
    GetTextExtentPoint32(dc, text.data(), int(text.size()), &size);
    if (size.cx > bounds.Width())
        text = ShortenString(text, bounds.Width(), 0, [dc](const std::string& s) {
            SIZE extent{};
            GetTextExtentPoint32(dc, s.data(), int(s.size()), &extent);
            return int(extent.cx);
        });
    SetBkMode(dc, TRANSPARENT);
    TBaseVastTree* tree = Tree();
    if (enabled) {
        TColor color = hot && tree ? tree->Colors()->GetColor(TVTColors::HeaderHotColor) : header_->Font()->Color();
        SetTextColor(dc, ColorToRGB(color));
        DrawText(dc, text, reinterpret_cast<RECT*>(&bounds), drawFormat);
    } else {
        TRect moved{bounds.left + 1, bounds.top + 1, bounds.right + 1, bounds.bottom + 1};
        SetTextColor(dc, ColorToRGB(clBtnHighlight));
        DrawText(dc, text, reinterpret_cast<RECT*>(&moved), drawFormat);
        SetTextColor(dc, ColorToRGB(clBtnShadow));
        DrawText(dc, text, reinterpret_cast<RECT*>(&bounds), drawFormat);
    }
}

void TVastTreeColumns::PaintHeader(HDC dc, const TRect& r, int hOffset) {
    TBaseVastTree* tree = Tree();
    if (!tree || !header_) return;
    TRect headerRect = tree->HeaderRect();
    headerBitmap_->SetPixelFormat(pf32bit);
    headerBitmap_->SetSize(std::max(headerRect.right, r.right - r.left), headerRect.bottom);
    TCanvas* canvas = headerBitmap_->Canvas();
    canvas->SetFont(header_->Font());
    HDC target = canvas->Handle();

    struct EdgeStyle {
        UINT edge, flags;
    };
    EdgeStyle normal, pressed, raised{BDR_RAISEDINNER, 0x280B};
    switch (header_->Style()) {
        case hsThickButtons:
            normal = {BDR_RAISEDINNER | BDR_RAISEDOUTER, 0x380B};
            pressed = {BDR_RAISEDINNER | BDR_RAISEDOUTER, 0x780F};
            break;
        case hsFlatButtons:
            normal = {BDR_RAISEDINNER, 0x280B};
            pressed = {BDR_SUNKENOUTER, 0x280F};
            break;
        default:
            normal = {BDR_RAISEDINNER, 0x380F};
            pressed = {BDR_SUNKENOUTER, 0x280F};
            break;
    }

    if (header_->Style() == hsXPStyle) {
        DrawXPButton(target, headerRect, false, false, false);
    } else {
        canvas->Brush()->SetColor(header_->Background());
        canvas->FillRect(r);
    }

    int x = r.left + (tree->UseRightToLeftAlignment() ? tree->ComputeRTLOffset(false) : 0);
    TRect clip{headerRect.left, r.top, x, r.bottom};
    bool showRightBorder = true;
    for (std::size_t position = 0; position < positionToIndex_.size(); ++position) {
        TColumnIndex index = positionToIndex_[position];
        TVastTreeColumn* column = Items(index);
        if (!(column->options_ & coVisible)) continue;
        if (!(column->options_ & coFixed)) {
            x += hOffset;
            hOffset = 0;
        }
        clip = TRect{clip.right, r.top, std::max(clip.right, x + column->width_), r.bottom};
        TRect cell{x, r.top, x + column->width_, r.bottom};
        x += column->width_;
        if (x <= r.left || x <= clip.left) continue;
        if (cell.left > r.right) break;
        TRect limited{std::max(clip.left, r.left), clip.top, std::min(clip.right, r.right), clip.bottom};
        HRGN region = CreateRectRgn(limited.left, limited.top, limited.right, limited.bottom);
        SelectClipRgn(target, region);
        DeleteObject(region);

        bool hover = index == hoverIndex_ && (header_->Options() & hoHotTrack) && (column->options_ & coEnabled);
        bool down = index == downIndex_;
        bool enabled = (column->options_ & coEnabled) && tree->Enabled();
        bool showGlyph = (header_->Options() & hoShowImages) && header_->Images() && column->imageIndex_ > -1;
        bool showSort = index == header_->SortColumn() && (header_->Options() & hoShowSortGlyphs);
        int dropMark = (column->options_ & coShowDropMark) && index == dropTarget_ && index != dragIndex_
                           ? (dropBefore_ ? 1 : 2)
                           : 0;
        UINT rightBorder = showRightBorder || int(position) < Count() - 1 ? BF_RIGHT : 0;
        RECT edge = cell;
        if (header_->Style() == hsXPStyle)
            DrawXPButton(target, cell, rightBorder != 0, down, hover);
        else if (down)
            DrawEdge(target, &edge, pressed.edge, pressed.flags);
        else if (header_->Style() == hsPlates && hover &&
                 (column->options_ & (coAllowClick | coEnabled)) == (coAllowClick | coEnabled))
            DrawEdge(target, &edge, raised.edge, raised.flags | rightBorder);
        else
            DrawEdge(target, &edge, normal.edge, normal.flags | rightBorder);

        TRect content{cell.left + 2, cell.top + 2, cell.right - 2, cell.bottom - 2};
        unsigned format = DT_LEFT | DT_NOPREFIX;
        if (column->UseRightToLeftReading()) format |= DT_RTLREADING;
        TPoint glyphPos{}, sortPos{};
        TRect textRect{};
        column->ComputeHeaderLayout(target, content, showGlyph, showSort, glyphPos, sortPos, textRect);
        if (down) {
            textRect = TRect{textRect.left + 1, textRect.top + 1, textRect.right + 1, textRect.bottom + 1};
            glyphPos = TPoint{glyphPos.x + 1, glyphPos.y + 1};
            sortPos = TPoint{sortPos.x + 1, sortPos.y + 1};
        }
        if (showGlyph &&
            !(showSort && !column->UseRightToLeftReading() && glyphPos.x + header_->Images()->Width() > sortPos.x))
            header_->Images()->Draw(canvas, glyphPos.x, glyphPos.y, column->imageIndex_, enabled);
        if (!column->text_.empty())
            DrawButtonText(target, column->text_, textRect, enabled, hover && (header_->Options() & hoHotTrack), format);
        if (showSort)
            UtilityImages()->Draw(canvas, sortPos.x, sortPos.y, header_->SortDirection() == sdAscending ? 3 : 2);
        if (dropMark) {
            int y = (content.top + content.bottom - UtilityImages()->Height()) / 2;
            if (dropMark == 1)
                UtilityImages()->Draw(canvas, content.left, y, 0);
            else
                UtilityImages()->Draw(canvas, content.right - 16, y, 1);
        }
        SelectClipRgn(target, nullptr);
    }
    BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, target, r.left, r.top, SRCCOPY);
}

}  // namespace treeview
