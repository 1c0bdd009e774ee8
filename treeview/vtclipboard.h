#pragma once
// Trees on the clipboard and in drag and drop: the process-wide registry of clipboard
// formats with the tree classes that render them, the per-tree list of offered formats
// (TClipboardFormats), and the data object a tree hands out (TVTDataObject) with its
// format enumerator.
//
// Formats and the names other programs see them by (X selection targets):
//   "Vast Tree Data"        application/x-vast-tree-data (u32 size, then the node stream)
//   "Vast Tree Reference"   application/x-vast-tree-reference (u32 process id, u32 tree id)
//   "HTML Format"           the clipboard wrapper, for readers in this process; the plain
//                           page goes out beside it as text/html
//   "Rich Text Format" and "Rich Text Format Without Objects"   text/rtf
//   "CSV"                   text/csv
//   "Unicode text"          UTF8_STRING, text/plain;charset=utf-8
//   "Plain text"            text/plain, STRING
// A reference names a tree by a number looked up among the live trees of this process:
// no address leaves the process, and a reference to a tree that is gone finds nothing.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/windows/clipboard.h"
#include "treeview/vasttrees.h"

namespace treeview {

using TFormatEtcArray = std::vector<platform::FORMATETC>;
using TNodeArray = std::vector<PVastNode>;

// A tree class as the registry knows it: whether a tree is of that class.
using TVTTreeClass = bool (*)(const TBaseVastTree* tree);
template <class T> bool TreeIsA(const TBaseVastTree* tree) { return dynamic_cast<const T*>(tree) != nullptr; }

extern platform::CLIPFORMAT CF_VASTTREE, CF_VTREFERENCE, CF_HTML, CF_HTMLPAGE, CF_VRTF, CF_VRTFNOOBJS, CF_CSV;
// Registers the tree formats (once; every function here does it first).
void InitializeClipboardFormats();

platform::CLIPFORMAT RegisterVTClipboardFormat(const std::string& description, TVTTreeClass treeClass,
                                               unsigned priority, platform::DWORD tymed = platform::TYMED_HGLOBAL);
// Enters an existing format; a predefined format without a description (0) is not entered.
platform::CLIPFORMAT RegisterVTClipboardFormat(platform::CLIPFORMAT format, TVTTreeClass treeClass, unsigned priority);
// The descriptions and formats the tree's class can render, by priority.
void EnumerateVTClipboardFormats(const TBaseVastTree* tree, std::vector<std::string>& list);
void EnumerateVTClipboardFormats(const TBaseVastTree* tree, TFormatEtcArray& formats);
std::string GetVTClipboardFormatDescription(platform::CLIPFORMAT format);

// The formats a tree offers: registered descriptions its class can render, kept sorted
// without letter case, without duplicates.
class TClipboardFormats {
public:
    explicit TClipboardFormats(TBaseVastTree* owner) : owner_(owner) {}
    // -1 (and nothing added) for a format that is not registered or not for the tree.
    int Add(const std::string& description);
    // A sorted list takes no insert at a position: raises EStringListError for an
    // acceptable format, ignores any other.
    void Insert(int index, const std::string& description);
    void Assign(const std::vector<std::string>& descriptions);
    void Clear() { items_.clear(); }
    int Count() const { return int(items_.size()); }
    const std::string& Strings(int index) const { return items_[std::size_t(index)]; }
    int IndexOf(const std::string& description) const;

private:
    TBaseVastTree* owner_;
    std::vector<std::string> items_;
};

// The data object of a tree: offers the tree's formats and renders them on request.
class TVTDataObject : public platform::TInterfacedObject, public platform::IDataObject {
public:
    TVTDataObject(TBaseVastTree* owner, bool forClipboard);
    ~TVTDataObject() override;
    platform::HRESULT QueryInterface(platform::REFIID riid, void** object) override;

    platform::HRESULT GetData(const platform::FORMATETC* format, platform::STGMEDIUM* medium) override;
    platform::HRESULT GetDataHere(const platform::FORMATETC*, platform::STGMEDIUM*) override {
        return platform::E_NOTIMPL;
    }
    platform::HRESULT QueryGetData(const platform::FORMATETC* format) override;
    platform::HRESULT GetCanonicalFormatEtc(const platform::FORMATETC* in, platform::FORMATETC* out) override;
    platform::HRESULT SetData(const platform::FORMATETC* format, platform::STGMEDIUM* medium,
                              platform::BOOL release) override;
    platform::HRESULT EnumFormatEtc(platform::DWORD direction, platform::IEnumFORMATETC** enumerator) override;
    platform::HRESULT DAdvise(const platform::FORMATETC* format, platform::DWORD advf, platform::IAdviseSink* sink,
                              platform::DWORD* connection) override;
    platform::HRESULT DUnadvise(platform::DWORD connection) override;
    platform::HRESULT EnumDAdvise(platform::IEnumSTATDATA** enumerator) override;

    TBaseVastTree* Owner() const { return owner_; }
    bool ForClipboard() const { return forClipboard_; }
    const TFormatEtcArray& Formats() const { return formats_; }
    // The tree is going away: nothing may reach it any more.
    void ForgetOwner() { owner_ = nullptr; }
    // The live data objects made for a tree.
    static std::vector<TVTDataObject*> ObjectsOf(const TBaseVastTree* tree);

private:
    int FindFormatEtc(const platform::FORMATETC& format) const;
    platform::STGMEDIUM* FindInternalStgMedium(platform::CLIPFORMAT format);
    TBaseVastTree* owner_;
    bool forClipboard_;
    TFormatEtcArray formats_;
    std::vector<std::pair<platform::CLIPFORMAT, platform::STGMEDIUM>> media_;
    platform::TComPtr<platform::IDataAdviseHolder> adviseHolder_;
};

// The enumerator over a copy of a format list.
class TEnumFormatEtc : public platform::TInterfacedObject, public platform::IEnumFORMATETC {
public:
    TEnumFormatEtc(TBaseVastTree* tree, TFormatEtcArray formats, std::size_t index = 0)
        : tree_(tree), formats_(std::move(formats)), index_(index) {}
    platform::HRESULT QueryInterface(platform::REFIID riid, void** object) override;
    platform::HRESULT Next(platform::ULONG count, platform::FORMATETC* items, platform::ULONG* fetched) override;
    platform::HRESULT Skip(platform::ULONG count) override;
    platform::HRESULT Reset() override;
    platform::HRESULT Clone(platform::IEnumFORMATETC** copy) override;

private:
    TBaseVastTree* tree_;
    TFormatEtcArray formats_;
    std::size_t index_;
};

// The tree a number names among the live trees of this process (nullptr when gone).
TBaseVastTree* FindLiveTree(std::uint32_t id);

}  // namespace treeview
