#pragma once
// morvanalyzeimg: skin documents. A skin document (XML, format docs/skin.md, schema
// docs/skin.xsd) names the skin, its picture folder, and per window a section of items
// that place the window's controls and name their pictures.
//
// The library keeps one current document. A section handle names a section of a document
// path: it keeps answering from that document after others were opened, and from its newest
// version once that document changed and was opened again. Item records stay readable until
// their document is opened again in a changed version; SkinInfo records and handles stay
// valid for the life of the process. Texts are UTF-8, zero-terminated. Opening a document
// that did not change reuses its parse, so switching skins does not grow memory.
//
// Asking for a section or item the document lacks, or with a handle the library never
// gave, is answered with a hidden item of size 0 whose Reserved is kSkinItemNotFound, and
// reported once (standard error and GetSkinLastError); the answer is never null.
#include <cstdint>

extern "C" {

// Reserved of a not-found answer; 0 in every record the document holds.
constexpr std::int32_t kSkinItemNotFound = -1;

struct SkinItem {
    std::int32_t Reserved;
    std::uint8_t Visible;  // 0 hides the control
    std::uint8_t Reserved2[3];
    std::int32_t Left;     // relative to the control's parent
    std::int32_t Top;
    std::int32_t Width;
    std::int32_t Height;
    const char* Image;     // picture base name: no extension, no state suffix; "" for none
};

struct SkinInfo {
    const char* Name;  // the skin's display name
    const char* Path;  // the document's path exactly as it was opened
};

using SkinSectionHandle = std::uint32_t;

// Makes the document current. Returns 0, or -1 when it cannot be read or is not a valid
// skin document: then the previous document stays current and GetSkinLastError names the
// file and line.
__attribute__((visibility("default"))) int OpenSkinDocument(const char* path);
// The named section of the current document.
__attribute__((visibility("default"))) SkinSectionHandle GetSkinSection(const char* name);
__attribute__((visibility("default"))) const SkinItem* GetSkinItem(SkinSectionHandle section, const char* name);
// *folder receives the current document's picture folder, absolute, ending in "/"; ""
// before any document was opened.
__attribute__((visibility("default"))) void GetSkinImageFolder(const char** folder);
// The current document; an empty name and path before any document was opened.
__attribute__((visibility("default"))) const SkinInfo* GetSkinInfo(void);
// The last error or report, "" when there was none.
__attribute__((visibility("default"))) const char* GetSkinLastError(void);

}
