#include "platform/windows/clipboard.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <mutex>
#include <new>

#include "platform/core/sysutils.h"
#include "platform/windows/selection.h"

namespace platform {

// ---- Global memory ----------------------------------------------------------------------

HGLOBAL GlobalAlloc(UINT, std::size_t size) {
    auto* block = new (std::nothrow) GlobalBlock;
    if (!block) return nullptr;
    try {
        block->bytes.assign(size, 0);
    } catch (const std::bad_alloc&) {
        delete block;
        return nullptr;
    }
    return block;
}

HGLOBAL GlobalFree(HGLOBAL block) {
    delete block;
    return nullptr;
}

std::size_t GlobalSize(HGLOBAL block) { return block ? block->bytes.size() : 0; }

void* GlobalLock(HGLOBAL block) {
    if (!block) return nullptr;
    // A zero-sized block still locks to a valid address.
    return block->bytes.empty() ? static_cast<void*>(block) : block->bytes.data();
}

// Blocks never move: unlocking only says no lock is left.
BOOL GlobalUnlock(HGLOBAL) { return FALSE; }

HGLOBAL GlobalAllocCopy(const void* data, std::size_t size) {
    auto* block = new (std::nothrow) GlobalBlock;
    if (!block) return nullptr;
    try {
        auto* p = static_cast<const std::uint8_t*>(data);
        block->bytes.assign(p, p + size);
    } catch (const std::bad_alloc&) {
        delete block;
        return nullptr;
    }
    return block;
}

// ---- Streams ----------------------------------------------------------------------------

namespace {
class TMemoryIStream : public TInterfacedObject, public IStream {
public:
    HRESULT QueryInterface(REFIID riid, void** object) override {
        if (object && riid == IID_IStream) {
            *object = static_cast<IStream*>(this);
            AddRef();
            return S_OK;
        }
        return TInterfacedObject::QueryInterface(riid, object);
    }
    TStream& Stream() override { return stream_; }

private:
    TMemoryStream stream_;
};
}  // namespace

HRESULT CreateStreamOnHGlobal(HGLOBAL block, BOOL deleteOnRelease, IStream** stream) {
    if (!stream) return E_POINTER;
    auto* s = new TMemoryIStream;
    s->AddRef();
    if (block && GlobalSize(block)) s->Stream().WriteBuffer(block->bytes.data(), std::int64_t(GlobalSize(block)));
    s->Stream().SetPosition(0);
    if (deleteOnRelease) GlobalFree(block);
    *stream = s;
    return S_OK;
}

void ReleaseStgMedium(STGMEDIUM* medium) {
    if (!medium) return;
    if (medium->pUnkForRelease) {
        medium->pUnkForRelease->Release();
    } else if (medium->tymed == TYMED_HGLOBAL) {
        GlobalFree(medium->hGlobal);
    } else if (medium->tymed == TYMED_ISTREAM && medium->pstm) {
        medium->pstm->Release();
    }
    *medium = STGMEDIUM();
}

// ---- Advise holder ----------------------------------------------------------------------

namespace {
class TDataAdviseHolder : public TInterfacedObject, public IDataAdviseHolder {
public:
    ~TDataAdviseHolder() override {
        for (auto& c : connections_) c.sink->Release();
    }
    HRESULT Advise(IDataObject*, const FORMATETC* format, DWORD advf, IAdviseSink* sink, DWORD* connection) override {
        if (!format || !sink) return E_INVALIDARG;
        sink->AddRef();
        connections_.push_back({++lastId_, *format, advf, sink});
        if (connection) *connection = lastId_;
        return S_OK;
    }
    HRESULT Unadvise(DWORD connection) override {
        for (auto it = connections_.begin(); it != connections_.end(); ++it)
            if (it->id == connection) {
                it->sink->Release();
                connections_.erase(it);
                return S_OK;
            }
        return OLE_E_ADVISENOTSUPPORTED;
    }
    HRESULT EnumAdvise(IEnumSTATDATA** enumerator) override {
        if (enumerator) *enumerator = nullptr;
        return E_NOTIMPL;
    }
    HRESULT SendOnDataChange(IDataObject* data, DWORD, DWORD) override {
        for (auto& c : std::vector<Connection>(connections_)) {
            STGMEDIUM medium;
            bool withData = !(c.advf & ADVF_NODATA) && data && SUCCEEDED(data->GetData(&c.format, &medium));
            c.sink->OnDataChange(&c.format, withData ? &medium : nullptr);
            if (withData) ReleaseStgMedium(&medium);
        }
        return S_OK;
    }

private:
    struct Connection {
        DWORD id;
        FORMATETC format;
        DWORD advf;
        IAdviseSink* sink;
    };
    std::vector<Connection> connections_;
    DWORD lastId_ = 0;
};
}  // namespace

HRESULT CreateDataAdviseHolder(IDataAdviseHolder** holder) {
    if (!holder) return E_POINTER;
    *holder = new TDataAdviseHolder;
    (*holder)->AddRef();
    return S_OK;
}

// ---- Format enumerator ------------------------------------------------------------------

HRESULT TEnumFormatEtcList::QueryInterface(REFIID riid, void** object) {
    if (object && riid == IID_IEnumFORMATETC) {
        *object = static_cast<IEnumFORMATETC*>(this);
        AddRef();
        return S_OK;
    }
    return TInterfacedObject::QueryInterface(riid, object);
}

HRESULT TEnumFormatEtcList::Next(ULONG count, FORMATETC* items, ULONG* fetched) {
    ULONG n = 0;
    while (n < count && index_ < formats_.size()) items[n++] = formats_[index_++];
    if (fetched) *fetched = n;
    return n == count ? S_OK : S_FALSE;
}

HRESULT TEnumFormatEtcList::Skip(ULONG count) {
    if (formats_.size() - index_ < count) return S_FALSE;
    index_ += count;
    return S_OK;
}

HRESULT TEnumFormatEtcList::Reset() {
    index_ = 0;
    return S_OK;
}

HRESULT TEnumFormatEtcList::Clone(IEnumFORMATETC** copy) {
    if (!copy) return E_POINTER;
    *copy = new TEnumFormatEtcList(formats_, index_);
    (*copy)->AddRef();
    return S_OK;
}

// ---- Memory data object -----------------------------------------------------------------

HRESULT TMemoryDataObject::QueryInterface(REFIID riid, void** object) {
    if (object && riid == IID_IDataObject) {
        *object = static_cast<IDataObject*>(this);
        AddRef();
        return S_OK;
    }
    return TInterfacedObject::QueryInterface(riid, object);
}

void TMemoryDataObject::Put(CLIPFORMAT format, std::vector<std::uint8_t> bytes) {
    for (auto& item : items_)
        if (item.first == format) {
            item.second = std::move(bytes);
            return;
        }
    items_.emplace_back(format, std::move(bytes));
}

bool TMemoryDataObject::Has(CLIPFORMAT format) const {
    return std::any_of(items_.begin(), items_.end(), [format](const auto& i) { return i.first == format; });
}

HRESULT TMemoryDataObject::QueryGetData(const FORMATETC* format) {
    if (!format) return E_POINTER;
    if (!Has(format->cfFormat)) return DV_E_FORMATETC;
    if (!(format->tymed & (TYMED_HGLOBAL | TYMED_ISTREAM))) return DV_E_TYMED;
    if (format->dwAspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (format->lindex != -1) return DV_E_LINDEX;
    return S_OK;
}

HRESULT TMemoryDataObject::GetData(const FORMATETC* format, STGMEDIUM* medium) {
    if (!medium) return E_POINTER;
    *medium = STGMEDIUM();
    HRESULT hr = QueryGetData(format);
    if (hr != S_OK) return hr;
    for (auto& item : items_) {
        if (item.first != format->cfFormat) continue;
        if (format->tymed & TYMED_HGLOBAL) {
            medium->hGlobal = GlobalAllocCopy(item.second.data(), item.second.size());
            if (!medium->hGlobal) return E_OUTOFMEMORY;
            medium->tymed = TYMED_HGLOBAL;
        } else {
            IStream* stream = nullptr;
            CreateStreamOnHGlobal(nullptr, FALSE, &stream);
            if (!item.second.empty()) stream->Stream().WriteBuffer(item.second.data(), std::int64_t(item.second.size()));
            stream->Stream().SetPosition(0);
            medium->pstm = stream;
            medium->tymed = TYMED_ISTREAM;
        }
        return S_OK;
    }
    return DV_E_FORMATETC;
}

HRESULT TMemoryDataObject::GetCanonicalFormatEtc(const FORMATETC*, FORMATETC* out) {
    if (out) out->ptd = nullptr;
    return DATA_S_SAMEFORMATETC;
}

HRESULT TMemoryDataObject::SetData(const FORMATETC* format, STGMEDIUM* medium, BOOL release) {
    if (!format || !medium) return E_INVALIDARG;
    std::vector<std::uint8_t> bytes;
    if (medium->tymed == TYMED_HGLOBAL && medium->hGlobal) {
        bytes = medium->hGlobal->bytes;
    } else if (medium->tymed == TYMED_ISTREAM && medium->pstm) {
        TStream& s = medium->pstm->Stream();
        std::int64_t at = s.Position();
        s.SetPosition(0);
        bytes.resize(std::size_t(s.Size()));
        if (!bytes.empty()) s.ReadBuffer(bytes.data(), std::int64_t(bytes.size()));
        s.SetPosition(at);
    } else {
        return DV_E_TYMED;
    }
    Put(format->cfFormat, std::move(bytes));
    if (release) ReleaseStgMedium(medium);
    return S_OK;
}

HRESULT TMemoryDataObject::EnumFormatEtc(DWORD direction, IEnumFORMATETC** enumerator) {
    if (!enumerator) return E_POINTER;
    *enumerator = nullptr;
    if (direction != DATADIR_GET) return OLE_S_USEREG;
    std::vector<FORMATETC> formats;
    for (auto& item : items_) {
        FORMATETC f;
        f.cfFormat = item.first;
        f.tymed = TYMED_HGLOBAL | TYMED_ISTREAM;
        formats.push_back(f);
    }
    *enumerator = new TEnumFormatEtcList(std::move(formats));
    (*enumerator)->AddRef();
    return S_OK;
}

// ---- Format registry --------------------------------------------------------------------

namespace {
struct FormatRegistry {
    std::mutex lock;
    std::vector<std::string> names;  // index: format - 0xC000
};
FormatRegistry& Formats() {
    static auto* registry = new FormatRegistry;
    return *registry;
}
}  // namespace

UINT RegisterClipboardFormatA(const char* name) {
    if (!name || !*name) return 0;
    FormatRegistry& r = Formats();
    std::lock_guard<std::mutex> lock(r.lock);
    for (std::size_t i = 0; i < r.names.size(); ++i)
        if (SameText(r.names[i], name)) return UINT(0xC000 + i);
    if (r.names.size() >= 0x3FFF) return 0;
    r.names.emplace_back(name);
    return UINT(0xC000 + r.names.size() - 1);
}

int GetClipboardFormatNameA(UINT format, char* buffer, int maxCount) {
    if (format < 0xC000 || !buffer || maxCount <= 0) return 0;
    FormatRegistry& r = Formats();
    std::lock_guard<std::mutex> lock(r.lock);
    std::size_t i = format - 0xC000;
    if (i >= r.names.size()) return 0;
    std::size_t n = std::min<std::size_t>(r.names[i].size(), std::size_t(maxCount - 1));
    std::memcpy(buffer, r.names[i].data(), n);
    buffer[n] = 0;
    return int(n);
}

std::vector<std::string> ClipboardFormatTargets(UINT format) {
    switch (format) {
        case CF_UNICODETEXT: return {"UTF8_STRING", "text/plain;charset=utf-8"};
        case CF_TEXT: return {"text/plain", "STRING"};
        case CF_HDROP: return {"text/uri-list"};
        default: break;
    }
    char name[2048];
    if (GetClipboardFormatNameA(format, name, sizeof name) > 0) return {name};
    return {};
}

UINT ClipboardFormatOfTarget(const std::string& target) {
    for (UINT f : {UINT(CF_UNICODETEXT), UINT(CF_TEXT), UINT(CF_HDROP)})
        for (const std::string& t : ClipboardFormatTargets(f))
            if (t == target) return f;
    if (target == "TEXT" || target == "text/plain;charset=UTF-8") return CF_UNICODETEXT;
    FormatRegistry& r = Formats();
    std::lock_guard<std::mutex> lock(r.lock);
    for (std::size_t i = 0; i < r.names.size(); ++i)
        if (r.names[i] == target) return UINT(0xC000 + i);
    return 0;
}

// ---- Text conversions -------------------------------------------------------------------

namespace {
void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

// Decodes one UTF-8 character at s[i]; a bad sequence gives U+FFFD and consumes one byte.
char32_t DecodeUtf8(const unsigned char* s, std::size_t n, std::size_t& i) {
    unsigned char b = s[i];
    int len = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
    if (len == 0 || i + std::size_t(len) > n) {
        ++i;
        return 0xFFFD;
    }
    char32_t c = len == 1 ? b : len == 2 ? (b & 0x1F) : len == 3 ? (b & 0x0F) : (b & 0x07);
    for (int k = 1; k < len; ++k) {
        if ((s[i + std::size_t(k)] & 0xC0) != 0x80) {
            ++i;
            return 0xFFFD;
        }
        c = (c << 6) | (s[i + std::size_t(k)] & 0x3F);
    }
    static const char32_t minimum[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < minimum[len] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        ++i;
        return 0xFFFD;
    }
    i += std::size_t(len);
    return c;
}
}  // namespace

std::string SanitizeUtf8(const char* data, std::size_t size) {
    if (!data || size == 0) return "";
    auto* s = reinterpret_cast<const unsigned char*>(data);
    const void* nul = std::memchr(s, 0, size);
    std::size_t n = nul ? std::size_t(static_cast<const unsigned char*>(nul) - s) : size;
    // Valid runs are copied whole; only a bad sequence is written piece by piece.
    std::string out;
    out.reserve(n);
    std::size_t i = 0, run = 0;
    while (i < n) {
        if (s[i] < 0x80) {
            ++i;
            continue;
        }
        std::size_t at = i;
        char32_t c = DecodeUtf8(s, n, i);
        if (c == 0xFFFD && !(i - at == 3 && s[at] == 0xEF && s[at + 1] == 0xBF && s[at + 2] == 0xBD)) {
            out.append(data + run, at - run);
            AppendUtf8(out, 0xFFFD);
            run = i;
        }
    }
    out.append(data + run, n - run);
    return out;
}

std::vector<std::uint8_t> Utf8ToUnicodeText(const std::string& text) {
    auto* s = reinterpret_cast<const unsigned char*>(text.data());
    std::size_t n = text.size();
    // Every byte gives at most one 16-bit unit (a 4-byte character gives two).
    std::vector<std::uint8_t> out(n * 2 + 2);
    std::uint8_t* o = out.data();
    std::size_t i = 0;
    auto put = [&o](char32_t u) {
        o[0] = std::uint8_t(u & 0xFF);
        o[1] = std::uint8_t(u >> 8);
        o += 2;
    };
    while (i < n) {
        unsigned char b = s[i];
        if (b && b < 0x80) {
            put(b);
            ++i;
            continue;
        }
        char32_t c = DecodeUtf8(s, n, i);
        if (c == 0) break;
        if (c >= 0x10000) {
            c -= 0x10000;
            put(0xD800 + (c >> 10));
            put(0xDC00 + (c & 0x3FF));
        } else {
            put(c);
        }
    }
    put(0);
    out.resize(std::size_t(o - out.data()));
    return out;
}

std::string UnicodeTextToUtf8(const std::uint8_t* data, std::size_t size) {
    // Two passes: the first counts the bytes (and finds the end), the second writes them
    // into a string of exactly that size.
    std::size_t length = 0, units = 0;
    for (; units + 1 < size; units += 2) {
        unsigned u = unsigned(data[units] | (data[units + 1] << 8));
        if (u == 0) break;
        length += u < 0x80 ? 1 : u < 0x800 ? 2 : 3;  // a surrogate pair: 3 + 3 >= 4
    }
    size = units;
    std::string out(length, '\0');
    char* o = out.data();
    auto put = [&o](char32_t c) {
        if (c < 0x80) {
            *o++ = char(c);
        } else if (c < 0x800) {
            *o++ = char(0xC0 | (c >> 6));
            *o++ = char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            *o++ = char(0xE0 | (c >> 12));
            *o++ = char(0x80 | ((c >> 6) & 0x3F));
            *o++ = char(0x80 | (c & 0x3F));
        } else {
            *o++ = char(0xF0 | (c >> 18));
            *o++ = char(0x80 | ((c >> 12) & 0x3F));
            *o++ = char(0x80 | ((c >> 6) & 0x3F));
            *o++ = char(0x80 | (c & 0x3F));
        }
    };
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        char32_t u = char32_t(data[i] | (data[i + 1] << 8));
        if (u < 0x80) {
            *o++ = char(u);
            continue;
        }
        if (u >= 0xD800 && u <= 0xDBFF && i + 3 < size) {
            char32_t low = char32_t(data[i + 2] | (data[i + 3] << 8));
            if (low >= 0xDC00 && low <= 0xDFFF) {
                put(0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
                i += 2;
                continue;
            }
        }
        put((u >= 0xD800 && u <= 0xDFFF) ? 0xFFFD : u);
    }
    out.resize(std::size_t(o - out.data()));
    return out;
}

namespace {
std::string PercentEncodePath(const std::string& path) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : path) {
        if (std::isalnum(c) || std::strchr("/-._~!$&'()*+,;=:@", c)) {
            out += char(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The local paths of a text/uri-list ("#" lines are comments; other schemes are skipped).
std::vector<std::string> PathsOfUriList(const std::string& list) {
    std::vector<std::string> paths;
    std::size_t at = 0;
    while (at < list.size()) {
        std::size_t end = list.find('\n', at);
        if (end == std::string::npos) end = list.size();
        std::string line = list.substr(at, end - at);
        at = end + 1;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        std::string rest;
        if (line.rfind("file://", 0) == 0) {
            rest = line.substr(7);
            std::size_t slash = rest.find('/');
            if (slash == std::string::npos) continue;
            std::string host = rest.substr(0, slash);
            if (!host.empty() && host != "localhost") continue;
            rest = rest.substr(slash);
        } else if (line[0] == '/') {
            rest = line;
        } else {
            continue;
        }
        std::string path;
        for (std::size_t i = 0; i < rest.size(); ++i) {
            if (rest[i] == '%' && i + 2 < rest.size() + 0 && HexValue(rest[i + 1]) >= 0 && HexValue(rest[i + 2]) >= 0) {
                path += char(HexValue(rest[i + 1]) * 16 + HexValue(rest[i + 2]));
                i += 2;
            } else {
                path += rest[i];
            }
        }
        if (path.find('\0') == std::string::npos) paths.push_back(path);
    }
    return paths;
}
}  // namespace

std::vector<std::uint8_t> MakeDropFiles(const std::vector<std::string>& paths) {
    DROPFILES header{};
    header.pFiles = sizeof(DROPFILES);
    std::vector<std::uint8_t> out(sizeof header);
    std::memcpy(out.data(), &header, sizeof header);
    for (const std::string& p : paths) {
        out.insert(out.end(), p.begin(), p.end());
        out.push_back(0);
    }
    out.push_back(0);
    return out;
}

std::vector<std::string> ReadDropFiles(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> paths;
    if (!data || size < sizeof(DROPFILES)) return paths;
    DROPFILES header;
    std::memcpy(&header, data, sizeof header);
    std::size_t at = header.pFiles;
    while (at < size && data[at]) {
        const std::uint8_t* end = std::find(data + at, data + size, 0);
        paths.emplace_back(reinterpret_cast<const char*>(data + at), std::size_t(end - (data + at)));
        at = std::size_t(end - data) + 1;
    }
    return paths;
}

UINT DragQueryFileA(HDROP drop, UINT index, char* buffer, UINT size) {
    if (!drop) return 0;
    std::vector<std::string> paths = ReadDropFiles(drop->bytes.data(), drop->bytes.size());
    if (index == 0xFFFFFFFFu) return UINT(paths.size());
    if (index >= paths.size()) return 0;
    const std::string& p = paths[index];
    if (buffer && size > 0) {
        std::size_t n = std::min<std::size_t>(p.size(), size - 1);
        std::memcpy(buffer, p.data(), n);
        buffer[n] = 0;
        return UINT(n);
    }
    return UINT(p.size());
}

std::vector<std::uint8_t> FormatToTarget(UINT format, const std::string& target, const std::uint8_t* data,
                                         std::size_t size) {
    std::string text;
    switch (format) {
        case CF_UNICODETEXT: text = UnicodeTextToUtf8(data, size); break;
        case CF_TEXT: text = SanitizeUtf8(reinterpret_cast<const char*>(data), size); break;
        case CF_HDROP: {
            for (const std::string& p : ReadDropFiles(data, size)) text += "file://" + PercentEncodePath(p) + "\r\n";
            return {text.begin(), text.end()};
        }
        default: return {data, data + size};
    }
    if (target == "STRING") {
        // Latin-1: what it cannot hold becomes "?".
        std::vector<std::uint8_t> out;
        auto* s = reinterpret_cast<const unsigned char*>(text.data());
        for (std::size_t i = 0; i < text.size();) {
            char32_t c = DecodeUtf8(s, text.size(), i);
            out.push_back(c < 0x100 ? std::uint8_t(c) : std::uint8_t('?'));
        }
        return out;
    }
    return {text.begin(), text.end()};
}

std::vector<std::uint8_t> TargetToFormat(UINT format, const std::string& target, const std::uint8_t* data,
                                         std::size_t size) {
    std::string text;
    if (format == CF_UNICODETEXT || format == CF_TEXT) {
        if (target == "STRING") {
            for (std::size_t i = 0; i < size && data[i]; ++i) AppendUtf8(text, data[i]);
        } else {
            text = SanitizeUtf8(reinterpret_cast<const char*>(data), size);
        }
        if (format == CF_UNICODETEXT) return Utf8ToUnicodeText(text);
        std::vector<std::uint8_t> out;
        out.reserve(text.size() + 1);
        out.assign(text.begin(), text.end());
        out.push_back(0);
        return out;
    }
    if (format == CF_HDROP)
        return MakeDropFiles(PathsOfUriList(std::string(reinterpret_cast<const char*>(data), size)));
    return {data, data + size};
}

// ---- Selections -------------------------------------------------------------------------

namespace {
// The in-process clipboard: what this program owns is all there is.
class TLocalSelections : public TSelectionService {
public:
    bool Own(TSelectionKind, bool) override { return true; }
    TComPtr<IDataObject> Foreign(TSelectionKind) override { return nullptr; }
};

struct SelectionState {
    TComPtr<IDataObject> owned[kSelectionKinds];
    std::unique_ptr<TSelectionService> service;
    bool serviceChosen = false;
};

SelectionState& State() {
    // Never destroyed: the program's exit still hands the clipboard over.
    static auto* state = new SelectionState;
    return *state;
}

TSelectionService& Service() { return SelectionService(); }
}  // namespace

TSelectionService& SelectionService() {
    SelectionState& s = State();
    if (!s.serviceChosen) {
        s.serviceChosen = true;
        s.service = CreateX11SelectionService();
        if (!s.service) s.service = std::make_unique<TLocalSelections>();
    }
    return *s.service;
}

namespace {

std::atomic<int> gTimeout{2000};

HRESULT SetSelection(TSelectionKind kind, IDataObject* data) {
    SelectionState& s = State();
    TComPtr<IDataObject> old = s.owned[int(kind)];
    s.owned[int(kind)] = data;
    if (!Service().Own(kind, data != nullptr)) {
        s.owned[int(kind)] = nullptr;
        return CLIPBRD_E_CANT_SET;
    }
    // The previous object goes last, when the new one is in place: its release may run code
    // (a tree cancelling its cut) that looks at the clipboard.
    old.Reset();
    return S_OK;
}

HRESULT GetSelection(TSelectionKind kind, IDataObject** data) {
    if (!data) return E_POINTER;
    if (State().owned[int(kind)] && !Service().StillOwned(kind)) SelectionLost(kind);
    TComPtr<IDataObject> object = State().owned[int(kind)];
    if (!object) object = Service().Foreign(kind);
    if (!object) object = new TMemoryDataObject;
    *data = object.Detach();
    return S_OK;
}
}  // namespace

TComPtr<IDataObject> OwnedSelection(TSelectionKind kind) { return State().owned[int(kind)]; }

HRESULT SetSelectionObject(TSelectionKind kind, IDataObject* data) { return SetSelection(kind, data); }

void SelectionLost(TSelectionKind kind) {
    TComPtr<IDataObject> old = std::move(State().owned[int(kind)]);
    old.Reset();
}

std::vector<FORMATETC> OfferedFormats(IDataObject* data) {
    std::vector<FORMATETC> out;
    IEnumFORMATETC* e = nullptr;
    if (!data || data->EnumFormatEtc(DATADIR_GET, &e) != S_OK || !e) return out;
    TComPtr<IEnumFORMATETC> holder = TComPtr<IEnumFORMATETC>::Attach(e);
    e->Reset();
    FORMATETC f;
    ULONG got = 0;
    while (e->Next(1, &f, &got) == S_OK && got == 1) out.push_back(f);
    return out;
}

bool GetFormatBytes(IDataObject* data, CLIPFORMAT format, std::vector<std::uint8_t>& bytes) {
    if (!data) return false;
    FORMATETC f;
    f.cfFormat = format;
    STGMEDIUM m;
    HRESULT hr = E_FAIL;
    // The bytes of a format are those of its global block: an object may lay a stream out
    // otherwise (tree data carries no size in front in a stream), so a stream is asked for
    // only when the object gives no block.
    for (DWORD tymed : {DWORD(TYMED_HGLOBAL), DWORD(TYMED_ISTREAM)}) {
        f.tymed = tymed;
        try {
            hr = data->GetData(&f, &m);
        } catch (...) {
            return false;
        }
        if (hr == S_OK) break;
    }
    if (hr != S_OK) return false;
    bool ok = true;
    if (m.tymed == TYMED_HGLOBAL && m.hGlobal && !m.pUnkForRelease) {
        // The block is ours alone: its bytes are taken over, not copied.
        bytes.swap(m.hGlobal->bytes);
    } else if (m.tymed == TYMED_HGLOBAL && m.hGlobal) {
        auto* p = static_cast<const std::uint8_t*>(GlobalLock(m.hGlobal));
        bytes.assign(p, p + GlobalSize(m.hGlobal));
        GlobalUnlock(m.hGlobal);
    } else if (m.tymed == TYMED_ISTREAM && m.pstm) {
        TStream& s = m.pstm->Stream();
        s.SetPosition(0);
        bytes.resize(std::size_t(s.Size()));
        if (!bytes.empty()) ok = s.Read(bytes.data(), std::int64_t(bytes.size())) == std::int64_t(bytes.size());
    } else {
        ok = false;
    }
    ReleaseStgMedium(&m);
    return ok;
}

TComPtr<IDataObject> RenderAll(IDataObject* data) {
    TComPtr<TMemoryDataObject> copy(new TMemoryDataObject);
    for (const FORMATETC& f : OfferedFormats(data)) {
        std::vector<std::uint8_t> bytes;
        if (!copy->Has(f.cfFormat) && GetFormatBytes(data, f.cfFormat, bytes)) copy->Put(f.cfFormat, std::move(bytes));
    }
    return TComPtr<IDataObject>(copy.Get());
}

HRESULT OleInitialize(void*) { return S_OK; }
void OleUninitialize() {}

HRESULT OleSetClipboard(IDataObject* data) { return SetSelection(TSelectionKind::Clipboard, data); }
HRESULT OleGetClipboard(IDataObject** data) { return GetSelection(TSelectionKind::Clipboard, data); }
HRESULT SetPrimarySelection(IDataObject* data) { return SetSelection(TSelectionKind::Primary, data); }
HRESULT GetPrimarySelection(IDataObject** data) { return GetSelection(TSelectionKind::Primary, data); }

HRESULT OleIsCurrentClipboard(IDataObject* data) {
    return data && State().owned[0].Get() == data ? S_OK : S_FALSE;
}

HRESULT OleFlushClipboard() {
    SelectionState& s = State();
    TComPtr<IDataObject> current = s.owned[0];
    if (!current) return S_OK;
    TComPtr<IDataObject> rendered = RenderAll(current.Get());
    s.owned[0] = rendered;
    current.Reset();
    Service().HandOff(TSelectionKind::Clipboard);
    return S_OK;
}

void SetClipboardTimeout(int milliseconds) { gTimeout = std::max(1, milliseconds); }
int ClipboardTimeout() { return gTimeout; }

// ---- TClipboard -------------------------------------------------------------------------

namespace {
// Text kept once as UTF-8 and rendered in the format asked for when it is asked for.
class TTextDataObject : public TMemoryDataObject {
public:
    explicit TTextDataObject(std::string text) : text_(std::move(text)) {
        Put(CF_UNICODETEXT, {});
        Put(CF_TEXT, {});
    }
    HRESULT GetData(const FORMATETC* format, STGMEDIUM* medium) override {
        if (!medium) return E_POINTER;
        *medium = STGMEDIUM();
        HRESULT hr = QueryGetData(format);
        if (hr != S_OK) return hr;
        std::vector<std::uint8_t> bytes;
        if (format->cfFormat == CF_UNICODETEXT) {
            bytes = Utf8ToUnicodeText(text_);
        } else {
            bytes.reserve(text_.size() + 1);
            bytes.assign(text_.begin(), text_.end());
            bytes.push_back(0);
        }
        if (format->tymed & TYMED_HGLOBAL) {
            medium->hGlobal = GlobalAlloc(GMEM_MOVEABLE, 0);
            if (!medium->hGlobal) return E_OUTOFMEMORY;
            medium->hGlobal->bytes.swap(bytes);
            medium->tymed = TYMED_HGLOBAL;
            return S_OK;
        }
        return TMemoryDataObject::GetData(format, medium) == S_OK ? FillStream(medium, bytes) : E_FAIL;
    }

private:
    static HRESULT FillStream(STGMEDIUM* medium, const std::vector<std::uint8_t>& bytes) {
        TStream& s = medium->pstm->Stream();
        s.SetSize(0);
        if (!bytes.empty()) s.WriteBuffer(bytes.data(), std::int64_t(bytes.size()));
        s.SetPosition(0);
        return S_OK;
    }
    std::string text_;
};

// The clipboard's text: UTF-8 first (no round trip through UTF-16), else the other.
std::string TextOf(IDataObject* data) {
    std::vector<std::uint8_t> bytes;
    if (GetFormatBytes(data, CF_TEXT, bytes)) return SanitizeUtf8(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (GetFormatBytes(data, CF_UNICODETEXT, bytes)) return UnicodeTextToUtf8(bytes.data(), bytes.size());
    return "";
}
}  // namespace

std::string TClipboard::AsText() {
    IDataObject* raw = nullptr;
    HRESULT hr = primary_ ? GetPrimarySelection(&raw) : OleGetClipboard(&raw);
    if (hr != S_OK || !raw) return "";
    TComPtr<IDataObject> data = TComPtr<IDataObject>::Attach(raw);
    return TextOf(data.Get());
}

void TClipboard::SetAsText(const std::string& text) {
    TComPtr<IDataObject> data(new TTextDataObject(SanitizeUtf8(text.data(), text.size())));
    if (primary_)
        SetPrimarySelection(data.Get());
    else
        OleSetClipboard(data.Get());
}

bool TClipboard::HasFormat(UINT format) {
    IDataObject* raw = nullptr;
    HRESULT hr = primary_ ? GetPrimarySelection(&raw) : OleGetClipboard(&raw);
    if (hr != S_OK || !raw) return false;
    TComPtr<IDataObject> data = TComPtr<IDataObject>::Attach(raw);
    FORMATETC f;
    f.cfFormat = CLIPFORMAT(format);
    f.tymed = TYMED_HGLOBAL | TYMED_ISTREAM;
    return data->QueryGetData(&f) == S_OK;
}

void TClipboard::Clear() {
    if (primary_)
        SetPrimarySelection(nullptr);
    else
        OleSetClipboard(nullptr);
}

bool TClipboard::Owned() { return bool(OwnedSelection(primary_ ? TSelectionKind::Primary : TSelectionKind::Clipboard)); }

TClipboard* Clipboard() {
    static auto* clipboard = new TClipboard(false);
    return clipboard;
}

TClipboard* PrimarySelection() {
    static auto* primary = new TClipboard(true);
    return primary;
}

}  // namespace platform
