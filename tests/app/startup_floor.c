/* The floor of the program's start-up: a plain Xlib program that maps a window of the
 * main window's size, centred on the screen as the main window is, and puts the main
 * window's background picture into it. It links the display library alone.
 *
 * startup_floor PICTURE.bmp WIDTH HEIGHT
 *
 * When LUMACAST_PRESENTED_FD names a descriptor, the line "presented" is written to it once
 * the server has the picture (after XSync), as the program does for its first window. The
 * program then stays until it is ended. */
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static uint32_t Le32(const unsigned char* p) {
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

/* An uncompressed 24- or 32-bit BMP as 0x00RRGGBB rows of width * height, or NULL. */
static uint32_t* LoadBmp(const char* path, int width, int height) {
    FILE* f = fopen(path, "rb");
    if (!f) return NULL;
    unsigned char header[54];
    uint32_t* pixels = NULL;
    unsigned char* row = NULL;
    if (fread(header, 1, sizeof header, f) != sizeof header || header[0] != 'B' || header[1] != 'M') goto done;
    uint32_t offset = Le32(header + 10);
    int32_t w = (int32_t)Le32(header + 18), h = (int32_t)Le32(header + 22);
    int bits = header[28] | (header[29] << 8);
    uint32_t compression = Le32(header + 30);
    int topDown = h < 0;
    if (topDown) h = -h;
    if (w != width || h != height || (bits != 24 && bits != 32) || (compression != 0 && compression != 3)) goto done;
    size_t stride = ((size_t)w * (size_t)bits / 8 + 3) & ~(size_t)3;
    pixels = malloc((size_t)w * (size_t)h * 4);
    row = malloc(stride);
    if (!pixels || !row || fseek(f, (long)offset, SEEK_SET) != 0) goto fail;
    for (int y = 0; y < h; ++y) {
        if (fread(row, 1, stride, f) != stride) goto fail;
        uint32_t* out = pixels + (size_t)(topDown ? y : h - 1 - y) * (size_t)w;
        for (int x = 0; x < w; ++x) {
            const unsigned char* p = row + (size_t)x * (size_t)(bits / 8);
            out[x] = (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16);
        }
    }
    goto done;
fail:
    free(pixels);
    pixels = NULL;
done:
    free(row);
    fclose(f);
    return pixels;
}

int main(int argc, char** argv) {
    if (argc != 4) {
        fprintf(stderr, "usage: %s PICTURE.bmp WIDTH HEIGHT\n", argv[0]);
        return 2;
    }
    int width = atoi(argv[2]), height = atoi(argv[3]);
    Display* display = XOpenDisplay(NULL);
    if (!display) {
        fprintf(stderr, "cannot open the display\n");
        return 1;
    }
    uint32_t* pixels = LoadBmp(argv[1], width, height);
    if (!pixels) {
        fprintf(stderr, "cannot read %s as a %dx%d BMP\n", argv[1], width, height);
        return 1;
    }
    int screen = DefaultScreen(display);
    int x = (DisplayWidth(display, screen) - width) / 2, y = (DisplayHeight(display, screen) - height) / 2;
    Window window = XCreateSimpleWindow(display, RootWindow(display, screen), x, y, (unsigned)width,
                                        (unsigned)height, 0, 0, 0);
    XStoreName(display, window, "floor");
    XSelectInput(display, window, ExposureMask);
    XMapWindow(display, window);
    GC gc = XCreateGC(display, window, 0, NULL);
    XImage* image = XCreateImage(display, DefaultVisual(display, screen), (unsigned)DefaultDepth(display, screen),
                                 ZPixmap, 0, (char*)pixels, (unsigned)width, (unsigned)height, 32, width * 4);
    const char* fdText = getenv("LUMACAST_PRESENTED_FD");
    int presented = 0;
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type != Expose) continue;
        XPutImage(display, window, gc, image, 0, 0, 0, 0, (unsigned)width, (unsigned)height);
        XSync(display, False);
        if (!presented && fdText && *fdText) {
            presented = 1;
            static const char kLine[] = "presented\n";
            if (write(atoi(fdText), kLine, sizeof kLine - 1) < 0) return 1;
        }
    }
}
