// Printing a tree to PDF: the page grid (pdfinfo), one picture per page (pdfimages), the
// pixels of the pages (pdftoppm) and a text read back by OCR (tesseract).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "paint_support.h"
#include "platform/graphics/printers.h"
#include "support/tempdir.h"
#include "treeview/vtprint.h"

namespace treeview {
namespace {

using namespace platform;
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

int Pages(const std::string& pdf) {
    std::string info = Capture("pdfinfo '" + pdf + "'");
    auto at = info.find("Pages:");
    return at == std::string::npos ? -1 : std::atoi(info.c_str() + at + 6);
}

// A page of the PDF in grey levels (P5 from pdftoppm -gray).
struct Grey {
    int width = 0, height = 0;
    std::vector<unsigned char> pixels;
    double Mean(int x0, int y0, int x1, int y1) const {
        double sum = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) sum += pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)];
        return sum / double((x1 - x0) * (y1 - y0));
    }
};

Grey RenderPage(const std::string& pdf, int page, int dpi, const std::string& out) {
    Capture("pdftoppm -gray -r " + std::to_string(dpi) + " -f " + std::to_string(page) + " -l " + std::to_string(page) +
            " -singlefile '" + pdf + "' '" + out + "'");
    Grey g;
    std::ifstream in(out + ".pgm", std::ios::binary);
    std::string magic;
    int maxValue = 0;
    in >> magic >> g.width >> g.height >> maxValue;
    in.get();
    g.pixels.assign(std::istreambuf_iterator<char>(in), {});
    if (magic != "P5" || g.pixels.size() != std::size_t(g.width) * std::size_t(g.height)) g = Grey{};
    return g;
}

class PrintTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::system("command -v pdfinfo >/dev/null && command -v pdftoppm >/dev/null") != 0)
            GTEST_SKIP() << "poppler-utils are missing";
        printer.SetFileName(pdf);
    }
    // The width and height of a page in the tree's pixels: the printer keeps the text's
    // height on screen.
    void PageInTreePixels(int& width, int& height) {
        TBitmap probe;
        probe.SetSize(1, 1);
        probe.Canvas()->Font()->Assign(tree()->Font());
        printer.BeginDoc();
        printer.Canvas()->Font()->Assign(tree()->Font());
        printer.Canvas()->Font()->SetPixelsPerInch(TPrinter::kDpi);
        printer.Canvas()->Font()->SetSize(tree()->Font()->Size());
        double scale = double(printer.Canvas()->TextHeight("Tj")) / probe.Canvas()->TextHeight("Tj");
        printer.Abort();
        width = int(std::lround(printer.PageWidth() / scale));
        height = int(std::lround(printer.PageHeight() / scale));
    }
    TVastStringTree* tree() { return fixture.tree; }
    void SetTreeWidth(int width) {
        // The last of the four columns takes what the first three leave.
        tree()->Header()->Columns()->Items(3)->SetWidth(width - 300);
    }
    test::PaintFixture fixture;
    testsupport::TempDir dir;
    std::string pdf = (dir.path() / "tree.pdf").string();
    TPrinter printer;
};

TEST_F(PrintTest, PagesCoverTheTreeWithoutBlankOnes) {
    int pageWidth = 0, pageHeight = 0;
    PageInTreePixels(pageWidth, pageHeight);
    ASSERT_GT(pageWidth, 400);
    struct Case {
        const char* what;
        int width, height;  // the tree's picture
        bool header;
        int pages;
    };
    const Case cases[] = {
        {"narrower than a page", 400, 200, true, 1},
        {"one and a half pages wide", pageWidth * 3 / 2, 200, true, 2},
        {"exactly two pages wide", pageWidth * 2, 200, true, 2},
        {"exactly a page high, no header", 400, pageHeight, false, 1},
        {"a page high and the header", 400, pageHeight, true, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetTreeWidth(c.width);
        // The header lies outside the client area.
        tree()->SetBounds(0, 0, 400, c.height + tree()->Header()->Height());
        tree()->Print(&printer, c.header);
        EXPECT_EQ(Pages(pdf), c.pages);
        // Every page is one picture of the page's raster.
        std::string images = Capture("pdfimages -list '" + pdf + "'");
        std::vector<int> pagesWithImages;
        std::istringstream lines(images);
        for (std::string line; std::getline(lines, line);)
            if (line.find(" image ") != std::string::npos) pagesWithImages.push_back(std::atoi(line.c_str()));
        // A page left blank by the rows (below a short tree) has no picture.
        ASSERT_FALSE(pagesWithImages.empty()) << images;
        EXPECT_EQ(pagesWithImages.front(), 1);
        for (std::size_t i = 1; i < pagesWithImages.size(); ++i)
            EXPECT_EQ(pagesWithImages[i], pagesWithImages[i - 1] + 1) << images;
        EXPECT_LE(pagesWithImages.back(), c.pages);
    }
    EXPECT_EQ(tree()->UpdateCount(), 0u);
    EXPECT_EQ(tree()->Color(), clWindow);
}

TEST_F(PrintTest, PagePixelsShowHeaderGridAndText) {
    // A distinctive text in a 14-point font for the OCR.
    tree()->Font()->SetHeight(0);
    tree()->Font()->SetSize(14);
    fixture.rows[0].cells[0] = "MOONLIGHT";
    tree()->Header()->Columns()->Items(0)->SetWidth(200);
    const int dpi = 100;
    for (bool header : {true, false}) {
        SCOPED_TRACE(header ? "with header" : "without header");
        tree()->Print(&printer, header);
        ASSERT_EQ(Pages(pdf), 1);
        Grey page = RenderPage(pdf, 1, dpi, (dir.path() / "page").string());
        ASSERT_GT(page.width, 0);
        // The end of the second column's header cell, where the first row has no text.
        double headerBand = page.Mean(page.width * 356 / 1000, 3, page.width * 371 / 1000, 14);
        if (header)
            EXPECT_LT(headerBand, 250) << "the header's face is grey";
        else
            EXPECT_GT(headerBand, 253) << "the first row is white there";
        EXPECT_GT(page.Mean(0, page.height / 2, page.width, page.height), 254.5) << "white below the rows";
        // Horizontal grid lines: some full-width row of the rows' area is darker than white.
        int lines = 0;
        for (int y = 40; y < page.height / 3; ++y)
            if (page.Mean(page.width / 8, y, page.width / 3, y + 1) < 230) ++lines;
        EXPECT_GT(lines, 2);
        if (std::getenv("LUMACAST_BUILD_DIR")) {
            fs::path out = fs::path(std::getenv("LUMACAST_BUILD_DIR")) / "artifacts";
            fs::create_directories(out);
            Capture("pdftoppm -png -r 60 -f 1 -l 1 -singlefile '" + pdf + "' '" + (out / (header ? "printed-tree" : "printed-tree-noheader")).string() + "'");
        }
    }
    if (std::system("command -v tesseract >/dev/null") == 0) {
        // The first row's main cell (the last print had no header).
        Capture("pdftoppm -png -r 150 -f 1 -l 1 -x 0 -y 0 -W 400 -H 40 -singlefile '" + pdf + "' '" +
                (dir.path() / "ocr").string() + "'");
        std::string text = Capture("OMP_THREAD_LIMIT=1 tesseract '" + (dir.path() / "ocr.png").string() + "' stdout --psm 7");
        EXPECT_NE(text.find("MOONLIGHT"), std::string::npos) << text;
        // A row whose text reaches below the baseline: the descenders of "y" and "p" are
        // not cut at the row's bottom (cut, the y reads as a v).
        EXPECT_EQ(tree()->Font()->Size(), 14) << "the tree's font is given back";
        int rowTop = 0;
        for (PVastNode n = tree()->GetFirstVisibleNoInit(); n && n != fixture.nodes[3]; n = tree()->GetNextVisibleNoInit(n))
            rowTop += n->NodeHeight;
        int pageWidth = 0, pageHeight = 0;
        PageInTreePixels(pageWidth, pageHeight);
        double perPixel = 150.0 * printer.PageWidth() / TPrinter::kDpi / pageWidth;  // page pixels at 150 dpi
        int y = int(rowTop * perPixel), h = int(3 * tree()->DefaultNodeHeight() * perPixel);
        Capture("pdftoppm -png -r 150 -f 1 -l 1 -x 0 -y " + std::to_string(std::max(0, y - h / 3)) + " -W 400 -H " +
                std::to_string(h) + " -singlefile '" + pdf + "' '" + (dir.path() / "ocr2").string() + "'");
        text = Capture("OMP_THREAD_LIMIT=1 tesseract '" + (dir.path() / "ocr2.png").string() + "' stdout --psm 6");
        EXPECT_NE(text.find("holiday.avi"), std::string::npos) << text;
        EXPECT_NE(text.find("chapter 2"), std::string::npos) << text;
    }
}

TEST_F(PrintTest, NoPrinterOrAnUnwritableFileLeavesTheTree) {
    int updates = 0;
    tree()->OnUpdating = [&](TBaseVastTree*, TVTUpdateState) { ++updates; };
    tree()->Print(nullptr, true);
    EXPECT_EQ(updates, 0);
    printer.SetFileName((dir.path() / "missing" / "tree.pdf").string());
    EXPECT_THROW(tree()->Print(&printer, true), EPrinter);
    EXPECT_FALSE(printer.Printing());
    EXPECT_EQ(tree()->UpdateCount(), 0u);
    EXPECT_EQ(tree()->Color(), clWindow);
    EXPECT_EQ(tree()->RootNodeCount(), 4u);
}

}  // namespace
}  // namespace treeview
