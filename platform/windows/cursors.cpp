// Made cursors: a table from handle to picture; the display is told when one goes.
#include "platform/windows/cursors.h"

#include <map>
#include <mutex>

#include "platform/windows/backend.h"

namespace platform {

namespace {

struct CursorTable {
    std::mutex lock;
    std::map<int, TCursorImage> images;
    int next = FirstCustomCursorId;
};

CursorTable& Table() {
    static CursorTable* table = new CursorTable;  // lives to the end: cursors may be freed late
    return *table;
}

}  // namespace

HCURSOR CreateCursorFromImage(const TCursorImage& image) {
    if (image.Width <= 0 || image.Height <= 0 || image.Width > 256 || image.Height > 256) return nullptr;
    if (image.Pixels.size() < std::size_t(image.Width) * std::size_t(image.Height)) return nullptr;
    if (image.HotX < 0 || image.HotY < 0 || image.HotX >= image.Width || image.HotY >= image.Height) return nullptr;
    CursorTable& table = Table();
    std::lock_guard<std::mutex> guard(table.lock);
    int id = table.next++;
    TCursorImage& stored = table.images[id];
    stored = image;
    stored.Pixels.resize(std::size_t(image.Width) * std::size_t(image.Height));
    return reinterpret_cast<HCURSOR>(std::intptr_t(id));
}

BOOL DestroyCursor(HCURSOR cursor) {
    int id = CursorId(cursor);
    if (id < FirstCustomCursorId) return TRUE;
    {
        CursorTable& table = Table();
        std::lock_guard<std::mutex> guard(table.lock);
        if (table.images.erase(id) == 0) return FALSE;
    }
    Backend().CursorDestroyed(id);
    return TRUE;
}

const TCursorImage* CustomCursorImage(HCURSOR cursor) {
    int id = CursorId(cursor);
    if (id < FirstCustomCursorId) return nullptr;
    CursorTable& table = Table();
    std::lock_guard<std::mutex> guard(table.lock);
    auto it = table.images.find(id);
    // Entries never move in a map, and only the UI thread frees them.
    return it == table.images.end() ? nullptr : &it->second;
}

}  // namespace platform
