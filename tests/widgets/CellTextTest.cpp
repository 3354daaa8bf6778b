// Cells as clipboard text: what spreadsheets write reads back cell for cell,
// and what the grid writes reads back the same in them and in itself.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/support/Harness.h"
#include "widgets/CellText.h"

using namespace testing_support;

namespace {

struct TTextCase {
  const char* What;
  std::string Text;
  TCellRows Cells;
};

TEST(CellText, SeparatedTextReadsAsSpreadsheetsMeanIt) {
  const TTextCase cases[] = {
      {"rows end in a line feed, the last one too", "a\tb\nc\td\n", {{"a", "b"}, {"c", "d"}}},
      {"CRLF, and no end after the last row", "a\tb\r\nc\td", {{"a", "b"}, {"c", "d"}}},
      {"empty cells and an empty row keep their places",
       "\tb\t\n\t\t\n",
       {{"", "b", ""}, {"", "", ""}}},
      {"quoted tab, line break and doubled quotes",
       "\"x\ty\"\t\"line1\nline2\"\t\"say \"\"hi\"\"\"\n",
       {{"x\ty", "line1\nline2", "say \"hi\""}}},
      {"a quote that does not open a quoted field is a character",
       "5\" disk\t\"quoted\" word\t\"a\"b\n",
       {{"5\" disk", "\"quoted\" word", "\"a\"b"}}},
      {"a quote never closed is a character; the line still ends",
       "\"open\tb\nc\n",
       {{"\"open", "b"}, {"c"}}},
      {"CJK text", "數量\t價格\n三\t四\n", {{"數量", "價格"}, {"三", "四"}}},
      {"ragged rows stay ragged", "a\tb\tc\nd\n\te\n", {{"a", "b", "c"}, {"d"}, {"", "e"}}},
      {"a blank line is a row with one empty cell", "a\n\nb\n", {{"a"}, {""}, {"b"}}},
      {"comma-separated, quoted as spreadsheets write it",
       "name,note\n\"Smith, J\",\"said \"\"no\"\"\"\n",
       {{"name", "note"}, {"Smith, J", "said \"no\""}}},
      {"comma-separated with a quoted line break and CRLF",
       "a,b\r\n\"1\r\n2\",3\r\n",
       {{"a", "b"}, {"1\n2", "3"}}},
      {"one line of prose with a comma is one cell", "Hello, world\n", {{"Hello, world"}}},
      {"lines that do not all split at commas are not comma-separated",
       "Dear Sir,\nthanks\n",
       {{"Dear Sir,"}, {"thanks"}}},
      {"tabs win over commas", "1,5\t2,5\n", {{"1,5", "2,5"}}},
      {"nothing", "", {}},
  };
  for (const TTextCase& c : cases) EXPECT_EQ(ReadCellsFromText(c.Text), c.Cells) << c.What;
}

TEST(CellText, WhatTheGridWritesReadsBackTheSameAsTextAndAsHtml) {
  const TCellRows blocks[] = {
      {{"a\tb", "line1\nline2", "\"quoted\""}, {"", "數量", "x & <y> \"z\""}, {"", "", ""}},
      {{""}},
      {{"one"}},
      {{"=1+1", "'lead", " padded"}},
  };
  for (const TCellRows& block : blocks) {
    const std::string text = WriteCellsAsText(block);
    EXPECT_EQ(ReadCellsFromText(text), block) << text;
    TCellRows html;
    ASSERT_TRUE(ReadCellsFromHtml(WriteCellsAsHtml(block), html));
    // HTML collapses white space at a cell's edges, as a browser shows it.
    TCellRows shown = block;
    if (shown[0].size() == 3 && shown[0][2] == " padded") shown[0][2] = "padded";
    EXPECT_EQ(html, shown) << WriteCellsAsHtml(block);
  }
  EXPECT_EQ(WriteCellsAsText({{"a", "b"}, {"c", ""}}), "a\tb\nc\t\n");
}

TEST(CellText, WhatCalcAndGnumericPutOnTheClipboardReadsCellForCell) {
  const TCellRows expected = {{"Fruit", "數量", "Note"},
                              {"Plums", "12", "ripe, sweet"},
                              {"Pears", "", "two\nlines"},
                              {"Figs", "3", "say \"hi\""}};
  for (const char* name : {"calc", "gnumeric"}) {
    // Where the sources may not be read (the suites run as another user),
    // a copy of the samples is named by the environment.
    const char* samples = std::getenv("PANES_CLIPBOARD_SAMPLES");
    const std::string base =
        std::string(samples != nullptr ? samples : PANES_CLIPBOARD_SAMPLES) + "/" + name;
    EXPECT_EQ(ReadCellsFromText(ReadAll(base + ".txt")), expected) << name;
    TCellRows html;
    EXPECT_TRUE(ReadCellsFromHtml(ReadAll(base + ".html"), html)) << name;
    EXPECT_EQ(html, expected) << name;
  }
}

TEST(CellText, HtmlTablesReadAsBrowsersShowThem) {
  struct TCase {
    const char* What;
    std::string Html;
    TCellRows Cells;
  };
  const TCase cases[] = {
      {"spans leave empty cells where they cover",
       "<table><tr><td colspan=2>wide</td><td rowspan='2'>tall</td></tr>"
       "<tr><td>a</td><td>b</td></tr><tr><td>c</td></tr></table>",
       {{"wide", "", "tall"}, {"a", "b", ""}, {"c"}}},
      {"markup, entities and white space in a cell",
       "<TABLE><TR><TH> Head&nbsp;&amp;\n  <b>bold</b> </TH><TD>&#x41;&#66;&lt;&bogus;</TD></TR>"
       "<TR><TD><p>one</p><p>two</p></TD><TD>x<br>y<br></TD></TR></TABLE>",
       {{"Head & bold", "AB<&bogus;"}, {"one\ntwo", "x\ny"}}},
      {"cells without their closing tags",
       "<table><tr><td>a<td>b<tr><td>c</table>",
       {{"a", "b"}, {"c"}}},
      {"only the first table; one inside a cell is that cell's text",
       "<p>intro</p><table><tr><td>out<table><tr><td>in</td></tr></table></td></tr></table>"
       "<table><tr><td>second</td></tr></table>",
       {{"out\nin"}}},
      {"a huge span is bounded", "<table><tr><td colspan=99999999>x</td></tr></table>", {}},
  };
  for (const TCase& c : cases) {
    TCellRows cells;
    ASSERT_TRUE(ReadCellsFromHtml(c.Html, cells)) << c.What;
    if (c.Cells.empty())
      EXPECT_EQ(cells.at(0).size(), 1000u) << c.What;
    else
      EXPECT_EQ(cells, c.Cells) << c.What;
  }
  // Text that is nearly markup everywhere is read once, not once a mark.
  std::string rough = "<table><tr><td>" + std::string(1000000, '&');
  for (int i = 0; i < 300000; ++i) rough += "<a";
  TCellRows cells;
  ASSERT_TRUE(ReadCellsFromHtml(rough, cells));
  EXPECT_EQ(cells, TCellRows{{std::string(1000000, '&')}});

  TCellRows untouched = {{"kept"}};
  EXPECT_FALSE(ReadCellsFromHtml("<p>no table here</p><!-- <table> -->", untouched));
  EXPECT_EQ(untouched, TCellRows{{"kept"}});
}

}  // namespace

// CSV files: what the grid writes reads back cell for cell; what is not RFC
// 4180 is refused with its line, the cells given untouched.
TEST(CellText, CsvFilesRoundTripAndABadOneNamesItsLine) {
  const TCellRows tricky = {{"plain", "with, comma", "say \"hi\"", ""},
                            {"two\nlines", "數量", " spaced ", "tab\there"},
                            {"", "", "", "last"}};
  const std::string csv = WriteCellsAsCsv(tricky);
  EXPECT_EQ(csv.substr(0, csv.find("\r\n") + 2), "plain,\"with, comma\",\"say \"\"hi\"\"\",\r\n");
  TCellRows back;
  std::string problem;
  ASSERT_TRUE(ReadCellsFromCsv(csv, 1000, 1000, back, problem)) << problem;
  EXPECT_EQ(back, tricky);
  // A byte-order mark and bare line feeds are taken too.
  ASSERT_TRUE(ReadCellsFromCsv("\xEF\xBB\xBF" "a,b\nc,\"d\ne\"\n", 1000, 1000, back, problem));
  EXPECT_EQ(back, (TCellRows{{"a", "b"}, {"c", "d\ne"}}));

  const struct {
    std::string Text;
    const char* Problem;
  } bad[] = {
      {"a,b\r\nc,\"open\r\nd\r\n", "line 2: a quoted field is not closed"},
      {"a,b\nc,d\"e\n", "line 2: a quote inside a field that is not quoted"},
      {"a\n\"b\"c\n", "line 2: something follows a quoted field's closing quote"},
      {"a,b\rc\n", "line 1: a carriage return without a line feed"},
      {"a\nb\n\xC3\x28\n", "line 3: it is not UTF-8 text"},
      {"a,b,c\nd,e,f\n", "line 2: there are more than 4 cells"},
      {"a,0123456789x\n", "line 1: a field is longer than 10 bytes"},
  };
  const TCellRows kept = {{"kept"}};
  for (const auto& c : bad) {
    TCellRows cells = kept;
    EXPECT_FALSE(ReadCellsFromCsv(c.Text, 4, 10, cells, problem)) << c.Text;
    EXPECT_EQ(problem, c.Problem) << c.Text;
    EXPECT_EQ(cells, kept);
  }
}
