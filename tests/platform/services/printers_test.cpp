// Printing headless: the PDF a document becomes, read back by poppler's tools, and the CUPS
// queues through stand-ins of lpstat and lp on PATH.
#include "platform/graphics/printers.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "support/tempdir.h"
#include "platform/windows/backend.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

std::string Capture(const std::string& command) {
    std::string out;
    if (FILE* p = popen((command + " 2>&1").c_str(), "r")) {
        char buffer[4096];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0) out.append(buffer, n);
        pclose(p);
    }
    return out;
}

bool HavePoppler() { return std::system("command -v pdftotext >/dev/null && command -v pdfimages >/dev/null") == 0; }

void WriteScript(const std::string& path, const std::string& body) {
    std::ofstream(path) << "#!/bin/sh\n" << body;
    chmod(path.c_str(), 0755);
}

// PATH with a folder of stand-ins in front, for the life of the object.
struct ScopedPath {
    std::string old;
    explicit ScopedPath(const std::string& front, bool keepRest = true) {
        old = std::getenv("PATH") ? std::getenv("PATH") : "";
        setenv("PATH", (keepRest ? front + ":" + old : front).c_str(), 1);
    }
    ~ScopedPath() { setenv("PATH", old.c_str(), 1); }
};

class PrinterTest : public ::testing::Test {
protected:
    void SetUp() override {
        static bool once = (SetBackend(CreateHeadlessBackend()), true);
        (void)once;
        fs::create_directory(dir / "bin");
    }
    // One page of text, shapes and a 64 x 32 picture, then a second page of text.
    void PrintDocument(TPrinter& printer) {
        printer.BeginDoc();
        TPrinterCanvas* c = printer.Canvas();
        c->Font()->SetName("Liberation Sans");
        c->Font()->SetSize(12);
        c->Brush()->SetStyle(bsClear);
        c->TextOut(300, 300, "Quarterly report of the conversions");
        c->TextOut(300, 420, "Zweite Zeile mit \xC3\xA4\xC3\xB6\xC3\xBC");
        c->Pen()->SetWidth(4);
        c->MoveTo(300, 500);
        c->LineTo(2000, 500);
        c->Brush()->SetStyle(bsSolid);
        c->Brush()->SetColor(clYellow);
        c->Rectangle(300, 600, 900, 900);
        c->Ellipse(1000, 600, 1600, 900);
        TBitmap picture(64, 32);
        picture.Canvas()->Brush()->SetColor(clRed);
        picture.Canvas()->FillRect(TRect(0, 0, 64, 32));
        c->StretchDraw(TRect(300, 1000, 940, 1320), &picture);
        printer.NewPage();
        c->Brush()->SetStyle(bsClear);
        c->TextOut(300, 300, "Second page");
        printer.EndDoc();
    }
    testsupport::TempDir tmp;
    fs::path dir = tmp.path();
};

TEST_F(PrinterTest, APdfHoldsTheTextShapesAndPictureOnA4Pages) {
    if (!HavePoppler()) GTEST_SKIP() << "poppler-utils is not installed";
    TPrinter printer;
    ASSERT_EQ(printer.Printers().front(), "PDF");
    printer.SetPrinterIndex(0);
    std::string pdf = (dir / "report.pdf").string();
    printer.SetFileName(pdf);
    printer.SetTitle("Report");
    PrintDocument(printer);
    ASSERT_TRUE(fs::exists(pdf));

    std::string info = Capture("pdfinfo '" + pdf + "'");
    EXPECT_NE(info.find("Pages:           2"), std::string::npos) << info;
    EXPECT_NE(info.find("(A4)"), std::string::npos) << info;
    EXPECT_NE(info.find("Title:           Report"), std::string::npos) << info;
    std::string text = Capture("pdftotext -layout '" + pdf + "' -");
    EXPECT_NE(text.find("Quarterly report of the conversions"), std::string::npos) << text;
    EXPECT_NE(text.find("Zweite Zeile mit \xC3\xA4\xC3\xB6\xC3\xBC"), std::string::npos) << text;
    EXPECT_LT(text.find("Quarterly"), text.find("Zweite")) << "the lines keep their order";
    EXPECT_NE(text.find("\f"), std::string::npos);
    EXPECT_NE(text.find("Second page", text.find("\f")), std::string::npos) << "the second line is on page 2";
    std::string images = Capture("pdfimages -list '" + pdf + "'");
    // One image on page 1, kept at its own 64 x 32 pixels.
    EXPECT_NE(images.find("   1     0 image      64    32"), std::string::npos) << images;
    EXPECT_EQ(images.find("   2 "), std::string::npos) << images;
    // The first page as a picture, to look at.
    if (const char* build = std::getenv("LUMACAST_BUILD_DIR")) {
        fs::create_directories(fs::path(build) / "artifacts");
        Capture("pdftoppm -png -r 50 -f 1 -l 1 -singlefile '" + pdf + "' '" + (fs::path(build) / "artifacts" / "printed-page").string() + "'");
    }
    std::string fonts = Capture("pdffonts '" + pdf + "'");
    EXPECT_NE(fonts.find("LiberationSans"), std::string::npos) << fonts;
    // Nothing is left beside the file.
    int files = 0;
    for (auto& e : fs::directory_iterator(dir)) files += e.is_regular_file();
    EXPECT_EQ(files, 1);
}

TEST_F(PrinterTest, DrawingOnTheHandleIsPrintedAsAnImage) {
    if (!HavePoppler()) GTEST_SKIP() << "poppler-utils is not installed";
    TPrinter printer;
    std::string pdf = (dir / "raster.pdf").string();
    printer.SetFileName(pdf);
    printer.BeginDoc();
    RECT r{500, 700, 600, 750};
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    platform::FillRect(printer.Canvas()->Handle(), &r, red);
    DeleteObject(red);
    printer.EndDoc();
    std::string images = Capture("pdfimages -list '" + pdf + "'");
    EXPECT_NE(images.find("image     100    50"), std::string::npos) << images;
}

// A drawing routine shared with the screen: it knows only the base canvas.
void DrawSheet(TCanvas& c, TBitmap& source, TBitmap& picture) {
    c.Font()->SetName("Liberation Sans");
    c.Font()->SetSize(12);
    c.Brush()->SetStyle(bsClear);
    c.TextOut(300, 300, "Drawn through the base canvas");
    c.Brush()->SetColor(clWhite);
    c.TextRect(TRect(300, 400, 1800, 480), 300, 400, "Clipped text of a shared routine");
    c.Pen()->SetColor(clBlack);
    c.Pen()->SetWidth(8);
    // The upper right quarter, counter-clockwise from the right to the top.
    c.Arc(1200, 1200, 1600, 1600, 1600, 1400, 1400, 1200);
    c.Brush()->SetColor(clRed);
    c.FillRect(TRect(300, 1200, 500, 1400));
    c.Rectangle(TRect(600, 1200, 800, 1400));
    c.MoveTo(300, 2400);
    c.LineTo(2000, 2400);
    c.DrawFocusRect(TRect(300, 1700, 700, 1900));
    c.CopyRect(TRect(300, 2000, 700, 2200), source.Canvas(), TRect(0, 0, 40, 20));
    c.Draw(900, 2000, &picture);
}

TEST_F(PrinterTest, WhatASharedRoutineDrawsOnTheBaseCanvasIsRecordedTextAsTextShapesAsPaths) {
    if (!HavePoppler()) GTEST_SKIP() << "poppler-utils is not installed";
    TPrinter printer;
    std::string pdf = (dir / "shared.pdf").string();
    printer.SetFileName(pdf);
    TBitmap source(40, 20), picture(64, 32);
    source.Canvas()->Brush()->SetColor(clBlue);
    source.Canvas()->FillRect(TRect(0, 0, 40, 20));
    picture.Canvas()->Brush()->SetColor(clLime);
    picture.Canvas()->FillRect(TRect(0, 0, 64, 32));
    printer.BeginDoc();
    DrawSheet(*printer.Canvas(), source, picture);
    printer.EndDoc();

    std::string text = Capture("pdftotext -layout '" + pdf + "' -");
    EXPECT_NE(text.find("Drawn through the base canvas"), std::string::npos) << text;
    EXPECT_NE(text.find("Clipped text of a shared routine"), std::string::npos) << text;
    // The two pictures at their own sizes and nothing else: no page raster under the drawing.
    std::string images = Capture("pdfimages -list '" + pdf + "'");
    EXPECT_NE(images.find("   1     0 image      40    20"), std::string::npos) << images;
    EXPECT_NE(images.find("   1     1 image      64    32"), std::string::npos) << images;
    EXPECT_EQ(images.find("   1     2 "), std::string::npos) << images;

    // The page at its own resolution: each shape where it was drawn.
    std::string png = (dir / "shared").string();
    Capture("pdftoppm -png -r 300 -singlefile '" + pdf + "' '" + png + "'");
    TPngImage page;
    page.LoadFromFile(png + ".png");
    ASSERT_EQ(page.Width(), TPrinter::kWidth);
    auto pixel = [&](int x, int y) {
        std::uint32_t v = static_cast<const std::uint32_t*>(page.Bitmap()->ScanLine(y))[x];  // blue, green, red
        return COLORREF(RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF));
    };
    auto dark = [&](int x, int y) { return pixel(x, y) == RGB(0, 0, 0); };
    struct Spot {
        int x, y;
        TColor color;
        const char* what;
    } spots[] = {
        {1539, 1261, clBlack, "the arc's upper right quarter"},  {1261, 1539, clWhite, "not its lower left"},
        {1400, 1204, clBlack, "the arc's end at the top"},        {1204, 1400, clWhite, "not the left side"},
        {400, 1300, clRed, "the filled rectangle"},               {700, 1300, clRed, "the rectangle's inside"},
        {603, 1300, clBlack, "the rectangle's outline"},          {1000, 2400, clBlack, "the line"},
        {500, 2100, clBlue, "the copied rectangle"},              {930, 2015, clLime, "the picture"},
    };
    for (const Spot& s : spots)
        EXPECT_EQ(pixel(s.x, s.y), ColorToRGB(s.color)) << s.what << " at " << s.x << "," << s.y;
    // The focus rectangle: a dotted frame, about every other pixel of its top edge set.
    int dots = 0;
    for (int x = 300; x < 700; ++x) dots += dark(x, 1700);
    EXPECT_GT(dots, 100) << "dotted frame";
    EXPECT_LT(dots, 300) << "dotted frame";
    EXPECT_TRUE(dark(300, 1800) || dark(300, 1801)) << "the frame's left side";
    if (const char* build = std::getenv("LUMACAST_BUILD_DIR")) {
        fs::create_directories(fs::path(build) / "artifacts");
        Capture("pdftoppm -png -r 50 -singlefile '" + pdf + "' '" + (fs::path(build) / "artifacts" / "printed-shared").string() + "'");
    }
}

TEST_F(PrinterTest, AbortLeavesNothingAndAnUnwritableFileFailsAtTheStart) {
    TPrinter printer;
    std::string pdf = (dir / "aborted.pdf").string();
    printer.SetFileName(pdf);
    printer.BeginDoc();
    printer.Canvas()->TextOut(10, 10, "never printed");
    EXPECT_THROW(printer.BeginDoc(), EPrinter);
    printer.Abort();
    EXPECT_TRUE(printer.Aborted());
    EXPECT_FALSE(printer.Printing());
    EXPECT_TRUE(fs::is_empty(dir / "bin"));
    int entries = 0;
    for (auto& e : fs::directory_iterator(dir)) entries += e.is_regular_file();
    EXPECT_EQ(entries, 0);
    EXPECT_THROW(printer.Canvas()->TextOut(10, 10, "after the end"), EPrinter);
    EXPECT_THROW(printer.EndDoc(), EPrinter);

    printer.SetFileName((dir / "missing-folder" / "x.pdf").string());
    try {
        printer.BeginDoc();
        FAIL() << "an unwritable file must fail at the start";
    } catch (const EPrinter& e) {
        EXPECT_NE(std::string(e.what()).find("missing-folder"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(printer.Printing());
    printer.SetFileName("");
    EXPECT_THROW(printer.BeginDoc(), EPrinter);
}

TEST_F(PrinterTest, DeviceCapsDescribeThePageAndTheScreen) {
    TPrinter printer;
    HDC screen = CreateCompatibleDC(nullptr);
    struct Case {
        int index;
        int printerValue;
        int screenValue;
    } cases[] = {
        {LOGPIXELSX, 300, 96}, {LOGPIXELSY, 300, 96},      {HORZRES, 2480, GetSystemMetrics(SM_CXSCREEN)},
        {VERTRES, 3508, GetSystemMetrics(SM_CYSCREEN)},    {HORZSIZE, 210, -1}, {VERTSIZE, 297, -1},
        {PHYSICALWIDTH, 2480, -1}, {PHYSICALOFFSETX, 0, -1}, {TECHNOLOGY, DT_RASPRINTER, DT_RASDISPLAY},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(GetDeviceCaps(printer.Handle(), c.index), c.printerValue) << c.index;
        if (c.screenValue >= 0) {
            EXPECT_EQ(GetDeviceCaps(screen, c.index), c.screenValue) << c.index;
        }
    }
    EXPECT_EQ(printer.PageWidth(), 2480);
    EXPECT_EQ(printer.PageHeight(), 3508);
    DeleteDC(screen);
}

TEST_F(PrinterTest, QueuesComeFromLpstatAndDocumentsGoThroughLp) {
    if (!HavePoppler()) GTEST_SKIP() << "poppler-utils is not installed";
    std::string bin = (dir / "bin").string();
    WriteScript(bin + "/lpstat",
                "echo 'office accepting requests since Mon 01 Jan 2024'\n"
                "echo 'garbage without the word'\n"
                "echo '-bad accepting requests'\n"
                "echo 'lab-2 not accepting requests since today'\n"
                "printf '\\377\\376 accepting\\n'\n");
    // lp records its arguments and keeps a copy of the file it was given.
    WriteScript(bin + "/lp", "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > " + bin + "/lp.args\n"
                                 "for a in \"$@\"; do last=\"$a\"; done\ncp \"$last\" " + bin + "/received.pdf\n"
                                 "echo 'request id is office-7 (1 file(s))'\n");
    ScopedPath path(bin);
    TPrinter printer;
    ASSERT_EQ(printer.Printers(), (std::vector<std::string>{"PDF", "office", "lab-2"}));
    printer.SetPrinterIndex(1);
    printer.SetCopies(3);
    printer.SetTitle("Job list");
    PrintDocument(printer);
    std::ifstream in(bin + "/lp.args");
    std::vector<std::string> args;
    for (std::string line; std::getline(in, line);) args.push_back(line);
    ASSERT_EQ(args.size(), 7u) << ::testing::PrintToString(args);
    EXPECT_EQ(std::vector<std::string>(args.begin(), args.begin() + 6),
              (std::vector<std::string>{"-d", "office", "-n", "3", "-t", "Job list"}));
    EXPECT_FALSE(fs::exists(args[6])) << "the print file goes once lp has it";
    EXPECT_NE(Capture("pdfinfo '" + bin + "/received.pdf'").find("Pages:           2"), std::string::npos);

    // lp failing: its message is the error.
    WriteScript(bin + "/lp", "echo 'lp: The printer or class does not exist.' >&2\nexit 1\n");
    printer.BeginDoc();
    printer.Canvas()->TextOut(10, 10, "x");
    try {
        printer.EndDoc();
        FAIL() << "a failing lp must raise";
    } catch (const EPrinter& e) {
        EXPECT_NE(std::string(e.what()).find("lp: The printer or class does not exist."), std::string::npos) << e.what();
    }
    EXPECT_FALSE(printer.Printing());
}

TEST_F(PrinterTest, WithoutCupsOnlyThePdfPrinterIsThere) {
    std::string bin = (dir / "bin").string();
    {
        ScopedPath empty(bin, false);  // neither lpstat nor lp
        TPrinter printer;
        EXPECT_EQ(printer.Printers(), std::vector<std::string>{"PDF"});
        EXPECT_THROW(printer.SetPrinterIndex(1), EPrinter);
    }
    WriteScript(bin + "/lpstat", "echo 'lpstat: Scheduler is not running.' >&2\nexit 1\n");
    ScopedPath failing(bin);
    TPrinter printer;
    EXPECT_EQ(printer.Printers(), std::vector<std::string>{"PDF"});
    // An lpstat that never ends is given up.
    WriteScript(bin + "/lpstat", "echo 'office accepting requests'\nexec sleep 60\n");
    TPrinter::SetCommandTimeout(300);
    printer.Refresh();
    TPrinter::SetCommandTimeout(5000);
    EXPECT_EQ(printer.Printers(), std::vector<std::string>{"PDF"});
}

}  // namespace
}  // namespace platform
