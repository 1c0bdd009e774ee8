// The clipboard side of trees: the format registry, the per-tree format list, the data
// object and its enumerator, copy, cut and paste, and inserting tree data from a data
// object (a move inside the process, else a copy through the node stream).
#include "treeview/vtclipboard.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <strings.h>

#include "treeview/vtdragdrop.h"
#include "treeview/vststrings.h"
#include "treeview/vtinternal.h"
#include "treeview/vtutf.h"

namespace treeview {

using namespace platform;

CLIPFORMAT CF_VASTTREE = 0, CF_VTREFERENCE = 0, CF_HTML = 0, CF_HTMLPAGE = 0, CF_VRTF = 0, CF_VRTFNOOBJS = 0,
           CF_CSV = 0;

namespace {

struct FormatEntry {
    std::string description;
    TVTTreeClass treeClass;
    unsigned priority;
    FORMATETC format;
};

std::vector<FormatEntry>& Registry() {
    static std::vector<FormatEntry> entries;
    return entries;
}

bool SameText(const std::string& a, const std::string& b) { return strcasecmp(a.c_str(), b.c_str()) == 0; }

const char* const StandardDescriptions[17] = {
    "", "Plain text", "Windows bitmap", "Windows metafile", "Symbolic link", "Data interchange format",
    "Tiff image", "OEM text", "DIB image", "Palette data", "Pen data", "Riff audio data", "Wav audio data",
    "Unicode text", "Enhanced metafile image", "File name(s)", "Locale descriptor"};

void Enter(const std::string& description, TVTTreeClass treeClass, unsigned priority, const FORMATETC& format) {
    auto& entries = Registry();
    // Equal priorities keep the order of registration.
    auto at = std::upper_bound(entries.begin(), entries.end(), priority,
                               [](unsigned p, const FormatEntry& e) { return p < e.priority; });
    entries.insert(at, FormatEntry{description, treeClass, priority, format});
}

const FormatEntry* FindByDescription(const std::string& description) {
    auto& entries = Registry();
    for (auto it = entries.rbegin(); it != entries.rend(); ++it)
        if (SameText(it->description, description)) return &*it;
    return nullptr;
}

// Live trees by number, for references.
std::map<std::uint32_t, TBaseVastTree*>& LiveTrees() {
    static std::map<std::uint32_t, TBaseVastTree*> trees;
    return trees;
}
std::vector<TVTDataObject*>& LiveDataObjects() {
    static std::vector<TVTDataObject*> objects;
    return objects;
}

FORMATETC Request(CLIPFORMAT format) {
    FORMATETC request;
    request.cfFormat = format;
    request.tymed = TYMED_HGLOBAL | TYMED_ISTREAM;
    return request;
}

void PutU32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = std::uint8_t(v >> (8 * i));
}
std::uint32_t GetU32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

bool EqualFormatEtc(const FORMATETC& a, const FORMATETC& b) {
    return a.cfFormat == b.cfFormat && a.ptd == b.ptd && a.dwAspect == b.dwAspect && a.lindex == b.lindex &&
           (a.tymed & b.tymed) != 0;
}

}  // namespace

void InitializeClipboardFormats() {
    static bool done = false;
    if (done) return;
    done = true;
    CF_VASTTREE = CLIPFORMAT(RegisterClipboardFormatA("application/x-vast-tree-data"));
    CF_VTREFERENCE = CLIPFORMAT(RegisterClipboardFormatA("application/x-vast-tree-reference"));
    CF_HTML = CLIPFORMAT(RegisterClipboardFormatA("HTML Format"));
    CF_HTMLPAGE = CLIPFORMAT(RegisterClipboardFormatA("text/html"));
    CF_VRTF = CLIPFORMAT(RegisterClipboardFormatA("text/rtf"));
    CF_VRTFNOOBJS = CF_VRTF;
    CF_CSV = CLIPFORMAT(RegisterClipboardFormatA("text/csv"));
    auto entry = [](const char* description, CLIPFORMAT format, TVTTreeClass treeClass, unsigned priority) {
        FORMATETC f;
        f.cfFormat = format;
        Enter(description, treeClass, priority, f);
    };
    entry("Vast Tree Data", CF_VASTTREE, TreeIsA<TBaseVastTree>, 50);
    entry("HTML Format", CF_HTML, TreeIsA<TCustomVastStringTree>, 80);
    entry("Rich Text Format Without Objects", CF_VRTFNOOBJS, TreeIsA<TCustomVastStringTree>, 84);
    entry("Rich Text Format", CF_VRTF, TreeIsA<TCustomVastStringTree>, 85);
    entry("CSV", CF_CSV, TreeIsA<TCustomVastStringTree>, 90);
    entry("Unicode text", CF_UNICODETEXT, TreeIsA<TCustomVastStringTree>, 95);
    entry("Plain text", CF_TEXT, TreeIsA<TCustomVastStringTree>, 100);
}

CLIPFORMAT RegisterVTClipboardFormat(const std::string& description, TVTTreeClass treeClass, unsigned priority,
                                     DWORD tymed) {
    InitializeClipboardFormats();
    FORMATETC f;
    f.cfFormat = CLIPFORMAT(RegisterClipboardFormatA(description.c_str()));
    f.tymed = tymed;
    Enter(description, treeClass, priority, f);
    return f.cfFormat;
}

CLIPFORMAT RegisterVTClipboardFormat(CLIPFORMAT format, TVTTreeClass treeClass, unsigned priority) {
    InitializeClipboardFormats();
    std::string description;
    if (format >= 17) {
        char name[2049];
        if (GetClipboardFormatNameA(format, name, sizeof name) > 0) description = name;
    } else {
        description = StandardDescriptions[format];
    }
    if (description.empty()) return 0;
    FORMATETC f;
    f.cfFormat = format;
    Enter(description, treeClass, priority, f);
    return format;
}

void EnumerateVTClipboardFormats(const TBaseVastTree* tree, std::vector<std::string>& list) {
    InitializeClipboardFormats();
    for (const FormatEntry& e : Registry())
        if (e.treeClass(tree)) list.push_back(e.description);
}

void EnumerateVTClipboardFormats(const TBaseVastTree* tree, TFormatEtcArray& formats) {
    InitializeClipboardFormats();
    formats.clear();
    for (const FormatEntry& e : Registry())
        if (e.treeClass(tree)) formats.push_back(e.format);
}

std::string GetVTClipboardFormatDescription(CLIPFORMAT format) {
    InitializeClipboardFormats();
    auto& entries = Registry();
    for (auto it = entries.rbegin(); it != entries.rend(); ++it)
        if (it->format.cfFormat == format) return it->description;
    return {};
}

TBaseVastTree* FindLiveTree(std::uint32_t id) {
    auto found = LiveTrees().find(id);
    return found == LiveTrees().end() ? nullptr : found->second;
}

// ---- TClipboardFormats ----

int TClipboardFormats::IndexOf(const std::string& description) const {
    for (std::size_t i = 0; i < items_.size(); ++i)
        if (SameText(items_[i], description)) return int(i);
    return -1;
}

int TClipboardFormats::Add(const std::string& description) {
    InitializeClipboardFormats();
    const FormatEntry* entry = FindByDescription(description);
    if (!entry || !entry->treeClass(owner_)) return -1;
    int existing = IndexOf(description);
    if (existing >= 0) return existing;
    auto at = std::lower_bound(items_.begin(), items_.end(), description,
                               [](const std::string& a, const std::string& b) {
                                   return strcasecmp(a.c_str(), b.c_str()) < 0;
                               });
    auto index = at - items_.begin();
    items_.insert(at, description);
    return int(index);
}

void TClipboardFormats::Insert(int, const std::string& description) {
    InitializeClipboardFormats();
    const FormatEntry* entry = FindByDescription(description);
    if (!entry || !entry->treeClass(owner_)) return;
    throw EStringListError("Operation not allowed on sorted list");
}

void TClipboardFormats::Assign(const std::vector<std::string>& descriptions) {
    items_.clear();
    for (const std::string& d : descriptions) Add(d);
}

// ---- TEnumFormatEtc ----

HRESULT TEnumFormatEtc::QueryInterface(REFIID riid, void** object) {
    if (object && riid == IID_IEnumFORMATETC) {
        *object = static_cast<IEnumFORMATETC*>(this);
        AddRef();
        return S_OK;
    }
    return TInterfacedObject::QueryInterface(riid, object);
}

HRESULT TEnumFormatEtc::Next(ULONG count, FORMATETC* items, ULONG* fetched) {
    std::size_t n = std::min<std::size_t>(count, formats_.size() - index_);
    for (std::size_t i = 0; i < n; ++i) items[i] = formats_[index_ + i];
    index_ += n;
    if (fetched) *fetched = ULONG(n);
    return n == count ? S_OK : S_FALSE;
}

HRESULT TEnumFormatEtc::Skip(ULONG count) {
    if (formats_.size() - index_ < count) return S_FALSE;
    index_ += count;
    return S_OK;
}

HRESULT TEnumFormatEtc::Reset() {
    index_ = 0;
    return S_OK;
}

HRESULT TEnumFormatEtc::Clone(IEnumFORMATETC** copy) {
    if (!copy) return E_FAIL;
    try {
        auto* clone = new TEnumFormatEtc(tree_, formats_, index_);
        clone->AddRef();
        *copy = clone;
        return S_OK;
    } catch (...) {
        *copy = nullptr;
        return E_FAIL;
    }
}

// ---- TVTDataObject ----

TVTDataObject::TVTDataObject(TBaseVastTree* owner, bool forClipboard) : owner_(owner), forClipboard_(forClipboard) {
    if (owner_) owner_->GetNativeClipboardFormats(formats_);
    LiveDataObjects().push_back(this);
}

TVTDataObject::~TVTDataObject() {
    auto& live = LiveDataObjects();
    live.erase(std::remove(live.begin(), live.end(), this), live.end());
    // The clipboard let go of the data (another copy took its place).
    if (forClipboard_ && owner_ && !(owner_->TreeStates() & tsClipboardFlushing)) owner_->CancelCutOrCopy();
    for (auto& [format, medium] : media_) ReleaseStgMedium(&medium);
}

std::vector<TVTDataObject*> TVTDataObject::ObjectsOf(const TBaseVastTree* tree) {
    std::vector<TVTDataObject*> result;
    for (TVTDataObject* object : LiveDataObjects())
        if (object->owner_ == tree) result.push_back(object);
    return result;
}

HRESULT TVTDataObject::QueryInterface(REFIID riid, void** object) {
    if (object && riid == IID_IDataObject) {
        *object = static_cast<IDataObject*>(this);
        AddRef();
        return S_OK;
    }
    return TInterfacedObject::QueryInterface(riid, object);
}

int TVTDataObject::FindFormatEtc(const FORMATETC& format) const {
    for (std::size_t i = 0; i < formats_.size(); ++i)
        if (EqualFormatEtc(formats_[i], format)) return int(i);
    return -1;
}

STGMEDIUM* TVTDataObject::FindInternalStgMedium(CLIPFORMAT format) {
    for (auto& [f, medium] : media_)
        if (f == format) return &medium;
    return nullptr;
}

HRESULT TVTDataObject::QueryGetData(const FORMATETC* format) {
    if (!format) return E_INVALIDARG;
    HRESULT result = DV_E_FORMATETC;
    for (const FORMATETC& offered : formats_) {
        if (offered.cfFormat != format->cfFormat) continue;
        if (!(offered.tymed & format->tymed))
            result = DV_E_TYMED;
        else if (offered.dwAspect != format->dwAspect)
            result = DV_E_DVASPECT;
        else if (offered.lindex != format->lindex)
            result = DV_E_LINDEX;
        else
            return S_OK;
    }
    return result;
}

HRESULT TVTDataObject::GetData(const FORMATETC* format, STGMEDIUM* medium) {
    if (!format || !medium) return E_INVALIDARG;
    *medium = STGMEDIUM{};
    try {
        InitializeClipboardFormats();
        if (format->cfFormat == CF_VTREFERENCE) {
            if (!owner_ || (owner_->TreeStates() & tsClipboardFlushing)) return E_FAIL;
            std::uint8_t bytes[8];
            PutU32(bytes, std::uint32_t(getpid()));
            PutU32(bytes + 4, owner_->TreeId());
            medium->hGlobal = GlobalAllocCopy(bytes, 8);
            if (!medium->hGlobal) return E_OUTOFMEMORY;
            medium->tymed = TYMED_HGLOBAL;
            return S_OK;
        }
        HRESULT result = QueryGetData(format);
        if (result != S_OK) return result;
        if (STGMEDIUM* stored = FindInternalStgMedium(format->cfFormat)) {
            // Handed out as a counted copy that keeps this object alive.
            *medium = *stored;
            medium->pUnkForRelease = static_cast<IDataObject*>(this);
            AddRef();
            if (medium->tymed == TYMED_ISTREAM && medium->pstm) {
                medium->pstm->AddRef();
                Release();
                medium->pUnkForRelease = nullptr;
            }
            return S_OK;
        }
        if (!owner_) return E_FAIL;
        return owner_->RenderOLEData(*format, *medium, forClipboard_);
    } catch (...) {
        *medium = STGMEDIUM{};
        return E_FAIL;
    }
}

HRESULT TVTDataObject::GetCanonicalFormatEtc(const FORMATETC*, FORMATETC* out) {
    if (out) out->ptd = nullptr;
    return DATA_S_SAMEFORMATETC;
}

HRESULT TVTDataObject::SetData(const FORMATETC* format, STGMEDIUM* medium, BOOL release) {
    if (!format || !medium) return E_INVALIDARG;
    STGMEDIUM copy = *medium;
    if (!release) {
        if (medium->tymed == TYMED_HGLOBAL) {
            std::size_t size = GlobalSize(medium->hGlobal);
            void* bytes = GlobalLock(medium->hGlobal);
            copy.hGlobal = GlobalAllocCopy(bytes, size);
            GlobalUnlock(medium->hGlobal);
            if (!copy.hGlobal) return E_OUTOFMEMORY;
            copy.pUnkForRelease = nullptr;
        } else if (medium->tymed == TYMED_ISTREAM && medium->pstm) {
            medium->pstm->AddRef();
            if (copy.pUnkForRelease) copy.pUnkForRelease->AddRef();
        } else {
            return DV_E_TYMED;
        }
    }
    if (FindFormatEtc(*format) < 0) formats_.push_back(*format);
    if (STGMEDIUM* stored = FindInternalStgMedium(format->cfFormat)) {
        ReleaseStgMedium(stored);
        *stored = copy;
    } else {
        media_.emplace_back(format->cfFormat, copy);
    }
    if (adviseHolder_) adviseHolder_->SendOnDataChange(this, 0, 0);
    return S_OK;
}

HRESULT TVTDataObject::EnumFormatEtc(DWORD direction, IEnumFORMATETC** enumerator) {
    if (!enumerator) return E_INVALIDARG;
    *enumerator = nullptr;
    if (direction != DATADIR_GET) return OLE_S_USEREG;
    auto* e = new TEnumFormatEtc(owner_, formats_);
    e->AddRef();
    *enumerator = e;
    return S_OK;
}

HRESULT TVTDataObject::DAdvise(const FORMATETC* format, DWORD advf, IAdviseSink* sink, DWORD* connection) {
    if (!adviseHolder_) {
        HRESULT result = CreateDataAdviseHolder(adviseHolder_.Put());
        if (FAILED(result)) return result;
    }
    return adviseHolder_->Advise(this, format, advf, sink, connection);
}

HRESULT TVTDataObject::DUnadvise(DWORD connection) {
    return adviseHolder_ ? adviseHolder_->Unadvise(connection) : E_NOTIMPL;
}

HRESULT TVTDataObject::EnumDAdvise(IEnumSTATDATA** enumerator) {
    if (!adviseHolder_) {
        if (enumerator) *enumerator = nullptr;
        return OLE_E_ADVISENOTSUPPORTED;
    }
    return adviseHolder_->EnumAdvise(enumerator);
}

// ---- the tree ----

std::uint32_t TBaseVastTree::TreeId() {
    static std::uint32_t next = 0;
    if (treeId_ == 0) {
        treeId_ = ++next;
        LiveTrees()[treeId_] = this;
    }
    return treeId_;
}

void TBaseVastTree::ReleaseTransferLinks(bool destroying) {
    if (destroying) ReleaseAccessible();
    std::vector<TVTDataObject*> objects = TVTDataObject::ObjectsOf(this);
    for (TVTDataObject* object : objects) {
        if (OleIsCurrentClipboard(object) == S_OK) {
            object->ForgetOwner();
            OleSetClipboard(nullptr);
        } else if (destroying) {
            object->ForgetOwner();
        }
    }
    if (destroying) {
        if (dragManager_) {
            dragManager_->ForgetOwner();
            dragManager_->Release();
            dragManager_ = nullptr;
        }
        if (treeId_) LiveTrees().erase(treeId_);
        treeId_ = 0;
        delete clipboardFormats_;
        clipboardFormats_ = nullptr;
    }
}

TClipboardFormats* TBaseVastTree::ClipboardFormats() {
    if (!clipboardFormats_) clipboardFormats_ = new TClipboardFormats(this);
    return clipboardFormats_;
}

void TBaseVastTree::SetClipboardFormats(const std::vector<std::string>& descriptions) {
    ClipboardFormats()->Assign(descriptions);
}

IDataObject* TBaseVastTree::DoCreateDataObject() {
    IDataObject* result = nullptr;
    if (OnCreateDataObject) OnCreateDataObject(this, result);
    return result;
}

void TBaseVastTree::DoGetUserClipboardFormats(std::vector<FORMATETC>& formats) {
    if (OnGetUserClipboardFormats) OnGetUserClipboardFormats(this, formats);
}

HRESULT TBaseVastTree::DoRenderOLEData(const FORMATETC& format, STGMEDIUM& medium, bool forClipboard) {
    HRESULT result = E_FAIL;
    if (OnRenderOLEData) OnRenderOLEData(this, format, medium, forClipboard, result);
    return result;
}

void TBaseVastTree::GetNativeClipboardFormats(std::vector<FORMATETC>& formats) {
    InitializeClipboardFormats();
    formats.clear();
    for (const FormatEntry& e : Registry()) {
        if (!e.treeClass(this) || ClipboardFormats()->IndexOf(e.description) < 0) continue;
        formats.push_back(e.format);
        // Other programs know the page, not the wrapper this process reads.
        if (e.format.cfFormat == CF_HTML) {
            FORMATETC page = e.format;
            page.cfFormat = CF_HTMLPAGE;
            formats.push_back(page);
        }
    }
    DoGetUserClipboardFormats(formats);
}

void TBaseVastTree::MarkCutCopyNodes() {
    if (selectedCount_ == 0) return;
    for (PVastNode node : GetSortedSelection(false))
        if (!(node->States & vsDisabled)) node->States |= vsCutOrCopy;
}

void TBaseVastTree::CopyToClipBoard() {
    if (selectedCount_ == 0) return;
    TComPtr<IDataObject> data(new TVTDataObject(this, true));
    if (OleSetClipboard(data.Get()) != S_OK) return;
    MarkCutCopyNodes();
    DoStateChange(tsCopyPending);
    InvalidateTree();
}

void TBaseVastTree::CutToClipBoard() {
    if (selectedCount_ == 0 || ReadOnly()) return;
    TComPtr<IDataObject> data(new TVTDataObject(this, true));
    if (OleSetClipboard(data.Get()) != S_OK) return;
    MarkCutCopyNodes();
    DoStateChange(tsCutPending, tsCopyPending);
    InvalidateTree();
}

bool TBaseVastTree::PasteFromClipboard() {
    if (ReadOnly()) return false;
    IDataObject* raw = nullptr;
    if (OleGetClipboard(&raw) != S_OK || !raw) throw EVastTreeError("Clipboard operation failed.", 2007);
    TComPtr<IDataObject> data = TComPtr<IDataObject>::Attach(raw);
    TBaseVastTree* source = GetTreeFromDataObject(data.Get());
    bool optimized = source && (source->TreeStates() & tsCutPending);
    bool result = ProcessOLEData(source, data.Get(), focusedNode_, defaultPasteMode_, optimized);
    if (source) {
        if (source == this)
            DoStateChange(0, tsCutPending);
        else
            source->FinishCutOrCopy();
    }
    return result;
}

void TBaseVastTree::FlushClipboard() {
    if (!(states_ & (tsCutPending | tsCopyPending))) return;
    DoStateChange(tsClipboardFlushing);
    TScopeExit flushed([this] {
        CancelCutOrCopy();
        DoStateChange(0, tsClipboardFlushing);
    });
    OleFlushClipboard();
}

void TBaseVastTree::CancelCutOrCopy() {
    if (states_ & (tsCutPending | tsCopyPending)) {
        for (PVastNode run = GetFirstNoInit(); run; run = GetNextNoInit(run)) run->States &= ~vsCutOrCopy;
        InvalidateTree();
    }
    DoStateChange(0, tsCopyPending | tsCutPending);
}

void TBaseVastTree::FinishCutOrCopy() {
    if (!(states_ & tsCutPending)) return;
    {
        TUpdateScope update(*this);
        for (PVastNode run = GetFirstNoInit(); run;) {
            if (run->States & vsCutOrCopy) {
                PVastNode next = NextAfterSubtree(run, false);
                DeleteNode(run);
                run = next;
            } else {
                run = GetNextNoInit(run);
            }
        }
    }
    DoStateChange(0, tsCutPending);
}

PVastNode TBaseVastTree::GetNextCutCopy(PVastNode node) {
    if (!(states_ & (tsCutPending | tsCopyPending))) return nullptr;
    PVastNode run = (!node || node == root_) ? root_->FirstChild : GetNextNoInit(node);
    while (run && !(run->States & vsCutOrCopy)) run = GetNextNoInit(run);
    if (run) InitIfNeeded(run);
    return run;
}

PVastNode TBaseVastTree::GetFirstCutCopy() { return GetNextCutCopy(nullptr); }

PVastNode TBaseVastTree::GetPreviousCutCopy(PVastNode node) {
    if (!(states_ & (tsCutPending | tsCopyPending))) return nullptr;
    PVastNode run = (!node || node == root_) ? GetLastNoInit() : GetPreviousNoInit(node);
    while (run && !(run->States & vsCutOrCopy)) run = GetPreviousNoInit(run);
    if (run) InitIfNeeded(run);
    return run;
}

std::int32_t TBaseVastTree::GetCutCopyCount() {
    std::int32_t count = 0;
    for (PVastNode run = GetFirstCutCopy(); run; run = GetNextCutCopy(run)) ++count;
    return count;
}

std::vector<PVastNode> TBaseVastTree::GetSortedCutCopySet(bool resolve) const {
    std::vector<PVastNode> result;
    for (PVastNode run = root_->FirstChild; run;) {
        if (!(run->States & vsCutOrCopy)) {
            run = GetNextNoInit(run);
            continue;
        }
        result.push_back(run);
        if (!resolve) {
            run = GetNextNoInit(run);
            continue;
        }
        while (run != root_ && !run->NextSibling) run = run->Parent;
        run = run == root_ ? nullptr : run->NextSibling;
    }
    return result;
}

TBaseVastTree* TBaseVastTree::GetTreeFromDataObject(IDataObject* dataObject) {
    if (!dataObject) return nullptr;
    InitializeClipboardFormats();
    FORMATETC request = Request(CF_VTREFERENCE);
    STGMEDIUM medium;
    if (dataObject->GetData(&request, &medium) != S_OK) return nullptr;
    TBaseVastTree* result = nullptr;
    if (medium.tymed == TYMED_HGLOBAL && GlobalSize(medium.hGlobal) >= 8) {
        auto* bytes = static_cast<const std::uint8_t*>(GlobalLock(medium.hGlobal));
        if (bytes && GetU32(bytes) == std::uint32_t(getpid())) result = FindLiveTree(GetU32(bytes + 4));
        GlobalUnlock(medium.hGlobal);
    }
    ReleaseStgMedium(&medium);
    return result;
}

HRESULT TBaseVastTree::RenderOLEData(const FORMATETC& format, STGMEDIUM& medium, bool forClipboard) {
    medium = STGMEDIUM{};
    InitializeClipboardFormats();
    if (format.cfFormat != CF_VASTTREE || !(format.tymed & (TYMED_HGLOBAL | TYMED_ISTREAM)))
        return DoRenderOLEData(format, medium, forClipboard);
    std::vector<PVastNode> nodes = forClipboard ? GetSortedCutCopySet(true) : GetSortedSelection(true);
    TMemoryStream stream;
    for (PVastNode node : nodes) WriteNode(stream, node);
    if (format.tymed & TYMED_ISTREAM) {
        HGLOBAL block = GlobalAllocCopy(stream.Memory(), std::size_t(stream.Size()));
        IStream* result = nullptr;
        if (CreateStreamOnHGlobal(block, TRUE, &result) != S_OK || !result) return E_OUTOFMEMORY;
        result->Stream().SetPosition(0);
        medium.tymed = TYMED_ISTREAM;
        medium.pstm = result;
        return S_OK;
    }
    if (stream.Size() == 0) return E_FAIL;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT | GMEM_DDESHARE, std::size_t(stream.Size()) + 4);
    if (!block) return E_OUTOFMEMORY;
    auto* bytes = static_cast<std::uint8_t*>(GlobalLock(block));
    PutU32(bytes, std::uint32_t(stream.Size()));
    std::memcpy(bytes + 4, stream.Memory(), std::size_t(stream.Size()));
    GlobalUnlock(block);
    medium.tymed = TYMED_HGLOBAL;
    medium.hGlobal = block;
    return S_OK;
}

bool TBaseVastTree::ProcessOLEData(TBaseVastTree* source, IDataObject* dataObject, PVastNode target,
                                   TVTNodeAttachMode mode, bool optimized) {
    InitializeClipboardFormats();
    FORMATETC request = Request(CF_VASTTREE);
    if (!dataObject || dataObject->QueryGetData(&request) != S_OK || ReadOnly()) return false;
    target = NodeOrRoot(target);
    if (target != root_ && !CheckOwnNode(target)) return false;
    if (target == root_) {
        if (mode == amInsertBefore) mode = amAddChildFirst;
        if (mode == amInsertAfter) mode = amAddChildLast;
    }
    bool result = false;
    STGMEDIUM medium;
    Updating([&] {
        if (optimized && source) {
            std::vector<PVastNode> nodes = (source->TreeStates() & tsOLEDragging) ? source->DragSelection()
                                                                                  : source->GetSortedCutCopySet(true);
            if (mode != amInsertBefore && mode != amAddChildLast) std::reverse(nodes.begin(), nodes.end());
            for (PVastNode node : nodes)
                if (node != target && !HasAsParent(target, node)) source->MoveTo(node, target, mode, false);
            result = true;
            return;
        }
        TChangeReason reason = source == this ? crNodeCopied : crNodeAdded;
        if (dataObject->GetData(&request, &medium) != S_OK) return;
        TMemoryStream stream;
        if (medium.tymed == TYMED_ISTREAM && medium.pstm) {
            TStream& in = medium.pstm->Stream();
            in.SetPosition(0);
            stream.CopyFrom(in, 0);
        } else if (medium.tymed == TYMED_HGLOBAL) {
            std::size_t blockSize = GlobalSize(medium.hGlobal);
            auto* bytes = static_cast<const std::uint8_t*>(GlobalLock(medium.hGlobal));
            if (!bytes) return;
            // The stored size is believed only as far as the block reaches.
            std::size_t size = blockSize >= 4 ? std::min<std::size_t>(GetU32(bytes), blockSize - 4) : 0;
            if (size) stream.WriteBuffer(bytes + 4, std::int64_t(size));
            GlobalUnlock(medium.hGlobal);
        } else {
            return;
        }
        stream.SetPosition(0);
        result = true;
        std::int64_t savedLimit = streamChunkLimit_;
        int savedDepth = streamDepth_;
        streamChunkLimit_ = stream.Size();
        streamDepth_ = 0;
        PVastNode previous = nullptr;
        // On a failure the medium goes too, after the stream limits: the caller's release
        // is not reached then.
        TScopeFail releaseMedium([&] { ReleaseStgMedium(&medium); });
        TScopeExit restoreLimits([&] {
            streamChunkLimit_ = savedLimit;
            streamDepth_ = savedDepth;
        });
        while (stream.Position() < stream.Size()) {
            PVastNode node = MakeNewNode();
            // After the first node the others follow it, so several nodes keep their order.
            if (previous && (mode == amAddChildFirst || mode == amInsertAfter))
                InternalConnectNode(node, previous, this, amInsertAfter);
            else
                InternalConnectNode(node, target, this, mode);
            InternalAddFromStream(stream, 2, node);
            if (DoNodeCopying(node, EventNode(target))) {
                DoNodeCopied(node);
                StructureChange(node, reason);
                previous = node;
            } else {
                InternalDeleteNode(node, true);
            }
        }
    });
    ReleaseStgMedium(&medium);
    return result;
}

// ---- the text tree's renderings ----

HGLOBAL TCustomVastStringTree::ContentToClipboard(CLIPFORMAT format, TVSTTextSourceType source) {
    InitializeClipboardFormats();
    std::string bytes;
    if (format == CF_TEXT) {
        bytes = ContentToText(source, '\t');
    } else if (format == CF_UNICODETEXT) {
        std::u16string text = ContentToUnicode(source, u'\t');
        if (text.empty()) return nullptr;
        std::vector<std::uint8_t> wide(2 * text.size() + 2, 0);
        for (std::size_t i = 0; i < text.size(); ++i) {
            wide[2 * i] = std::uint8_t(text[i]);
            wide[2 * i + 1] = std::uint8_t(text[i] >> 8);
        }
        return GlobalAllocCopy(wide.data(), wide.size());
    } else if (format == CF_CSV) {
        bytes = ContentToText(source, ',');
    } else if (format == CF_VRTF) {
        bytes = ContentToRTF(source);
    } else if (format == CF_HTML) {
        bytes = WrapClipboardHTML(ContentToHTML(source));
    } else if (format == CF_HTMLPAGE) {
        bytes = ContentToHTML(source);
        return bytes.empty() ? nullptr : GlobalAllocCopy(bytes.data(), bytes.size());
    } else {
        return nullptr;
    }
    if (bytes.empty()) return nullptr;
    return GlobalAllocCopy(bytes.c_str(), bytes.size() + 1);
}

HRESULT TCustomVastStringTree::RenderOLEData(const FORMATETC& format, STGMEDIUM& medium, bool forClipboard) {
    HRESULT result = TBaseVastTree::RenderOLEData(format, medium, forClipboard);
    if (SUCCEEDED(result)) return result;
    try {
        HGLOBAL block = ContentToClipboard(format.cfFormat, forClipboard ? tstCutCopySet : tstSelected);
        if (!block) return result;
        medium = STGMEDIUM{};
        medium.tymed = TYMED_HGLOBAL;
        medium.hGlobal = block;
        return S_OK;
    } catch (...) {
        medium = STGMEDIUM{};
        return E_FAIL;
    }
}

}  // namespace treeview
