#pragma once
// The text tree: every cell shows a text the application supplies on demand
// (OnGetText), DefaultText when it supplies none; edited text comes back through
// OnNewText. Each node keeps the measured width of its main-column text in a 4-byte
// internal area; the width is forgotten whenever the text may have changed.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "treeview/vasttrees.h"

namespace treeview {

enum TVSTTextType { ttNormal, ttStatic };
// Which nodes an export takes, in tree order.
enum TVSTTextSourceType { tstAll, tstInitialized, tstSelected, tstCutCopySet, tstVisible };

// The clipboard's "HTML Format" around an HTML fragment: a header of byte offsets (start
// and end of the page and of the fragment), then the page holding the fragment.
std::string WrapClipboardHTML(const std::string& fragment);

class TCustomVastStringTree;

using TVSTGetTextEvent = std::function<void(TBaseVastTree* sender, PVastNode node, TColumnIndex column,
                                            TVSTTextType textType, std::string& cellText)>;
using TVTPaintText = std::function<void(TBaseVastTree* sender, platform::TCanvas* canvas, PVastNode node,
                                        TColumnIndex column, TVSTTextType textType)>;
using TVSTShortenStringEvent =
    std::function<void(TBaseVastTree* sender, platform::TCanvas* canvas, PVastNode node, TColumnIndex column,
                       const std::string& text, int textSpace, std::string& result, bool& done)>;
using TVSTNewTextEvent =
    std::function<void(TBaseVastTree* sender, PVastNode node, TColumnIndex column, const std::string& newText)>;

// The longest prefix of text (whole characters, at most all but one) that fits width
// together with "...", followed by "..."; empty when nothing fits. measure gives the
// width of a string; ellipsisWidth 0 measures "..." first.
std::string ShortenString(const std::string& text, int width, int ellipsisWidth,
                          const std::function<int(const std::string&)>& measure);

class TCustomVastStringTree : public TBaseVastTree {
public:
    explicit TCustomVastStringTree(platform::TComponent* owner);

    const std::string& DefaultText() const { return defaultText_; }
    void SetDefaultText(const std::string& value);
    // The cell text: DefaultText unless OnGetText changes it. Raises "Node must not be
    // nil." for nullptr; initialises the node.
    std::string GetText(PVastNode node, TColumnIndex column);
    // Hands the text to OnNewText and repaints the node.
    void SetText(PVastNode node, TColumnIndex column, const std::string& text);
    // The texts from the top level down to the node, each followed by the delimiter.
    std::string Path(PVastNode node, TColumnIndex column, TVSTTextType textType, char delimiter);
    // The node's cached main-column text width (0: not measured); nullptr for nullptr
    // and the hidden root.
    void* InternalData(PVastNode node) const override;
    std::int32_t CachedTextWidth(PVastNode node) const;
    void SetCachedTextWidth(PVastNode node, std::int32_t width);
    // Forgets every node's cached width (font or main column changed).
    void ClearCachedWidths();
    // Empty only when the text is empty and OnGetCellIsEmpty agrees.
    bool ColumnIsEmpty(PVastNode node, TColumnIndex column) override;
    // The text's width plus the text margins; cached per node for the main column.
    int DoGetNodeWidth(PVastNode node, TColumnIndex column, platform::TCanvas* canvas) override;
    virtual int CalculateTextWidth(platform::TCanvas* canvas, PVastNode node, TColumnIndex column,
                                   const std::string& text);
    virtual int DoTextMeasuring(platform::TCanvas* canvas, PVastNode node, TColumnIndex column,
                                const std::string& text);
    virtual std::string DoShortenString(platform::TCanvas* canvas, PVastNode node, TColumnIndex column,
                                        const std::string& text, int width, int ellipsisWidth);
    // The height the text needs when wrapped in the cell (for OnMeasureItem handlers).
    virtual int ComputeNodeHeight(platform::TCanvas* canvas, PVastNode node, TColumnIndex column,
                                  std::string text = {});
    void DoPaintNode(TVTPaintInfo& paintInfo) override;
    void AdjustPaintCellRect(TVTPaintInfo& paintInfo, TColumnIndex& nextColumn) override;
    // The font's height and the width of "...", measured at each font change.
    int TextHeight() const { return textHeight_; }
    int EllipsisWidth() const { return ellipsisWidth_; }
    // 0 when the cell text starts with the search text (case-sensitive), else 1.
    int DoIncrementalSearch(PVastNode node, const std::string& text) override;

    // Reads the string option set older stored trees have ("soSaveCaptions",
    // "soShowStaticText"): StringOptions is emptied, known members added.
    void ReadOldStringOptions(const std::vector<std::string>& memberNames);

    // ---- exports (vtexport.cpp) ----
    // One line per node ending in CR LF, cells parted by the separator, main-column texts
    // indented by separators to the deepest exported level, a header line with columns.
    // A cell holding the separator, a double quote or a line break is quoted (embedded
    // quotes doubled), so the lines read back as comma-separated values. UTF-8.
    std::string ContentToText(TVSTTextSourceType source, char separator);
    std::u16string ContentToUnicode(TVSTTextSourceType source, char16_t separator);
    // A table in RTF: twips from 96 pixels per inch, every character as a \u escape,
    // fonts and colours (as OnPaintText sets them) collected in the tables.
    std::string ContentToRTF(TVSTTextSourceType source);
    // A table in UTF-8 HTML with a style block; texts and attribute values are escaped.
    std::string ContentToHTML(TVSTTextSourceType source, const std::string& caption = {});
    // The first exported node and the walk that goes on from it.
    void GetRenderStartValues(TVSTTextSourceType source, PVastNode& node,
                              std::function<PVastNode(PVastNode)>& nextNode);

    // A rendering for the clipboard format in a global block with a terminating 0
    // (nullptr for another format or an empty rendering).
    platform::HGLOBAL ContentToClipboard(platform::CLIPFORMAT format, TVSTTextSourceType source);
    // The tree's native data first, else a text rendering of the cut or copied nodes
    // (clipboard) or of the selection (drag).
    platform::HRESULT RenderOLEData(const platform::FORMATETC& format, platform::STGMEDIUM& medium,
                                    bool forClipboard) override;

    void InvalidateNode(PVastNode node) override;
    void ReinitNode(PVastNode node, bool recursive) override;
    void GetTextInfo(PVastNode node, TColumnIndex column, platform::TFont* font, platform::TRect& r,
                     std::string& text) override;
    // Without an OnCreateEditor handler the tree edits with a TStringEditLink.
    TVTEditLinkRef DoCreateEditor(PVastNode node, TColumnIndex column) override;

    TVSTGetTextEvent OnGetText;
    TVSTNewTextEvent OnNewText;
    TVTPaintText OnPaintText;
    TVSTShortenStringEvent OnShortenString;

    // Hints: the control's hint, then OnGetHint; a tooltip without OnGetHint is the cell's text.
    std::string DoGetNodeHint(PVastNode node, TColumnIndex column, TVTTooltipLineBreakStyle& lineBreakStyle) override;
    std::string DoGetNodeTooltip(PVastNode node, TColumnIndex column,
                                 TVTTooltipLineBreakStyle& lineBreakStyle) override;
    std::function<void(TBaseVastTree* sender, PVastNode node, TColumnIndex column,
                       TVTTooltipLineBreakStyle& lineBreakStyle, std::string& hintText)>
        OnGetHint;

protected:
    virtual void DoPaintText(PVastNode node, platform::TCanvas* canvas, TColumnIndex column, TVSTTextType textType);
    virtual void DoTextDrawing(TVTPaintInfo& paintInfo, const std::string& text, platform::TRect cellRect,
                               unsigned drawFormat);
    virtual void DoGetText(PVastNode node, TColumnIndex column, TVSTTextType textType, std::string& text);
    virtual void DoNewText(PVastNode node, TColumnIndex column, const std::string& text);
    void FontChanged() override;
    void MainColumnChanged() override;
    // The caption chunk of tree streams: the main column's text as UTF-16LE units.
    void WriteChunks(platform::TStream& stream, PVastNode node) override;
    bool ReadChunk(platform::TStream& stream, int version, PVastNode node, int chunkType,
                   std::int32_t chunkSize) override;

private:
    void InitializeTextProperties(TVTPaintInfo& paintInfo);
    void PaintNormalText(TVTPaintInfo& paintInfo, std::string text);
    void PaintStaticText(TVTPaintInfo& paintInfo, const std::string& text);
    void MeasureFont();
    std::string defaultText_ = "Node";
    int textHeight_ = 0;
    int ellipsisWidth_ = 0;
    std::uint32_t internalDataOffset_ = 0;
};

// The class of every list of the program.
class TVastStringTree : public TCustomVastStringTree {
public:
    explicit TVastStringTree(platform::TComponent* owner);
    TStringTreeOptions* TreeOptions() const;
};

}  // namespace treeview
