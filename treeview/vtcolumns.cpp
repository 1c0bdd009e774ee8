// Columns: the column's setters and stream record, the position array, hit tests and
// walks in display order, auto-size and animated resize.
#include "treeview/vtcolumns.h"

#include <algorithm>
#include <cmath>

#include "platform/core/clock.h"
#include "treeview/vasttrees.h"
#include "treeview/vtheader.h"
#include "treeview/vtinternal.h"

namespace treeview {

using namespace platform;

namespace {

// ---- little-endian records ----

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

// A count or length read from a stream: refused when negative or when its bytes cannot
// be there.
std::int32_t ReadLength(TStream* stream, std::int64_t unitSize) {
    std::int32_t length = ReadInt(stream);
    if (length < 0 || std::int64_t(length) * unitSize > stream->Size() - stream->Position())
        throw EReadError("Stream read error");
    return length;
}

// UTF-8 text to UTF-16 units; malformed bytes become U+FFFD.
std::u16string ToUtf16(const std::string& text) {
    std::u16string result;
    for (std::size_t i = 0; i < text.size();) {
        auto c = std::uint8_t(text[i]);
        std::uint32_t code = 0xFFFD;
        std::size_t length = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (length == 0 || i + length > text.size()) {
            ++i;
        } else {
            code = length == 1 ? c : c & (0x7F >> length);
            bool valid = true;
            for (std::size_t k = 1; k < length; ++k) {
                auto next = std::uint8_t(text[i + k]);
                if ((next & 0xC0) != 0x80) valid = false;
                code = code << 6 | (next & 0x3F);
            }
            static const std::uint32_t minimum[] = {0, 0, 0x80, 0x800, 0x10000};
            if (!valid || code < minimum[length] || code > 0x10FFFF || (code >= 0xD800 && code < 0xE000)) {
                code = 0xFFFD;
                ++i;
            } else {
                i += length;
            }
        }
        if (code >= 0x10000) {
            code -= 0x10000;
            result += char16_t(0xD800 + (code >> 10));
            result += char16_t(0xDC00 + (code & 0x3FF));
        } else {
            result += char16_t(code);
        }
    }
    return result;
}

// UTF-16 units to UTF-8; unpaired surrogates become U+FFFD.
std::string ToUtf8(const std::u16string& text) {
    std::string result;
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t code = text[i];
        if (code >= 0xD800 && code < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000)
            code = 0x10000 + ((code - 0xD800) << 10) + (text[++i] - 0xDC00);
        else if (code >= 0xD800 && code < 0xE000)
            code = 0xFFFD;
        if (code < 0x80) {
            result += char(code);
        } else if (code < 0x800) {
            result += char(0xC0 | code >> 6);
            result += char(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            result += char(0xE0 | code >> 12);
            result += char(0x80 | (code >> 6 & 0x3F));
            result += char(0x80 | (code & 0x3F));
        } else {
            result += char(0xF0 | code >> 18);
            result += char(0x80 | (code >> 12 & 0x3F));
            result += char(0x80 | (code >> 6 & 0x3F));
            result += char(0x80 | (code & 0x3F));
        }
    }
    return result;
}

std::string ReadText(TStream* stream) {
    std::int32_t units = ReadLength(stream, 2);
    std::u16string text(std::size_t(units), u'\0');
    for (char16_t& unit : text) {
        unsigned char bytes[2];
        stream->ReadBuffer(bytes, 2);
        unit = char16_t(bytes[0] | bytes[1] << 8);
    }
    return ToUtf8(text);
}

void WriteText(TStream* stream, const std::string& text) {
    std::u16string units = ToUtf16(text);
    WriteInt(stream, std::int32_t(units.size()));
    for (char16_t unit : units) {
        unsigned char bytes[2] = {std::uint8_t(unit), std::uint8_t(unit >> 8)};
        stream->WriteBuffer(bytes, 2);
    }
}

}  // namespace

std::string ValidUtf8(const std::string& text) { return ToUtf8(ToUtf16(text)); }

// ---- the column ----

TVastTreeColumn::TVastTreeColumn(TCollection* collection) : TCollectionItem(collection, Deferred{}) {
    if (!collection) return;
    Join(collection);
    position_ = TColumnPosition(Owner()->Count() - 1);
    Owner()->InitializePositionArray();
    ParentBiDiModeChanged();
    ParentColorChanged();
}

TVastTreeColumn::~TVastTreeColumn() {
    if (TVastTreeColumns* owner = Owner()) {
        TColumnIndex index = Index();
        // The repairs read the other columns, so they run while this one is still whole.
        if (!owner->clearing_) owner->ColumnGoing(index);
        Leave();
    }
}

TVastTreeColumns* TVastTreeColumn::Owner() const { return static_cast<TVastTreeColumns*>(Collection()); }

TBaseVastTree* TVastTreeColumn::Tree() const { return Owner() ? Owner()->Tree() : nullptr; }

bool TVastTreeColumn::TreeLoading() const {
    TBaseVastTree* tree = Tree();
    return tree && (tree->ComponentState() & csLoading);
}

void TVastTreeColumn::SetWidth(int value) {
    value = std::clamp(value, minWidth_, std::max(minWidth_, maxWidth_));
    if (value == width_) return;
    lastWidth_ = width_;
    TVastTreeColumns* owner = Owner();
    TVTHeader* header = owner ? owner->Header() : nullptr;
    bool autoSizeColumn = header && (header->Options() & hoAutoResize) && Index() == header->AutoSizeIndex();
    if (!autoSizeColumn) {
        width_ = value;
        if (owner) owner->UpdatePositions();
    }
    if (owner && !TreeLoading() && owner->UpdateCount() == 0) {
        if (header && (header->Options() & hoAutoResize)) owner->AdjustAutoSize(Index());
        if (TBaseVastTree* tree = Tree()) tree->DoColumnResize(Index());
    }
}

void TVastTreeColumn::SetMinWidth(int value) {
    if (value < 0) value = 0;
    if (value > maxWidth_) value = maxWidth_;
    if (value == minWidth_) return;
    minWidth_ = value;
    SetWidth(width_);
}

void TVastTreeColumn::SetMaxWidth(int value) {
    if (value < minWidth_) value = minWidth_;
    if (value == maxWidth_) return;
    maxWidth_ = value;
    SetWidth(width_);
}

void TVastTreeColumn::SetMargin(int value) {
    if (value < 0) value = 4;
    if (value == margin_) return;
    margin_ = value;
    Changed(false);
}

void TVastTreeColumn::SetSpacing(int value) {
    if (value == spacing_) return;
    spacing_ = value;
    Changed(false);
}

void TVastTreeColumn::SetText(const std::string& value) {
    if (value == text_) return;
    text_ = value;
    Changed(false);
}

void TVastTreeColumn::SetStyle(TVastTreeColumnStyle value) {
    if (value == style_) return;
    style_ = value;
    Changed(false);
}

void TVastTreeColumn::SetImageIndex(int value) {
    if (value == imageIndex_) return;
    imageIndex_ = value;
    Changed(false);
}

void TVastTreeColumn::SetLayout(TVTHeaderColumnLayout value) {
    if (value == layout_) return;
    layout_ = value;
    Changed(false);
}

void TVastTreeColumn::SetAlignment(TAlignment value) {
    if (value == alignment_) return;
    alignment_ = value;
    Changed(false);
    if (TBaseVastTree* tree = Tree()) tree->InvalidateTree();
}

void TVastTreeColumn::SetBiDiMode(TBiDiMode value) {
    if (value == biDiMode_) return;
    biDiMode_ = value;
    options_ &= TVTColumnOptions(~coParentBidiMode);
    Changed(false);
    if (TBaseVastTree* tree = Tree()) tree->InvalidateTree();
}

void TVastTreeColumn::SetColor(TColor value) {
    if (value == color_) return;
    color_ = value;
    options_ &= TVTColumnOptions(~coParentColor);
    Changed(false);
    if (TBaseVastTree* tree = Tree()) tree->InvalidateTree();
}

void TVastTreeColumn::SetOptions(TVTColumnOptions value) {
    if (value == options_) return;
    TVTColumnOptions toBeSet = value & ~options_, toBeCleared = options_ & ~value;
    options_ = value;
    if (toBeSet & coParentBidiMode) ParentBiDiModeChanged();
    if (toBeSet & coParentColor) ParentColorChanged();
    if (toBeSet & coAutoSpring) springRest_ = 0;
    Changed(false);
    TBaseVastTree* tree = Tree();
    if (!tree || TreeLoading()) return;
    bool visibleChanged = (toBeSet | toBeCleared) & coVisible;
    if ((visibleChanged || (toBeSet & coParentColor)) && tree->UpdateCount() == 0 && tree->HandleAllocated()) {
        tree->InvalidateTree();
        if (visibleChanged) tree->UpdateScrollBars(false);
    }
}

void TVastTreeColumn::SetPosition(TColumnPosition value) {
    TVastTreeColumns* owner = Owner();
    if (TreeLoading() || !owner) {
        position_ = value;  // fixed once loading is over
        return;
    }
    if (value >= TColumnPosition(owner->Count())) value = TColumnPosition(owner->Count() - 1);
    if (value == position_) return;
    owner->InitializePositionArray();
    if (TBaseVastTree* tree = Tree()) tree->CancelEditNode();
    owner->AdjustPosition(this, value);
    Changed(false);
    if (owner->UpdateCount() == 0) {
        if (TBaseVastTree* tree = Tree(); tree && tree->HandleAllocated()) {
            owner->InvalidateColumn(Index());
            tree->InvalidateTree();
        }
    }
    // A column takes over the fixed state of the neighbour it was put beside.
    TColumnIndex neighbour;
    if ((options_ & coFixed) && position_ > 0)
        neighbour = owner->ColumnFromPosition(position_ - 1);
    else
        neighbour = owner->ColumnFromPosition(position_ + 1);
    if (neighbour >= 0 && neighbour < owner->Count()) {
        bool fixed = owner->Items(neighbour)->Options() & coFixed;
        SetOptions(fixed ? TVTColumnOptions(options_ | coFixed) : TVTColumnOptions(options_ & ~coFixed));
    }
}

int TVastTreeColumn::GetLeft() const {
    TBaseVastTree* tree = Tree();
    if ((options_ & coVisible) && (options_ & coFixed)) return left_;
    return left_ - (tree ? tree->HorzScrollPos() : 0);
}

void TVastTreeColumn::GetAbsoluteBounds(int& left, int& right) const {
    left = left_;
    right = left_ + width_;
}

TRect TVastTreeColumn::GetRect() const {
    TBaseVastTree* tree = Tree();
    TRect r = tree ? tree->HeaderRect() : TRect{};
    int base = r.left;
    r.left = base + left_;
    r.right = base + left_ + width_;
    return r;
}

void TVastTreeColumn::RestoreLastWidth() {
    if (TVastTreeColumns* owner = Owner()) owner->AnimatedResize(Index(), lastWidth_);
}

void TVastTreeColumn::ParentBiDiModeChanged() {
    TBaseVastTree* tree = Tree();
    if (!tree || !(options_ & coParentBidiMode) || tree->BiDiMode() == biDiMode_) return;
    biDiMode_ = tree->BiDiMode();
    Changed(false);
}

void TVastTreeColumn::ParentColorChanged() {
    TBaseVastTree* tree = Tree();
    if (!tree || !(options_ & coParentColor) || tree->Color() == color_) return;
    color_ = tree->Color();
    Changed(false);
}

std::string TVastTreeColumn::GetDisplayName() const {
    std::string latin1;
    for (char16_t unit : ToUtf16(text_)) {
        if (unit > 0xFF) return "Column " + std::to_string(Index());
        latin1 += char(unit);
    }
    return latin1;
}

void TVastTreeColumn::Assign(TPersistent* source) {
    auto* other = dynamic_cast<TVastTreeColumn*>(source);
    if (!other) {
        TCollectionItem::Assign(source);
        return;
    }
    TVTColumnOptions kept = options_;
    options_ = 0;
    SetBiDiMode(other->biDiMode_);
    SetImageIndex(other->imageIndex_);
    SetLayout(other->layout_);
    SetMargin(other->margin_);
    SetMaxWidth(other->maxWidth_);
    SetMinWidth(other->minWidth_);
    SetPosition(other->position_);
    SetSpacing(other->spacing_);
    SetStyle(other->style_);
    SetText(other->text_);
    hint_ = other->hint_;
    SetWidth(other->width_);
    SetAlignment(other->alignment_);
    SetColor(other->color_);
    tag_ = other->tag_;
    options_ = kept;
    SetOptions(other->options_);
    Changed(false);
}

bool TVastTreeColumn::Equals(const TVastTreeColumn* other) const {
    return other && typeid(*other) == typeid(*this) && biDiMode_ == other->biDiMode_ &&
           imageIndex_ == other->imageIndex_ && layout_ == other->layout_ && margin_ == other->margin_ &&
           maxWidth_ == other->maxWidth_ && minWidth_ == other->minWidth_ && position_ == other->position_ &&
           spacing_ == other->spacing_ && style_ == other->style_ && text_ == other->text_ && hint_ == other->hint_ &&
           width_ == other->width_ && alignment_ == other->alignment_ && color_ == other->color_ &&
           tag_ == other->tag_ && options_ == other->options_;
}

void TVastTreeColumn::LoadFromStream(TStream* stream, int version) {
    SetText(ReadText(stream));
    hint_ = ReadText(stream);
    SetWidth(ReadInt(stream));
    SetMinWidth(ReadInt(stream));
    SetMaxWidth(ReadInt(stream));
    std::int32_t style = ReadInt(stream);
    SetStyle(style == vsOwnerDraw ? vsOwnerDraw : vsText);
    SetImageIndex(ReadInt(stream));
    std::int32_t layout = ReadInt(stream);
    SetLayout(layout >= blGlyphLeft && layout <= blGlyphBottom ? TVTHeaderColumnLayout(layout) : blGlyphLeft);
    SetMargin(ReadInt(stream));
    SetSpacing(ReadInt(stream));
    std::int32_t bidi = ReadInt(stream);
    SetBiDiMode(bidi >= bdLeftToRight && bidi <= bdRightToLeftReadingOnly ? TBiDiMode(bidi) : bdLeftToRight);
    auto options = std::uint32_t(ReadInt(stream));
    if (version >= 3)
        options &= 0xFFFF;
    else if (version == 2)
        options &= 0xFF;
    else
        options = ((options & 0x0F) | (options & 0x70) << 1) & 0xFF;
    SetOptions(TVTColumnOptions(options));
    if (version > 0) {
        tag_ = ReadInt(stream);
        std::int32_t alignment = ReadInt(stream);
        SetAlignment(alignment >= taLeftJustify && alignment <= taCenter ? TAlignment(alignment) : taLeftJustify);
        if (version > 1) SetColor(TColor(ReadInt(stream)));
    }
}

void TVastTreeColumn::SaveToStream(TStream* stream) const {
    WriteText(stream, text_);
    WriteText(stream, hint_);
    for (std::int32_t value : {width_, minWidth_, maxWidth_, std::int32_t(style_), imageIndex_, std::int32_t(layout_),
                               margin_, spacing_, std::int32_t(biDiMode_), std::int32_t(options_), tag_,
                               std::int32_t(alignment_), std::int32_t(color_)})
        WriteInt(stream, value);
}

// ---- the collection ----

TVastTreeColumns::TVastTreeColumns(TVTHeader* header)
    : TCollection([](TCollection* collection) { return new TVastTreeColumn(collection); }), header_(header) {
    headerBitmap_ = new TBitmap();
    headerBitmap_->SetPixelFormat(pf32bit);
}

TVastTreeColumns::~TVastTreeColumns() {
    Clear();
    delete headerBitmap_;
}

TBaseVastTree* TVastTreeColumns::Tree() const { return header_ ? header_->Treeview() : nullptr; }

void TVastTreeColumns::Clear() {
    clearing_ = true;
    hoverIndex_ = downIndex_ = trackIndex_ = clickIndex_ = NoColumn;
    if (header_ && !(header_->States() & hsLoading)) {
        header_->autoSizeIndex_ = -1;
        header_->mainColumn_ = -1;
        header_->sortColumn_ = -1;
    }
    TScopeExit cleared([this] { clearing_ = false; });
    TCollection::Clear();
    positionToIndex_.clear();
}

void TVastTreeColumns::ColumnGoing(TColumnIndex index) {
    auto found = std::find(positionToIndex_.begin(), positionToIndex_.end(), index);
    if (found != positionToIndex_.end()) positionToIndex_.erase(found);
    for (std::int32_t& entry : positionToIndex_)
        if (entry > index) --entry;
    auto renumber = [index](TColumnIndex& column) {
        if (column == index)
            column = NoColumn;
        else if (column > index)
            --column;
    };
    for (TColumnIndex* column : {&hoverIndex_, &downIndex_, &trackIndex_, &clickIndex_}) renumber(*column);
    if (header_) {
        renumber(header_->autoSizeIndex_);
        renumber(header_->sortColumn_);
        if (header_->mainColumn_ == index)
            header_->mainColumn_ = Count() > 1 ? 0 : NoColumn;
        else if (header_->mainColumn_ > index)
            --header_->mainColumn_;
    }
}

void TVastTreeColumns::Update(TCollectionItem* item) {
    InitializePositionArray();
    TBaseVastTree* tree = Tree();
    bool loading = tree && (tree->ComponentState() & csLoading);
    if (loading)
        needPositionsFix_ = true;
    else
        UpdatePositions();
    if (Count() > 0 && header_ && header_->mainColumn_ < 0) header_->mainColumn_ = 0;
    if (!tree || loading || (header_ && (header_->States() & hsLoading))) return;
    if (header_ && (header_->Options() & hoAutoResize)) AdjustAutoSize(InvalidColumn);
    if (item) {
        InvalidateColumn(item->Index());
    } else if (tree->HandleAllocated()) {
        tree->UpdateScrollBars(false);
        if (header_) header_->Invalidate(NoColumn);
        tree->InvalidateTree();
    }
}

void TVastTreeColumns::InvalidateColumn(TColumnIndex column) {
    if (header_) header_->Invalidate(column);
}

void TVastTreeColumns::InitializePositionArray() {
    auto count = std::size_t(Count());
    if (positionToIndex_.size() == count) return;
    std::size_t old = positionToIndex_.size();
    positionToIndex_.resize(count);
    if (count > old) {
        for (std::size_t i = old; i < count; ++i) positionToIndex_[i] = std::int32_t(i);
    } else {
        for (bool changed = true; changed;) {
            changed = false;
            for (std::int32_t& entry : positionToIndex_)
                if (entry >= std::int32_t(count)) {
                    --entry;
                    changed = true;
                }
        }
    }
}

void TVastTreeColumns::AdjustPosition(TVastTreeColumn* column, TColumnPosition position) {
    TColumnPosition old = column->position_;
    if (old >= positionToIndex_.size() || position >= positionToIndex_.size()) return;
    if (old < position)
        std::move(positionToIndex_.begin() + old + 1, positionToIndex_.begin() + position + 1,
                  positionToIndex_.begin() + old);
    else if (old > position)
        std::move_backward(positionToIndex_.begin() + position, positionToIndex_.begin() + old,
                           positionToIndex_.begin() + old + 1);
    positionToIndex_[position] = column->Index();
}

void TVastTreeColumns::UpdatePositions(bool force) {
    if (needPositionsFix_ || (!force && UpdateCount() > 0)) return;
    int left = 0;
    for (std::size_t p = 0; p < positionToIndex_.size(); ++p) {
        std::int32_t index = positionToIndex_[p];
        if (index < 0 || index >= Count()) continue;
        TVastTreeColumn* column = Items(index);
        column->position_ = TColumnPosition(p);
        column->left_ = left;
        if (column->options_ & coVisible) left += column->width_;
    }
}

void TVastTreeColumns::FixPositions() {
    positionToIndex_.assign(std::size_t(Count()), -1);
    bool permutation = true;
    for (int i = 0; i < Count(); ++i) {
        TColumnPosition position = Items(i)->position_;
        if (position >= positionToIndex_.size() || positionToIndex_[position] != -1) {
            permutation = false;
            break;
        }
        positionToIndex_[position] = i;
    }
    // Positions that are no permutation (a damaged record) give the order of creation.
    if (!permutation)
        for (int i = 0; i < Count(); ++i) positionToIndex_[std::size_t(i)] = i;
    needPositionsFix_ = false;
    UpdatePositions(true);
}

void TVastTreeColumns::ReorderColumns(bool rightToLeft) {
    int count = Count();
    positionToIndex_.resize(std::size_t(count));
    for (int p = 0; p < count; ++p) positionToIndex_[std::size_t(p)] = rightToLeft ? count - p - 1 : p;
    UpdatePositions(true);
}

TColumnIndex TVastTreeColumns::ColumnFromPosition(TPoint p, bool relative) const {
    TBaseVastTree* tree = Tree();
    if (p.x < 0 || p.y < 0 || (tree && p.y > tree->Height())) return InvalidColumn;
    int left, right;
    return GetColumnAndBounds(p, left, right, relative);
}

TColumnIndex TVastTreeColumns::ColumnFromPosition(TColumnPosition positionIndex) const {
    if (positionIndex >= positionToIndex_.size()) return NoColumn;
    return positionToIndex_[positionIndex];
}

TColumnIndex TVastTreeColumns::GetColumnAndBounds(TPoint p, int& left, int& right, bool relative) const {
    TBaseVastTree* tree = Tree();
    int start = 0;
    if (relative && tree && p.x > GetVisibleFixedWidth()) start = -tree->HorzScrollPos();
    if (tree && tree->UseRightToLeftAlignment()) start += tree->ComputeRTLOffset(true);
    for (std::int32_t index : positionToIndex_) {
        if (index < 0 || index >= Count()) continue;
        const TVastTreeColumn* column = Items(index);
        if (!(column->options_ & coVisible)) continue;
        if (p.x < start + column->width_) {
            left = start;
            right = start + column->width_;
            return index;
        }
        start += column->width_;
    }
    return InvalidColumn;
}

void TVastTreeColumns::GetColumnBounds(TColumnIndex column, int& left, int& right) const {
    TBaseVastTree* tree = Tree();
    if (column < 0) {
        left = 0;
        right = tree ? tree->ClientWidth() : 0;
        return;
    }
    const TVastTreeColumn* item = Items(column);
    left = item->GetLeft();
    right = left + item->width_;
    if (tree && tree->UseRightToLeftAlignment()) {
        int offset = tree->ComputeRTLOffset(true);
        left += offset;
        right += offset;
    }
}

TColumnIndex TVastTreeColumns::GetFirstVisibleColumn(bool considerAllowFocus) const {
    for (std::int32_t index : positionToIndex_) {
        TVTColumnOptions options = Items(index)->options_;
        if ((options & coVisible) && (!considerAllowFocus || (options & coAllowFocus))) return index;
    }
    return InvalidColumn;
}

TColumnIndex TVastTreeColumns::GetLastVisibleColumn(bool considerAllowFocus) const {
    for (auto run = positionToIndex_.rbegin(); run != positionToIndex_.rend(); ++run) {
        TVTColumnOptions options = Items(*run)->options_;
        if ((options & coVisible) && (!considerAllowFocus || (options & coAllowFocus))) return *run;
    }
    return InvalidColumn;
}

TColumnIndex TVastTreeColumns::GetNextColumn(TColumnIndex column) const {
    if (column < 0) return InvalidColumn;
    TColumnPosition position = Items(column)->position_;
    if (position + 1 >= positionToIndex_.size()) return InvalidColumn;
    return positionToIndex_[position + 1];
}

TColumnIndex TVastTreeColumns::GetPreviousColumn(TColumnIndex column) const {
    if (column < 0) return InvalidColumn;
    TColumnPosition position = Items(column)->position_;
    if (position == 0 || position > positionToIndex_.size()) return InvalidColumn;
    return positionToIndex_[position - 1];
}

TColumnIndex TVastTreeColumns::GetNextVisibleColumn(TColumnIndex column, bool considerAllowFocus) const {
    for (column = GetNextColumn(column); column >= 0; column = GetNextColumn(column)) {
        TVTColumnOptions options = Items(column)->options_;
        if ((options & coVisible) && (!considerAllowFocus || (options & coAllowFocus))) return column;
    }
    return InvalidColumn;
}

TColumnIndex TVastTreeColumns::GetPreviousVisibleColumn(TColumnIndex column, bool considerAllowFocus) const {
    for (column = GetPreviousColumn(column); column >= 0; column = GetPreviousColumn(column)) {
        TVTColumnOptions options = Items(column)->options_;
        if ((options & coVisible) && (!considerAllowFocus || (options & coAllowFocus))) return column;
    }
    return InvalidColumn;
}

std::vector<TVastTreeColumn*> TVastTreeColumns::GetVisibleColumns() const {
    std::vector<TVastTreeColumn*> result;
    for (std::int32_t index : positionToIndex_)
        if (Items(index)->options_ & coVisible) result.push_back(Items(index));
    return result;
}

int TVastTreeColumns::GetVisibleFixedWidth() const {
    int width = 0;
    for (int i = 0; i < Count(); ++i)
        if ((Items(i)->options_ & (coVisible | coFixed)) == (coVisible | coFixed)) width += Items(i)->width_;
    return width;
}

int TVastTreeColumns::GetScrollWidth() const {
    std::int64_t sum = 0;
    int count = 0;
    for (int i = 0; i < Count(); ++i)
        if ((Items(i)->options_ & (coVisible | coFixed)) == coVisible) {
            sum += Items(i)->width_;
            ++count;
        }
    TBaseVastTree* tree = Tree();
    if (count == 0) return tree ? tree->Indent() : 0;
    // Rounded to nearest, halves to even.
    return int(std::nearbyint(double(sum) / count));
}

int TVastTreeColumns::TotalWidth() const {
    if (Count() == 0 || positionToIndex_.empty()) return 0;
    TColumnIndex last = positionToIndex_.back();
    if (!(Items(last)->options_ & coVisible)) last = GetPreviousVisibleColumn(last);
    if (last < 0) return 0;
    return Items(last)->left_ + Items(last)->width_;
}

void TVastTreeColumns::AdjustAutoSize(TColumnIndex, bool force) {
    if (Count() == 0) return;
    TColumnIndex autoIndex = header_ ? header_->AutoSizeIndex() : -1;
    if (autoIndex < 0 || autoIndex >= Count()) autoIndex = Count() - 1;
    TBaseVastTree* tree = Tree();
    int width = tree ? (tree->HandleAllocated() ? tree->ClientWidth() : tree->Width()) : 0;
    for (int i = 0; i < Count(); ++i)
        if (i != autoIndex && (Items(i)->options_ & coVisible)) width -= Items(i)->width_;
    TVastTreeColumn* column = Items(autoIndex);
    width = std::clamp(width, column->minWidth_, std::max(column->minWidth_, column->maxWidth_));
    if (!force && width == column->width_) return;
    column->width_ = width;
    UpdatePositions();
    if (tree) tree->DoColumnResize(autoIndex);
}

TColumnIndex TVastTreeColumns::AdjustDownColumn(TPoint p) {
    if (header_) p.y += header_->Height();
    TColumnIndex column = ColumnFromPosition(p, true);
    if (column >= 0 && column != downIndex_ &&
        (Items(column)->options_ & (coAllowClick | coEnabled)) == (coAllowClick | coEnabled)) {
        if (downIndex_ >= 0) InvalidateColumn(downIndex_);
        downIndex_ = column;
        InvalidateColumn(downIndex_);
    }
    return column;
}

bool TVastTreeColumns::AdjustHoverColumn(TPoint p) {
    if (header_) p.y += header_->Height();
    TColumnIndex column = ColumnFromPosition(p, true);
    if (column == hoverIndex_) return false;
    if (hoverIndex_ >= 0) InvalidateColumn(hoverIndex_);
    if (column >= 0) InvalidateColumn(column);
    hoverIndex_ = column;
    return true;
}

void TVastTreeColumns::AnimatedResize(TColumnIndex column, int newWidth) {
    if (!IsValidColumn(column)) return;
    TVastTreeColumn* item = Items(column);
    newWidth = std::clamp(newWidth, item->minWidth_, std::max(item->minWidth_, item->maxWidth_));
    int oldWidth = item->width_;
    if (newWidth == oldWidth) return;
    TBaseVastTree* tree = Tree();
    bool animate = tree && tree->HandleAllocated() && !(header_ && (header_->Options() & hoDisableAnimatedResize)) &&
                   !(item->options_ & coDisableAnimatedResize);
    if (animate) {
        // The area right of the column slides in 32 steps of (new - old) / 32 pixels; the
        // setter below lands on the exact width.
        const int steps = 32, dx = (newWidth - oldWidth) / steps;
        for (int step = 1; step <= steps && dx != 0; ++step) {
            item->width_ = oldWidth + step * dx;
            UpdatePositions(true);
            tree->Repaint();
            Sleep(1);
        }
        item->width_ = oldWidth;
        UpdatePositions(true);
    }
    item->SetWidth(newWidth);
}

bool TVastTreeColumns::CanSplitterResize(TPoint p, TColumnIndex column) const {
    bool allow = column >= 0 && column < Count() &&
                 (Items(column)->options_ & (coResizable | coVisible)) == (coResizable | coVisible);
    if (TBaseVastTree* tree = Tree()) allow = tree->DoCanSplitterResizeColumn(p, column) && allow;
    return allow;
}

void TVastTreeColumns::HandleClick(TPoint p, TMouseButton button, bool force, bool dblClick) {
    int headerHeight = header_ ? header_->Height() : 0;
    TColumnIndex column = ColumnFromPosition(TPoint{p.x, p.y + headerHeight}, true);
    if (column >= 0 && (Items(column)->options_ & coAllowClick) && (force || column == downIndex_)) {
        clickIndex_ = column;
        TShiftState shift = header_ ? header_->GetShiftState() : 0;
        if (dblClick) shift |= ssDouble;
        if (TBaseVastTree* tree = Tree()) tree->DoHeaderClick(column, button, shift, p.x, p.y + headerHeight);
        InvalidateColumn(column);
    } else {
        clickIndex_ = NoColumn;
    }
}

void TVastTreeColumns::LoadFromStream(TStream* stream, int version) {
    Clear();
    // Each column record holds at least fifteen 4-byte values.
    std::int32_t count = ReadLength(stream, 4 * 12);
    if (count <= 0) return;
    TUpdateScope update(*this);
    TScopeFail keepWhatWasRead([this] {
        // What was read stays, in the order of creation.
        needPositionsFix_ = false;
        ReorderColumns(false);
    });
    for (std::int32_t i = 0; i < count; ++i) Add()->LoadFromStream(stream, version);
    if (stream->Size() - stream->Position() < std::int64_t(count) * 4) throw EReadError("Stream read error");
    std::vector<std::int32_t> order(static_cast<std::size_t>(count));
    std::vector<bool> seen(static_cast<std::size_t>(count), false);
    bool permutation = true;
    for (std::int32_t& entry : order) {
        entry = ReadInt(stream);
        if (entry < 0 || entry >= count || seen[std::size_t(entry)])
            permutation = false;
        else
            seen[std::size_t(entry)] = true;
    }
    // An order that is no permutation (a damaged record) becomes the order of creation.
    if (!permutation)
        for (std::int32_t i = 0; i < count; ++i) order[std::size_t(i)] = i;
    positionToIndex_ = std::move(order);
    needPositionsFix_ = false;
    UpdatePositions(true);
}

void TVastTreeColumns::SaveToStream(TStream* stream) const {
    WriteInt(stream, Count());
    if (Count() == 0) return;
    for (int i = 0; i < Count(); ++i) Items(i)->SaveToStream(stream);
    for (int p = 0; p < Count(); ++p)
        WriteInt(stream, std::size_t(p) < positionToIndex_.size() ? positionToIndex_[std::size_t(p)] : p);
}

void TVastTreeColumns::Assign(TPersistent* source) {
    TCollection::Assign(source);
    if (auto* other = dynamic_cast<TVastTreeColumns*>(source)) {
        positionToIndex_ = other->positionToIndex_;
        needPositionsFix_ = false;
        UpdatePositions(true);
    }
}

bool TVastTreeColumns::Equals(const TVastTreeColumns* other) const {
    if (!other || typeid(*other) != typeid(*this) || other->Count() != Count() ||
        other->positionToIndex_ != positionToIndex_)
        return false;
    for (int i = 0; i < Count(); ++i)
        if (!Items(i)->Equals(other->Items(i))) return false;
    return true;
}

}  // namespace treeview
