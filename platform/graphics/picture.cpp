// Pictures: bitmaps, JPEG and PNG images, icons, and the picture holder.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

#include "platform/graphics/gdi_objects.h"
#include "platform/graphics/graphics.h"
#include "platform/graphics/pictures.h"
#include "platform/graphics/resources.h"

namespace platform {

// ---- files ----
namespace {
// Reads the whole file through `grow(n)`, which gives storage for n bytes keeping those
// already read, and returns how many bytes there are. Reads in blocks (the whole file at
// once when its size is known) rather than a byte at a time: a skin's background alone is
// over a megabyte.
template <class Grow>
std::size_t ReadAll(const std::string& path, Grow grow) {
    std::ifstream in(path, std::ios::binary);
    std::error_code ec;
    if (!in || std::filesystem::is_directory(path, ec))
        throw EFOpenError("Cannot open file \"" + path + "\". " + std::strerror(errno ? errno : ENOENT));
    std::size_t size = 0, block = 1 << 16;
    auto known = std::filesystem::file_size(path, ec);
    if (!ec && known < (std::uintmax_t(1) << 31)) block = std::max<std::size_t>(block, std::size_t(known) + 1);
    while (in) {
        BYTE* data = grow(size + block);
        in.read(reinterpret_cast<char*>(data + size), std::streamsize(block));
        size += std::size_t(in.gcount());
    }
    if (in.bad()) throw EFOpenError("Cannot read file \"" + path + "\"");
    return size;
}
}  // namespace

std::vector<BYTE> ReadWholeFile(const std::string& path) {
    std::vector<BYTE> data;
    data.resize(ReadAll(path, [&](std::size_t n) {
        data.resize(n);
        return data.data();
    }));
    return data;
}

// Writes through a new file beside `path` under a name no one can guess, made with
// O_EXCL (nothing planted there is followed; its mode follows the umask), renamed over
// `path` only when every byte is written.
void WriteWholeFile(const std::string& path, const std::vector<BYTE>& data) {
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::string temp;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        unsigned char random[8];
        if (getrandom(random, sizeof random, 0) != ssize_t(sizeof random)) break;
        temp = path + ".";
        for (unsigned char r : random) temp += letters[r % (sizeof letters - 1)];
        temp += ".tmp";
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) throw EFCreateError("Cannot create file \"" + path + "\". " + std::strerror(errno));
    bool ok = true;
    for (std::size_t done = 0; ok && done < data.size();) {
        ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) done += std::size_t(n);
    }
    ok = ::close(fd) == 0 && ok;
    if (!ok) {
        std::remove(temp.c_str());
        throw EFCreateError("Cannot write file \"" + path + "\"");
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        const int err = errno;
        std::remove(temp.c_str());
        throw EFCreateError("Cannot create file \"" + path + "\". " + std::strerror(err));
    }
}

// ---- graphic ----
void TGraphic::SetTransparent(bool value) {
    if (value == transparent_) return;
    transparent_ = value;
    Changed();
}

void TGraphic::Changed() {
    modified_ = true;
    if (OnChange) OnChange(this);
}

// The bytes go to the decoder straight from storage that is never cleared first.
void TGraphic::LoadFromFile(const std::string& path) {
    std::unique_ptr<BYTE, decltype(&std::free)> data(nullptr, &std::free);
    std::size_t size = ReadAll(path, [&](std::size_t n) {
        void* grown = std::realloc(data.get(), n);
        if (!grown) throw std::bad_alloc();
        data.release();
        data.reset(static_cast<BYTE*>(grown));
        return data.get();
    });
    LoadFromBytes(data.get(), size);
}

void TGraphic::SaveToFile(const std::string& path) { WriteWholeFile(path, SaveToBytes()); }

namespace {
// Reads count bytes from the stream; a picture larger than any bitmap could hold is refused.
std::vector<BYTE> ReadStream(TStream& stream, std::int64_t count) {
    if (count < 0 || count > std::int64_t(1) << 31) throw EInvalidGraphic("Picture data too large");
    std::vector<BYTE> data(static_cast<std::size_t>(count));
    stream.ReadBuffer(data.data(), count);
    return data;
}
}  // namespace

void TGraphic::LoadFromStream(TStream& stream) {
    LoadFromBytes(ReadStream(stream, stream.Size() - stream.Position()));
}

void TGraphic::SaveToStream(TStream& stream) {
    auto data = SaveToBytes();
    stream.WriteBuffer(data.data(), std::int64_t(data.size()));
}

// ---- bitmap ----
class TBitmapCanvas : public TCanvas {
public:
    explicit TBitmapCanvas(TBitmap* owner) : owner_(owner) {}
    ~TBitmapCanvas() override {
        HDC dc = HandleAllocated() ? Handle() : nullptr;
        SetHandle(nullptr);
        if (dc) {
            SelectObject(dc, original_);
            DeleteDC(dc);
        }
    }
    // Puts a new bitmap (or none) into the DC; returns the one it held.
    void Select(HBITMAP bm) {
        if (!HandleAllocated()) return;
        SelectObject(Handle(), bm ? static_cast<HGDIOBJ>(bm) : original_);
    }

protected:
    void CreateHandle() override {
        HDC dc = CreateCompatibleDC(nullptr);
        original_ = owner_->bitmap_ ? SelectObject(dc, owner_->bitmap_) : GetCurrentObject(dc, OBJ_BITMAP);
        SetHandle(dc);
    }

private:
    TBitmap* owner_;
    HGDIOBJ original_ = nullptr;
};

TBitmap::TBitmap() = default;

TBitmap::TBitmap(int width, int height) { SetSize(width, height); }

TBitmap::~TBitmap() {
    canvas_.reset();
    if (bitmap_) DeleteObject(bitmap_);
}

void TBitmap::Replace(HBITMAP nb) {
    if (nb) {
        width_ = nb->width;
        height_ = nb->height;
    }
    if (nb == bitmap_) return;
    HBITMAP old = bitmap_;
    if (canvas_) static_cast<TBitmapCanvas*>(canvas_.get())->Select(nb);
    bitmap_ = nb;
    if (old) DeleteObject(old);
    Changed();
}

void TBitmap::Changed() { TGraphic::Changed(); }

bool TBitmap::Empty() const { return bitmap_ == nullptr; }
int TBitmap::Width() const { return bitmap_ ? bitmap_->width : width_; }
int TBitmap::Height() const { return bitmap_ ? bitmap_->height : height_; }
void TBitmap::SetWidth(int w) { SetSize(w, Height()); }
void TBitmap::SetHeight(int h) { SetSize(Width(), h); }

namespace {
// A new bitmap of the size and format, white, with the overlapping pixels of the old one.
HBITMAP Resized(HBITMAP old, int w, int h, TPixelFormat f) {
    static const int depths[] = {32, 1, 4, 8, 16, 16, 24, 32, 32};
    int bpp = depths[f];
    HBITMAP nb = NewBitmap(w, h, bpp, false);
    if (!nb) throw EOutOfResources("Out of system resources: bitmap of " + std::to_string(w) + " x " +
                                   std::to_string(h) + " pixels");
    if (f == pf16bit) {
        nb->masks[0] = 0xF800;
        nb->masks[1] = 0x07E0;
        nb->masks[2] = 0x001F;
    }
    if (old && bpp <= 8 && old->bpp == bpp) nb->palette = old->palette;
    if (bpp == 24 || bpp == 32) {
        // Whole rows: the kept part copied byte for byte when the layouts match, the rest white.
        const int bytes = bpp / 8;
        for (int y = 0; y < h; ++y) {
            BYTE* row = nb->row(y);
            int kept = old && y < old->height ? std::min(w, old->width) : 0;
            if (kept && old->bpp == bpp)
                std::memcpy(row, old->row(y), std::size_t(kept) * std::size_t(bytes));
            else
                for (int x = 0; x < kept; ++x) nb->set(x, y, old->get(x, y));
            if (bpp == 32)
                std::fill(nb->row32(y) + kept, nb->row32(y) + w, Pixel(0xFFFFFF));
            else
                std::memset(row + std::size_t(kept) * 3, 0xFF, std::size_t(w - kept) * 3);
        }
        return nb;
    }
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            nb->set(x, y, old && x < old->width && y < old->height ? old->get(x, y) : 0xFFFFFF);
    return nb;
}
}  // namespace

void TBitmap::SetSize(int w, int h) {
    if (w < 0 || h < 0) throw EInvalidGraphic("Invalid bitmap size " + std::to_string(w) + " x " + std::to_string(h));
    if (w == Width() && h == Height()) return;
    // A bitmap with one side 0 is empty but remembers the other side, so that setting
    // Width and then Height makes a bitmap of both.
    HBITMAP nb = w && h ? Resized(bitmap_, w, h, PixelFormat()) : nullptr;
    width_ = w;
    height_ = h;
    Replace(nb);
}

TPixelFormat TBitmap::PixelFormat() const {
    if (!bitmap_) return format_;
    switch (bitmap_->bpp) {
    case 1: return pf1bit;
    case 4: return pf4bit;
    case 8: return pf8bit;
    case 16: return bitmap_->masks[1] == 0x07E0 ? pf16bit : pf15bit;
    case 24: return pf24bit;
    }
    return format_ == pfDevice ? pfDevice : pf32bit;
}

void TBitmap::SetPixelFormat(TPixelFormat f) {
    if (f < pfDevice || f >= pfCustom) throw EInvalidGraphic("Invalid pixel format");
    if (f == PixelFormat()) return;
    TPixelFormat before = PixelFormat();
    format_ = f;
    // The device format is 32 bits: only the name changes between the two.
    bool same = (f == pfDevice && before == pf32bit) || (f == pf32bit && before == pfDevice);
    if (bitmap_ && !same) Replace(Resized(bitmap_, bitmap_->width, bitmap_->height, f));
}

void* TBitmap::ScanLine(int y) {
    if (!bitmap_ || y < 0 || y >= bitmap_->height) throw EInvalidGraphicOperation("Scan line index out of range");
    return bitmap_->row(y);
}

TCanvas* TBitmap::Canvas() {
    if (!canvas_) {
        canvas_ = std::make_unique<TBitmapCanvas>(this);
        canvas_->OnChange = [this](TObject*) { Changed(); };
    }
    return canvas_.get();
}

HBITMAP TBitmap::Handle() { return bitmap_; }

void TBitmap::SetHandle(HBITMAP bm) {
    if (bm && !gdi::IsLiveObject(bm)) throw EInvalidGraphic("Bitmap image is not valid: bad handle");
    if (!bm) width_ = height_ = 0;
    Replace(bm);
}

HBITMAP TBitmap::ReleaseHandle() {
    HBITMAP bm = bitmap_;
    if (canvas_) static_cast<TBitmapCanvas*>(canvas_.get())->Select(nullptr);
    bitmap_ = nullptr;
    width_ = height_ = 0;
    return bm;
}

TColor TBitmap::TransparentColor() const {
    if (transparentColor_ != clDefault) return transparentColor_;
    if (!bitmap_) return clDefault;
    return TColor(ToColorRef(bitmap_->get(0, bitmap_->height - 1) & 0xFFFFFF));
}

void TBitmap::SetTransparentColor(TColor c) {
    if (c == transparentColor_) return;
    transparentColor_ = c;
    transparentMode_ = c == clDefault ? tmAuto : tmFixed;
    Changed();
}

void TBitmap::SetTransparentMode(TTransparentMode m) {
    if (m == transparentMode_) return;
    transparentMode_ = m;
    if (m == tmAuto) transparentColor_ = clDefault;
    else transparentColor_ = TransparentColor();
    Changed();
}

void TBitmap::Assign(TPersistent* source) {
    if (!source) {
        width_ = height_ = 0;
        Replace(nullptr);
        return;
    }
    if (auto* b = dynamic_cast<TBitmap*>(source)) {
        if (b == this) return;
        HBITMAP copy = nullptr;
        if (b->bitmap_) {
            copy = NewBitmap(b->bitmap_->width, b->bitmap_->height, b->bitmap_->bpp, b->bitmap_->bottomUp);
            if (!copy) throw EOutOfResources("Out of system resources");
            copy->palette = b->bitmap_->palette;
            std::copy(b->bitmap_->masks, b->bitmap_->masks + 3, copy->masks);
            copy->storage = b->bitmap_->storage;
        }
        transparent_ = b->transparent_;
        transparentColor_ = b->transparentColor_;
        transparentMode_ = b->transparentMode_;
        format_ = b->format_;
        width_ = b->width_;
        height_ = b->height_;
        Replace(copy);
        return;
    }
    TBitmap* inner = nullptr;
    if (auto* j = dynamic_cast<TJPEGImage*>(source)) inner = j->Bitmap();
    else if (auto* p = dynamic_cast<TPngImage*>(source)) inner = p->Bitmap();
    else if (auto* i = dynamic_cast<TIcon*>(source)) inner = i->Bitmap();
    if (inner) {
        Assign(inner);
        return;
    }
    TGraphic::Assign(source);
}

void TBitmap::LoadFromBytes(const BYTE* data, std::size_t size) {
    HBITMAP bm = ReadBmp(data, size);
    Replace(bm);
    // A 32-bit file is a device-independent bitmap of 32 bits, not one of the device's.
    if (bm->bpp == 32) format_ = pf32bit;
}

void TBitmap::LoadFromStream(TStream& stream) {
    // A bitmap file says how long it is; the stream may go on with other data.
    std::int64_t start = stream.Position(), left = stream.Size() - start;
    BYTE head[6] = {};
    std::int64_t length = left;
    if (left >= 6 && stream.Read(head, 6) == 6 && head[0] == 'B' && head[1] == 'M') {
        std::int64_t declared = head[2] | (head[3] << 8) | (head[4] << 16) | (std::int64_t(head[5]) << 24);
        if (declared >= 14 && declared <= left) length = declared;
    }
    stream.SetPosition(start);
    std::vector<BYTE> data = ReadStream(stream, length);
    LoadFromBytes(data.data(), data.size());
}

std::vector<BYTE> TBitmap::SaveToBytes() {
    if (!bitmap_) throw EInvalidGraphic("Bitmap image is not valid: the bitmap is empty");
    return WriteBmp(bitmap_);
}

void TBitmap::LoadFromResourceName(HINSTANCE, const std::string& name) {
    ResourceData r = LoadResourceData(name, ResourceType::Bitmap);
    LoadFromBytes(r.data, r.size);
}

void TBitmap::SaveToPngFile(const std::string& path, bool withAlpha) {
    if (!bitmap_) throw EInvalidGraphic("Bitmap image is not valid: the bitmap is empty");
    SavePng(bitmap_, path, withAlpha);
}

void TBitmap::Draw(TCanvas* canvas, const TRect& r) {
    HDC dst = canvas->Handle();
    HDC src = Canvas()->Handle();
    if (Transparent()) {
        TransparentBlt(dst, r.left, r.top, r.Width(), r.Height(), src, 0, 0, Width(), Height(),
                       ColorToRGB(TransparentColor()));
    } else {
        StretchBlt(dst, r.left, r.top, r.Width(), r.Height(), src, 0, 0, Width(), Height(), canvas->CopyMode());
    }
}

// ---- drawing with alpha ----
namespace {
// Blends a 32-bit bitmap (premultiplied when premultiplied, else straight) onto the canvas.
void DrawBlended(TCanvas* canvas, TBitmap* bitmap, const TRect& r, bool premultiplied) {
    HBITMAP src = bitmap->Handle();
    if (!src) return;
    HBITMAP tmp = NewBitmap(src->width, src->height, 32, false);
    if (!tmp) return;
    for (int y = 0; y < src->height; ++y)
        for (int x = 0; x < src->width; ++x) {
            Pixel p = src->get(x, y);
            if (!premultiplied) {
                std::uint32_t a = p >> 24;
                Pixel q = p & 0xFF000000u;
                for (int k = 0; k < 24; k += 8) q |= (((p >> k) & 0xFF) * a + 127) / 255 << k;
                p = q;
            }
            tmp->set(x, y, p);
        }
    HDC mem = CreateCompatibleDC(nullptr);
    SelectObject(mem, tmp);
    BLENDFUNCTION bf;
    bf.AlphaFormat = AC_SRC_ALPHA;
    AlphaBlend(canvas->Handle(), r.left, r.top, r.Width(), r.Height(), mem, 0, 0, src->width, src->height, bf);
    DeleteDC(mem);
    DeleteObject(tmp);
}
}  // namespace

// ---- JPEG ----
TJPEGImage::TJPEGImage() = default;
TJPEGImage::~TJPEGImage() = default;

void TJPEGImage::Assign(TPersistent* source) {
    if (auto* j = dynamic_cast<TJPEGImage*>(source)) {
        data_ = j->data_;
        quality_ = j->quality_;
        grayscale_ = j->grayscale_;
        bitmap_.reset();
        if (j->bitmap_) {
            bitmap_ = std::make_unique<TBitmap>();
            bitmap_->Assign(j->bitmap_.get());
        }
        Changed();
        return;
    }
    if (auto* g = dynamic_cast<TGraphic*>(source)) {
        auto b = std::make_unique<TBitmap>();
        b->Assign(g);
        bitmap_ = std::move(b);
        data_.clear();
        Changed();
        return;
    }
    TGraphic::Assign(source);
}

bool TJPEGImage::Empty() const { return !bitmap_ || bitmap_->Empty(); }
int TJPEGImage::Width() const { return bitmap_ ? bitmap_->Width() : 0; }
int TJPEGImage::Height() const { return bitmap_ ? bitmap_->Height() : 0; }

void TJPEGImage::SetCompressionQuality(int q) {
    if (q < 1 || q > 100) return;
    quality_ = q;
    data_.clear();
}

void TJPEGImage::SetGrayscale(bool g) {
    grayscale_ = g;
    data_.clear();
}

void TJPEGImage::LoadFromBytes(const BYTE* data, std::size_t size) {
    auto b = std::make_unique<TBitmap>();
    b->SetHandle(ReadJpeg(data, size));
    bitmap_ = std::move(b);
    data_.assign(data, data + size);
    Changed();
}

std::vector<BYTE> TJPEGImage::SaveToBytes() {
    if (!data_.empty()) return data_;
    if (Empty()) throw EInvalidGraphic("JPEG image: the image is empty");
    data_ = WriteJpeg(bitmap_->Handle(), quality_, grayscale_);
    return data_;
}

TBitmap* TJPEGImage::Bitmap() {
    if (!bitmap_) bitmap_ = std::make_unique<TBitmap>();
    return bitmap_.get();
}

void TJPEGImage::Draw(TCanvas* canvas, const TRect& r) {
    if (bitmap_) canvas->StretchDraw(r, bitmap_.get());
}

// ---- PNG ----
TPngImage::TPngImage() = default;

void TPngImage::Assign(TPersistent* source) {
    if (auto* p = dynamic_cast<TPngImage*>(source)) {
        bitmap_.Assign(&p->bitmap_);
        alpha_ = p->alpha_;
        Changed();
        return;
    }
    if (auto* g = dynamic_cast<TGraphic*>(source)) {
        bitmap_.Assign(g);
        alpha_ = false;
        Changed();
        return;
    }
    TGraphic::Assign(source);
}

void TPngImage::LoadFromBytes(const BYTE* data, std::size_t size) {
    bool alpha = false;
    bitmap_.SetHandle(ReadPng(data, size, &alpha));
    bitmap_.SetPixelFormat(pf32bit);  // the same pixels, named for what they are
    alpha_ = alpha;
    Changed();
}

std::vector<BYTE> TPngImage::SaveToBytes() {
    if (Empty()) throw EInvalidGraphic("PNG image: the image is empty");
    return WritePng(bitmap_.Handle(), alpha_);
}

void TPngImage::Draw(TCanvas* canvas, const TRect& r) {
    if (alpha_) DrawBlended(canvas, &bitmap_, r, false);
    else canvas->StretchDraw(r, &bitmap_);
}

// ---- icon ----
TIcon::TIcon() { transparent_ = true; }

void TIcon::Assign(TPersistent* source) {
    if (auto* i = dynamic_cast<TIcon*>(source)) {
        bitmap_.Assign(&i->bitmap_);
        data_ = i->data_;
        hotSpot_ = i->hotSpot_;
        Changed();
        return;
    }
    TGraphic::Assign(source);
}

void TIcon::LoadFromBytes(const BYTE* data, std::size_t size) {
    POINT hot;
    bitmap_.SetHandle(ReadIcon(data, size, &hot));
    hotSpot_ = TPoint(hot.x, hot.y);
    data_.assign(data, data + size);
    Changed();
}

std::vector<BYTE> TIcon::SaveToBytes() {
    if (!data_.empty()) return data_;
    if (Empty()) throw EInvalidGraphic("Icon image is not valid: the icon is empty");
    return WriteIcon(bitmap_.Handle());
}

void TIcon::Draw(TCanvas* canvas, const TRect& r) { DrawBlended(canvas, &bitmap_, r, true); }

// ---- picture ----
TPicture::TPicture() = default;
TPicture::~TPicture() = default;

void TPicture::Changed(TObject*) {
    if (OnChange) OnChange(this);
}

void TPicture::Take(std::unique_ptr<TGraphic> g) {
    graphic_ = std::move(g);
    if (graphic_) graphic_->OnChange = [this](TObject* s) { Changed(s); };
    Changed(this);
}

namespace {
std::unique_ptr<TGraphic> SameKind(TGraphic* g) {
    if (dynamic_cast<TJPEGImage*>(g)) return std::make_unique<TJPEGImage>();
    if (dynamic_cast<TPngImage*>(g)) return std::make_unique<TPngImage>();
    if (dynamic_cast<TIcon*>(g)) return std::make_unique<TIcon>();
    return std::make_unique<TBitmap>();
}
}  // namespace

void TPicture::SetGraphic(TGraphic* g) {
    if (!g) {
        Take(nullptr);
        return;
    }
    if (g == graphic_.get()) return;
    auto copy = SameKind(g);
    copy->Assign(g);
    copy->SetTransparent(g->Transparent());
    Take(std::move(copy));
}

void TPicture::Assign(TPersistent* source) {
    if (!source) {
        Take(nullptr);
    } else if (auto* p = dynamic_cast<TPicture*>(source)) {
        SetGraphic(p->graphic_.get());
    } else if (auto* g = dynamic_cast<TGraphic*>(source)) {
        SetGraphic(g);
    } else {
        TPersistent::Assign(source);
    }
}

TBitmap* TPicture::Bitmap() {
    if (!dynamic_cast<TBitmap*>(graphic_.get())) Take(std::make_unique<TBitmap>());
    return static_cast<TBitmap*>(graphic_.get());
}

void TPicture::LoadFromFile(const std::string& path) {
    std::string ext = std::filesystem::path(path).extension().string();
    for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
    std::unique_ptr<TGraphic> g;
    if (ext == ".bmp") g = std::make_unique<TBitmap>();
    else if (ext == ".jpg" || ext == ".jpeg") g = std::make_unique<TJPEGImage>();
    else if (ext == ".png") g = std::make_unique<TPngImage>();
    else if (ext == ".ico") g = std::make_unique<TIcon>();
    else {
        // A missing file is reported as such whatever its name.
        ReadWholeFile(path);
        throw EInvalidGraphic("Unknown picture file extension (" + ext + ")");
    }
    g->LoadFromFile(path);
    Take(std::move(g));
}

void TPicture::SaveToFile(const std::string& path) {
    if (!graphic_) throw EInvalidGraphic("The picture is empty");
    graphic_->SaveToFile(path);
}

}  // namespace platform
