// A second program for the desktop tests of the clipboard and of drag and drop:
//   copy TEXT      puts TEXT on the clipboard and ends (its exit hands it to a manager);
//   target         a window taking drops, which shows what it got in its title;
//   source TEXT    a window that drags TEXT when pressed, and shows how the drag ended.
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/controls/forms.h"
#include "platform/windows/backend.h"
#include "platform/windows/clipboard.h"
#include "platform/windows/dragdrop.h"

using namespace platform;

namespace {

struct TitleTarget : TInterfacedObject, IDropTarget {
    TForm* form;
    explicit TitleTarget(TForm* f) : form(f) {}
    static DWORD Pick(DWORD* effect) { return *effect & DROPEFFECT_COPY ? DROPEFFECT_COPY : *effect & DROPEFFECT_MOVE; }
    HRESULT DragEnter(IDataObject*, DWORD, POINTL, DWORD* effect) override {
        *effect = Pick(effect);
        return S_OK;
    }
    HRESULT DragOver(DWORD, POINTL, DWORD* effect) override {
        *effect = Pick(effect);
        return S_OK;
    }
    HRESULT DragLeave() override {
        std::printf("left\n");
        std::fflush(stdout);
        return S_OK;
    }
    HRESULT Drop(IDataObject* data, DWORD, POINTL, DWORD* effect) override {
        *effect = Pick(effect);
        FORMATETC f;
        STGMEDIUM m;
        std::string what;
        f.cfFormat = CF_HDROP;
        if (data->QueryGetData(&f) == S_OK && data->GetData(&f, &m) == S_OK) {
            for (UINT i = 0, n = DragQueryFileA(m.hGlobal, 0xFFFFFFFF, nullptr, 0); i < n; ++i) {
                char path[4096];
                DragQueryFileA(m.hGlobal, i, path, sizeof path);
                what += std::string(i ? " " : "files: ") + path;
            }
            ReleaseStgMedium(&m);
        }
        f.cfFormat = CF_UNICODETEXT;
        if (what.empty() && data->GetData(&f, &m) == S_OK) {
            what = "dropped: " + UnicodeTextToUtf8(static_cast<std::uint8_t*>(GlobalLock(m.hGlobal)), GlobalSize(m.hGlobal));
            ReleaseStgMedium(&m);
        }
        form->SetCaption(what.empty() ? "dropped nothing" : what);
        std::printf("%s\n", form->Caption().c_str());
        std::fflush(stdout);
        return S_OK;
    }
};

int RunWindow(const std::string& mode, const std::string& text) {
    Application->Initialize();
    TForm* form = nullptr;
    Application->CreateForm(form);
    bool target = mode == "target";
    form->SetBounds(target ? 600 : 100, 100, 300, 200);
    form->SetCaption(target ? "lumacast drop target" : "lumacast drag source");
    TComPtr<IDropTarget> dropTarget;
    if (target) {
        form->HandleNeeded();
        dropTarget = new TitleTarget(form);
        RegisterDragDrop(form->Handle(), dropTarget.Get());
    } else {
        form->OnMouseDown = [form, text](TObject*, TMouseButton, TShiftState, int, int) {
            TComPtr<TMemoryDataObject> data(new TMemoryDataObject);
            data->Put(CF_UNICODETEXT, Utf8ToUnicodeText(text));
            TComPtr<IDropSource> source(new TDropSource);
            DWORD effect = 0;
            HRESULT hr = DoDragDrop(data.Get(), source.Get(), DROPEFFECT_COPY | DROPEFFECT_MOVE, &effect);
            form->SetCaption(std::string("drag ended ") + (hr == DRAGDROP_S_DROP ? "drop " : "cancel ") +
                             std::to_string(effect));
            std::printf("%s\n", form->Caption().c_str());
            std::fflush(stdout);
        };
    }
    Application->Run();
    if (target) RevokeDragDrop(form->Handle());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string mode = argc > 1 ? argv[1] : "";
    if (Backend().Name() != "x11") {
        std::fprintf(stderr, "no X display\n");
        return 2;
    }
    if (mode == "copy" && argc == 3) {
        Clipboard()->SetAsText(argv[2]);
        std::printf("copied\n");
        return 0;
    }
    if (mode == "target" || (mode == "source" && argc == 3)) return RunWindow(mode, argc == 3 ? argv[2] : "");
    std::fprintf(stderr, "usage: %s copy TEXT | target | source TEXT\n", argv[0]);
    return 2;
}
