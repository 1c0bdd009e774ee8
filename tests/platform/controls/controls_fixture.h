#pragma once
// A form on the headless backend for the standard-control tests, with helpers that type,
// press and click as the display would, and an in-process clipboard of the test's own.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/backends/headless.h"
#include "platform/controls/forms.h"
#include "platform/controls/textclip.h"
#include "platform/core/clock.h"
#include "platform/windows/input.h"
#include "platform/windows/windows_test_support.h"

namespace platform::test {

class ControlsFixture : public ::testing::Test {
protected:
    void SetUp() override {
        UseHeadlessBackend();
        TTextClipboard clip;
        clip.Get = [this](bool primary) { return primary ? primary_ ? primary_() : std::string() : clipboard; };
        clip.Set = [this](const std::string& text) { clipboard = text; };
        clip.ClaimPrimary = [this](const void* owner, std::function<std::string()> text) {
            primaryOwner_ = owner;
            primary_ = std::move(text);
        };
        clip.ReleasePrimary = [this](const void* owner) {
            if (owner == primaryOwner_) {
                primaryOwner_ = nullptr;
                primary_ = nullptr;
            }
        };
        oldClip_ = SetTextClipboard(clip);
        Application->MessageBoxHandler = [](const std::string&, const std::string&, UINT) { return IDOK; };
        form = new TForm(nullptr);
        form->SetBorderStyle(bsNone);
        form->SetBounds(100, 100, 400, 300);
        form->SetColor(clWhite);
        form->AfterConstruction();
        form->Show();
        Pump();
    }
    void TearDown() override {
        delete form;
        Application->ProcessMessages();
        SetTextClipboard(oldClip_);
        Application->MessageBoxHandler = nullptr;
    }
    void Pump() { Application->ProcessMessages(); }
    HWND Top() { return form->Handle(); }
    int Beeps() { return static_cast<HeadlessBackend&>(Backend()).Beeps(); }
    // A key as the display sends it: down, the character it types (if any), up.
    void Key(WORD vk, unsigned ch = 0) {
        InputKey(vk, true);
        if (ch) InputChar(ch);
        InputKey(vk, false);
        Pump();
    }
    void Chord(WORD modifier, WORD vk) {
        InputKey(modifier, true);
        Key(vk);
        InputKey(modifier, false);
        Pump();
    }
    // Types UTF-8 text, one character event per code point.
    void Type(const std::string& text) {
        for (std::size_t i = 0; i < text.size();) {
            unsigned char c = static_cast<unsigned char>(text[i]);
            int len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
            unsigned cp = len == 1 ? c : len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
            for (int k = 1; k < len; ++k) cp = (cp << 6) | (static_cast<unsigned char>(text[i + std::size_t(k)]) & 0x3F);
            InputChar(cp);
            i += std::size_t(len);
        }
        Pump();
    }
    void MouseAt(HWND top, int x, int y, MouseButton b, bool down) {
        InputMouseMove(top, x, y);
        InputMouseButton(top, x, y, b, down);
        Pump();
    }
    void Click(int x, int y, MouseButton b = MouseButton::Left) {
        MouseAt(Top(), x, y, b, true);
        MouseAt(Top(), x, y, b, false);
    }

    TForm* form = nullptr;
    std::string clipboard;

private:
    TTextClipboard oldClip_;
    const void* primaryOwner_ = nullptr;
    std::function<std::string()> primary_;
};

// Saves a window's picture under the build tree's artifacts/ folder, for a look.
inline void Shot(HWND hwnd, const std::string& name) {
    const char* build = std::getenv("LUMACAST_BUILD_DIR");
    std::filesystem::path dir = std::filesystem::path(build ? build : ".") / "artifacts";
    std::filesystem::create_directories(dir);
    SaveWindowImage(hwnd, (dir / name).string());
}

// The rows of a window whose pixels (inside [x0, x1)) differ from the background colour.
inline std::vector<int> InkRows(HWND hwnd, int x0, int x1, int y0, int y1, COLORREF background) {
    std::vector<int> rows;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            if (GetWindowSurfacePixel(hwnd, x, y) != background) {
                rows.push_back(y);
                break;
            }
    return rows;
}

}  // namespace platform::test
