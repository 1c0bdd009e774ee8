// The picture of one input as a libavfilter chain.
#include <cmath>
#include <cstdio>

#include "libs/morvconverter/internal.h"

namespace morvconv {

namespace {

int Even(double v) { return std::max(2, int(std::lround(v / 2)) * 2); }

std::string Format(const char* fmt, auto... args) {
    char buf[256];
    std::snprintf(buf, sizeof buf, fmt, args...);
    return buf;
}

}  // namespace

std::string VideoFilterChain(const InputPlan& in, const PictureChain& pc) {
    std::string chain;
    auto add = [&chain](const std::string& f) {
        if (!chain.empty()) chain += ',';
        chain += f;
    };
    int cw = pc.sourceWidth - in.cropLeft - in.cropRight;
    int ch = pc.sourceHeight - in.cropTop - in.cropBottom;
    if (in.cropLeft || in.cropRight || in.cropTop || in.cropBottom)
        add(Format("crop=%d:%d:%d:%d", cw, ch, in.cropLeft, in.cropTop));

    // Fit the picture into the output frame at the asked display aspect; what is left
    // over becomes black bars.
    double sar = pc.sourceAspect.num > 0 && pc.sourceAspect.den > 0 ? av_q2d(pc.sourceAspect) : 1.0;
    double frame = double(pc.outWidth) / pc.outHeight;
    double aspect = double(cw) * sar / ch;
    if (in.aspect == "16:9") aspect = 16.0 / 9.0;
    else if (in.aspect == "4:3") aspect = 4.0 / 3.0;
    else if (in.aspect == "full") aspect = frame;
    int sw = pc.outWidth, sh = pc.outHeight;
    if (std::fabs(aspect - frame) > 0.01) {
        if (aspect > frame) sh = std::min(pc.outHeight, Even(pc.outWidth / aspect));
        else sw = std::min(pc.outWidth, Even(pc.outHeight * aspect));
    }
    if (sw != cw || sh != ch) add(Format("scale=%d:%d:flags=bicubic", sw, sh));
    add("setsar=1");

    if (in.brightness || in.contrast || in.saturation)
        add(Format("eq=brightness=%.3f:contrast=%.3f:saturation=%.3f", in.brightness / 200.0,
                   1.0 + in.contrast / 100.0, 1.0 + in.saturation / 100.0));
    switch (in.effect) {
        case 1: add("hue=s=0"); break;
        case 2: add("hue=s=0,convolution=0m='-1 -1 0 -1 0 1 0 1 1':0bias=128"); break;
        case 3:
            add("colorchannelmixer=.393:.769:.189:0:.349:.686:.168:0:.272:.534:.131,"
                "noise=alls=14:allf=t,vignette=PI/5");
            break;
        default: break;
    }
    if (in.horizontalFlip) add("hflip");
    if (in.verticalFlip) add("vflip");
    if (sw != pc.outWidth || sh != pc.outHeight)
        add(Format("pad=%d:%d:%d:%d:black", pc.outWidth, pc.outHeight, (pc.outWidth - sw) / 2 / 2 * 2,
                   (pc.outHeight - sh) / 2 / 2 * 2));
    if (pc.frameRate.num > 0) add(Format("fps=%d/%d:start_time=0", pc.frameRate.num, pc.frameRate.den));
    if (!pc.pixelFormat.empty()) add("format=" + pc.pixelFormat);
    return chain;
}

}  // namespace morvconv
