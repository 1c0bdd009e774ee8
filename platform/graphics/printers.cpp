#include "platform/graphics/printers.h"

#include <cairo-ft.h>
#include <cairo-pdf.h>
#include <cairo.h>
#include <fcntl.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>

extern char** environ;

namespace platform {

struct TPrinterCanvas::Op {
    enum Kind { Line, Poly, Rect, Ellipse, RoundRect, Arc, Text, Image } kind = Line;
    std::vector<TPoint> pts;
    TRect r;
    int rx = 0, ry = 0;
    bool fill = false;
    COLORREF fillColor = 0;
    bool stroke = false;
    COLORREF strokeColor = 0;
    int strokeWidth = 1;
    bool dotted = false;  // a focus rectangle: one pixel on, one off
    bool clockwise = false;  // an arc's direction from pts[0] to pts[1]
    // Text: the font file the canvas's font resolves to, its em size and ascent in pixels.
    std::string text, fontFile;
    double em = 0, ascent = 0;
    COLORREF textColor = 0;
    // Image: rows of 0x00RRGGBB.
    int iw = 0, ih = 0;
    std::vector<std::uint32_t> pixels;
};

namespace {

std::atomic<int> gCommandTimeout{5000};

std::set<HDC>& PrinterDcs() {
    static auto* dcs = new std::set<HDC>;
    return *dcs;
}

// Runs a program (no shell) and collects what it writes to stdout and stderr; its exit
// status, or -1 when it could not be started or did not end within timeoutMs (it is killed
// then: a CUPS that does not answer must not hang the program).
int RunCapture(const std::vector<std::string>& args, std::string& output, int timeoutMs) {
    output.clear();
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return -1;
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
    pid_t pid = -1;
    int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc != 0) {
        close(fds[0]);
        output = std::strerror(rc);
        return -1;
    }
    char buffer[4096];
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    bool timedOut = false;
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0) {
            timedOut = true;
            break;
        }
        pollfd p{fds[0], POLLIN, 0};
        int r = poll(&p, 1, int(left));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) continue;
        ssize_t n = read(fds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        if (output.size() < (1u << 20)) output.append(buffer, std::size_t(n));
    }
    close(fds[0]);
    if (timedOut) kill(pid, SIGKILL);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (timedOut) {
        output = args[0] + " did not answer";
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}

std::string Trim(std::string s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.pop_back();
    std::size_t i = 0;
    while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
    return s.substr(i);
}

bool IsQueueName(const std::string& s) {
    if (s.empty() || s.size() > 127 || s[0] == '-') return false;
    for (unsigned char c : s)
        if (!(std::isalnum(c) || c == '_' || c == '-' || c == '.' || c == '@')) return false;
    return true;
}

// The queues `lpstat -a` lists ("queue accepting requests since ..."); lines of any other
// shape are ignored.
std::vector<std::string> CupsQueues() {
    std::string out;
    std::vector<std::string> queues;
    if (RunCapture({"lpstat", "-a"}, out, gCommandTimeout) != 0) return queues;
    std::size_t at = 0;
    while (at < out.size()) {
        std::size_t end = out.find('\n', at);
        if (end == std::string::npos) end = out.size();
        std::string line = out.substr(at, end - at);
        at = end + 1;
        std::size_t space = line.find(' ');
        if (space == std::string::npos || line.find("accepting", space) == std::string::npos) continue;
        std::string name = line.substr(0, space);
        if (IsQueueName(name) && std::find(queues.begin(), queues.end(), name) == queues.end()) queues.push_back(name);
    }
    return queues;
}

COLORREF Rgb(TColor c) { return ColorToRGB(c); }

void SetColor(cairo_t* cr, COLORREF c) {
    cairo_set_source_rgb(cr, GetRValue(c) / 255.0, GetGValue(c) / 255.0, GetBValue(c) / 255.0);
}

FT_Library FreeType() {
    static FT_Library library = [] {
        FT_Library l = nullptr;
        FT_Init_FreeType(&l);
        return l;
    }();
    return library;
}

const cairo_user_data_key_t kFaceKey{};

// A cairo face over FreeType's face of the file; the FreeType face lives as long as cairo
// keeps the font.
cairo_font_face_t* FaceOf(const std::string& file, std::map<std::string, cairo_font_face_t*>& cache) {
    auto it = cache.find(file);
    if (it != cache.end()) return it->second;
    FT_Face ft = nullptr;
    cairo_font_face_t* face = nullptr;
    if (!file.empty() && FreeType() && FT_New_Face(FreeType(), file.c_str(), 0, &ft) == 0) {
        face = cairo_ft_font_face_create_for_ft_face(ft, 0);
        if (cairo_font_face_set_user_data(face, &kFaceKey, ft, [](void* p) { FT_Done_Face(static_cast<FT_Face>(p)); }) !=
            CAIRO_STATUS_SUCCESS) {
            cairo_font_face_destroy(face);
            FT_Done_Face(ft);
            face = nullptr;
        }
    }
    cache[file] = face;
    return face;
}

void FillAndStroke(cairo_t* cr, const TPrinterCanvas::Op& op, const std::function<void(double inset)>& path) {
    if (op.fill) {
        path(0);
        SetColor(cr, op.fillColor);
        cairo_fill(cr);
    }
    if (op.stroke) {
        path(op.strokeWidth / 2.0);
        SetColor(cr, op.strokeColor);
        cairo_set_line_width(cr, op.strokeWidth);
        const double dots[] = {1.0, 1.0};
        cairo_set_dash(cr, dots, op.dotted ? 2 : 0, 0);
        cairo_stroke(cr);
        cairo_set_dash(cr, nullptr, 0, 0);
    }
}

void Replay(cairo_t* cr, const TPrinterCanvas::Op& op, std::map<std::string, cairo_font_face_t*>& faces) {
    using Op = TPrinterCanvas::Op;
    cairo_new_path(cr);
    switch (op.kind) {
        case Op::Line:
        case Op::Poly:
            FillAndStroke(cr, op, [&](double) {
                for (std::size_t i = 0; i < op.pts.size(); ++i) {
                    double x = op.pts[i].x + 0.5, y = op.pts[i].y + 0.5;
                    if (i == 0)
                        cairo_move_to(cr, x, y);
                    else
                        cairo_line_to(cr, x, y);
                }
                if (op.kind == Op::Poly) cairo_close_path(cr);
            });
            break;
        case Op::Rect:
            FillAndStroke(cr, op, [&](double inset) {
                cairo_rectangle(cr, op.r.left + inset, op.r.top + inset, op.r.Width() - 2 * inset, op.r.Height() - 2 * inset);
            });
            break;
        case Op::Ellipse:
            FillAndStroke(cr, op, [&](double inset) {
                double w = op.r.Width() / 2.0 - inset, h = op.r.Height() / 2.0 - inset;
                if (w <= 0 || h <= 0) return;
                cairo_save(cr);
                cairo_translate(cr, op.r.left + op.r.Width() / 2.0, op.r.top + op.r.Height() / 2.0);
                cairo_scale(cr, w, h);
                cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
                cairo_restore(cr);
            });
            break;
        case Op::RoundRect:
            FillAndStroke(cr, op, [&](double inset) {
                double l = op.r.left + inset, t = op.r.top + inset, r = op.r.right - inset, b = op.r.bottom - inset;
                double rx = std::min(op.rx / 2.0, (r - l) / 2), ry = std::min(op.ry / 2.0, (b - t) / 2);
                if (rx <= 0 || ry <= 0) {
                    cairo_rectangle(cr, l, t, r - l, b - t);
                    return;
                }
                auto corner = [&](double cx, double cy, double a0) {
                    cairo_save(cr);
                    cairo_translate(cr, cx, cy);
                    cairo_scale(cr, rx, ry);
                    cairo_arc(cr, 0, 0, 1, a0, a0 + M_PI / 2);
                    cairo_restore(cr);
                };
                cairo_new_sub_path(cr);
                corner(r - rx, t + ry, -M_PI / 2);
                corner(r - rx, b - ry, 0);
                corner(l + rx, b - ry, M_PI / 2);
                corner(l + rx, t + ry, M_PI);
                cairo_close_path(cr);
            });
            break;
        case Op::Arc:
            FillAndStroke(cr, op, [&](double inset) {
                double cx = op.r.left + op.r.Width() / 2.0, cy = op.r.top + op.r.Height() / 2.0;
                double rx = op.r.Width() / 2.0 - inset, ry = op.r.Height() / 2.0 - inset;
                if (rx <= 0 || ry <= 0) return;
                // Each radial meets the ellipse at this parameter; equal radials are the whole
                // ellipse. Counter-clockwise on the page is the negative direction in cairo's
                // downward y.
                double a0 = std::atan2((op.pts[0].y - cy) / ry, (op.pts[0].x - cx) / rx);
                double a1 = std::atan2((op.pts[1].y - cy) / ry, (op.pts[1].x - cx) / rx);
                if (a0 == a1) a1 = a0 + (op.clockwise ? 2 * M_PI : -2 * M_PI);
                cairo_save(cr);
                cairo_translate(cr, cx, cy);
                cairo_scale(cr, rx, ry);
                if (op.clockwise)
                    cairo_arc(cr, 0, 0, 1, a0, a1);
                else
                    cairo_arc_negative(cr, 0, 0, 1, a0, a1);
                cairo_restore(cr);
            });
            break;
        case Op::Text: {
            if (op.fill) {
                SetColor(cr, op.fillColor);
                cairo_rectangle(cr, op.r.left, op.r.top, op.r.Width(), op.r.Height());
                cairo_fill(cr);
            }
            cairo_font_face_t* face = FaceOf(op.fontFile, faces);
            if (!face) break;
            cairo_save(cr);
            if (op.stroke) {  // clipped text
                cairo_rectangle(cr, op.r.left, op.r.top, op.r.Width(), op.r.Height());
                cairo_clip(cr);
            }
            cairo_set_font_face(cr, face);
            cairo_set_font_size(cr, op.em);
            SetColor(cr, op.textColor);
            cairo_move_to(cr, op.pts[0].x, op.pts[0].y + op.ascent);
            cairo_show_text(cr, op.text.c_str());
            cairo_restore(cr);
            break;
        }
        case Op::Image: {
            if (op.iw <= 0 || op.ih <= 0 || op.r.IsEmpty()) break;
            cairo_surface_t* image = cairo_image_surface_create_for_data(
                reinterpret_cast<unsigned char*>(const_cast<std::uint32_t*>(op.pixels.data())), CAIRO_FORMAT_RGB24, op.iw,
                op.ih, op.iw * 4);
            cairo_save(cr);
            cairo_translate(cr, op.r.left, op.r.top);
            cairo_scale(cr, double(op.r.Width()) / op.iw, double(op.r.Height()) / op.ih);
            cairo_set_source_surface(cr, image, 0, 0);
            cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
            cairo_paint(cr);
            cairo_restore(cr);
            cairo_surface_destroy(image);
            break;
        }
    }
}

std::atomic<int> gTempCounter{0};

std::string TempNameBeside(const std::string& path) {
    std::size_t slash = path.rfind('/');
    std::string dir = slash == std::string::npos ? "." : path.substr(0, slash);
    std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    return dir + "/." + base + ".tmp-" + std::to_string(getpid()) + "-" + std::to_string(++gTempCounter);
}

}  // namespace

// ---- GetDeviceCaps ----------------------------------------------------------------------

int GetDeviceCaps(HDC dc, int index) {
    bool printer = dc && PrinterDcs().count(dc);
    int dpi = printer ? TPrinter::kDpi : 96;
    int w = printer ? TPrinter::kWidth : GetSystemMetrics(SM_CXSCREEN);
    int h = printer ? TPrinter::kHeight : GetSystemMetrics(SM_CYSCREEN);
    switch (index) {
        case TECHNOLOGY: return printer ? DT_RASPRINTER : DT_RASDISPLAY;
        case HORZSIZE: return printer ? 210 : int(std::lround(w * 25.4 / dpi));
        case VERTSIZE: return printer ? 297 : int(std::lround(h * 25.4 / dpi));
        case HORZRES:
        case PHYSICALWIDTH: return w;
        case VERTRES:
        case PHYSICALHEIGHT: return h;
        case PHYSICALOFFSETX:
        case PHYSICALOFFSETY: return 0;
        case BITSPIXEL: return 32;
        case PLANES: return 1;
        case NUMCOLORS: return -1;
        case LOGPIXELSX:
        case LOGPIXELSY: return dpi;
        default: return 0;
    }
}

// ---- The page canvas --------------------------------------------------------------------

TPrinterCanvas::TPrinterCanvas() = default;
TPrinterCanvas::~TPrinterCanvas() = default;

void TPrinterCanvas::Record(Op op) {
    if (!page_) throw EPrinter("Printer is not currently printing");
    page_->push_back(std::move(op));
}

namespace {
// The pen and brush of a shape: a clear brush fills nothing, a clear pen draws nothing.
void Style(TPrinterCanvas& c, TPrinterCanvas::Op& op, bool fill) {
    op.fill = fill && c.Brush()->Style() != bsClear;
    op.fillColor = Rgb(c.Brush()->Color());
    op.stroke = c.Pen()->Style() != psClear;
    op.strokeColor = Rgb(c.Pen()->Color());
    op.strokeWidth = std::max(1, c.Pen()->Width());
}
}  // namespace

// The pen position lives in the DC, so that SetPenPos and MoveTo agree.
void TPrinterCanvas::MoveTo(int x, int y) { TCanvas::MoveTo(x, y); }

void TPrinterCanvas::LineTo(int x, int y) {
    Op op;
    op.kind = Op::Line;
    Style(*this, op, false);
    op.pts = {PenPos(), TPoint(x, y)};
    Record(std::move(op));
    MoveTo(x, y);
}

void TPrinterCanvas::Rectangle(int x1, int y1, int x2, int y2) {
    Op op;
    op.kind = Op::Rect;
    Style(*this, op, true);
    op.r = TRect(x1, y1, x2, y2);
    Record(std::move(op));
}

void TPrinterCanvas::RoundRect(int x1, int y1, int x2, int y2, int x3, int y3) {
    Op op;
    op.kind = Op::RoundRect;
    Style(*this, op, true);
    op.r = TRect(x1, y1, x2, y2);
    op.rx = x3;
    op.ry = y3;
    Record(std::move(op));
}

void TPrinterCanvas::Ellipse(int x1, int y1, int x2, int y2) {
    Op op;
    op.kind = Op::Ellipse;
    Style(*this, op, true);
    op.r = TRect(x1, y1, x2, y2);
    Record(std::move(op));
}

void TPrinterCanvas::Arc(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) {
    Op op;
    op.kind = Op::Arc;
    Style(*this, op, false);
    op.r = TRect(x1, y1, x2, y2);
    op.pts = {TPoint(x3, y3), TPoint(x4, y4)};
    // The DC's direction, read by setting it back at once.
    HDC dc = Handle();
    int direction = SetArcDirection(dc, AD_COUNTERCLOCKWISE);
    SetArcDirection(dc, direction);
    op.clockwise = direction == AD_CLOCKWISE;
    Record(std::move(op));
}

void TPrinterCanvas::Polygon(const std::vector<TPoint>& points) {
    Op op;
    op.kind = Op::Poly;
    Style(*this, op, true);
    op.pts = points;
    Record(std::move(op));
}

void TPrinterCanvas::Polyline(const std::vector<TPoint>& points) {
    Op op;
    op.kind = Op::Line;
    Style(*this, op, false);
    op.pts = points;
    Record(std::move(op));
}

void TPrinterCanvas::FillRect(const TRect& r) {
    Op op;
    op.kind = Op::Rect;
    Style(*this, op, true);
    op.fill = true;
    op.stroke = false;
    op.r = r;
    Record(std::move(op));
}

void TPrinterCanvas::FrameRect(const TRect& r) {
    Op op;
    op.kind = Op::Rect;
    op.stroke = true;
    op.strokeColor = Rgb(Brush()->Color());
    op.r = r;
    Record(std::move(op));
}

void TPrinterCanvas::DrawFocusRect(const TRect& r) {
    // Paper cannot invert: the dotted frame in black.
    Op op;
    op.kind = Op::Rect;
    op.stroke = true;
    op.dotted = true;
    op.strokeColor = 0;
    op.r = r;
    Record(std::move(op));
}

void TPrinterCanvas::Draw(int x, int y, TGraphic* graphic) {
    if (!graphic || graphic->Empty()) return;
    StretchDraw(TRect(x, y, x + graphic->Width(), y + graphic->Height()), graphic);
}

void TPrinterCanvas::StretchDraw(const TRect& r, TGraphic* graphic) {
    if (!graphic || graphic->Empty()) return;
    // The picture at its own size, as 32-bit rows.
    TBitmap copy(graphic->Width(), graphic->Height());
    copy.SetPixelFormat(pf32bit);
    copy.Canvas()->Brush()->SetColor(clWhite);
    copy.Canvas()->FillRect(TRect(0, 0, copy.Width(), copy.Height()));
    copy.Canvas()->Draw(0, 0, graphic);
    RecordImage(r, copy);
}

void TPrinterCanvas::RecordImage(const TRect& r, TBitmap& picture) {
    Op op;
    op.kind = Op::Image;
    op.r = r;
    op.iw = picture.Width();
    op.ih = picture.Height();
    op.pixels.resize(std::size_t(op.iw) * std::size_t(op.ih));
    for (int y = 0; y < op.ih; ++y) {
        auto* row = static_cast<const std::uint32_t*>(picture.ScanLine(y));
        for (int x = 0; x < op.iw; ++x) op.pixels[std::size_t(y) * std::size_t(op.iw) + std::size_t(x)] = row[x] & 0xFFFFFF;
    }
    Record(std::move(op));
}

void TPrinterCanvas::CopyRect(const TRect& dest, TCanvas* source, const TRect& src) {
    if (!source || src.Width() == 0 || src.Height() == 0) return;
    // The source's pixels at their own size (mirrored as a negative size asks), printed into dest.
    int w = std::abs(src.Width()), h = std::abs(src.Height());
    TBitmap copy(w, h);
    copy.SetPixelFormat(pf32bit);
    StretchBlt(copy.Canvas()->Handle(), 0, 0, w, h, source->Handle(), src.left, src.top, src.Width(), src.Height(),
               SRCCOPY);
    RecordImage(dest, copy);
}

void TPrinterCanvas::TextOut(int x, int y, const std::string& text) {
    HDC dc = Handle();  // with the canvas's font selected
    TEXTMETRIC tm;
    GetTextMetrics(dc, &tm);
    TSize size = TextExtent(text);
    Op op;
    op.kind = Op::Text;
    op.text = text;
    op.fontFile = GetFontFile(Font()->Handle());
    op.em = tm.tmHeight - tm.tmInternalLeading;
    op.ascent = tm.tmAscent;
    op.textColor = Rgb(Font()->Color());
    op.pts = {TPoint(x, y)};
    op.fill = Brush()->Style() != bsClear;
    op.fillColor = Rgb(Brush()->Color());
    op.r = TRect(x, y, x + size.cx, y + size.cy);
    Record(std::move(op));
    MoveTo(x + size.cx, y);
}

void TPrinterCanvas::TextRect(const TRect& r, int x, int y, const std::string& text) {
    HDC dc = Handle();
    TEXTMETRIC tm;
    GetTextMetrics(dc, &tm);
    Op op;
    op.kind = Op::Text;
    op.text = text;
    op.fontFile = GetFontFile(Font()->Handle());
    op.em = tm.tmHeight - tm.tmInternalLeading;
    op.ascent = tm.tmAscent;
    op.textColor = Rgb(Font()->Color());
    op.pts = {TPoint(x, y)};
    op.fill = Brush()->Style() != bsClear;
    op.fillColor = Rgb(Brush()->Color());
    op.stroke = true;  // clipped to r
    op.r = r;
    Record(std::move(op));
}

// ---- TPrinter ---------------------------------------------------------------------------

TPrinter::TPrinter() { Refresh(); }

TPrinter::~TPrinter() {
    if (printing_) Abort();
    canvas_.reset();
    if (dc_) {
        PrinterDcs().erase(dc_);
        SelectObject(dc_, oldBitmap_);
        DeleteDC(dc_);
    }
    if (raster_) DeleteObject(raster_);
}

void TPrinter::SetCommandTimeout(int milliseconds) { gCommandTimeout = std::max(1, milliseconds); }

void TPrinter::Refresh() {
    if (printing_) throw EPrinter("Printing in progress");
    std::string current = index_ < int(printers_.size()) ? printers_[std::size_t(index_)] : "";
    printers_ = {"PDF"};
    for (std::string& q : CupsQueues()) printers_.push_back(std::move(q));
    index_ = 0;
    for (std::size_t i = 0; i < printers_.size(); ++i)
        if (printers_[i] == current) index_ = int(i);
}

void TPrinter::SetPrinterIndex(int index) {
    if (printing_) throw EPrinter("Printing in progress");
    if (index < 0 || index >= int(printers_.size())) throw EPrinter("Printer selected is not valid");
    index_ = index;
}

HDC TPrinter::Handle() {
    if (!dc_) {
        dc_ = CreateCompatibleDC(nullptr);
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = kWidth;
        info.bmiHeader.biHeight = -kHeight;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        raster_ = CreateDIBSection(nullptr, &info, 0, &bits, nullptr, 0);
        if (!raster_) throw EPrinter("Not enough memory for a printer page");
        oldBitmap_ = SelectObject(dc_, raster_);
        PrinterDcs().insert(dc_);
    }
    return dc_;
}

TPrinterCanvas* TPrinter::Canvas() {
    if (!canvas_) {
        canvas_ = std::make_unique<TPrinterCanvas>();
        canvas_->Font()->SetPixelsPerInch(kDpi);
        canvas_->Font()->SetSize(10);
        canvas_->SetHandle(Handle());
    }
    return canvas_.get();
}

void TPrinter::BeginDoc() {
    if (printing_) throw EPrinter("Printing in progress");
    if (index_ == 0) {
        // The PDF's folder must take a file now, not after the whole document was drawn.
        if (fileName_.empty()) throw EPrinter("No file name for the PDF printer");
        std::string probe = TempNameBeside(fileName_);
        int fd = open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0) throw EPrinter("Cannot write '" + fileName_ + "': " + std::strerror(errno));
        close(fd);
        unlink(probe.c_str());
    }
    Canvas();
    pages_.clear();
    printing_ = true;
    aborted_ = false;
    StartPage();
}

void TPrinter::StartPage() {
    pages_.emplace_back();
    // The raster starts white; what lands in it is printed as an image.
    BITMAP bm{};
    GetObject(raster_, sizeof bm, &bm);
    std::memset(bm.bmBits, 0xFF, std::size_t(bm.bmWidthBytes) * std::size_t(bm.bmHeight));
    canvas_->page_ = &pages_.back();
}

void TPrinter::EndPage() {
    canvas_->page_ = nullptr;
    BITMAP bm{};
    GetObject(raster_, sizeof bm, &bm);
    auto* bits = static_cast<const std::uint32_t*>(bm.bmBits);
    int stride = bm.bmWidthBytes / 4;
    int left = kWidth, top = kHeight, right = -1, bottom = -1;
    for (int y = 0; y < kHeight; ++y) {
        const std::uint32_t* row = bits + std::size_t(y) * std::size_t(stride);
        for (int x = 0; x < kWidth; ++x)
            if ((row[x] & 0xFFFFFF) != 0xFFFFFF) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    }
    if (right < 0) return;
    TPrinterCanvas::Op op;
    op.kind = TPrinterCanvas::Op::Image;
    op.r = TRect(left, top, right + 1, bottom + 1);
    op.iw = right + 1 - left;
    op.ih = bottom + 1 - top;
    op.pixels.resize(std::size_t(op.iw) * std::size_t(op.ih));
    for (int y = 0; y < op.ih; ++y)
        std::memcpy(&op.pixels[std::size_t(y) * std::size_t(op.iw)], bits + std::size_t(top + y) * std::size_t(stride) + std::size_t(left),
                    std::size_t(op.iw) * 4);
    pages_.back().insert(pages_.back().begin(), std::move(op));
}

void TPrinter::NewPage() {
    if (!printing_) throw EPrinter("Printer is not currently printing");
    EndPage();
    StartPage();
}

void TPrinter::Abort() {
    if (!printing_) return;
    canvas_->page_ = nullptr;
    pages_.clear();
    printing_ = false;
    aborted_ = true;
}

void TPrinter::WritePdf(const std::string& path) {
    const double pt = 72.0 / kDpi;
    cairo_surface_t* surface = cairo_pdf_surface_create(path.c_str(), kWidth * pt, kHeight * pt);
    std::map<std::string, cairo_font_face_t*> faces;
    if (!title_.empty()) cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_TITLE, title_.c_str());
    cairo_t* cr = cairo_create(surface);
    for (const auto& page : pages_) {
        cairo_save(cr);
        cairo_scale(cr, pt, pt);
        for (const auto& op : page) Replay(cr, op, faces);
        cairo_restore(cr);
        cairo_show_page(cr);
    }
    cairo_status_t status = cairo_status(cr);
    cairo_destroy(cr);
    for (auto& [file, face] : faces)
        if (face) cairo_font_face_destroy(face);
    cairo_surface_finish(surface);
    if (status == CAIRO_STATUS_SUCCESS) status = cairo_surface_status(surface);
    cairo_surface_destroy(surface);
    if (status != CAIRO_STATUS_SUCCESS) {
        unlink(path.c_str());
        throw EPrinter(std::string("Cannot write the PDF: ") + cairo_status_to_string(status));
    }
}

void TPrinter::EndDoc() {
    if (!printing_) throw EPrinter("Printer is not currently printing");
    EndPage();
    printing_ = false;
    struct Clear {
        std::vector<std::vector<TPrinterCanvas::Op>>& pages;
        ~Clear() { pages.clear(); }
    } clear{pages_};
    if (index_ == 0) {
        std::string temp = TempNameBeside(fileName_);
        WritePdf(temp);
        if (rename(temp.c_str(), fileName_.c_str()) != 0) {
            int e = errno;
            unlink(temp.c_str());
            throw EPrinter("Cannot write '" + fileName_ + "': " + std::strerror(e));
        }
        return;
    }
    // A queue: the PDF goes to lp, which keeps its own copy.
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/lumacast-print-XXXXXX.pdf";
    int fd = mkostemps(pattern.data(), 4, O_CLOEXEC);
    if (fd < 0) throw EPrinter(std::string("Cannot make a print file: ") + std::strerror(errno));
    close(fd);
    std::string output;
    int rc;
    try {
        WritePdf(pattern);
        std::string title = title_.empty() ? "lumacast" : title_;
        rc = RunCapture({"lp", "-d", printers_[std::size_t(index_)], "-n", std::to_string(copies_), "-t", title, pattern},
                        output, 12 * gCommandTimeout);
    } catch (...) {
        unlink(pattern.c_str());
        throw;
    }
    unlink(pattern.c_str());
    if (rc != 0) {
        std::string message = Trim(output);
        if (message.empty()) message = rc < 0 ? "lp could not be started" : "lp failed with status " + std::to_string(rc);
        throw EPrinter("Printing to " + printers_[std::size_t(index_)] + " failed: " + message);
    }
}

namespace {
std::unique_ptr<TPrinter>& PrinterSlot() {
    static auto* slot = new std::unique_ptr<TPrinter>;
    return *slot;
}
}  // namespace

TPrinter* Printer() {
    auto& slot = PrinterSlot();
    if (!slot) slot = std::make_unique<TPrinter>();
    return slot.get();
}

std::unique_ptr<TPrinter> SetPrinter(std::unique_ptr<TPrinter> printer) {
    std::swap(printer, PrinterSlot());
    return printer;
}

}  // namespace platform
