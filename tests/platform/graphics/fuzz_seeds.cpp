// Writes small valid pictures of every kind the readers take, as seeds for their fuzzers.
#include <filesystem>
#include <string>

#include "platform/graphics/graphics.h"
#include "platform/graphics/pictures.h"
#include "support/picture_bombs.h"

using namespace platform;
namespace fs = std::filesystem;

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    fs::path root = argv[1];
    for (const char* sub : {"bmp", "png", "jpeg", "icon"}) fs::create_directories(root / sub);
    TBitmap b(5, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) b.Canvas()->SetPixels(x, y, TColor(RGB(BYTE(x * 50), BYTE(y * 90), 128)));
    const TPixelFormat formats[] = {pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit};
    int i = 0;
    for (TPixelFormat f : formats) {
        TBitmap copy;
        copy.Assign(&b);
        copy.SetPixelFormat(f);
        copy.SaveToFile((root / "bmp" / ("depth" + std::to_string(i++) + ".bmp")).string());
    }
    // RLE8 and RLE4 by hand: runs, an absolute run, a delta and the end marks.
    std::vector<BYTE> rle = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 40, 0, 0, 0, 5, 0, 0, 0, 2, 0, 0, 0,
                             1, 0, 8, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 0, 0, 0, 0, 0, 0};
    for (int c = 0; c < 4; ++c) rle.insert(rle.end(), {BYTE(c * 60), BYTE(c * 20), 0, 0});
    rle[10] = BYTE(rle.size());
    rle.insert(rle.end(), {2, 1, 0, 3, 2, 3, 1, 0, 0, 0, 0, 2, 1, 0, 2, 2, 0, 1});
    WriteWholeFile((root / "bmp" / "rle8.bmp").string(), rle);
    rle[28] = 4;
    rle[30] = 2;
    WriteWholeFile((root / "bmp" / "rle4.bmp").string(), rle);
    WriteWholeFile((root / "png" / "rgb.png").string(), WritePng(b.Handle(), false));
    WriteWholeFile((root / "png" / "rgba.png").string(), WritePng(b.Handle(), true));
    WriteWholeFile((root / "jpeg" / "colour.jpg").string(), WriteJpeg(b.Handle(), 75));
    WriteWholeFile((root / "jpeg" / "grey.jpg").string(), WriteJpeg(b.Handle(), 50, true));
    WriteWholeFile((root / "icon" / "png.ico").string(), WriteIcon(b.Handle()));
    // An icon with a DIB inside: 32-bit colour rows and an AND mask, twice the height.
    auto dib = WriteBmp(b.Handle());
    std::vector<BYTE> ico = {0, 0, 1, 0, 1, 0, 5, 3, 0, 0, 1, 0, 32, 0, 0, 0, 0, 0, 22, 0, 0, 0};
    std::vector<BYTE> body(dib.begin() + 14, dib.end());
    body[8] = 6;  // height doubled
    body.insert(body.end(), 3 * 4, 0);
    ico[14] = BYTE(body.size());
    ico.insert(ico.end(), body.begin(), body.end());
    WriteWholeFile((root / "icon" / "dib.ico").string(), ico);
    // Files that cost a careless reader memory or time.
    WriteWholeFile((root / "bmp" / "rle-bomb.bmp").string(), testsupport::BmpRleBomb());
    WriteWholeFile((root / "icon" / "rle-bomb.ico").string(), testsupport::IconRleBomb());
    WriteWholeFile((root / "jpeg" / "components-bomb.jpg").string(), testsupport::JpegManyComponents());
    WriteWholeFile((root / "jpeg" / "scans-bomb.jpg").string(), testsupport::JpegManyScans(1024, 10000));
    return 0;
}
