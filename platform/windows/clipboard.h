#pragma once
// The clipboard as the OLE data-transfer calls know it: data objects (IDataObject) offering
// formats (FORMATETC) whose data travels in storage media (STGMEDIUM: a global memory block
// or a stream), OleSetClipboard / OleGetClipboard / OleFlushClipboard, the registry of
// clipboard formats, and TClipboard, the class library's text clipboard for edits.
//
// Two selections exist: the clipboard (copy, cut, paste) and the primary selection (what is
// selected, pasted with the middle button). On X11 both are X selections served lazily: a
// format is rendered by the data object only when another program asks for it. Headless, an
// in-process clipboard stands behind the same calls.
//
// Text formats: CF_UNICODETEXT holds UTF-16 (little-endian, ending in a 0 character) as on
// the system these calls come from; CF_TEXT holds UTF-8 ending in a 0 byte; CF_HDROP holds a
// DROPFILES block followed by UTF-8 paths, each ending in 0, and a final 0.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/core/interfaces.h"
#include "platform/core/streams.h"
#include "platform/core/wintypes.h"

namespace platform {

using CLIPFORMAT = WORD;
constexpr CLIPFORMAT CF_TEXT = 1;
constexpr CLIPFORMAT CF_BITMAP = 2;
constexpr CLIPFORMAT CF_OEMTEXT = 7;
constexpr CLIPFORMAT CF_DIB = 8;
constexpr CLIPFORMAT CF_UNICODETEXT = 13;
constexpr CLIPFORMAT CF_HDROP = 15;

// Global memory: a block of bytes behind a handle.
struct GlobalBlock;
using HGLOBAL = GlobalBlock*;
constexpr UINT GMEM_FIXED = 0x0000;
constexpr UINT GMEM_MOVEABLE = 0x0002;
constexpr UINT GMEM_ZEROINIT = 0x0040;
constexpr UINT GMEM_DDESHARE = 0x2000;
constexpr UINT GHND = GMEM_MOVEABLE | GMEM_ZEROINIT;
// Null when size bytes cannot be had. The bytes start zeroed.
HGLOBAL GlobalAlloc(UINT flags, std::size_t size);
HGLOBAL GlobalFree(HGLOBAL block);  // null
std::size_t GlobalSize(HGLOBAL block);
void* GlobalLock(HGLOBAL block);
BOOL GlobalUnlock(HGLOBAL block);
// A block holding a copy of size bytes (a convenience for callers that render data).
HGLOBAL GlobalAllocCopy(const void* data, std::size_t size);

// Media types, aspects and directions.
constexpr DWORD TYMED_NULL = 0;
constexpr DWORD TYMED_HGLOBAL = 1;
constexpr DWORD TYMED_FILE = 2;
constexpr DWORD TYMED_ISTREAM = 4;
constexpr DWORD TYMED_ISTORAGE = 8;
constexpr DWORD TYMED_GDI = 16;
constexpr DWORD TYMED_MFPICT = 32;
constexpr DWORD TYMED_ENHMF = 64;
constexpr DWORD DVASPECT_CONTENT = 1;
constexpr DWORD DATADIR_GET = 1;
constexpr DWORD DATADIR_SET = 2;

// The result codes of data transfer.
constexpr HRESULT OLE_E_ADVISENOTSUPPORTED = HRESULT(0x80040003u);
constexpr HRESULT DV_E_FORMATETC = HRESULT(0x80040064u);
constexpr HRESULT DV_E_LINDEX = HRESULT(0x80040068u);
constexpr HRESULT DV_E_TYMED = HRESULT(0x80040069u);
constexpr HRESULT DV_E_DVASPECT = HRESULT(0x8004006Bu);
constexpr HRESULT CLIPBRD_E_CANT_OPEN = HRESULT(0x800401D0u);
constexpr HRESULT CLIPBRD_E_CANT_SET = HRESULT(0x800401D2u);
constexpr HRESULT CLIPBRD_E_BAD_DATA = HRESULT(0x800401D3u);
constexpr HRESULT OLE_S_USEREG = HRESULT(0x00040000u);
constexpr HRESULT DATA_S_SAMEFORMATETC = HRESULT(0x00040130u);

struct DVTARGETDEVICE;

struct FORMATETC {
    CLIPFORMAT cfFormat = 0;
    DVTARGETDEVICE* ptd = nullptr;
    DWORD dwAspect = DVASPECT_CONTENT;
    LONG lindex = -1;
    DWORD tymed = TYMED_HGLOBAL;
};

// IStream: a reference-counted stream; Stream() is the class library's TStream over it.
// {0000000C-0000-0000-C000-000000000046}
constexpr IID IID_IStream = {0x0000000C, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
class IStream : public virtual IUnknown {
public:
    virtual TStream& Stream() = 0;
};
// A stream over a copy of the block's bytes (or an empty one for null), positioned at 0.
// With deleteOnRelease the block is freed here (its bytes now live in the stream).
HRESULT CreateStreamOnHGlobal(HGLOBAL block, BOOL deleteOnRelease, IStream** stream);

struct STGMEDIUM {
    DWORD tymed = TYMED_NULL;
    HGLOBAL hGlobal = nullptr;  // TYMED_HGLOBAL
    IStream* pstm = nullptr;    // TYMED_ISTREAM
    // Released instead of the medium's own data when set (the data belongs to it).
    IUnknown* pUnkForRelease = nullptr;
};
// Frees a medium's data (or releases pUnkForRelease) and clears it.
void ReleaseStgMedium(STGMEDIUM* medium);

// {00000103-0000-0000-C000-000000000046}
constexpr IID IID_IEnumFORMATETC = {0x00000103, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
class IEnumFORMATETC : public virtual IUnknown {
public:
    virtual HRESULT Next(ULONG count, FORMATETC* items, ULONG* fetched) = 0;
    virtual HRESULT Skip(ULONG count) = 0;
    virtual HRESULT Reset() = 0;
    virtual HRESULT Clone(IEnumFORMATETC** copy) = 0;
};

// Change notifications of a data object.
class IAdviseSink : public virtual IUnknown {
public:
    virtual void OnDataChange(const FORMATETC* format, const STGMEDIUM* medium) = 0;
};
class IEnumSTATDATA : public virtual IUnknown {};
constexpr DWORD ADVF_NODATA = 1;

// {0000010E-0000-0000-C000-000000000046}
constexpr IID IID_IDataObject = {0x0000010E, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
class IDataObject : public virtual IUnknown {
public:
    virtual HRESULT GetData(const FORMATETC* format, STGMEDIUM* medium) = 0;
    virtual HRESULT GetDataHere(const FORMATETC* format, STGMEDIUM* medium) = 0;
    virtual HRESULT QueryGetData(const FORMATETC* format) = 0;
    virtual HRESULT GetCanonicalFormatEtc(const FORMATETC* in, FORMATETC* out) = 0;
    virtual HRESULT SetData(const FORMATETC* format, STGMEDIUM* medium, BOOL release) = 0;
    virtual HRESULT EnumFormatEtc(DWORD direction, IEnumFORMATETC** enumerator) = 0;
    virtual HRESULT DAdvise(const FORMATETC* format, DWORD advf, IAdviseSink* sink, DWORD* connection) = 0;
    virtual HRESULT DUnadvise(DWORD connection) = 0;
    virtual HRESULT EnumDAdvise(IEnumSTATDATA** enumerator) = 0;
};

// Keeps the advise sinks of a data object and tells them of changes.
class IDataAdviseHolder : public virtual IUnknown {
public:
    virtual HRESULT Advise(IDataObject* data, const FORMATETC* format, DWORD advf, IAdviseSink* sink,
                           DWORD* connection) = 0;
    virtual HRESULT Unadvise(DWORD connection) = 0;
    virtual HRESULT EnumAdvise(IEnumSTATDATA** enumerator) = 0;
    virtual HRESULT SendOnDataChange(IDataObject* data, DWORD reserved, DWORD advf) = 0;
};
HRESULT CreateDataAdviseHolder(IDataAdviseHolder** holder);

// An IEnumFORMATETC over its own copy of a list.
class TEnumFormatEtcList : public TInterfacedObject, public IEnumFORMATETC {
public:
    explicit TEnumFormatEtcList(std::vector<FORMATETC> formats, std::size_t index = 0)
        : formats_(std::move(formats)), index_(index) {}
    HRESULT QueryInterface(REFIID riid, void** object) override;
    HRESULT Next(ULONG count, FORMATETC* items, ULONG* fetched) override;
    HRESULT Skip(ULONG count) override;
    HRESULT Reset() override;
    HRESULT Clone(IEnumFORMATETC** copy) override;

private:
    std::vector<FORMATETC> formats_;
    std::size_t index_;
};

// A data object holding its data: each format with the bytes of a global block. The
// clipboard's text, a flushed clipboard and pastes from other programs are such objects.
class TMemoryDataObject : public TInterfacedObject, public IDataObject {
public:
    HRESULT QueryInterface(REFIID riid, void** object) override;
    // Adds (or replaces) a format's bytes; they are handed out as TYMED_HGLOBAL, and as
    // TYMED_ISTREAM to a request that allows only that.
    void Put(CLIPFORMAT format, std::vector<std::uint8_t> bytes);
    bool Has(CLIPFORMAT format) const;

    HRESULT GetData(const FORMATETC* format, STGMEDIUM* medium) override;
    HRESULT GetDataHere(const FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT QueryGetData(const FORMATETC* format) override;
    HRESULT GetCanonicalFormatEtc(const FORMATETC*, FORMATETC* out) override;
    HRESULT SetData(const FORMATETC* format, STGMEDIUM* medium, BOOL release) override;
    HRESULT EnumFormatEtc(DWORD direction, IEnumFORMATETC** enumerator) override;
    HRESULT DAdvise(const FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

private:
    std::vector<std::pair<CLIPFORMAT, std::vector<std::uint8_t>>> items_;
};

// The clipboard. OleSetClipboard takes a reference to the object (null empties the
// clipboard) and releases the object it held before; the object is released again when
// another program takes the clipboard. OleGetClipboard gives a data object over what the
// clipboard holds (an empty one when it holds nothing). OleFlushClipboard renders every
// format the object offers, keeps the data and releases the object, and hands the data to a
// clipboard manager when one runs, so it outlives the program.
HRESULT OleSetClipboard(IDataObject* data);
HRESULT OleGetClipboard(IDataObject** data);
HRESULT OleFlushClipboard();
// S_OK when data is the object on the clipboard.
HRESULT OleIsCurrentClipboard(IDataObject* data);
HRESULT OleInitialize(void* reserved);
void OleUninitialize();

// The same for the primary selection.
HRESULT SetPrimarySelection(IDataObject* data);
HRESULT GetPrimarySelection(IDataObject** data);

// How long a paste waits for another program, without progress, before it gives up with
// empty data (default 2000 ms).
void SetClipboardTimeout(int milliseconds);
int ClipboardTimeout();

// Clipboard formats. Registered formats start at 0xC000; a name is registered once
// (case-insensitively) and gives the same number again; an empty name gives 0.
UINT RegisterClipboardFormatA(const char* name);
// Copies the name of a registered format (at most maxCount - 1 bytes and a 0) and returns
// its length; 0 for a predefined or unknown format.
int GetClipboardFormatNameA(UINT format, char* buffer, int maxCount);
// The names other programs know a format by, preferred first: CF_UNICODETEXT "UTF8_STRING",
// "text/plain;charset=utf-8"; CF_TEXT "text/plain", "STRING"; CF_HDROP "text/uri-list"; a
// registered format its own name. Empty for a format that cannot be exchanged.
std::vector<std::string> ClipboardFormatTargets(UINT format);
// The format a target name belongs to (0 for none).
UINT ClipboardFormatOfTarget(const std::string& target);
// A format's data (as held in a global block) written for a target, and back. The text
// targets take invalid UTF-8 as U+FFFD and end at the first 0; STRING is Latin-1.
std::vector<std::uint8_t> FormatToTarget(UINT format, const std::string& target, const std::uint8_t* data,
                                         std::size_t size);
std::vector<std::uint8_t> TargetToFormat(UINT format, const std::string& target, const std::uint8_t* data,
                                         std::size_t size);

// Text in the two text formats.
std::vector<std::uint8_t> Utf8ToUnicodeText(const std::string& text);
std::string UnicodeTextToUtf8(const std::uint8_t* data, std::size_t size);
// Valid UTF-8 up to the first 0 byte; bad sequences become U+FFFD.
std::string SanitizeUtf8(const char* data, std::size_t size);

// CF_HDROP: a DROPFILES block with a list of paths.
struct DROPFILES {
    DWORD pFiles;  // offset of the path list
    POINT pt;
    BOOL fNC;
    BOOL fWide;
};
using HDROP = HGLOBAL;
std::vector<std::uint8_t> MakeDropFiles(const std::vector<std::string>& paths);
std::vector<std::string> ReadDropFiles(const std::uint8_t* data, std::size_t size);
// index 0xFFFFFFFF: the number of files; else the length of that path, copied when buffer
// is given (cut to size - 1 bytes and a 0).
UINT DragQueryFileA(HDROP drop, UINT index, char* buffer, UINT size);

// The class library's clipboard for the edits: text in and out of the clipboard or, for
// PrimarySelection(), the primary selection.
class TClipboard : public TObject {
public:
    explicit TClipboard(bool primary = false) : primary_(primary) {}
    // The clipboard's text ("" when it holds none).
    std::string AsText();
    // Puts text on it as CF_UNICODETEXT and CF_TEXT.
    void SetAsText(const std::string& text);
    bool HasFormat(UINT format);
    void Clear();
    // Whether this program holds the selection now.
    bool Owned();

private:
    bool primary_;
};
TClipboard* Clipboard();
TClipboard* PrimarySelection();

}  // namespace platform
