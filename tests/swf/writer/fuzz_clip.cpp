// Fuzz target: SWF files read as prebuilt clips and written into a movie.
#include "fixtures.h"
#include "fuzz_common.h"
#include "swf/internal/objects.h"
#include "swf/swf.h"

namespace {

using swffuzz::Bytes;

// A clip with shapes, a picture fill, a font and text, a sprite and a button, made by the
// writer itself, plain and zlib-compressed.
Bytes Seed(const swffuzz::Scratch& scratch) {
    SWFMovie m = newSWFMovieWithVersion(8);
    SWFShape s = newSWFShape();
    SWFFill f = SWFShape_addSolidFill(s, 1, 2, 3, 255);
    SWFShape_setLeftFill(s, f);
    SWFShape_setLine(s, 1, 0, 0, 0, 255);
    SWFShape_drawLine(s, 10, 0);
    SWFShape_drawCurve(s, 5, 5, -5, 5);
    SWFShape_drawLineTo(s, 0, 0);
    SWFFont font = newSWFFont_fromFile("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
    SWFText t = newSWFText();
    SWFText_setFont(t, font);
    SWFText_addString(t, "ab");
    SWFMovieClip clip = newSWFMovieClip();
    SWFMovieClip_add(clip, s);
    SWFMovieClip_nextFrame(clip);
    SWFButton b = newSWFButton();
    SWFButton_addCharacter(b, s, SWFBUTTON_UP | SWFBUTTON_HIT);
    SWFMovie_add(m, clip);
    SWFMovie_add(m, b);
    SWFMovie_add(m, t);
    SWFMovie_nextFrame(m);
    SWFMovie_save(m, scratch.File("seed.swf").c_str());
    for (SWFShape x : {s}) destroySWFShape(x);
    destroySWFFill(f);
    destroySWFText(t);
    destroySWFFont(font);
    destroySWFMovieClip(clip);
    destroySWFButton(b);
    destroySWFMovie(m);
    Bytes out;
    if (std::FILE* in = std::fopen(scratch.File("seed.swf").c_str(), "rb")) {
        int c;
        while ((c = std::fgetc(in)) != EOF) out.push_back(static_cast<std::uint8_t>(c));
        std::fclose(in);
    }
    return out;
}

void Import(const swffuzz::Scratch& scratch, const Bytes& swf) {
    SWFPrebuiltClip c = swf::detail::ReadPrebuiltClip(swf.data(), swf.size(), "fuzz");
    if (!c) return;
    SWFMovie m = newSWFMovieWithVersion(8);
    SWFMovie_add(m, c);
    SWFMovie_add(m, c);
    SWFMovie_save(m, scratch.File("out.swf").c_str());
    destroySWFMovie(m);
    destroySWFPrebuiltClip(c);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    static const swffuzz::Scratch scratch;
    static const Bytes seed = Seed(scratch);
    Import(scratch, Bytes(data, data + size));
    Bytes edited = swffuzz::Edited(seed, data, size);
    Import(scratch, size && (data[0] & 2) ? swftest::Packed(edited) : edited);
    return 0;
}
