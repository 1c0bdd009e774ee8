// Drag and drop inside the program, headless: the modal loop follows injected input and
// tells the registered targets what hovers over them.
#include "platform/windows/dragdrop.h"

#include <gtest/gtest.h>

#include "platform/controls/forms.h"
#include "platform/windows/backend.h"
#include "platform/windows/input.h"
#include "platform/windows/messages.h"
#include "platform/windows/window.h"

namespace platform {
namespace {

struct RecordingTarget : TInterfacedObject, IDropTarget {
    std::vector<std::string> calls;
    DWORD answer = DROPEFFECT_COPY;  // what it takes (masked by what is allowed)
    std::string dropped;
    DWORD lastKeys = 0;
    HRESULT DragEnter(IDataObject* data, DWORD keys, POINTL pt, DWORD* effect) override {
        calls.push_back("enter " + std::to_string(pt.x) + "," + std::to_string(pt.y));
        lastKeys = keys;
        *effect &= answer;
        return data ? S_OK : E_INVALIDARG;
    }
    HRESULT DragOver(DWORD keys, POINTL pt, DWORD* effect) override {
        calls.push_back("over " + std::to_string(pt.x) + "," + std::to_string(pt.y));
        lastKeys = keys;
        *effect &= (keys & MK_CONTROL) ? DROPEFFECT_COPY : answer;
        return S_OK;
    }
    HRESULT DragLeave() override {
        calls.push_back("leave");
        return S_OK;
    }
    HRESULT Drop(IDataObject* data, DWORD keys, POINTL pt, DWORD* effect) override {
        calls.push_back("drop " + std::to_string(pt.x) + "," + std::to_string(pt.y));
        lastKeys = keys;
        std::vector<std::uint8_t> bytes;
        FORMATETC f;
        f.cfFormat = CF_UNICODETEXT;
        STGMEDIUM m;
        if (data->GetData(&f, &m) == S_OK) {
            dropped = UnicodeTextToUtf8(static_cast<std::uint8_t*>(GlobalLock(m.hGlobal)), GlobalSize(m.hGlobal));
            ReleaseStgMedium(&m);
        }
        *effect &= (keys & MK_CONTROL) ? DROPEFFECT_COPY : answer;
        return S_OK;
    }
};

class DragDropTest : public ::testing::Test {
protected:
    void SetUp() override {
        static bool once = (SetBackend(CreateHeadlessBackend(1024, 768)), true);
        (void)once;
        source = MakeForm(0, 0);
        target = MakeForm(400, 0);
        sink = new RecordingTarget;
        sinkRef = sink;
        ASSERT_EQ(RegisterDragDrop(target->Handle(), sink), S_OK);
        data = new TMemoryDataObject;
        data->Put(CF_UNICODETEXT, Utf8ToUnicodeText("dragged \xE2\x9C\x93"));
        // The left button goes down on the source, as a drag starts.
        InputMouseMove(source->Handle(), 50, 50);
        InputMouseButton(source->Handle(), 50, 50, MouseButton::Left, true);
        Application->ProcessMessages();
    }
    void TearDown() override {
        RevokeDragDrop(target->Handle());
        delete source;
        delete target;
        Application->ProcessMessages();
    }
    TForm* MakeForm(int x, int y) {
        auto* f = new TForm(nullptr);
        f->AfterConstruction();
        f->SetBounds(x, y, 300, 200);
        f->Show();
        Application->ProcessMessages();
        return f;
    }
    HRESULT Drag(DWORD ok, DWORD* effect) {
        TComPtr<IDropSource> s(new TDropSource);
        return DoDragDrop(data.Get(), s.Get(), ok, effect);
    }
    // A point of the target form in screen coordinates, as targets get them.
    std::string At(int x, int y) {
        POINT p{x, y};
        RECT r;
        GetWindowRect(target->Handle(), &r);
        return std::to_string(r.left + p.x) + "," + std::to_string(r.top + p.y);
    }

    TForm* source = nullptr;
    TForm* target = nullptr;
    RecordingTarget* sink = nullptr;
    TComPtr<IDropTarget> sinkRef;
    TComPtr<TMemoryDataObject> data;
};

TEST_F(DragDropTest, RegistrationIsOncePerWindow) {
    EXPECT_EQ(RegisterDragDrop(target->Handle(), sink), DRAGDROP_E_ALREADYREGISTERED);
    EXPECT_EQ(RegisterDragDrop(nullptr, sink), DRAGDROP_E_INVALIDHWND);
    EXPECT_EQ(RevokeDragDrop(source->Handle()), DRAGDROP_E_NOTREGISTERED);
    DWORD effect = 0;
    EXPECT_EQ(DoDragDrop(nullptr, nullptr, DROPEFFECT_COPY, &effect), E_INVALIDARG);
}

TEST_F(DragDropTest, ADropDeliversTheDataWithTheTargetsEffect) {
    InputMouseMove(source->Handle(), 200, 60);  // still over the source: no target
    InputMouseMove(target->Handle(), 10, 20);
    InputMouseMove(target->Handle(), 30, 40);
    InputMouseButton(target->Handle(), 30, 40, MouseButton::Left, false);
    DWORD effect = 99;
    EXPECT_EQ(Drag(DROPEFFECT_COPY | DROPEFFECT_MOVE, &effect), DRAGDROP_S_DROP);
    EXPECT_EQ(effect, DROPEFFECT_COPY);
    EXPECT_EQ(sink->calls, (std::vector<std::string>{"enter " + At(10, 20), "over " + At(30, 40), "drop " + At(30, 40)}));
    EXPECT_EQ(sink->dropped, "dragged \xE2\x9C\x93");
    EXPECT_EQ(GetCapture(), nullptr) << "the drag gives the pointer back";
}

TEST_F(DragDropTest, EscapeAndRefusalEndWithoutADrop) {
    struct Case {
        const char* name;
        DWORD answer;
        bool escape;
        bool leaveFirst;  // released back over the source
    } cases[] = {
        {"escape", DROPEFFECT_COPY, true, false},
        {"refused", DROPEFFECT_NONE, false, false},
        {"released elsewhere", DROPEFFECT_COPY, false, true},
    };
    for (const Case& c : cases) {
        sink->calls.clear();
        sink->answer = c.answer;
        InputMouseMove(target->Handle(), 10, 20);
        if (c.escape) {
            InputKey(VK_ESCAPE, true);
            InputKey(VK_ESCAPE, false);
        }
        if (c.leaveFirst) InputMouseMove(source->Handle(), 20, 20);
        InputMouseButton(target->Handle(), 10, 20, MouseButton::Left, false);
        DWORD effect = 99;
        EXPECT_EQ(Drag(DROPEFFECT_COPY, &effect), DRAGDROP_S_CANCEL) << c.name;
        EXPECT_EQ(effect, DROPEFFECT_NONE) << c.name;
        ASSERT_FALSE(sink->calls.empty()) << c.name;
        EXPECT_EQ(sink->calls.front(), "enter " + At(10, 20)) << c.name;
        EXPECT_EQ(sink->calls.back(), "leave") << c.name;
        EXPECT_TRUE(sink->dropped.empty()) << c.name;
        // Press again for the next case.
        InputMouseButton(source->Handle(), 50, 50, MouseButton::Left, true);
        Application->ProcessMessages();
    }
}

TEST_F(DragDropTest, KeysChangeTheEffectWhileHovering) {
    sink->answer = DROPEFFECT_MOVE;
    InputMouseMove(target->Handle(), 10, 20);
    InputKey(VK_LCONTROL, true);  // Ctrl asks for a copy
    InputMouseButton(target->Handle(), 10, 20, MouseButton::Left, false);
    DWORD effect = 0;
    EXPECT_EQ(Drag(DROPEFFECT_COPY | DROPEFFECT_MOVE, &effect), DRAGDROP_S_DROP);
    InputKey(VK_LCONTROL, false);
    Application->ProcessMessages();
    EXPECT_EQ(effect, DROPEFFECT_COPY);
    EXPECT_TRUE(sink->lastKeys & MK_CONTROL);
    // The key change alone was told to the target, at the same point.
    EXPECT_EQ(sink->calls, (std::vector<std::string>{"enter " + At(10, 20), "over " + At(10, 20), "drop " + At(10, 20)}));
}

}  // namespace
}  // namespace platform
