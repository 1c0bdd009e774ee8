// The text tree's exports, read back by independent readers: Python's csv module and
// html.parser, and unrtf.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>

#include "tree_support.h"
#include "treeview/vtutf.h"

namespace treeview {
namespace {

using namespace test;

std::string RunCommand(const std::string& command) {
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    std::string out;
    if (!pipe) return out;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe.get())) out += buffer;
    return out;
}

std::string WriteTemp(const std::string& name, const std::string& content) {
    std::string path = ::testing::TempDir() + name;
    std::ofstream(path, std::ios::binary) << content;
    return path;
}

std::string Checker(const std::string& mode, const std::string& path) {
    const char* source = std::getenv("LUMACAST_SOURCE_DIR");
    return RunCommand(std::string("python3 ") + (source ? source : ".") + "/tests/treeview/export_check.py " + mode + " " +
               path + " 2>&1");
}

// Three columns (Name, Note, Size); a bold top-level node with two children, and a
// second top-level node.
class ExportTest : public ::testing::Test {
protected:
    void SetUp() override {
        tree.SetNodeDataSize(sizeof(NamedData));
        for (auto [title, width] : {std::pair{"Name", 120}, {"Note", 100}, {"Size", 60}}) {
            TVastTreeColumn* column = tree.Header()->Columns()->Add();
            column->SetText(title);
            column->SetWidth(width);
        }
        tree.OnGetText = [this](TBaseVastTree*, PVastNode node, TColumnIndex column, TVSTTextType, std::string& text) {
            text = cells[{Name(tree, node), column}];
        };
        tree.OnPaintText = [this](TBaseVastTree*, platform::TCanvas* canvas, PVastNode node, TColumnIndex,
                                  TVSTTextType) {
            if (Name(tree, node) == "tom") canvas->Font()->SetStyle({platform::fsBold});
        };
        PVastNode tom = Add(tree, nullptr, "tom");
        Add(tree, tom, "quote");
        Add(tree, tom, "lines");
        Add(tree, nullptr, "smile");
        cells = {
            {{"tom", 0}, "Tom & Jerry <1>"}, {{"tom", 1}, "cat"}, {{"tom", 2}, "1"},
            {{"quote", 0}, "say \"hi\", bye"}, {{"quote", 1}, "q"}, {{"quote", 2}, "2"},
            {{"lines", 0}, "one\r\ntwo"}, {{"lines", 1}, ""}, {{"lines", 2}, "3"},
            {{"smile", 0}, "\xF0\x9F\x98\x80 smile"}, {{"smile", 1}, "a\tb"}, {{"smile", 2}, "4"},
        };
    }
    TVastStringTree tree{nullptr};
    std::map<std::pair<std::string, TColumnIndex>, std::string> cells;
};

TEST_F(ExportTest, CsvReadsBackCellForCell) {
    std::string text = tree.ContentToText(tstAll, ',');
    EXPECT_EQ(Checker("csv", WriteTemp("export.csv", text)),
              "[\"Name\", \"\", \"Note\", \"Size\"]\n"
              "[\"Tom & Jerry <1>\", \"\", \"cat\", \"1\"]\n"
              "[\"\", \"say \\\"hi\\\", bye\", \"q\", \"2\"]\n"
              "[\"\", \"one\\r\\ntwo\", \"\", \"3\"]\n"
              "[\"😀 smile\", \"\", \"a\\tb\", \"4\"]\n");
    // The UTF-16 export is the same text, quoted the same way.
    EXPECT_EQ(Utf16ToUtf8(tree.ContentToUnicode(tstAll, u',')), text);
}

TEST_F(ExportTest, PlainTextLinesAndIndentation) {
    TVastStringTree plain(nullptr);
    plain.SetNodeDataSize(sizeof(NamedData));
    plain.OnGetText = [&](TBaseVastTree*, PVastNode node, TColumnIndex, TVSTTextType, std::string& text) {
        text = Name(plain, node);
    };
    PVastNode a = Add(plain, nullptr, "a");
    Add(plain, nullptr, "b");
    Add(plain, a, "c");
    EXPECT_EQ(plain.ContentToText(tstAll, '\t'), "a\r\n\tc\r\nb\r\n");
    plain.SetSelected(a, true);
    EXPECT_EQ(plain.ContentToText(tstSelected, '\t'), "a\r\n");
    // Main-column texts are padded to the deepest level, so the other columns line up.
    EXPECT_EQ(tree.ContentToText(tstAll, ';').substr(0, 44), "Name;;Note;Size\r\nTom & Jerry <1>;;cat;1\r\n;\"s");
}

TEST_F(ExportTest, RtfReadsBackAndMarksTheBoldRunsOnly) {
    std::string rtf = tree.ContentToRTF(tstAll);
    // Non-BMP characters become two escapes of the surrogates, as signed values.
    EXPECT_NE(rtf.find("\\u-10179\\'3f\\u-8704\\'3f"), std::string::npos);
    // One bold run per cell of the bold row, one font in the table.
    std::size_t bold = 0;
    for (std::size_t at = rtf.find("\\b "); at != std::string::npos; at = rtf.find("\\b ", at + 1)) ++bold;
    EXPECT_EQ(bold, 3u);
    EXPECT_EQ(rtf.find("{\\f1"), std::string::npos);
    EXPECT_NE(rtf.find("\\cellx1800\\cellx3300\\cellx4200"), std::string::npos);
    std::string text = RunCommand("unrtf --text " + WriteTemp("export.rtf", rtf) + " 2>/dev/null");
    for (const char* expected : {"Tom & Jerry <1>", "say \"hi\", bye", "Size", "smile"})
        EXPECT_NE(text.find(expected), std::string::npos) << expected << " in\n" << text;
}

TEST_F(ExportTest, HtmlIsWellFormedWithEscapedTexts) {
    std::string html = tree.ContentToHTML(tstAll, "My \"list\"");
    EXPECT_NE(html.find("Tom &amp; Jerry &lt;1&gt;"), std::string::npos);
    EXPECT_NE(html.find("caption=\"My &quot;list&quot;\""), std::string::npos);
    EXPECT_NE(html.find("\xF0\x9F\x98\x80"), std::string::npos);
    EXPECT_EQ(Checker("html", WriteTemp("export.html", html)),
              "\"Name\"\n\"Note\"\n\"Size\"\n"
              "\"Tom & Jerry <1>\"\n\"cat\"\n\"1\"\n"
              "\"\xC2\xA0\"\n\"say \\\"hi\\\", bye\"\n\"q\"\n\"2\"\n"
              "\"\xC2\xA0\"\n\"one\\ntwo\"\n\"\"\n\"3\"\n"
              "\"😀 smile\"\n\"a\\tb\"\n\"4\"\n");
    // The bold row carries its own font rule; the others use the default class.
    EXPECT_NE(html.find("style=\"{font: bold"), std::string::npos);

    std::string wrapped = WrapClipboardHTML(html);
    EXPECT_EQ(Checker("wrapper", WriteTemp("export.wrapped", wrapped)), std::to_string(html.size()) + "\n");
}

}  // namespace
}  // namespace treeview
