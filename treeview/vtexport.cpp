// Exports of the text tree: plain text (narrow and UTF-16), RTF, HTML and the clipboard's
// HTML wrapper. Cell texts come from GetText (OnGetText), fonts from OnPaintText applied
// to a scratch canvas. Every format is escaped so that any cell text (markup, quotes,
// separators, line breaks, control and non-BMP characters) leaves it well-formed.
#include <cmath>
#include <cstdio>
#include <vector>

#include "platform/graphics/graphics.h"
#include "treeview/vststrings.h"
#include "treeview/vtinternal.h"
#include "treeview/vtutf.h"

namespace treeview {

using namespace platform;

namespace {

// Pixels per inch the RTF cell boundaries are converted from.
constexpr int ScreenPixelsPerInch = 96;

template <class String, class Char> bool NeedsQuotes(const String& text, Char separator) {
    for (Char c : text)
        if (c == separator || c == Char('"') || c == Char('\r') || c == Char('\n')) return true;
    return false;
}

template <class String> String Quoted(const String& text) {
    String result(1, typename String::value_type('"'));
    for (auto c : text) {
        result += c;
        if (c == typename String::value_type('"')) result += c;
    }
    result += typename String::value_type('"');
    return result;
}

std::string HtmlEscaped(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

std::string HtmlColor(TColor color) {
    COLORREF rgb = ColorToRGB(color);
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "#%02X%02X%02X", GetRValue(rgb), GetGValue(rgb), GetBValue(rgb));
    return buffer;
}

// The CSS font rule of a font: named ".name{font:...}" or inline (name empty), which is
// an attribute and comes escaped.
std::string FontRule(TFont* font, const std::string& name) {
    std::string rule = "{font:";
    TFontStyles style = font->Style();
    if (style.Contains(fsUnderline)) rule += " underline";
    if (style.Contains(fsItalic)) rule += " italic";
    if (style.Contains(fsBold)) rule += " bold";
    rule += " " + std::to_string(font->Size()) + "pt \"" + font->Name() + "\";";
    rule += "color:" + HtmlColor(font->Color()) + ";}";
    if (name.empty()) return " style=\"" + HtmlEscaped(rule) + "\"";
    return "." + name + HtmlEscaped(rule);
}

TAlignment Mirrored(TAlignment alignment, bool rightToLeft) {
    if (!rightToLeft) return alignment;
    if (alignment == taLeftJustify) return taRightJustify;
    if (alignment == taRightJustify) return taLeftJustify;
    return alignment;
}

bool SameFont(TFont* a, const std::string& name, int height, TFontStyles style, TColor color) {
    return a->Name() == name && a->Height() == height && a->Style() == style && a->Color() == color;
}

// The RTF document's font and colour tables and the run state.
struct RtfWriter {
    std::vector<std::string> fonts;
    std::vector<COLORREF> colors;
    int curFont = -1, curColor = -1, curSize = -1;
    std::string body;

    void Run(const std::string& text, TFont* font) {
        if (text.empty()) return;
        TFontStyles style = font->Style();
        if (style.Contains(fsUnderline)) body += "\\ul";
        if (style.Contains(fsItalic)) body += "\\i";
        if (style.Contains(fsBold)) body += "\\b";
        int index = Find(fonts, font->Name());
        if (index < 0) {
            fonts.push_back(font->Name());
            index = int(fonts.size()) - 1;
        }
        if (index != curFont) {
            body += "\\f" + std::to_string(index);
            curFont = index;
        }
        COLORREF rgb = ColorToRGB(font->Color());
        index = Find(colors, rgb);
        if (index < 0) {
            colors.push_back(rgb);
            index = int(colors.size()) - 1;
        }
        if (index != curColor) {
            body += "\\cf" + std::to_string(index + 1);
            curColor = index;
        }
        if (font->Size() != curSize) {
            body += "\\fs" + std::to_string(2 * font->Size());
            curSize = font->Size();
        }
        body += ' ';
        // Printable ASCII as it stands (the characters RTF gives meaning escaped), so that
        // readers without Unicode escapes get the text; every other UTF-16 unit as a \u
        // escape of its signed value with "?" for readers without them.
        for (char16_t unit : Utf8ToUtf16(text)) {
            if (unit >= 0x20 && unit < 0x7F) {
                if (unit == '\\' || unit == '{' || unit == '}') body += '\\';
                body += char(unit);
            } else {
                body += "\\u" + std::to_string(std::int16_t(unit)) + "\\'3f";
            }
        }
        if (style.Contains(fsUnderline)) body += "\\ul0";
        if (style.Contains(fsItalic)) body += "\\i0";
        if (style.Contains(fsBold)) body += "\\b0";
    }

    template <class T> static int Find(const std::vector<T>& list, const T& value) {
        for (std::size_t i = 0; i < list.size(); ++i)
            if (list[i] == value) return int(i);
        return -1;
    }
};

const char* RtfAlignment(TAlignment alignment) {
    return alignment == taRightJustify ? "\\qr" : alignment == taCenter ? "\\qc" : "";
}

}  // namespace

std::string WrapClipboardHTML(const std::string& fragment) {
    const std::string before =
        "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0 Transitional//EN\">"
        "<html><head><META http-equiv=Content-Type content=\"text/html; charset=utf-8\"></head><body>"
        "<!--StartFragment-->";
    const std::string after = "<!--EndFragment--></body></html>";
    auto line = [](const char* label, std::size_t value) {
        char buffer[40];
        std::snprintf(buffer, sizeof buffer, "%s%.8zu\r\n", label, value);
        return std::string(buffer);
    };
    const std::size_t headerLength = 97;  // "Version:1.0" and four labelled 8-digit numbers
    std::size_t startFragment = headerLength + before.size();
    std::size_t endFragment = startFragment + fragment.size();
    std::string result = "Version:1.0\r\n";
    result += line("StartHTML:", headerLength);
    result += line("EndHTML:", endFragment + after.size());
    result += line("StartFragment:", startFragment);
    result += line("EndFragment:", endFragment);
    return result + before + fragment + after;
}

void TCustomVastStringTree::GetRenderStartValues(TVSTTextSourceType source, PVastNode& node,
                                                 std::function<PVastNode(PVastNode)>& nextNode) {
    switch (source) {
        case tstInitialized:
            node = GetFirstInitialized();
            nextNode = [this](PVastNode n) { return GetNextInitialized(n); };
            break;
        case tstSelected:
            node = GetFirstSelected();
            nextNode = [this](PVastNode n) { return GetNextSelected(n); };
            break;
        case tstCutCopySet: {
            auto next = [this](PVastNode n) {
                for (n = GetNextNoInit(n); n && !(n->States & vsCutOrCopy);) n = GetNextNoInit(n);
                return n;
            };
            node = GetFirstNoInit();
            if (node && !(node->States & vsCutOrCopy)) node = next(node);
            nextNode = next;
            break;
        }
        case tstVisible:
            node = GetFirstVisible();
            nextNode = [this](PVastNode n) { return GetNextVisible(n); };
            break;
        default:
            node = GetFirst();
            nextNode = [this](PVastNode n) { return GetNext(n); };
            break;
    }
}

namespace {

// The nodes of an export with their levels, and the deepest level.
struct ExportNodes {
    std::vector<std::pair<PVastNode, int>> nodes;
    int maxLevel = 0;
};

ExportNodes CollectNodes(TCustomVastStringTree& tree, TVSTTextSourceType source) {
    ExportNodes result;
    PVastNode node = nullptr;
    std::function<PVastNode(PVastNode)> next;
    tree.GetRenderStartValues(source, node, next);
    for (; node; node = next(node)) {
        int level = int(tree.GetNodeLevel(node));
        result.nodes.emplace_back(node, level);
        if (level > result.maxLevel) result.maxLevel = level;
    }
    return result;
}

// The text exports in both widths: String is std::string (UTF-8) or std::u16string.
template <class String, class Convert>
String TextExport(TCustomVastStringTree& tree, TVSTTextSourceType source, typename String::value_type separator,
                  Convert convert) {
    using Char = typename String::value_type;
    ExportNodes exported = CollectNodes(tree, source);
    TVTHeader* header = tree.Header();
    std::vector<TVastTreeColumn*> columns;
    if (header->GetUseColumns()) columns = header->Columns()->GetVisibleColumns();
    TColumnIndex mainColumn = header->MainColumn();
    String result;
    const String newLine = {Char('\r'), Char('\n')};
    auto cell = [&](const String& text) { return NeedsQuotes(text, separator) ? Quoted(text) : text; };
    if (!columns.empty()) {
        for (std::size_t i = 0; i < columns.size(); ++i) {
            result += cell(convert(columns[i]->Text()));
            if (i + 1 < columns.size()) {
                if (columns[i]->Index() == mainColumn) result.append(std::size_t(exported.maxLevel), separator);
                result += separator;
            }
        }
        result += newLine;
    }
    for (auto [node, level] : exported.nodes) {
        if (columns.empty()) {
            result.append(std::size_t(level), separator);
            result += cell(convert(tree.GetText(node, NoColumn)));
        } else {
            for (std::size_t i = 0; i < columns.size(); ++i) {
                TColumnIndex index = columns[i]->Index();
                String text = cell(convert(tree.GetText(node, index)));
                if (index == mainColumn) {
                    result.append(std::size_t(level), separator);
                    result += text;
                    result.append(std::size_t(exported.maxLevel - level), separator);
                } else {
                    result += text;
                }
                if (i + 1 < columns.size()) result += separator;
            }
        }
        result += newLine;
    }
    return result;
}

}  // namespace

std::string TCustomVastStringTree::ContentToText(TVSTTextSourceType source, char separator) {
    return TextExport<std::string>(*this, source, separator, [](const std::string& s) { return ValidUtf8(s); });
}

std::u16string TCustomVastStringTree::ContentToUnicode(TVSTTextSourceType source, char16_t separator) {
    return TextExport<std::u16string>(*this, source, separator, [](const std::string& s) { return Utf8ToUtf16(s); });
}

std::string TCustomVastStringTree::ContentToRTF(TVSTTextSourceType source) {
    ExportNodes exported = CollectNodes(*this, source);
    TVTHeader* header = Header();
    std::vector<TVastTreeColumn*> columns;
    if (header->GetUseColumns()) columns = header->Columns()->GetVisibleColumns();
    TColumnIndex mainColumn = header->MainColumn();
    TBitmap scratch;
    scratch.SetSize(1, 1);
    TCanvas* canvas = scratch.Canvas();

    RtfWriter rtf;
    rtf.body = "\\uc1\\trowd\\trgaph70";
    auto twips = [](int pixels) {
        return std::to_string(std::llround(std::nearbyint(double(pixels) * 1440.0 / ScreenPixelsPerInch)));
    };
    if (!columns.empty()) {
        int right = 0;
        for (TVastTreeColumn* column : columns) {
            right += column->Width();
            rtf.body += "\\cellx" + twips(right);
        }
        rtf.body += "\\pard\\intbl";
        for (TVastTreeColumn* column : columns) {
            rtf.body += RtfAlignment(Mirrored(column->Alignment(), column->UseRightToLeftReading()));
            rtf.Run(ValidUtf8(column->Text()), header->Font());
            rtf.body += "\\cell";
        }
        rtf.body += "\\row";
    } else {
        rtf.body += "\\cellx" + twips(ClientWidth());
    }
    auto cell = [&](PVastNode node, int level, TColumnIndex index, TAlignment alignment) {
        std::string text = ValidUtf8(GetText(node, index));
        rtf.body += "\\pard\\intbl";
        rtf.body += RtfAlignment(alignment);
        canvas->SetFont(Font());
        DoPaintText(node, canvas, index, ttNormal);
        if (index == mainColumn && level >= 1) {
            for (int i = 0; i < level; ++i) rtf.body += "\\tab";
            rtf.body += ' ';
        }
        rtf.Run(text, canvas->Font());
        rtf.body += "\\cell";
    };
    for (auto [node, level] : exported.nodes) {
        if (columns.empty())
            cell(node, level, NoColumn, Alignment());
        else
            for (TVastTreeColumn* column : columns)
                cell(node, level, column->Index(), Mirrored(column->Alignment(), column->UseRightToLeftReading()));
        rtf.body += "\\row";
    }
    rtf.body += "\\pard\\par";

    std::string result = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1043{\\fonttbl";
    for (std::size_t i = 0; i < rtf.fonts.size(); ++i) {
        // Font names are written as they come; the characters RTF gives meaning are left out.
        std::string name;
        for (char c : rtf.fonts[i])
            if (c != '\\' && c != '{' && c != '}' && c != ';' && std::uint8_t(c) >= 0x20) name += c;
        result += "{\\f" + std::to_string(i) + " " + name + ";}";
    }
    result += "}{\\colortbl;";
    for (COLORREF rgb : rtf.colors)
        result += "\\red" + std::to_string(GetRValue(rgb)) + "\\green" + std::to_string(GetGValue(rgb)) + "\\blue" +
                  std::to_string(GetBValue(rgb)) + ";";
    result += "}" + rtf.body + "}";
    return result;
}

std::string TCustomVastStringTree::ContentToHTML(TVSTTextSourceType source, const std::string& caption) {
    ExportNodes exported = CollectNodes(*this, source);
    TVTHeader* header = Header();
    bool useColumns = header->GetUseColumns();
    std::vector<TVastTreeColumn*> columns;
    if (useColumns) columns = header->Columns()->GetVisibleColumns();
    TColumnIndex mainColumn = header->MainColumn();
    TBitmap scratch;
    scratch.SetSize(1, 1);
    TCanvas* canvas = scratch.Canvas();
    const std::string crlf = "\r\n";
    const std::string margin = std::to_string(Margin());
    const std::string padding = "padding-left:" + margin + "px;padding-right:" + margin + "px;";
    const std::string lineStyle = LineStyle() == lsSolid ? "solid;" : "dotted;";
    TVTPaintOptions paint = TreeOptions()->PaintOptions();

    // The tree's border is the default single line of width 0 here.
    std::string tableAttributes = " ";
    if (!caption.empty()) tableAttributes += "caption=\"" + HtmlEscaped(ValidUtf8(caption)) + "\"";
    tableAttributes += " border=\"1\" frame=box";

    std::string html = "<style type=\"text/css\">" + crlf;
    html += FontRule(Font(), "default") + crlf;
    html += FontRule(header->Font(), "header") + crlf;
    if (paint & toShowHorzGridLines)
        html += ".noborder{border-style:" + lineStyle + " border-bottom:1;border-left:0;border-right:0; border-top:0;";
    else
        html += ".noborder{border-style:none;";
    html += padding + "}" + crlf;
    html += ".normalborder {border-top:none; border-left:none; ";
    html += (paint & toShowVertGridLines) ? "border-right:1 " + lineStyle : std::string("border-right:none;");
    html += (paint & toShowHorzGridLines) ? "border-bottom:1 " + lineStyle : std::string("border-bottom:none;");
    html += padding + "}</style>" + crlf;
    html += "<table class=\"default\" bgcolor=" + HtmlColor(Color()) + tableAttributes +
            " cellspacing=\"0\" cellpadding=" + margin + ">" + crlf;

    auto alignAttribute = [](TAlignment alignment) {
        return alignment == taRightJustify ? " align=right" : alignment == taCenter ? " align=center" : " align=left";
    };
    if (useColumns && !columns.empty()) {
        html += "<tr class=\"header\" style=\"" + padding + "\">" + crlf;
        for (TVastTreeColumn* column : columns) {
            bool rtl = column->UseRightToLeftReading();
            html += "<th height=\"" + std::to_string(header->Height()) + "px\"";
            if (rtl) html += " dir=\"rtl\"";
            html += alignAttribute(Mirrored(column->Alignment(), rtl));
            if (column->Index() == mainColumn && exported.maxLevel > 0)
                html += " colspan=\"" + std::to_string(exported.maxLevel + 1) + "\"";
            html += " bgcolor=" + HtmlColor(clBtnFace) + " width=\"" + std::to_string(column->Width()) + "px\">" +
                    HtmlEscaped(ValidUtf8(column->Text())) + "</th>";
        }
        html += "</tr>" + crlf;
    }

    for (const auto& entry : exported.nodes) {
        // Plain variables: the cell lambda below captures them.
        PVastNode node = entry.first;
        int level = entry.second;
        html += " <tr class=\"default\">" + crlf;
        const std::string height = std::to_string(node->NodeHeight);
        auto cell = [&](TVastTreeColumn* column) {
            TColumnIndex index = column ? column->Index() : NoColumn;
            canvas->SetFont(Font());
            TFont* font = canvas->Font();
            std::string name = font->Name();
            int fontHeight = font->Height();
            TFontStyles style = font->Style();
            TColor color = font->Color();
            DoPaintText(node, canvas, index, ttNormal);
            bool fontChanged = !SameFont(font, name, fontHeight, style, color);
            bool columnColor = column && !(column->Options() & coParentColor);
            if (index == mainColumn) {
                for (int i = 0; i < level; ++i) {
                    if (columnColor)
                        html += "<td class=\"noborder\" width=\"" + std::to_string(Indent()) + "\" height=\"" + height +
                                "px\" bgcolor=" + HtmlColor(column->Color()) + ">&nbsp;</td>";
                    else if (i == 0)
                        html += " <td height=\"" + height + "px\">&nbsp;</td>";
                    else
                        html += " <td>&nbsp;</td>";
                }
            }
            html += fontChanged ? " <td class=\"normalborder\" " + FontRule(font, "") + " height=\""
                                : std::string(" <td class=\"normalborder\"  height=\"");
            html += height + "px\"";
            bool rtl = column && column->UseRightToLeftReading();
            if (rtl) html += " dir=\"rtl\"";
            html += alignAttribute(Mirrored(column ? column->Alignment() : Alignment(), rtl));
            if (index == mainColumn && level < exported.maxLevel)
                html += " colspan=\"" + std::to_string(exported.maxLevel - level + 1) + "\"";
            if (columnColor) html += " bgcolor=" + HtmlColor(column->Color());
            html += ">" + HtmlEscaped(ValidUtf8(GetText(node, index))) + "</td>";
        };
        if (columns.empty())
            cell(nullptr);
        else
            for (TVastTreeColumn* column : columns) cell(column);
        html += " </tr>" + crlf;
    }
    html += "</table>";
    return html;
}

}  // namespace treeview
