// Picture files: BMP written by ImageMagick read back to its pixels, our PNG read back by
// ImageMagick, JPEG, icons, and hostile files.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <sys/stat.h>

#include "platform/graphics/gdi.h"
#include "platform/graphics/graphics.h"
#include "platform/graphics/pictures.h"
#include "support/bounded.h"
#include "support/picture_bombs.h"

using namespace platform;
namespace fs = std::filesystem;

namespace {

struct Image {
    int w = 0, h = 0;
    std::vector<COLORREF> px;
    COLORREF at(int x, int y) const { return px[std::size_t(y * w + x)]; }
};

class Pictures : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("lumacast-pictures-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    static void Run(const std::string& cmd) { ASSERT_EQ(std::system((cmd + " 2>/dev/null").c_str()), 0) << cmd; }

    void WritePpm(const std::string& path, const Image& im) {
        std::ofstream out(path, std::ios::binary);
        out << "P6\n" << im.w << " " << im.h << "\n255\n";
        for (COLORREF c : im.px) out << char(GetRValue(c)) << char(GetGValue(c)) << char(GetBValue(c));
    }
    // Pixels of any picture as ImageMagick decodes it.
    Image Decode(const std::string& path) {
        std::string ppm = path + ".ppm";
        Run("convert '" + path + "' -depth 8 ppm:'" + ppm + "'");
        std::ifstream in(ppm, std::ios::binary);
        std::string magic;
        Image im;
        int max;
        in >> magic >> im.w >> im.h >> max;
        in.get();
        for (int i = 0; i < im.w * im.h; ++i) {
            unsigned char c[3];
            in.read(reinterpret_cast<char*>(c), 3);
            im.px.push_back(RGB(c[0], c[1], c[2]));
        }
        return im;
    }
    static std::vector<BYTE> Bytes(const std::string& path) { return ReadWholeFile(path); }

    static Image Pattern(int w, int h, const std::function<COLORREF(int, int)>& f) {
        Image im{w, h, {}};
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) im.px.push_back(f(x, y));
        return im;
    }
    // Compares through GetDIBits, so the bitmap may be selected in a DC (a TBitmap's own).
    static void ExpectPixels(HBITMAP bm, const Image& want, const std::string& what, int tolerance = 0) {
        BITMAP info;
        GetObject(bm, sizeof info, &info);
        ASSERT_EQ(info.bmWidth, want.w) << what;
        ASSERT_EQ(info.bmHeight, want.h) << what;
        BITMAPINFO bi{};
        bi.bmiHeader.biWidth = want.w;
        bi.bmiHeader.biHeight = -want.h;
        bi.bmiHeader.biBitCount = 32;
        std::vector<std::uint32_t> px(std::size_t(want.w * want.h));
        ASSERT_EQ(GetDIBits(nullptr, bm, 0, UINT(want.h), px.data(), &bi, DIB_RGB_COLORS), want.h);
        int bad = 0;
        for (int y = 0; y < want.h; ++y)
            for (int x = 0; x < want.w; ++x) {
                std::uint32_t p = px[std::size_t(y * want.w + x)];
                COLORREF got = RGB(BYTE(p >> 16), BYTE(p >> 8), BYTE(p)), exp = want.at(x, y);
                if (std::abs(GetRValue(got) - GetRValue(exp)) > tolerance ||
                    std::abs(GetGValue(got) - GetGValue(exp)) > tolerance ||
                    std::abs(GetBValue(got) - GetBValue(exp)) > tolerance) {
                    if (++bad < 4) ADD_FAILURE() << what << " at " << x << "," << y << ": " << std::hex << got << " != " << exp;
                }
            }
    }
    static int Depth(HBITMAP bm) {
        BITMAP info;
        GetObject(bm, sizeof info, &info);
        return info.bmBitsPixel;
    }
    fs::path dir_;
};

const COLORREF kColours[] = {RGB(255, 0, 0), RGB(0, 255, 0),     RGB(0, 0, 255),    RGB(255, 255, 0),
                             RGB(0, 0, 0),   RGB(255, 255, 255), RGB(10, 20, 30),   RGB(200, 100, 50)};

}  // namespace

TEST_F(Pictures, BmpWrittenByImageMagickReadsToItsPixels) {
    // 7 pixels wide so that every depth has row padding.
    Image few = Pattern(7, 5, [](int x, int y) { return kColours[(x + 2 * y) % 8]; });
    Image many = Pattern(7, 5, [](int x, int y) { return RGB(BYTE(x * 37), BYTE(y * 51), BYTE((x * y * 13) % 256)); });
    Image bw = Pattern(7, 5, [](int x, int y) { return (x * y + x) % 3 ? RGB(0, 0, 0) : RGB(255, 255, 255); });
    struct Case {
        const char* name;
        const Image* source;
        const char* args;
        int depth;
    };
    const Case cases[] = {
        {"1 bit", &bw, "-type Bilevel BMP3:", 1},
        {"4 bits", &few, "-type Palette -compress None BMP3:", 4},
        {"8 bits", &many, "-type Palette -compress None BMP3:", 8},
        {"8 bits RLE", &many, "-type Palette -compress RLE BMP3:", 8},
        {"16 bits 565", &many, "-define bmp:subtype=RGB565 BMP:", 16},
        {"16 bits 555", &many, "-define bmp:subtype=RGB555 BMP:", 16},
        {"24 bits", &many, "-type TrueColor BMP3:", 24},
        {"32 bits with bit fields", &many, "-alpha set -type TrueColorAlpha BMP:", 32},
    };
    int i = 0;
    for (const Case& c : cases) {
        std::string src = Path("src" + std::to_string(i) + ".ppm"), bmp = Path("out" + std::to_string(i++) + ".bmp");
        WritePpm(src, *c.source);
        Run("convert '" + src + "' " + c.args + "'" + bmp + "'");
        auto data = Bytes(bmp);
        HBITMAP bm = ReadBmp(data.data(), data.size());
        EXPECT_EQ(Depth(bm), c.depth) << c.name;
        ExpectPixels(bm, Decode(bmp), c.name);
        // What we write reads back to the same pixels, at the same depth.
        auto again = WriteBmp(bm);
        HBITMAP back = ReadBmp(again.data(), again.size());
        EXPECT_EQ(Depth(back), c.depth) << c.name;
        ExpectPixels(back, Decode(bmp), std::string(c.name) + " rewritten");
        DeleteObject(bm);
        DeleteObject(back);
    }
}

TEST_F(Pictures, HandMadeRle4AndTopDownBitmaps) {
    // 5x2, 4 bits, RLE4: bottom row "run of 5 alternating 1,2"; top row: absolute 3 pixels
    // 3,4,5, then a delta of 1 column, then the bitmap ends (the last pixel stays 0).
    std::vector<BYTE> f = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // offset filled below
                           40, 0, 0, 0, 5, 0, 0, 0, 2, 0, 0, 0, 1, 0, 4, 0, 2, 0, 0, 0, 0, 0, 0, 0,
                           0, 0, 0, 0, 0, 0, 0, 0, 16, 0, 0, 0, 0, 0, 0, 0};
    for (int i = 0; i < 16; ++i) f.insert(f.end(), {BYTE(i * 16), BYTE(i), 0, 0});
    f[10] = BYTE(f.size());
    f.insert(f.end(), {5, 0x12, 0, 0, 0, 3, 0x34, 0x50, 0, 2, 1, 0, 0, 1});
    HBITMAP bm = ReadBmp(f.data(), f.size());
    Image want = Pattern(5, 2, [](int x, int y) {
        int index = y == 1 ? (x % 2 ? 2 : 1) : (x < 3 ? 3 + x : 0);
        return RGB(0, BYTE(index), BYTE(index * 16));
    });
    ExpectPixels(bm, want, "RLE4");
    DeleteObject(bm);

    // A top-down 24-bit file: negative height, first row on top.
    Image im = Pattern(3, 2, [](int x, int y) { return kColours[x + 3 * y]; });
    BITMAPINFO bi{};
    bi.bmiHeader.biWidth = 3;
    bi.bmiHeader.biHeight = -2;
    bi.bmiHeader.biBitCount = 24;
    std::vector<BYTE> td = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0};
    const BYTE* h = reinterpret_cast<const BYTE*>(&bi.bmiHeader);
    td.insert(td.end(), h, h + 40);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) td.insert(td.end(), {GetBValue(im.at(x, y)), GetGValue(im.at(x, y)), GetRValue(im.at(x, y))});
        td.insert(td.end(), 3, 0);  // row padding to 12 bytes
    }
    bm = ReadBmp(td.data(), td.size());
    ExpectPixels(bm, im, "top-down");
    DeleteObject(bm);
}

TEST_F(Pictures, OurPngIsReadByImageMagickToTheSamePixels) {
    Image im = Pattern(9, 4, [](int x, int y) { return RGB(BYTE(x * 28), BYTE(y * 80), BYTE(255 - x * y)); });
    TBitmap bmp(9, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 9; ++x) bmp.Canvas()->SetPixels(x, y, TColor(im.at(x, y)));
    std::string png = Path("out.png");
    bmp.SaveToPngFile(png);
    ExpectPixels(bmp.Handle(), Decode(png), "PNG by ImageMagick");
    auto data = Bytes(png);
    bool alpha = true;
    HBITMAP back = ReadPng(data.data(), data.size(), &alpha);
    EXPECT_FALSE(alpha);
    ExpectPixels(back, im, "PNG by us");
    DeleteObject(back);
    // A PNG with alpha from ImageMagick keeps its alpha.
    std::string rgba = Path("alpha.png");
    Run("convert -size 2x1 xc:'rgba(255,0,0,0.5)' '" + rgba + "'");
    data = Bytes(rgba);
    back = ReadPng(data.data(), data.size(), &alpha);
    EXPECT_TRUE(alpha);
    std::vector<BYTE> word(4);
    BITMAPINFO bi{};
    bi.bmiHeader.biWidth = 2;
    bi.bmiHeader.biHeight = -1;
    bi.bmiHeader.biBitCount = 32;
    std::vector<std::uint32_t> row(2);
    GetDIBits(nullptr, back, 0, 1, row.data(), &bi, DIB_RGB_COLORS);
    EXPECT_NEAR(double(row[0] >> 24), 128.0, 1.0);
    DeleteObject(back);
}

TEST_F(Pictures, JpegFromImageMagickAndOurOwn) {
    Image im = Pattern(16, 16, [](int x, int y) { return x < 8 ? (y < 8 ? kColours[0] : kColours[1]) : kColours[2]; });
    std::string src = Path("src.ppm"), jpg = Path("im.jpg");
    WritePpm(src, im);
    Run("convert '" + src + "' -quality 95 '" + jpg + "'");
    auto data = Bytes(jpg);
    HBITMAP bm = ReadJpeg(data.data(), data.size());
    ExpectPixels(bm, Decode(jpg), "JPEG by ImageMagick", 3);
    // Ours is read by ImageMagick as we read it, and keeps the picture away from its edges.
    std::string ours = Path("ours.jpg");
    WriteWholeFile(ours, WriteJpeg(bm, 95));
    auto again = Bytes(ours);
    HBITMAP back = ReadJpeg(again.data(), again.size());
    ExpectPixels(back, Decode(ours), "JPEG by us, read by ImageMagick", 3);
    Image inner = Pattern(4, 4, [&](int x, int y) { return im.at(x + 2, y + 2); });
    HBITMAP corner = CreateCompatibleBitmap(nullptr, 4, 4);
    HDC a = CreateCompatibleDC(nullptr), b2 = CreateCompatibleDC(nullptr);
    SelectObject(a, corner);
    SelectObject(b2, back);
    BitBlt(a, 0, 0, 4, 4, b2, 2, 2, SRCCOPY);
    DeleteDC(a);
    DeleteDC(b2);
    ExpectPixels(corner, inner, "JPEG by us, inside a block", 12);
    DeleteObject(corner);
    DeleteObject(bm);
    DeleteObject(back);
}

TEST_F(Pictures, IconsFromImageMagickKeepTheirTransparency) {
    std::string ico = Path("x.ico");
    Run("convert -size 16x16 xc:none -fill red -draw 'rectangle 4,4 11,11' '" + ico + "'");
    TIcon icon;
    icon.LoadFromFile(ico);
    ASSERT_EQ(icon.Width(), 16);
    TBitmap target(16, 16);
    target.Canvas()->Brush()->SetColor(clBlue);
    target.Canvas()->FillRect(TRect(0, 0, 16, 16));
    target.Canvas()->Draw(0, 0, &icon);
    EXPECT_EQ(target.Canvas()->Pixels(0, 0), clBlue);
    EXPECT_EQ(target.Canvas()->Pixels(6, 6), clRed);
}

TEST_F(Pictures, HostileFilesGiveAnErrorAndNothingElse) {
    TBitmap b(3, 2);
    auto bmp = b.SaveToBytes();
    auto png = WritePng(b.Handle(), false);
    auto jpg = WriteJpeg(b.Handle(), 80);
    auto ico = WriteIcon(b.Handle());
    auto patch = [](std::vector<BYTE> v, std::size_t at, std::vector<BYTE> bytes) {
        for (std::size_t i = 0; i < bytes.size(); ++i) v[at + i] = bytes[i];
        return v;
    };
    auto cut = [](std::vector<BYTE> v, std::size_t n) {
        v.resize(n);
        return v;
    };
    struct Case {
        const char* name;
        std::vector<BYTE> data;
        HBITMAP (*read)(const BYTE*, std::size_t);
    };
    auto readPng = [](const BYTE* d, std::size_t n) { return ReadPng(d, n, nullptr); };
    auto readIco = [](const BYTE* d, std::size_t n) { return ReadIcon(d, n, nullptr); };
    const Case cases[] = {
        {"empty BMP", {}, ReadBmp},
        {"BMP file header only", cut(bmp, 14), ReadBmp},
        {"BMP of 60000 x 60000", patch(bmp, 18, {0x60, 0xEA, 0, 0, 0x60, 0xEA, 0, 0}), ReadBmp},
        {"BMP with negative width", patch(bmp, 18, {0xFF, 0xFF, 0xFF, 0xFF}), ReadBmp},
        {"BMP with a short pixel array", cut(bmp, bmp.size() - 1), ReadBmp},
        {"BMP with pixels past the end", patch(bmp, 10, {0xFF, 0xFF, 0, 0}), ReadBmp},
        {"BMP with a palette of 70000", patch(patch(bmp, 28, {8, 0}), 46, {0x70, 0x11, 1, 0}), ReadBmp},
        {"BMP with JPEG compression", patch(bmp, 30, {4, 0, 0, 0}), ReadBmp},
        {"BMP RLE8 cut in a run", patch(cut(patch(patch(bmp, 28, {8, 0}), 30, {1, 0, 0, 0}), 60), 46, {1, 0, 0, 0}),
         ReadBmp},
        {"BMP with an odd header size", patch(bmp, 14, {41, 0, 0, 0}), ReadBmp},
        {"PNG signature and junk", patch(cut(png, 20), 12, {'J', 'U', 'N', 'K'}), readPng},
        {"PNG cut in its image data", cut(png, 40), readPng},
        {"truncated JPEG", cut(jpg, jpg.size() / 2), ReadJpeg},
        {"JPEG header only", cut(jpg, 4), ReadJpeg},
        {"icon pointing past the end", patch(ico, 18, {0xFF, 0xFF, 0, 0}), readIco},
        {"icon with no images", patch(ico, 4, {0, 0}), readIco},
    };
    for (const Case& c : cases) {
        EXPECT_THROW(c.read(c.data.data(), c.data.size()), EInvalidGraphic) << c.name;
    }
}

TEST_F(Pictures, RleRunsAndJumpsThatLeaveTheBitmapAreRefused) {
    using testsupport::RleBmp;
    // 3 x 2 pictures, rows stored 4 pixels wide; each line of data ends the bitmap.
    const struct {
        const char* name;
        testsupport::PictureBytes data;
    } cases[] = {
        {"run past the stored row", {5, 1, 0, 1}},
        {"absolute run past the stored row", {0, 5, 1, 1, 1, 1, 1, 0, 0, 1}},
        {"run after a full row without its end of line", {4, 1, 1, 1, 0, 1}},
        {"jump past the right edge", {2, 1, 0, 2, 3, 0, 0, 1}},
        {"jump past the top", {0, 2, 0, 3, 0, 1}},
    };
    for (const auto& c : cases) {
        auto file = RleBmp(3, 2, c.data);
        EXPECT_THROW(DeleteObject(ReadBmp(file.data(), file.size())), EInvalidGraphic) << c.name;
    }
    // A run into the row's padding (as encoders write odd widths), a jump to the row's end
    // and an end of line after the last row stay within the bitmap.
    auto fine = RleBmp(3, 2, {4, 1, 0, 0, 2, 1, 0, 2, 1, 0, 0, 0, 0, 1});
    HBITMAP bm = ReadBmp(fine.data(), fine.size());
    ExpectPixels(bm, Pattern(3, 2, [](int x, int y) { return y == 0 && x == 2 ? RGB(0xC0, 0x80, 0x40) : RGB(0x30, 0x20, 0x10); }),
                 "RLE8 within the bitmap");
    DeleteObject(bm);
}

TEST_F(Pictures, LoadedDeviceIndependentPicturesReportTheirPixelFormat) {
    TBitmap source(3, 2);
    source.Canvas()->SetPixels(1, 1, clRed);
    const struct {
        const char* name;
        TPixelFormat saved, loaded;
    } cases[] = {{"32-bit BMP", pf32bit, pf32bit}, {"24-bit BMP", pf24bit, pf24bit}, {"8-bit BMP", pf8bit, pf8bit}};
    for (const auto& c : cases) {
        TBitmap copy;
        copy.Assign(&source);
        copy.SetPixelFormat(c.saved);
        TBitmap loaded;
        loaded.LoadFromBytes(copy.SaveToBytes());
        EXPECT_EQ(loaded.PixelFormat(), c.loaded) << c.name;
    }
    for (bool alpha : {false, true}) {
        TPngImage png;
        png.LoadFromBytes(WritePng(source.Handle(), alpha));
        EXPECT_EQ(png.Bitmap()->PixelFormat(), pf32bit) << "PNG, alpha " << alpha;
        EXPECT_EQ(png.Bitmap()->Canvas()->Pixels(1, 1), clRed);
        TBitmap assigned;
        assigned.Assign(&png);
        EXPECT_EQ(assigned.PixelFormat(), pf32bit) << "bitmap assigned from a PNG, alpha " << alpha;
    }
}

// Files of a few bytes that describe huge pictures or endless work: refused, in a child
// process whose CPU time is limited and whose memory is measured.
TEST_F(Pictures, BombsAreRefusedWithinBoundedMemoryAndTime) {
    struct Case {
        const char* name;
        testsupport::PictureBytes data;
        HBITMAP (*read)(const BYTE*, std::size_t);
        const char* reason;
    };
    auto readIco = [](const BYTE* d, std::size_t n) { return ReadIcon(d, n, nullptr); };
    const Case cases[] = {
        {"RLE8 BMP of 8192 x 8192 that ends at once", testsupport::BmpRleBomb(), ReadBmp, "too little data"},
        {"RLE8 icon of 8192 x 8192 that ends at once", testsupport::IconRleBomb(), readIco, "too little data"},
        {"progressive JPEG of 10 components", testsupport::JpegManyComponents(), ReadJpeg, "components"},
        {"progressive JPEG of 10,000 empty scans", testsupport::JpegManyScans(4096, 10000), ReadJpeg, "scans"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " (" + std::to_string(c.data.size()) + " bytes)");
        auto run = testsupport::RunBounded(20, [&] {
            try {
                DeleteObject(c.read(c.data.data(), c.data.size()));
                return 1;
            } catch (const EInvalidGraphic& e) {
                return std::string(e.what()).find(c.reason) != std::string::npos ? 0 : 2;
            }
        });
        EXPECT_TRUE(run.finished) << run.Describe();
        EXPECT_EQ(run.exitCode, 0) << "1: accepted, 2: refused for another reason; " << run.Describe();
        EXPECT_LT(run.peakGrowthKb, 64 * 1024) << run.Describe();
    }
}

TEST_F(Pictures, PictureLoadsByExtensionAndKeepsItsGraphicOnFailure) {
    TBitmap b(4, 3);
    b.Canvas()->Brush()->SetColor(clRed);
    b.Canvas()->FillRect(TRect(0, 0, 4, 3));
    std::string bmpPath = Path("a.bmp"), pngPath = Path("a.png"), jpgPath = Path("a.jpeg");
    b.SaveToFile(bmpPath);
    b.SaveToPngFile(pngPath);
    TJPEGImage jpeg;
    jpeg.Assign(&b);
    jpeg.SaveToFile(jpgPath);
    TPicture pic;
    int changes = 0;
    pic.OnChange = [&](TObject*) { ++changes; };
    for (const std::string& p : {bmpPath, pngPath, jpgPath}) {
        pic.LoadFromFile(p);
        EXPECT_EQ(pic.Width(), 4) << p;
        EXPECT_EQ(pic.Height(), 3) << p;
    }
    EXPECT_GE(changes, 3);
    EXPECT_NE(dynamic_cast<TJPEGImage*>(pic.Graphic()), nullptr);
    EXPECT_THROW(pic.LoadFromFile(Path("missing.png")), EFOpenError);
    std::ofstream(Path("junk.png")) << "not a picture";
    EXPECT_THROW(pic.LoadFromFile(Path("junk.png")), EInvalidGraphic);
    std::ofstream(Path("a.xyz")) << "whatever";
    EXPECT_THROW(pic.LoadFromFile(Path("a.xyz")), EInvalidGraphic);
    EXPECT_NE(dynamic_cast<TJPEGImage*>(pic.Graphic()), nullptr);  // the old picture stays
    EXPECT_EQ(pic.Width(), 4);
    // Drawing a picture's graphic through a canvas.
    TBitmap target(4, 3);
    target.Canvas()->Draw(0, 0, pic.Graphic());
    EXPECT_NEAR(GetRValue(ColorToRGB(target.Canvas()->Pixels(1, 1))), 255, 8);
}

TEST_F(Pictures, WholeFilesReadByteForByteWhateverTheirSize) {
    // Sizes around the reading block, and a file whose size is not known ahead (a pipe).
    for (std::size_t size : {std::size_t(0), std::size_t(1), std::size_t(65535), std::size_t(65536),
                             std::size_t(65537), std::size_t(1476054)}) {
        std::vector<BYTE> bytes(size);
        for (std::size_t i = 0; i < size; ++i) bytes[i] = BYTE((i * 131 + size) >> 3);
        std::string path = Path("f" + std::to_string(size));
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(size));
        EXPECT_EQ(ReadWholeFile(path), bytes) << size;
    }
    std::string fifo = Path("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::vector<BYTE> piped(200000);
    for (std::size_t i = 0; i < piped.size(); ++i) piped[i] = BYTE(i * 7);
    std::thread writer([&] {
        std::ofstream(fifo, std::ios::binary).write(reinterpret_cast<const char*>(piped.data()), std::streamsize(piped.size()));
    });
    EXPECT_EQ(ReadWholeFile(fifo), piped);
    writer.join();
    EXPECT_THROW(ReadWholeFile(Path("")), EFOpenError);  // the test's folder
}
