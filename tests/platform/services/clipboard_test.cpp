// The clipboard calls headless: the format registry, the conversions between formats and
// what other programs read, the enumerator contract and the life of the objects the
// clipboard holds.
#include "platform/windows/clipboard.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/windows/backend.h"
#include "platform/windows/selection.h"

namespace platform {
namespace {

std::vector<std::uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }
std::string Text(const std::vector<std::uint8_t>& b) { return {b.begin(), b.end()}; }

TEST(ClipboardFormats, RegisteredOnceByNameWithTheirTargets) {
    UINT a = RegisterClipboardFormatA("Vast Tree Data");
    EXPECT_GE(a, 0xC000u);
    EXPECT_EQ(RegisterClipboardFormatA("VAST TREE DATA"), a);
    UINT b = RegisterClipboardFormatA("HTML Format");
    EXPECT_NE(a, b);
    EXPECT_EQ(RegisterClipboardFormatA(""), 0u);
    EXPECT_EQ(RegisterClipboardFormatA(nullptr), 0u);

    char name[8];
    EXPECT_EQ(GetClipboardFormatNameA(a, name, sizeof name), 7);  // cut to the buffer
    EXPECT_STREQ(name, "Vast Tr");
    EXPECT_EQ(GetClipboardFormatNameA(CF_TEXT, name, sizeof name), 0);
    EXPECT_EQ(GetClipboardFormatNameA(0xFFF0, name, sizeof name), 0);

    struct Case {
        UINT format;
        std::vector<std::string> targets;
    } cases[] = {
        {CF_UNICODETEXT, {"UTF8_STRING", "text/plain;charset=utf-8"}},
        {CF_TEXT, {"text/plain", "STRING"}},
        {CF_HDROP, {"text/uri-list"}},
        {a, {"Vast Tree Data"}},
        {CF_DIB, {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ClipboardFormatTargets(c.format), c.targets) << c.format;
        for (const std::string& t : c.targets) EXPECT_EQ(ClipboardFormatOfTarget(t), c.format) << t;
    }
    EXPECT_EQ(ClipboardFormatOfTarget("image/png"), 0u);
}

TEST(ClipboardFormats, TextTravelsAsOtherProgramsExpect) {
    const std::string word = "h\xC3\xA9llo \xE2\x86\x92 \xF0\x9F\x98\x80";  // "héllo → 😀"
    struct Case {
        UINT format;
        std::string target;
        std::string incoming;  // bytes another program sends
        std::string text;      // what the program reads as UTF-8
    } cases[] = {
        {CF_UNICODETEXT, "UTF8_STRING", word, word},
        {CF_TEXT, "text/plain", word, word},
        // Bad UTF-8 becomes U+FFFD; a 0 byte ends the text.
        {CF_UNICODETEXT, "UTF8_STRING", std::string("a\xFF" "b\xC3", 4), "a\xEF\xBF\xBD" "b\xEF\xBF\xBD"},
        {CF_UNICODETEXT, "UTF8_STRING", std::string("ab\0cd", 5), "ab"},
        {CF_UNICODETEXT, "UTF8_STRING", "\xED\xA0\x80x", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBDx"},  // a lone surrogate
        // STRING is Latin-1.
        {CF_UNICODETEXT, "STRING", "caf\xE9", "caf\xC3\xA9"},
        {CF_TEXT, "STRING", "\xFF", "\xC3\xBF"},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> held = TargetToFormat(c.format, c.target, reinterpret_cast<const std::uint8_t*>(c.incoming.data()),
                                                       c.incoming.size());
        std::string read = c.format == CF_UNICODETEXT ? UnicodeTextToUtf8(held.data(), held.size())
                                                      : SanitizeUtf8(reinterpret_cast<const char*>(held.data()), held.size());
        EXPECT_EQ(read, c.text) << c.target << " " << c.incoming;
        ASSERT_GE(held.size(), 1u);
        EXPECT_EQ(held.back(), 0) << "held text ends in a 0";
    }
    // Out again: UTF-8 to UTF8_STRING, Latin-1 with "?" for what it cannot hold to STRING.
    std::vector<std::uint8_t> unicode = Utf8ToUnicodeText(word);
    EXPECT_EQ(unicode.size(), (8u + 2u + 1u) * 2u);  // the emoji takes a surrogate pair
    EXPECT_EQ(Text(FormatToTarget(CF_UNICODETEXT, "UTF8_STRING", unicode.data(), unicode.size())), word);
    EXPECT_EQ(Text(FormatToTarget(CF_UNICODETEXT, "STRING", unicode.data(), unicode.size())), "h\xE9llo ? ?");
    std::vector<std::uint8_t> plain = Bytes(word + '\0' + "tail");
    EXPECT_EQ(Text(FormatToTarget(CF_TEXT, "text/plain", plain.data(), plain.size())), word);
}

TEST(ClipboardFormats, FileListsBecomeUriListsAndBack) {
    std::vector<std::string> paths = {"/tmp/a b/100%.txt", "/home/m\xC3\xA9/x#y"};
    std::vector<std::uint8_t> drop = MakeDropFiles(paths);
    std::string list = Text(FormatToTarget(CF_HDROP, "text/uri-list", drop.data(), drop.size()));
    EXPECT_EQ(list, "file:///tmp/a%20b/100%25.txt\r\nfile:///home/m%C3%A9/x%23y\r\n");
    std::vector<std::uint8_t> back = TargetToFormat(CF_HDROP, "text/uri-list", reinterpret_cast<const std::uint8_t*>(list.data()), list.size());
    EXPECT_EQ(ReadDropFiles(back.data(), back.size()), paths);

    // Comments, other schemes, other hosts and bad escapes of a NUL are left out.
    std::string mixed = "# comment\nhttp://example.org/x\nfile://otherhost/etc/passwd\nfile://localhost/ok\n/plain/path\r\nfile:///nul%00x\n";
    back = TargetToFormat(CF_HDROP, "text/uri-list", reinterpret_cast<const std::uint8_t*>(mixed.data()), mixed.size());
    EXPECT_EQ(ReadDropFiles(back.data(), back.size()), (std::vector<std::string>{"/ok", "/plain/path"}));

    HGLOBAL h = GlobalAllocCopy(drop.data(), drop.size());
    EXPECT_EQ(DragQueryFileA(h, 0xFFFFFFFF, nullptr, 0), 2u);
    char buffer[6];
    EXPECT_EQ(DragQueryFileA(h, 0, buffer, sizeof buffer), 5u);
    EXPECT_STREQ(buffer, "/tmp/");
    EXPECT_EQ(DragQueryFileA(h, 1, nullptr, 0), paths[1].size());
    EXPECT_EQ(DragQueryFileA(h, 2, buffer, sizeof buffer), 0u);
    GlobalFree(h);
    // A block too short for its header holds no files.
    EXPECT_TRUE(ReadDropFiles(drop.data(), 3).empty());
}

TEST(EnumFormatEtc, NextSkipResetAndCloneKeepTheContract) {
    std::vector<FORMATETC> list(3);
    for (int i = 0; i < 3; ++i) list[std::size_t(i)].cfFormat = CLIPFORMAT(10 + i);
    TComPtr<IEnumFORMATETC> e(new TEnumFormatEtcList(list));
    FORMATETC out[3];
    ULONG fetched = 99;
    EXPECT_EQ(e->Next(1, out, &fetched), S_OK);
    EXPECT_EQ(fetched, 1u);
    EXPECT_EQ(e->Next(3, out, &fetched), S_FALSE);  // two remain
    EXPECT_EQ(fetched, 2u);
    EXPECT_EQ(out[0].cfFormat, 11);
    EXPECT_EQ(out[1].cfFormat, 12);
    EXPECT_EQ(e->Reset(), S_OK);
    EXPECT_EQ(e->Skip(3), S_OK);  // exactly what remains
    EXPECT_EQ(e->Skip(1), S_FALSE);
    EXPECT_EQ(e->Reset(), S_OK);
    EXPECT_EQ(e->Skip(1), S_OK);
    EXPECT_EQ(e->Skip(3), S_FALSE);  // one too many: stays
    IEnumFORMATETC* raw = nullptr;
    ASSERT_EQ(e->Clone(&raw), S_OK);
    TComPtr<IEnumFORMATETC> copy = TComPtr<IEnumFORMATETC>::Attach(raw);
    EXPECT_EQ(copy->Next(1, out, nullptr), S_OK);
    EXPECT_EQ(out[0].cfFormat, 11);  // the clone starts where the original stood
    EXPECT_EQ(e->Next(1, out, nullptr), S_OK);
    EXPECT_EQ(out[0].cfFormat, 11);  // and moves on its own
}

// A data object that counts itself and renders its text only when asked.
struct CountingObject : TMemoryDataObject {
    static inline int alive = 0;
    static inline int renders = 0;
    std::string text;
    explicit CountingObject(std::string t) : text(std::move(t)) {
        ++alive;
        Put(CF_UNICODETEXT, {});
    }
    ~CountingObject() override { --alive; }
    HRESULT GetData(const FORMATETC* f, STGMEDIUM* m) override {
        ++renders;
        if (f->cfFormat == CF_UNICODETEXT) Put(CF_UNICODETEXT, Utf8ToUnicodeText(text));
        return TMemoryDataObject::GetData(f, m);
    }
};

class ClipboardTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetBackend(CreateHeadlessBackend());
        OleSetClipboard(nullptr);
        SetPrimarySelection(nullptr);
        CountingObject::alive = CountingObject::renders = 0;
    }
    void TearDown() override {
        OleSetClipboard(nullptr);
        SetPrimarySelection(nullptr);
    }
};

TEST_F(ClipboardTest, HeldObjectsAreReleasedWhenReplacedAndKeptOnlyAsDataAfterAFlush) {
    {
        TComPtr<IDataObject> first(new CountingObject("first"));
        ASSERT_EQ(OleSetClipboard(first.Get()), S_OK);
        EXPECT_EQ(OleIsCurrentClipboard(first.Get()), S_OK);
    }
    EXPECT_EQ(CountingObject::alive, 1) << "the clipboard holds its own reference";
    EXPECT_EQ(CountingObject::renders, 0) << "nothing is rendered before it is asked for";
    OleSetClipboard(TComPtr<IDataObject>(new CountingObject("second")).Get());
    EXPECT_EQ(CountingObject::alive, 1) << "the first object was released";
    EXPECT_EQ(Clipboard()->AsText(), "second");

    ASSERT_EQ(OleFlushClipboard(), S_OK);
    EXPECT_EQ(CountingObject::alive, 0) << "a flush keeps the data, not the object";
    EXPECT_EQ(Clipboard()->AsText(), "second");
    IDataObject* raw = nullptr;
    ASSERT_EQ(OleGetClipboard(&raw), S_OK);
    TComPtr<IDataObject> data = TComPtr<IDataObject>::Attach(raw);
    FORMATETC f;
    f.cfFormat = CF_UNICODETEXT;
    EXPECT_EQ(data->QueryGetData(&f), S_OK);
    f.cfFormat = CF_HDROP;
    EXPECT_EQ(data->QueryGetData(&f), DV_E_FORMATETC);

    Clipboard()->Clear();
    EXPECT_EQ(Clipboard()->AsText(), "");
    EXPECT_FALSE(Clipboard()->HasFormat(CF_UNICODETEXT));
    // An empty clipboard still gives an object, one that offers nothing.
    ASSERT_EQ(OleGetClipboard(&raw), S_OK);
    data = TComPtr<IDataObject>::Attach(raw);
    IEnumFORMATETC* e = nullptr;
    ASSERT_EQ(data->EnumFormatEtc(DATADIR_GET, &e), S_OK);
    TComPtr<IEnumFORMATETC> en = TComPtr<IEnumFORMATETC>::Attach(e);
    FORMATETC one;
    EXPECT_EQ(en->Next(1, &one, nullptr), S_FALSE);
    EXPECT_EQ(data->EnumFormatEtc(DATADIR_SET, &e), OLE_S_USEREG);
    EXPECT_EQ(e, nullptr);
}

TEST_F(ClipboardTest, TextAndPrimarySelectionAreSeparate) {
    const std::string text = "Gr\xC3\xBC\xC3\x9F" "e \xE6\x97\xA5\xE6\x9C\xAC";
    Clipboard()->SetAsText(text);
    PrimarySelection()->SetAsText("selected");
    EXPECT_EQ(Clipboard()->AsText(), text);
    EXPECT_EQ(PrimarySelection()->AsText(), "selected");
    EXPECT_TRUE(Clipboard()->HasFormat(CF_TEXT));
    EXPECT_TRUE(Clipboard()->Owned());
    PrimarySelection()->Clear();
    EXPECT_FALSE(PrimarySelection()->Owned());
    EXPECT_EQ(Clipboard()->AsText(), text);
    // Text from code with bad bytes is stored cleaned.
    Clipboard()->SetAsText(std::string("ok\xFF", 3));
    EXPECT_EQ(Clipboard()->AsText(), "ok\xEF\xBF\xBD");
}

TEST_F(ClipboardTest, MediaComeAsBlocksOrStreamsAndAreReleased) {
    TComPtr<TMemoryDataObject> data(new TMemoryDataObject);
    UINT tree = RegisterClipboardFormatA("Vast Tree Data");
    data->Put(CLIPFORMAT(tree), Bytes("node stream"));
    FORMATETC f;
    f.cfFormat = CLIPFORMAT(tree);
    f.tymed = TYMED_ISTREAM;
    STGMEDIUM m;
    ASSERT_EQ(data->GetData(&f, &m), S_OK);
    ASSERT_EQ(m.tymed, TYMED_ISTREAM);
    char buffer[32] = {};
    EXPECT_EQ(m.pstm->Stream().Read(buffer, sizeof buffer), 11);
    EXPECT_STREQ(buffer, "node stream");
    ReleaseStgMedium(&m);
    EXPECT_EQ(m.pstm, nullptr);

    f.tymed = TYMED_HGLOBAL | TYMED_ISTREAM;
    ASSERT_EQ(data->GetData(&f, &m), S_OK);
    ASSERT_EQ(m.tymed, TYMED_HGLOBAL);
    EXPECT_EQ(GlobalSize(m.hGlobal), 11u);
    EXPECT_EQ(std::memcmp(GlobalLock(m.hGlobal), "node stream", 11), 0);
    GlobalUnlock(m.hGlobal);
    ReleaseStgMedium(&m);

    struct Bad {
        DWORD tymed;
        DWORD aspect;
        LONG index;
        HRESULT hr;
    } bad[] = {{TYMED_GDI, DVASPECT_CONTENT, -1, DV_E_TYMED},
               {TYMED_HGLOBAL, 4, -1, DV_E_DVASPECT},
               {TYMED_HGLOBAL, DVASPECT_CONTENT, 0, DV_E_LINDEX}};
    for (const Bad& b : bad) {
        f.tymed = b.tymed;
        f.dwAspect = b.aspect;
        f.lindex = b.index;
        EXPECT_EQ(data->QueryGetData(&f), b.hr);
        EXPECT_EQ(data->GetData(&f, &m), b.hr);
        EXPECT_EQ(m.tymed, TYMED_NULL);
    }

    // SetData from a stream; the release object of a medium is released, not its data.
    IStream* stream = nullptr;
    HGLOBAL h = GlobalAllocCopy("abc", 3);
    ASSERT_EQ(CreateStreamOnHGlobal(h, TRUE, &stream), S_OK);
    STGMEDIUM in;
    in.tymed = TYMED_ISTREAM;
    in.pstm = stream;
    FORMATETC g;
    g.cfFormat = CF_TEXT;
    g.tymed = TYMED_ISTREAM;
    EXPECT_EQ(data->SetData(&g, &in, TRUE), S_OK);
    EXPECT_EQ(in.pstm, nullptr);
    EXPECT_TRUE(data->Has(CF_TEXT));
}

// An object whose stream of a format differs from its block (as tree data does: the block
// carries the size in front), and which may give no block at all.
struct TwoMediaObject : TMemoryDataObject {
    bool blocks = true;
    explicit TwoMediaObject(CLIPFORMAT format) { Put(format, {}); }
    HRESULT GetData(const FORMATETC* f, STGMEDIUM* m) override {
        *m = STGMEDIUM();
        if (f->tymed & TYMED_ISTREAM) {
            IStream* stream = nullptr;
            CreateStreamOnHGlobal(nullptr, TRUE, &stream);
            stream->Stream().WriteBuffer("stream form", 11);
            m->tymed = TYMED_ISTREAM;
            m->pstm = stream;
            return S_OK;
        }
        if (!blocks) return DV_E_TYMED;
        m->tymed = TYMED_HGLOBAL;
        m->hGlobal = GlobalAllocCopy("block form", 10);
        return S_OK;
    }
};

// What is served to other programs and kept after a flush is a format's block; a stream
// only for an object that gives no block.
TEST_F(ClipboardTest, TheBytesOfAFormatAreItsBlockElseItsStream) {
    const CLIPFORMAT tree = CLIPFORMAT(RegisterClipboardFormatA("Vast Tree Data"));
    for (bool blocks : {true, false}) {
        TComPtr<TwoMediaObject> data(new TwoMediaObject(tree));
        data->blocks = blocks;
        std::vector<std::uint8_t> bytes;
        ASSERT_TRUE(GetFormatBytes(data.Get(), tree, bytes));
        EXPECT_EQ(Text(bytes), blocks ? "block form" : "stream form");
    }
}

}  // namespace
}  // namespace platform
