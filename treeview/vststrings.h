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

class TCustomVastStringTree;

using TVSTGetTextEvent = std::function<void(TBaseVastTree* sender, PVastNode node, TColumnIndex column,
                                            TVSTTextType textType, std::string& cellText)>;
using TVSTNewTextEvent =
    std::function<void(TBaseVastTree* sender, PVastNode node, TColumnIndex column, const std::string& newText)>;

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
    virtual bool ColumnIsEmpty(PVastNode node, TColumnIndex column);
    // 0 when the cell text starts with the search text (case-sensitive), else 1.
    virtual int DoIncrementalSearch(PVastNode node, const std::string& text);

    // Reads the string option set older stored trees have ("soSaveCaptions",
    // "soShowStaticText"): StringOptions is emptied, known members added.
    void ReadOldStringOptions(const std::vector<std::string>& memberNames);

    void InvalidateNode(PVastNode node) override;
    void ReinitNode(PVastNode node, bool recursive) override;

    TVSTGetTextEvent OnGetText;
    TVSTNewTextEvent OnNewText;

protected:
    virtual void DoGetText(PVastNode node, TColumnIndex column, TVSTTextType textType, std::string& text);
    virtual void DoNewText(PVastNode node, TColumnIndex column, const std::string& text);
    void FontChanged() override;

private:
    std::string defaultText_ = "Node";
    std::uint32_t internalDataOffset_ = 0;
};

// The class of every list of the program.
class TVastStringTree : public TCustomVastStringTree {
public:
    explicit TVastStringTree(platform::TComponent* owner);
    TStringTreeOptions* TreeOptions() const;
};

}  // namespace treeview
