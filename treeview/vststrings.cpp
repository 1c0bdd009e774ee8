// The text tree.
#include "treeview/vststrings.h"

#include "platform/graphics/gdi.h"
#include "treeview/vtheader.h"

#include <cstring>

#include "treeview/vtinternal.h"

namespace treeview {

using namespace platform;

TCustomVastStringTree::TCustomVastStringTree(platform::TComponent* owner) : TBaseVastTree(owner) {
    SetOptionsObject(new TCustomStringTreeOptions(this));
    internalDataOffset_ = AllocateInternalDataArea(sizeof(std::int32_t));
}

void TCustomVastStringTree::SetDefaultText(const std::string& value) {
    if (value == defaultText_) return;
    defaultText_ = value;
    if (!(ComponentState() & platform::csLoading)) InvalidateTree();
}

std::string TCustomVastStringTree::GetText(PVastNode node, TColumnIndex column) {
    Require(node != nullptr, "Node must not be nil.");
    ValidateNode(node, false);
    std::string text = defaultText_;
    DoGetText(node, column, ttNormal, text);
    return text;
}

void TCustomVastStringTree::SetText(PVastNode node, TColumnIndex column, const std::string& text) {
    Require(node != nullptr, "Node must not be nil.");
    DoNewText(node, column, text);
    InvalidateNode(node);
}

std::string TCustomVastStringTree::Path(PVastNode node, TColumnIndex column, TVSTTextType textType, char delimiter) {
    std::string result(1, delimiter);
    if (!node || node == RootNode()) return result;
    result.clear();
    std::string text;
    for (PVastNode run = node; run && run != RootNode(); run = run->Parent) {
        // Each level starts empty: a handler that sets nothing names nothing.
        text.clear();
        DoGetText(run, column, textType, text);
        result = text + delimiter + result;
    }
    return result;
}

void TCustomVastStringTree::DoGetText(PVastNode node, TColumnIndex column, TVSTTextType textType, std::string& text) {
    if (OnGetText) OnGetText(this, node, column, textType, text);
}

void TCustomVastStringTree::DoNewText(PVastNode node, TColumnIndex column, const std::string& text) {
    if (OnNewText) OnNewText(this, node, column, text);
    if (UpdateCount() == 0) UpdateScrollBars(true);
}

void* TCustomVastStringTree::InternalData(PVastNode node) const {
    if (!node || node == RootNode()) return nullptr;
    return reinterpret_cast<char*>(node) + internalDataOffset_;
}

std::int32_t TCustomVastStringTree::CachedTextWidth(PVastNode node) const {
    std::int32_t width = 0;
    if (void* area = InternalData(node)) std::memcpy(&width, area, sizeof(width));
    return width;
}

void TCustomVastStringTree::SetCachedTextWidth(PVastNode node, std::int32_t width) {
    if (void* area = InternalData(node)) std::memcpy(area, &width, sizeof(width));
}

void TCustomVastStringTree::ClearCachedWidths() {
    for (PVastNode run = GetFirstNoInit(); run; run = GetNextNoInit(run)) SetCachedTextWidth(run, 0);
}

bool TCustomVastStringTree::ColumnIsEmpty(PVastNode node, TColumnIndex column) {
    return GetText(node, column).empty() && TBaseVastTree::ColumnIsEmpty(node, column);
}

int TCustomVastStringTree::DoIncrementalSearch(PVastNode node, const std::string& text) {
    if (OnIncrementalSearch) return TBaseVastTree::DoIncrementalSearch(node, text);
    if (text.empty()) return 1;
    return GetText(node, FocusedColumn()).compare(0, text.size(), text) == 0 ? 0 : 1;
}

void TCustomVastStringTree::ReadOldStringOptions(const std::vector<std::string>& memberNames) {
    auto* options = static_cast<TCustomStringTreeOptions*>(TBaseVastTree::TreeOptions());
    options->SetStringOptions(0);
    for (const std::string& name : memberNames) {
        if (name == "soSaveCaptions") options->SetStringOptions(options->StringOptions() | toSaveCaptions);
        if (name == "soShowStaticText") options->SetStringOptions(options->StringOptions() | toShowStaticText);
    }
}

void TCustomVastStringTree::InvalidateNode(PVastNode node) {
    TBaseVastTree::InvalidateNode(node);
    if (node && node != RootNode()) {
        SetCachedTextWidth(node, 0);
        if (node->States & vsHeightMeasured) {
            // The cache worker may be reading this word.
            InterruptValidation();
            node->States &= ~vsHeightMeasured;
        }
    }
}

void TCustomVastStringTree::ReinitNode(PVastNode node, bool recursive) {
    TBaseVastTree::ReinitNode(node, recursive);
    if (node && node != RootNode()) SetCachedTextWidth(node, 0);
}

void TCustomVastStringTree::FontChanged() {
    TBaseVastTree::FontChanged();
    MeasureFont();
    ClearCachedWidths();
}

// The cached widths are those of the old main column's texts.
void TCustomVastStringTree::MainColumnChanged() {
    TBaseVastTree::MainColumnChanged();
    ClearCachedWidths();
}

void TCustomVastStringTree::MeasureFont() {
    TCanvas* canvas = Canvas();
    canvas->SetFont(Font());
    TEXTMETRIC metric{};
    GetTextMetrics(canvas->Handle(), &metric);
    textHeight_ = metric.tmHeight;
    ellipsisWidth_ = canvas->TextWidth("...");
}

// ---- measuring ----

int TCustomVastStringTree::DoGetNodeWidth(PVastNode node, TColumnIndex column, TCanvas* canvas) {
    if (!node || node == RootNode()) return 0;
    if (column >= 0 && (node->States & vsMultiline) && Header()->Columns()->IsValidColumn(column))
        return Header()->Columns()->Items(column)->Width();
    if (!canvas) canvas = Canvas();
    bool mainColumn = column == MainColumn() || (column == NoColumn && MainColumn() == NoColumn);
    if (!mainColumn) return CalculateTextWidth(canvas, node, column, GetText(node, column));
    std::int32_t width = CachedTextWidth(node);
    if (width == 0) {
        width = CalculateTextWidth(canvas, node, column, GetText(node, column));
        SetCachedTextWidth(node, width);
    }
    return width;
}

int TCustomVastStringTree::CalculateTextWidth(TCanvas* canvas, PVastNode node, TColumnIndex column,
                                              const std::string& text) {
    int width = 2 * TextMargin();
    if (text.empty()) return width;
    canvas->SetFont(Font());
    DoPaintText(node, canvas, column, ttNormal);
    return width + DoTextMeasuring(canvas, node, column, text);
}

int TCustomVastStringTree::DoTextMeasuring(TCanvas* canvas, PVastNode, TColumnIndex, const std::string& text) {
    return canvas->TextWidth(ValidUtf8(text));
}

std::string ShortenString(const std::string& text, int width, int ellipsisWidth,
                          const std::function<int(const std::string&)>& measure) {
    if (text.empty() || width <= 0) return {};
    if (ellipsisWidth == 0) ellipsisWidth = measure("...");
    if (width <= ellipsisWidth) return {};
    // Character boundaries of the UTF-8 text.
    std::vector<std::size_t> ends;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (i + 1 == text.size() || (std::uint8_t(text[i + 1]) & 0xC0) != 0x80) ends.push_back(i + 1);
    int low = 0, high = int(ends.size()) - 1;
    while (low < high) {
        int middle = (low + high + 1) / 2;
        if (measure(text.substr(0, ends[std::size_t(middle - 1)])) + ellipsisWidth <= width)
            low = middle;
        else
            high = middle - 1;
    }
    return (low > 0 ? text.substr(0, ends[std::size_t(low - 1)]) : std::string()) + "...";
}

std::string TCustomVastStringTree::DoShortenString(TCanvas* canvas, PVastNode node, TColumnIndex column,
                                                   const std::string& text, int width, int ellipsisWidth) {
    std::string result;
    bool done = false;
    if (OnShortenString) OnShortenString(this, canvas, node, column, text, width, result, done);
    if (done) return result;
    return ShortenString(text, width, ellipsisWidth, [canvas](const std::string& s) { return canvas->TextWidth(s); });
}

int TCustomVastStringTree::ComputeNodeHeight(TCanvas* canvas, PVastNode node, TColumnIndex column, std::string text) {
    if (text.empty()) text = GetText(node, column);
    unsigned format = DT_TOP | DT_NOPREFIX | DT_CALCRECT | DT_WORDBREAK;
    TBiDiMode bidi = BiDiMode();
    int width = ClientWidth();
    if (Header()->Columns()->IsValidColumn(column)) {
        bidi = Header()->Columns()->Items(column)->BiDiMode();
        width = Header()->Columns()->Items(column)->Width();
    }
    TVTPaintInfo info;
    info.Node = node;
    info.Column = column;
    info.CellRect = TRect{0, 0, width, 0};
    if (column >= 0) {
        TColumnIndex next = InvalidColumn;
        AdjustPaintCellRect(info, next);
    }
    if (bidi != bdLeftToRight) format |= DT_RIGHT | DT_RTLREADING;
    RECT r{0, 0, info.CellRect.right, 0};
    DrawText(canvas->Handle(), ValidUtf8(text), &r, format);
    return r.bottom - r.top;
}

// ---- painting ----

void TCustomVastStringTree::DoPaintText(PVastNode node, TCanvas* canvas, TColumnIndex column, TVSTTextType type) {
    if (OnPaintText) OnPaintText(this, canvas, node, column, type);
}

void TCustomVastStringTree::DoTextDrawing(TVTPaintInfo& paintInfo, const std::string& text, TRect cellRect,
                                          unsigned drawFormat) {
    DrawText(paintInfo.Canvas->Handle(), text, reinterpret_cast<RECT*>(&cellRect), drawFormat);
}

void TCustomVastStringTree::AdjustPaintCellRect(TVTPaintInfo& paintInfo, TColumnIndex& nextColumn) {
    TVastTreeColumns* columns = Header()->Columns();
    if (!(TreeOptions()->AutoOptions() & toAutoSpanColumns) || !Header()->GetUseColumns() ||
        paintInfo.BidiMode != bdLeftToRight) {
        TBaseVastTree::AdjustPaintCellRect(paintInfo, nextColumn);
        return;
    }
    nextColumn = columns->GetNextVisibleColumn(paintInfo.Column);
    while (nextColumn >= 0 && ColumnIsEmpty(paintInfo.Node, nextColumn) &&
           columns->Items(nextColumn)->BiDiMode() == bdLeftToRight) {
        paintInfo.CellRect.right += columns->Items(nextColumn)->Width();
        nextColumn = columns->GetNextVisibleColumn(nextColumn);
    }
}

void TCustomVastStringTree::InitializeTextProperties(TVTPaintInfo& paintInfo) {
    TCanvas* canvas = paintInfo.Canvas;
    canvas->SetFont(Font());
    PVastNode node = paintInfo.Node;
    TVTPaintOptions paint = TreeOptions()->PaintOptions();
    if ((paint & toHotTrack) && node == HotNode()) {
        TFontStyles style = canvas->Font()->Style();
        style.Include(fsUnderline);
        canvas->Font()->SetStyle(style);
        canvas->Font()->SetColor(Colors()->GetColor(TVTColors::HotColor));
    }
    bool inFocusedColumn =
        paintInfo.Column == FocusedColumn() || (TreeOptions()->SelectionOptions() & toFullRowSelect);
    if ((paintInfo.PaintOptions & poDrawSelection) && inFocusedColumn) {
        bool highlight;
        if (node == DropTargetNode())
            highlight = LastDropMode() == dmOnNode || (node->States & vsSelected);
        else
            highlight = (node->States & vsSelected) && (Focused() || (paint & toPopupMode));
        if (highlight) canvas->Font()->SetColor(clHighlightText);
    }
}

void TCustomVastStringTree::PaintNormalText(TVTPaintInfo& paintInfo, std::string text) {
    TCanvas* canvas = paintInfo.Canvas;
    PVastNode node = paintInfo.Node;
    InitializeTextProperties(paintInfo);
    TRect r = paintInfo.ContentRect;
    canvas->SetTextFlags(0);
    r.left += TextMargin();
    r.right -= TextMargin();
    bool disabled = (node->States & vsDisabled) || !Enabled();
    static const unsigned alignmentFlags[] = {DT_LEFT, DT_RIGHT, DT_CENTER};
    unsigned format;
    if (node->States & vsMultiline) {
        DoPaintText(node, canvas, paintInfo.Column, ttNormal);
        if (disabled) canvas->Font()->SetColor(Colors()->GetColor(TVTColors::DisabledColor));
        format = alignmentFlags[paintInfo.Alignment] | DT_NOPREFIX | DT_WORDBREAK | DT_END_ELLIPSIS | DT_EDITCONTROL;
    } else {
        std::string fontBefore = canvas->Font()->Name();
        int heightBefore = canvas->Font()->Height();
        TColor colorBefore = canvas->Font()->Color();
        (void)colorBefore;
        int ellipsis = ellipsisWidth_;
        DoPaintText(node, canvas, paintInfo.Column, ttNormal);
        if (canvas->Font()->Name() != fontBefore || canvas->Font()->Height() != heightBefore) {
            ellipsis = 0;
            paintInfo.NodeWidth = canvas->TextWidth(text) + 2 * TextMargin();
        }
        if (disabled) canvas->Font()->SetColor(Colors()->GetColor(TVTColors::DisabledColor));
        format = DT_NOPREFIX | DT_VCENTER | DT_SINGLELINE;
        if (paintInfo.Column < 0) {
            format |= alignmentFlags[paintInfo.Alignment];
        } else if (r.Width() < paintInfo.NodeWidth - 2 * TextMargin()) {
            text = DoShortenString(canvas, node, paintInfo.Column, text, r.Width(), ellipsis);
            if (paintInfo.Alignment == taRightJustify) format |= DT_RIGHT;
        } else {
            format |= alignmentFlags[paintInfo.Alignment];
        }
    }
    if (paintInfo.BidiMode != bdLeftToRight) format |= DT_RTLREADING;
    SetBkMode(canvas->Handle(), (canvas->TextFlags() & ETO_OPAQUE) ? OPAQUE : TRANSPARENT);
    DoTextDrawing(paintInfo, text, r, format);
}

void TCustomVastStringTree::PaintStaticText(TVTPaintInfo& paintInfo, const std::string& text) {
    TCanvas* canvas = paintInfo.Canvas;
    PVastNode node = paintInfo.Node;
    canvas->SetFont(Font());
    TVTPaintOptions paint = TreeOptions()->PaintOptions();
    if (TreeOptions()->SelectionOptions() & toFullRowSelect) {
        bool highlight = node == DropTargetNode()
                             ? (LastDropMode() == dmOnNode || (node->States & vsSelected))
                             : (node->States & vsSelected) && (Focused() || (paint & toPopupMode));
        if (highlight) canvas->Font()->SetColor(clHighlightText);
    }
    unsigned format = DT_NOPREFIX | DT_VCENTER | DT_SINGLELINE;
    canvas->SetTextFlags(0);
    DoPaintText(node, canvas, paintInfo.Column, ttStatic);
    if ((node->States & vsDisabled) || !Enabled()) canvas->Font()->SetColor(Colors()->GetColor(TVTColors::DisabledColor));
    TRect r = paintInfo.ContentRect;
    if (paintInfo.Alignment == taRightJustify)
        r.right -= paintInfo.NodeWidth + TextMargin();
    else
        r.left += paintInfo.NodeWidth + TextMargin();
    SetBkMode(canvas->Handle(), (canvas->TextFlags() & ETO_OPAQUE) ? OPAQUE : TRANSPARENT);
    DrawText(canvas->Handle(), text, reinterpret_cast<RECT*>(&r), format);
}

void TCustomVastStringTree::DoPaintNode(TVTPaintInfo& paintInfo) {
    // Malformed text from a handler is drawn with replacement characters.
    std::string text = ValidUtf8(GetText(paintInfo.Node, paintInfo.Column));
    if (!text.empty()) PaintNormalText(paintInfo, text);
    if (Alignment() != taCenter && !(paintInfo.Node->States & vsMultiline) &&
        (static_cast<TCustomStringTreeOptions*>(TBaseVastTree::TreeOptions())->StringOptions() & toShowStaticText)) {
        std::string extra;
        DoGetText(paintInfo.Node, paintInfo.Column, ttStatic, extra);
        extra = ValidUtf8(extra);
        if (!extra.empty()) PaintStaticText(paintInfo, extra);
    }
}

TVastStringTree::TVastStringTree(platform::TComponent* owner) : TCustomVastStringTree(owner) {
    SetOptionsObject(new TStringTreeOptions(this));
}

TStringTreeOptions* TVastStringTree::TreeOptions() const {
    return static_cast<TStringTreeOptions*>(TBaseVastTree::TreeOptions());
}

}  // namespace treeview
