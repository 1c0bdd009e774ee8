// The header's settings, its stream record, and the tree's side of the header: its
// strip, the width of what it shows and the header events.
#include "treeview/vtheader.h"

#include <algorithm>

#include "platform/graphics/gdi.h"
#include "platform/graphics/imglist.h"
#include "platform/windows/window.h"
#include "treeview/vasttrees.h"
#include "treeview/vtdragimage.h"

namespace treeview {

using namespace platform;

namespace {

std::int32_t ReadInt(TStream* stream) {
    unsigned char bytes[4];
    stream->ReadBuffer(bytes, 4);
    return std::int32_t(std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 | std::uint32_t(bytes[2]) << 16 |
                        std::uint32_t(bytes[3]) << 24);
}

void WriteInt(TStream* stream, std::int32_t value) {
    auto u = std::uint32_t(value);
    unsigned char bytes[4] = {std::uint8_t(u), std::uint8_t(u >> 8), std::uint8_t(u >> 16), std::uint8_t(u >> 24)};
    stream->WriteBuffer(bytes, 4);
}

}  // namespace

TVTHeader::TVTHeader(TBaseVastTree* owner) : owner_(owner) {
    columns_ = std::make_unique<TVastTreeColumns>(this);
    font_ = std::make_unique<TFont>();
    font_->OnChange = [this](TObject*) { Invalidate(NoColumn); };
    // A column's picture is darkened once and shown fairly transparent, without fading.
    dragImage_ = std::make_unique<TVTDragImage>(owner);
    dragImage_->SetPrepareBias(-50);
    dragImage_->SetShowBias(0);
    dragImage_->SetImageAlpha(140);
}

TVTHeader::~TVTHeader() {
    dragImage_.reset();
    font_.reset();
    columns_->Clear();
    columns_.reset();
}

void TVTHeader::SetHeight(int value) {
    value = std::max(0, value);
    if (value == height_) return;
    height_ = value;
    if (owner_ && (options_ & hoVisible)) owner_->HeaderChanged();
}

void TVTHeader::SetOptions(TVTHeaderOptions value) {
    if (value == options_) return;
    TVTHeaderOptions toBeSet = value & ~options_;
    bool visibilityChanged = (value ^ options_) & hoVisible;
    options_ = value;
    if ((toBeSet & hoAutoResize) && !(states_ & hsLoading)) columns_->AdjustAutoSize(InvalidColumn);
    if (owner_ && visibilityChanged) owner_->HeaderChanged();
    if (owner_) owner_->InvalidateTree();
}

void TVTHeader::SetImages(TCustomImageList* value) {
    if (value == images_) return;
    if (images_ && owner_) images_->RemoveFreeNotification(owner_);
    images_ = value;
    if (images_ && owner_) images_->FreeNotification(owner_);
    Invalidate(NoColumn);
}

void TVTHeader::SetStyle(TVTHeaderStyle value) {
    if (value == style_) return;
    style_ = value;
    Invalidate(NoColumn);
}

void TVTHeader::SetBackground(TColor value) {
    if (value == background_) return;
    background_ = value;
    Invalidate(NoColumn);
}

void TVTHeader::SetAutoSizeIndex(TColumnIndex value) {
    if (value == autoSizeIndex_) return;
    autoSizeIndex_ = value;
    if ((options_ & hoAutoResize) && !(states_ & hsLoading)) columns_->AdjustAutoSize(InvalidColumn);
}

void TVTHeader::SetMainColumn(TColumnIndex value) {
    value = columns_->Count() == 0 ? NoColumn : std::clamp(value, 0, columns_->Count() - 1);
    if (value == mainColumn_) return;
    mainColumn_ = value;
    if (!owner_) return;
    if (!(states_ & hsLoading) && !owner_->IsLoadingOrDesigning()) {
        owner_->MainColumnChanged();
        if (!(owner_->TreeOptions()->SelectionOptions() & toExtendedFocus)) owner_->focusedColumn_ = mainColumn_;
    }
    owner_->InvalidateTree();
}

void TVTHeader::SetSortColumn(TColumnIndex value) {
    if (value < 0) value = NoColumn;
    if (value == sortColumn_) return;
    sortColumn_ = value;
    Invalidate(NoColumn);
    AutoSortTree();
}

void TVTHeader::SetSortDirection(TSortDirection value) {
    if (value == sortDirection_) return;
    sortDirection_ = value;
    Invalidate(NoColumn);
    AutoSortTree();
}

void TVTHeader::AutoSortTree() {
    if (!owner_ || (states_ & hsLoading) || owner_->IsLoadingOrDesigning() || owner_->UpdateCount() > 0) return;
    if (owner_->TreeOptions()->AutoOptions() & toAutoSort) owner_->SortTree(sortColumn_, sortDirection_, true);
}

TShiftState TVTHeader::GetShiftState() const {
    TShiftState shift = 0;
    if (GetKeyState(VK_SHIFT) < 0) shift |= ssShift;
    if (GetKeyState(VK_MENU) < 0) shift |= ssAlt;
    if (GetKeyState(VK_CONTROL) < 0) shift |= ssCtrl;
    return shift;
}

void TVTHeader::Invalidate(TColumnIndex column, bool) {
    if (!(options_ & hoVisible) || !owner_ || !owner_->HandleAllocated()) return;
    // The strip is part of the window's frame.
    (void)column;
    RedrawWindow(owner_->Handle(), nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_NOERASE | RDW_NOCHILDREN);
}

void TVTHeader::Assign(TPersistent* source) {
    auto* other = dynamic_cast<TVTHeader*>(source);
    if (!other) {
        TPersistent::Assign(source);
        return;
    }
    SetAutoSizeIndex(other->autoSizeIndex_);
    SetBackground(other->background_);
    columns_->Assign(other->columns_.get());
    font_->Assign(other->font_.get());
    SetHeight(other->height_);
    SetMainColumn(other->GetMainColumn());
    SetOptions(other->options_);
    SetParentFont(other->parentFont_);
    SetSortColumn(other->sortColumn_);
    SetSortDirection(other->sortDirection_);
    SetStyle(other->style_);
}

void TVTHeader::LoadFromStream(TStream* stream) {
    states_ |= hsLoading;
    TVTHeaderOptions kept = options_;
    options_ = 0;
    auto finish = [&] {
        options_ = options_ ? options_ : kept;
        states_ &= THeaderStates(~hsLoading);
        if (owner_) owner_->DoColumnResize(NoColumn);
    };
    TScopeExit finished(finish);
    int version = ReadInt(stream);
    if (version < 0)
        version = ReadInt(stream);
    else {
        stream->Seek(-4, soCurrent);
        version = -1;
    }
    columns_->LoadFromStream(stream, version);
    SetAutoSizeIndex(ReadInt(stream));
    SetBackground(TColor(ReadInt(stream)));
    SetHeight(ReadInt(stream));
    std::int32_t options = ReadInt(stream);
    options_ = kept;
    SetOptions(TVTHeaderOptions(options & 0xFFFF));
    std::int32_t style = ReadInt(stream);
    SetStyle(style >= hsThickButtons && style <= hsXPStyle ? TVTHeaderStyle(style) : hsThickButtons);
    font_->SetColor(TColor(ReadInt(stream)));
    font_->SetHeight(ReadInt(stream));
    std::int32_t nameLength = ReadInt(stream);
    // The name's length is checked against what the record has left.
    if (nameLength < 0 || nameLength > stream->Size() - stream->Position()) throw EReadError("Stream read error");
    std::string name(std::size_t(nameLength), '\0');
    stream->ReadBuffer(name.data(), nameLength);
    font_->SetName(name);
    std::int32_t pitch = ReadInt(stream);
    font_->SetPitch(pitch >= fpDefault && pitch <= fpFixed ? TFontPitch(pitch) : fpDefault);
    std::int32_t styleBits = ReadInt(stream);
    TFontStyles fontStyle;
    for (int bit = 0; bit < 4; ++bit)
        if (styleBits & (1 << bit)) fontStyle.Include(TFontStyle(bit));
    font_->SetStyle(fontStyle);
    if (version > 0) {
        SetMainColumn(ReadInt(stream));
        SetSortColumn(ReadInt(stream));
        SetSortDirection(ReadInt(stream) == sdDescending ? sdDescending : sdAscending);
    }
}

void TVTHeader::SaveToStream(TStream* stream) const {
    WriteInt(stream, -1);
    WriteInt(stream, 4);
    columns_->SaveToStream(stream);
    for (std::int32_t value : {autoSizeIndex_, std::int32_t(background_), height_, std::int32_t(options_),
                               std::int32_t(style_), std::int32_t(font_->Color()), font_->Height()})
        WriteInt(stream, value);
    const std::string& name = font_->Name();
    WriteInt(stream, std::int32_t(name.size()));
    stream->WriteBuffer(name.data(), std::int64_t(name.size()));
    WriteInt(stream, std::int32_t(font_->Pitch()));
    std::int32_t styleBits = 0;
    for (int bit = 0; bit < 4; ++bit)
        if (font_->Style().Contains(TFontStyle(bit))) styleBits |= 1 << bit;
    WriteInt(stream, styleBits);
    WriteInt(stream, mainColumn_);
    WriteInt(stream, sortColumn_);
    WriteInt(stream, std::int32_t(sortDirection_));
}

// ---- the tree's side ----

TColumnIndex TBaseVastTree::MainColumn() const { return header_ ? header_->GetMainColumn() : NoColumn; }

TRect TBaseVastTree::HeaderRect() const {
    if (!header_ || !(header_->Options() & hoVisible)) return TRect{0, 0, 0, 0};
    // The strip sits right above the client area, inside the border.
    int left = 0, top = header_->Height();
    if (HandleAllocated()) {
        POINT origin{0, 0};
        ::platform::ClientToScreen(WindowHandle(), &origin);
        RECT frame{};
        GetWindowRect(WindowHandle(), &frame);
        left = origin.x - frame.left;
        top = origin.y - frame.top;
    }
    return TRect{left, top - header_->Height(), left + ClientWidth(), top};
}

int TBaseVastTree::ComputeRTLOffset(bool withoutBar) const {
    TScrollStyle bars = scrollBarOptions_->ScrollBars();
    bool barShown = ClientHeight() < RangeHeight() && (bars == ssVertical || bars == ssBoth);
    int bar = barShown ? GetSystemMetrics(SM_CXVSCROLL) : 0;
    int result = bar;
    int headerWidth = ClientWidth() + bar;
    if (RangeWidth() + bar <= headerWidth) result = headerWidth - RangeWidth();
    if (barShown && withoutBar) result -= bar;
    return result;
}

void TBaseVastTree::DoColumnResize(TColumnIndex column) {
    if (OnColumnResize) OnColumnResize(header_.get(), column);
}

void TBaseVastTree::DoHeaderClick(TColumnIndex column, TMouseButton button, TShiftState shift, int x, int y) {
    if (OnHeaderClick) OnHeaderClick(header_.get(), column, button, shift, x, y);
}

bool TBaseVastTree::DoCanSplitterResizeColumn(TPoint p, TColumnIndex column) {
    bool allow = true;
    if (OnCanSplitterResizeColumn) OnCanSplitterResizeColumn(header_.get(), p, column, allow);
    return allow;
}

}  // namespace treeview
