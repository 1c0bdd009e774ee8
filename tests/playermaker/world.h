#pragma once
// A template folder and media for player builds, made at test time: stub script templates
// (enciphered with the library's cipher) that trace every call they receive, stub skin,
// effect and preloader clips, a fallback font, tiny FLV files and pictures.
#include <string>

#include "playermaker/morvbrindle.h"
#include "playermaker/test_util.h"

namespace pmtest {

class World {
public:
    // The shared world of this test program, made on first use; points the library's template
    // root at it.
    static World& Get();

    const std::string& root() const { return root_; }
    std::string Path(const std::string& name) const { return media_ + "/" + name; }
    // Writes a template folder (in this process's scratch folder) that lacks or breaks some parts.
    std::string MakeRoot(const std::string& name, bool withTemplates, bool withFont,
                         const std::string& playerTemplate) const;

    // The stub player template (defines every call the generated script makes).
    static std::string PlayerTemplate();

private:
    World();
    static void MakeMedia(const std::string& dir);
    TempDir scratch_;
    std::string media_;  // shared by the test programs of one build: made once, kept
    std::string root_;
};

// Runs a command through the shell; true when it exits with 0.
bool Run(const std::string& command);
// Runs a command and returns its standard output.
std::string Capture(const std::string& command);
std::string Quote(const std::string& path);

// A ready group: generate, player (320 x 240 at `rate`, skin "Stub_h40.swf") and one media
// record for `flv`; freed with the object.
struct Group {
    KbnUIGroupOption* g = nullptr;
    Group(const std::string& output, const std::string& flv, float rate = 10);
    ~Group() { freeKbnUIGroupOption(&g); }
    Group(const Group&) = delete;
    Group& operator=(const Group&) = delete;
    KbnUIPlayerOption& player() { return *g->player; }
    KbnUIInsertAdOption& AddCredit(bool head);
    // A decoration of `kind` in the box x, y, width, height.
    KbnUIOverlayADOption& AddOverlay(int kind, int x = 0, int y = 0, int width = 0, int height = 0);
    KbnUIMediaOption& AddMedia(const std::string& flv, const std::string& title);
};

template <std::size_t N>
void Set(char (&field)[N], const std::string& text) {
    std::snprintf(field, N, "%s", text.c_str());
}

}  // namespace pmtest
