#pragma once
// Printing. TPrinter gives pages of A4 at 300 pixels per inch; the page's canvas records
// what is drawn on it (text as text, shapes as paths, pictures as images) and the document
// is replayed through cairo into a PDF at EndDoc. Printers: "PDF" (a file, FileName) and
// each CUPS queue that `lpstat` lists, to which the PDF is sent with `lp`.
//
// What reaches the canvas's DC directly (StretchDIBits, BitBlt on Canvas()->Handle()) is
// drawn into a page raster at the printer's resolution and printed as an image under the
// recorded drawing.
#include <memory>
#include <string>
#include <vector>

#include "platform/core/exceptions.h"
#include "platform/graphics/graphics.h"

namespace platform {

class EPrinter : public Exception {
public:
    using Exception::Exception;
};

// GetDeviceCaps indexes.
constexpr int TECHNOLOGY = 2;
constexpr int HORZSIZE = 4;
constexpr int VERTSIZE = 6;
constexpr int HORZRES = 8;
constexpr int VERTRES = 10;
constexpr int BITSPIXEL = 12;
constexpr int PLANES = 14;
constexpr int NUMCOLORS = 24;
constexpr int LOGPIXELSX = 88;
constexpr int LOGPIXELSY = 90;
constexpr int PHYSICALWIDTH = 110;
constexpr int PHYSICALHEIGHT = 111;
constexpr int PHYSICALOFFSETX = 112;
constexpr int PHYSICALOFFSETY = 113;
constexpr int DT_RASDISPLAY = 1;
constexpr int DT_RASPRINTER = 2;
// A printer's DC answers for its page; any other DC for the screen (96 pixels per inch).
int GetDeviceCaps(HDC dc, int index);

// The printer page's canvas: every drawing call, also one made through a TCanvas
// reference, is recorded for the back end (text as text, shapes as paths, pictures and
// copied areas as images, a focus rectangle as a dotted frame).
class TPrinterCanvas : public TCanvas {
public:
    struct Op;
    TPrinterCanvas();
    ~TPrinterCanvas() override;

    using TCanvas::Ellipse;
    using TCanvas::Rectangle;
    void MoveTo(int x, int y) override;
    void LineTo(int x, int y) override;
    void Rectangle(int x1, int y1, int x2, int y2) override;
    void RoundRect(int x1, int y1, int x2, int y2, int x3, int y3) override;
    void Ellipse(int x1, int y1, int x2, int y2) override;
    void Arc(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) override;
    void Polygon(const std::vector<TPoint>& points) override;
    void Polyline(const std::vector<TPoint>& points) override;
    void FillRect(const TRect& r) override;
    void FrameRect(const TRect& r) override;
    void DrawFocusRect(const TRect& r) override;
    void Draw(int x, int y, TGraphic* graphic) override;
    void StretchDraw(const TRect& r, TGraphic* graphic) override;
    void CopyRect(const TRect& dest, TCanvas* source, const TRect& src) override;
    void TextOut(int x, int y, const std::string& text) override;
    void TextRect(const TRect& r, int x, int y, const std::string& text) override;

private:
    friend class TPrinter;
    void Record(Op op);
    void RecordImage(const TRect& r, TBitmap& picture);
    std::vector<Op>* page_ = nullptr;
};

class TPrinter : public TObject {
public:
    TPrinter();
    ~TPrinter() override;

    // "PDF" first, then the CUPS queues (read again by Refresh).
    const std::vector<std::string>& Printers() const { return printers_; }
    void Refresh();
    int PrinterIndex() const { return index_; }
    // Raises EPrinter for an index out of range, or while printing.
    void SetPrinterIndex(int index);
    // The PDF printer's output file.
    const std::string& FileName() const { return fileName_; }
    void SetFileName(const std::string& name) { fileName_ = name; }
    const std::string& Title() const { return title_; }
    void SetTitle(const std::string& title) { title_ = title; }
    int Copies() const { return copies_; }
    void SetCopies(int copies) { copies_ = copies < 1 ? 1 : copies; }

    // Starts a document on page 1. Raises EPrinter when already printing or when the PDF's
    // folder cannot be written.
    void BeginDoc();
    void NewPage();
    // Writes the PDF (through a temporary name, renamed into place) and, for a queue, sends
    // it with lp; raises EPrinter with lp's message when lp fails.
    void EndDoc();
    // Drops the document: nothing is written.
    void Abort();
    bool Printing() const { return printing_; }
    bool Aborted() const { return aborted_; }
    int PageNumber() const { return int(pages_.size()); }

    TPrinterCanvas* Canvas();
    HDC Handle();
    int PageWidth() const { return kWidth; }
    int PageHeight() const { return kHeight; }

    // How long lpstat may take to answer before it is given up (lp gets twelve times as
    // long); default 5000 ms.
    static void SetCommandTimeout(int milliseconds);

    static constexpr int kDpi = 300;
    static constexpr int kWidth = 2480;   // 210 mm
    static constexpr int kHeight = 3508;  // 297 mm

private:
    void StartPage();
    void EndPage();
    void WritePdf(const std::string& path);

    std::vector<std::string> printers_;
    int index_ = 0;
    std::string fileName_;
    std::string title_;
    int copies_ = 1;
    bool printing_ = false;
    bool aborted_ = false;
    std::vector<std::vector<TPrinterCanvas::Op>> pages_;
    std::unique_ptr<TPrinterCanvas> canvas_;
    HDC dc_ = nullptr;
    HBITMAP raster_ = nullptr;
    HGDIOBJ oldBitmap_ = nullptr;
};

// The program's printer.
TPrinter* Printer();
// Replaces it (the old one is returned to the caller).
std::unique_ptr<TPrinter> SetPrinter(std::unique_ptr<TPrinter> printer);

}  // namespace platform
