// Printing. The tree is rendered one band of page rows at a time (a band is as high as a
// page and as wide as the tree), never as one picture of the whole tree, so a tree of a
// million rows prints with the memory of one band. The pages are the same: a grid that
// covers the tree's picture, partly filled pages at the right and bottom printed whole.
#include "treeview/vtprint.h"

#include <cmath>
#include <memory>
#include <vector>

#include "treeview/vasttrees.h"
#include "treeview/vtcolumns.h"
#include "treeview/vtheader.h"
#include "treeview/vtscope.h"

namespace treeview {

using namespace platform;

void PrtStretchDrawDIB(TCanvas* canvas, const TRect& destRect, TBitmap* bitmap) {
    if (!canvas || !bitmap || bitmap->Width() <= 0 || bitmap->Height() <= 0) return;
    BITMAPINFO info{};
    info.bmiHeader.biWidth = bitmap->Width();
    info.bmiHeader.biHeight = -bitmap->Height();
    info.bmiHeader.biBitCount = 32;
    std::vector<std::uint32_t> bits(std::size_t(bitmap->Width()) * std::size_t(bitmap->Height()));
    HDC dc = CreateCompatibleDC(nullptr);
    TScopeExit release([dc] { DeleteDC(dc); });
    if (!GetDIBits(dc, bitmap->Handle(), 0, UINT(bitmap->Height()), bits.data(), &info, DIB_RGB_COLORS)) return;
    StretchDIBits(canvas->Handle(), destRect.left, destRect.top, destRect.right - destRect.left,
                  destRect.bottom - destRect.top, 0, 0, bitmap->Width(), bitmap->Height(), bits.data(), &info,
                  DIB_RGB_COLORS, SRCCOPY);
}

void TBaseVastTree::Print(TPrinter* printer, bool withHeader) {
    if (!printer) return;
    TUpdateScope update(*this);
    bool header = withHeader && (header_->Options() & hoVisible);
    int headerHeight = header ? header_->Height() : 0;
    TRect treeRect = GetTreeRect();
    int imageWidth = treeRect.right - treeRect.left;
    int imageHeight = treeRect.bottom - treeRect.top + headerHeight;
    if (imageWidth <= 0 || imageHeight <= 0) return;

    // The printer's text keeps the height the tree's text has on screen.
    printer->BeginDoc();
    TScopeFail abort([printer] {
        if (printer->Printing()) printer->Abort();
    });
    // The printer's font has the tree font's point size at the printer's resolution (a
    // copied font would keep its height in pixels, a third of it on paper).
    TFont* printerFont = printer->Canvas()->Font();
    int points = Font()->Size();
    printerFont->Assign(Font());
    printerFont->SetPixelsPerInch(GetDeviceCaps(printer->Handle(), LOGPIXELSY));
    printerFont->SetSize(points);
    TBitmap probe;
    probe.SetSize(1, 1);
    probe.Canvas()->Font()->Assign(Font());
    double screenText = probe.Canvas()->TextHeight("Tj");
    double scale = screenText > 0 ? printer->Canvas()->TextHeight("Tj") / screenText : 1.0;
    if (scale <= 0) scale = 1.0;
    int pageWidth = std::max(1, int(std::lround(printer->PageWidth() / scale)));
    int pageHeight = std::max(1, int(std::lround(printer->PageHeight() / scale)));
    int columns = (imageWidth + pageWidth - 1) / pageWidth;
    int rows = (imageHeight + pageHeight - 1) / pageHeight;

    // Rows keep their height on paper while the text keeps its size, so a font taller than
    // the lowest printed row would be cut at each row's bottom: the print then uses the
    // largest size of the same font whose lines fit that row (the scale stays the one of
    // the tree's own font, so the rows still print at their size on screen).
    int lowestRow = 0;
    for (PVastNode n = GetFirstVisibleNoInit(); n; n = GetNextVisibleNoInit(n))
        if (lowestRow == 0 || n->NodeHeight < lowestRow) lowestRow = n->NodeHeight;
    TFont savedFont;
    savedFont.Assign(Font());
    bool fontShrunk = false;
    TScopeExit restoreFont([this, &savedFont, &fontShrunk] {
        if (fontShrunk) Font()->Assign(&savedFont);
    });
    if (lowestRow > 0 && screenText > lowestRow - 2) {
        TFont fitting;
        fitting.Assign(Font());
        int em = std::max(1, lowestRow - 2);
        for (; em > 4; --em) {
            fitting.SetHeight(-em);
            probe.Canvas()->Font()->Assign(&fitting);
            if (probe.Canvas()->TextHeight("Tj") <= lowestRow - 2) break;
        }
        fontShrunk = true;
        Font()->SetHeight(-em);
    }

    TColor oldColor = Color();
    TScopeExit restoreColor([this, oldColor] { SetColor(oldColor); });
    SetColor(clWhite);

    TBitmap band;
    band.SetPixelFormat(pf32bit);
    band.SetSize(imageWidth, pageHeight);
    TBitmap page;
    page.SetPixelFormat(pf32bit);
    page.SetSize(pageWidth, pageHeight);
    for (int row = 0; row < rows; ++row) {
        int bandTop = row * pageHeight;
        band.Canvas()->Brush()->SetColor(clWhite);
        band.Canvas()->FillRect(TRect{0, 0, imageWidth, pageHeight});
        if (header && bandTop < headerHeight)
            header_->Columns()->PaintHeader(band.Canvas()->Handle(), TRect{0, -bandTop, imageWidth, headerHeight - bandTop},
                                            0);
        // The rows of the tree that fall into this band, in tree coordinates.
        int top = std::max(0, bandTop - headerHeight);
        int bottom = bandTop + pageHeight - headerHeight;
        if (bottom > top)
            PaintTree(band.Canvas(), TRect{0, top, imageWidth, bottom}, TPoint{0, std::max(0, headerHeight - bandTop)},
                      poGridLines, pf32bit);
        for (int column = 0; column < columns; ++column) {
            page.Canvas()->Brush()->SetColor(clWhite);
            page.Canvas()->FillRect(TRect{0, 0, pageWidth, pageHeight});
            TRect source{column * pageWidth, 0, column * pageWidth + pageWidth, pageHeight};
            source.right = std::min(source.right, imageWidth);
            BitBlt(page.Canvas()->Handle(), 0, 0, source.right - source.left, pageHeight, band.Canvas()->Handle(), source.left, 0,
                   SRCCOPY);
            PrtStretchDrawDIB(printer->Canvas(), TRect{0, 0, printer->PageWidth(), printer->PageHeight() - 1}, &page);
            if (column < columns - 1 || row < rows - 1) printer->NewPage();
        }
    }
    printer->EndDoc();
}

}  // namespace treeview
