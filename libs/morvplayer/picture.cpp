// Pictures: settings into the shared filter chain, sub-pictures, picture files.
#include "libs/morvplayer/picture.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <unistd.h>

extern "C" {
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

namespace morvplayer {

namespace {

struct FrameFree {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
using FramePtr = std::unique_ptr<AVFrame, FrameFree>;
struct PacketFree {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
using PacketPtr = std::unique_ptr<AVPacket, PacketFree>;
struct CodecFree {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
using CodecPtr = std::unique_ptr<AVCodecContext, CodecFree>;

std::string Lower(std::string s) {
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Converts a BGRA image into a new frame of the given pixel format.
FramePtr FromImage(const Image& img, AVPixelFormat format) {
    FramePtr f(av_frame_alloc());
    if (!f) return nullptr;
    f->format = format;
    f->width = img.width;
    f->height = img.height;
    if (av_frame_get_buffer(f.get(), 0) < 0) return nullptr;
    // The JPEG formats are full range; saying so keeps swscale from guessing.
    AVPixelFormat target = format == AV_PIX_FMT_YUVJ444P ? AV_PIX_FMT_YUV444P : format;
    SwsContext* sws = sws_getContext(img.width, img.height, AV_PIX_FMT_BGRA, img.width, img.height, target,
                                     SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr, nullptr, nullptr);
    if (!sws) return nullptr;
    if (target != format) {
        const int* coefs = sws_getCoefficients(SWS_CS_ITU601);
        sws_setColorspaceDetails(sws, coefs, 1, coefs, 1, 0, 1 << 16, 1 << 16);
    }
    const std::uint8_t* src[1] = {img.pixels.data()};
    int stride[1] = {img.width * 4};
    sws_scale(sws, src, stride, 0, img.height, f->data, f->linesize);
    sws_freeContext(sws);
    return f;
}

}  // namespace

morvconv::InputPlan PictureSettings::Plan(int sourceWidth, int sourceHeight) const {
    morvconv::InputPlan p;
    if (!editMode && cropLeft >= 0 && cropRight >= 0 && cropTop >= 0 && cropBottom >= 0 &&
        sourceWidth - cropLeft - cropRight >= 2 && sourceHeight - cropTop - cropBottom >= 2) {
        p.cropTop = cropTop, p.cropBottom = cropBottom, p.cropLeft = cropLeft, p.cropRight = cropRight;
    }
    p.aspect = aspect;
    p.brightness = brightness, p.contrast = contrast, p.saturation = saturation;
    p.verticalFlip = verticalFlip, p.horizontalFlip = horizontalFlip;
    p.effect = effect;
    return p;
}

void DisplaySize(int cw, int ch, AVRational sar, const std::string& aspect, int& width, int& height) {
    double a = sar.num > 0 && sar.den > 0 ? av_q2d(sar) : 1.0;
    double ratio = double(cw) * a / std::max(1, ch);
    if (aspect == "16:9") ratio = 16.0 / 9.0;
    else if (aspect == "4:3") ratio = 4.0 / 3.0;
    else if (aspect == "full") ratio = double(cw) / std::max(1, ch);
    height = std::max(2, ch / 2 * 2);
    width = std::max(2, int(std::lround(height * ratio / 2)) * 2);
}

Rect FitRect(int width, int height, int windowWidth, int windowHeight) {
    Rect r;
    if (width <= 0 || height <= 0 || windowWidth <= 0 || windowHeight <= 0) return r;
    double scale = std::min(double(windowWidth) / width, double(windowHeight) / height);
    r.width = std::clamp(int(std::lround(width * scale / 2)) * 2, 2, std::max(2, windowWidth));
    r.height = std::clamp(int(std::lround(height * scale / 2)) * 2, 2, std::max(2, windowHeight));
    r.width = std::min(r.width, windowWidth);
    r.height = std::min(r.height, windowHeight);
    r.x = (windowWidth - r.width) / 2;
    r.y = (windowHeight - r.height) / 2;
    return r;
}

FrameRenderer::~FrameRenderer() { Free(); }

void FrameRenderer::Free() {
    avfilter_graph_free(&graph_);
    src_ = sink_ = nullptr;
    key_.clear();
}

bool FrameRenderer::Render(const AVFrame* frame, AVRational timeBase, const morvconv::InputPlan& plan, int width,
                           int height, Image& out) {
    if (!frame || width < 2 || height < 2) return false;
    morvconv::PictureChain pc;
    pc.sourceWidth = frame->width;
    pc.sourceHeight = frame->height;
    pc.sourceAspect = frame->sample_aspect_ratio;
    pc.outWidth = width;
    pc.outHeight = height;
    pc.pixelFormat = "bgra";
    std::string chain = morvconv::VideoFilterChain(plan, pc);
    char args[256];
    std::snprintf(args, sizeof args, "video_size=%dx%d:pix_fmt=%d:time_base=%d/%d:pixel_aspect=%d/%d", frame->width,
                  frame->height, frame->format, std::max(1, timeBase.num), std::max(1, timeBase.den),
                  std::max(1, frame->sample_aspect_ratio.num), std::max(1, frame->sample_aspect_ratio.den));
    std::string key = std::string(args) + "|" + chain;
    if (key != key_ || !graph_) {
        Free();
        graph_ = avfilter_graph_alloc();
        if (!graph_) return false;
        graph_->nb_threads = 1;
        AVFilterInOut* outputs = avfilter_inout_alloc();
        AVFilterInOut* inputs = avfilter_inout_alloc();
        bool ok = outputs && inputs &&
                  avfilter_graph_create_filter(&src_, avfilter_get_by_name("buffer"), "in", args, nullptr, graph_) >= 0 &&
                  avfilter_graph_create_filter(&sink_, avfilter_get_by_name("buffersink"), "out", nullptr, nullptr,
                                               graph_) >= 0;
        if (ok) {
            outputs->name = av_strdup("in");
            outputs->filter_ctx = src_;
            inputs->name = av_strdup("out");
            inputs->filter_ctx = sink_;
            ok = avfilter_graph_parse_ptr(graph_, chain.c_str(), &inputs, &outputs, nullptr) >= 0 &&
                 avfilter_graph_config(graph_, nullptr) >= 0;
        }
        avfilter_inout_free(&outputs);
        avfilter_inout_free(&inputs);
        if (!ok) {
            Free();
            return false;
        }
        key_ = key;
    }
    FramePtr in(av_frame_clone(frame));
    if (!in || av_buffersrc_add_frame(src_, in.get()) < 0) {
        Free();
        return false;
    }
    FramePtr res(av_frame_alloc());
    if (!res || av_buffersink_get_frame(sink_, res.get()) < 0) {
        Free();  // a filter that holds frames back would hand this one later: start afresh
        return false;
    }
    out.Resize(res->width, res->height);
    for (int y = 0; y < res->height; ++y)
        std::memcpy(out.pixels.data() + std::size_t(y) * res->width * 4, res->data[0] + std::ptrdiff_t(y) * res->linesize[0],
                    std::size_t(res->width) * 4);
    return true;
}

void BurnSubtitle(const AVSubtitle& sub, const Rect& area, Image& pic) {
    if (area.width <= 0 || area.height <= 0 || pic.Empty()) return;
    for (unsigned i = 0; i < sub.num_rects; ++i) {
        const AVSubtitleRect* r = sub.rects[i];
        if (!r || r->type != SUBTITLE_BITMAP || !r->data[0] || !r->data[1] || r->w <= 0 || r->h <= 0) continue;
        const auto* palette = reinterpret_cast<const std::uint32_t*>(r->data[1]);
        int colors = std::max(1, r->nb_colors);
        // Each picture pixel takes the sub-picture pixel under its centre.
        int x0 = int(std::floor(double(r->x - area.x) * pic.width / area.width));
        int x1 = int(std::ceil(double(r->x + r->w - area.x) * pic.width / area.width));
        int y0 = int(std::floor(double(r->y - area.y) * pic.height / area.height));
        int y1 = int(std::ceil(double(r->y + r->h - area.y) * pic.height / area.height));
        for (int py = std::max(0, y0); py < std::min(pic.height, y1); ++py) {
            int sy = int(area.y + (py + 0.5) * area.height / pic.height) - r->y;
            if (sy < 0 || sy >= r->h) continue;
            for (int px = std::max(0, x0); px < std::min(pic.width, x1); ++px) {
                int sx = int(area.x + (px + 0.5) * area.width / pic.width) - r->x;
                if (sx < 0 || sx >= r->w) continue;
                std::uint32_t argb = palette[r->data[0][sy * r->linesize[0] + sx] % colors];
                unsigned a = argb >> 24;
                if (!a) continue;
                std::uint8_t* p = pic.pixels.data() + (std::size_t(py) * pic.width + px) * 4;
                for (int c = 0; c < 3; ++c) {
                    unsigned v = (argb >> (8 * c)) & 255;  // B, G, R
                    p[c] = std::uint8_t((p[c] * (255 - a) + v * a) / 255);
                }
            }
        }
    }
}

bool LoadPicture(const std::string& path, Image& out) {
    out = Image();
    if (path.empty() || access(path.c_str(), R_OK) != 0) return false;
    AVFormatContext* fmt = nullptr;
    AVDictionary* options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    int r = avformat_open_input(&fmt, path.c_str(), av_find_input_format("image2"), &options);
    av_dict_free(&options);
    if (r < 0) return false;
    bool ok = false;
    CodecPtr dec;
    PacketPtr pkt(av_packet_alloc());
    FramePtr frame(av_frame_alloc());
    do {
        if (avformat_find_stream_info(fmt, nullptr) < 0 || fmt->nb_streams < 1) break;
        const AVCodecParameters* par = fmt->streams[0]->codecpar;
        const AVCodec* codec = avcodec_find_decoder(par->codec_id);
        if (!codec || !pkt || !frame) break;
        dec.reset(avcodec_alloc_context3(codec));
        if (!dec || avcodec_parameters_to_context(dec.get(), par) < 0 || avcodec_open2(dec.get(), codec, nullptr) < 0)
            break;
        if (av_read_frame(fmt, pkt.get()) < 0) break;
        if (avcodec_send_packet(dec.get(), pkt.get()) < 0) break;
        avcodec_send_packet(dec.get(), nullptr);
        if (avcodec_receive_frame(dec.get(), frame.get()) < 0) break;
        if (frame->width <= 0 || frame->height <= 0 || frame->width > 16384 || frame->height > 16384) break;
        Image img;
        img.Resize(frame->width, frame->height);
        SwsContext* sws = sws_getContext(frame->width, frame->height, AVPixelFormat(frame->format), frame->width,
                                         frame->height, AV_PIX_FMT_BGRA, SWS_BICUBIC, nullptr, nullptr, nullptr);
        if (!sws) break;
        std::uint8_t* dst[1] = {img.pixels.data()};
        int stride[1] = {img.width * 4};
        sws_scale(sws, frame->data, frame->linesize, 0, frame->height, dst, stride);
        sws_freeContext(sws);
        out = std::move(img);
        ok = true;
    } while (false);
    avformat_close_input(&fmt);
    return ok;
}

void ScaleInto(const std::uint8_t* src, int sw, int sh, int stride, Image& dst, const Rect& r) {
    if (!src || sw <= 0 || sh <= 0 || r.width <= 0 || r.height <= 0 || r.x < 0 || r.y < 0 ||
        r.x + r.width > dst.width || r.y + r.height > dst.height)
        return;
    SwsContext* sws = sws_getContext(sw, sh, AV_PIX_FMT_BGRA, r.width, r.height, AV_PIX_FMT_BGRA, SWS_BILINEAR,
                                     nullptr, nullptr, nullptr);
    if (!sws) return;
    const std::uint8_t* s[1] = {src};
    int ss[1] = {stride};
    std::uint8_t* d[1] = {dst.pixels.data() + (std::size_t(r.y) * dst.width + r.x) * 4};
    int ds[1] = {dst.width * 4};
    sws_scale(sws, s, ss, 0, sh, d, ds);
    sws_freeContext(sws);
}

bool WritePicture(const Image& picture, const std::string& path) {
    if (picture.Empty()) return false;
    std::size_t dot = path.find_last_of('.');
    std::size_t slash = path.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return false;
    std::string ext = Lower(path.substr(dot));
    AVCodecID id;
    AVPixelFormat format;
    // JPEG keeps every pixel's colour (4:4:4): a snapshot is looked at closely.
    if (ext == ".jpg" || ext == ".jpeg") id = AV_CODEC_ID_MJPEG, format = AV_PIX_FMT_YUVJ444P;
    else if (ext == ".png") id = AV_CODEC_ID_PNG, format = AV_PIX_FMT_RGB24;
    else if (ext == ".bmp") id = AV_CODEC_ID_BMP, format = AV_PIX_FMT_BGR24;
    else return false;
    const AVCodec* codec = avcodec_find_encoder(id);
    if (!codec) return false;
    CodecPtr enc(avcodec_alloc_context3(codec));
    if (!enc) return false;
    enc->width = picture.width;
    enc->height = picture.height;
    enc->pix_fmt = format;
    enc->time_base = {1, 25};
    if (id == AV_CODEC_ID_MJPEG) {
        enc->flags |= AV_CODEC_FLAG_QSCALE;
        enc->global_quality = FF_QP2LAMBDA * 2;
        enc->color_range = AVCOL_RANGE_JPEG;
    }
    if (avcodec_open2(enc.get(), codec, nullptr) < 0) return false;
    FramePtr frame = FromImage(picture, format);
    PacketPtr pkt(av_packet_alloc());
    if (!frame || !pkt) return false;
    frame->quality = enc->global_quality;
    if (avcodec_send_frame(enc.get(), frame.get()) < 0 || avcodec_send_frame(enc.get(), nullptr) < 0 ||
        avcodec_receive_packet(enc.get(), pkt.get()) < 0)
        return false;
    // Through a temporary name, so that a reader never sees half a picture and a failure
    // leaves nothing behind.
    std::string temp = path + ".part";
    std::FILE* f = std::fopen(temp.c_str(), "wbe");
    if (!f) return false;
    bool ok = std::fwrite(pkt->data, 1, std::size_t(pkt->size), f) == std::size_t(pkt->size);
    ok = std::fclose(f) == 0 && ok;
    if (ok) ok = std::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) std::remove(temp.c_str());
    return ok;
}

}  // namespace morvplayer
