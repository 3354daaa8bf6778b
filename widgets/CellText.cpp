#include "widgets/CellText.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <string_view>

// --- Separated text -----------------------------------------------------------

namespace {
bool LineEnd(char AChar) { return AChar == '\n' || AChar == '\r'; }

bool NeedsQuotes(const std::string& ACell) {
  return (!ACell.empty() && ACell.front() == '"') ||
         ACell.find_first_of("\t\n\r") != std::string::npos;
}

// A quoted field from APos (at its opening quote) when its closing quote ends
// the field; APos then stands after it. Line breaks inside become LF.
bool ReadQuoted(std::string_view AText, size_t& APos, char ASeparator, std::string& AField) {
  std::string field;
  for (size_t i = APos + 1; i < AText.size(); ++i) {
    const char c = AText[i];
    if (c == '"') {
      if (i + 1 < AText.size() && AText[i + 1] == '"') {
        field += '"';
        ++i;
        continue;
      }
      const size_t after = i + 1;
      if (after < AText.size() && AText[after] != ASeparator && !LineEnd(AText[after]))
        return false;  // "a"b: not a quoted field after all
      APos = after;
      AField = std::move(field);
      return true;
    }
    if (c == '\r') {
      field += '\n';
      if (i + 1 < AText.size() && AText[i + 1] == '\n') ++i;
      continue;
    }
    field += c;
  }
  return false;  // never closed
}

TCellRows Split(std::string_view AText, char ASeparator) {
  TCellRows rows;
  if (AText.empty()) return rows;
  std::vector<std::string> row;
  size_t pos = 0;
  for (;;) {
    std::string field;
    if (pos >= AText.size() || AText[pos] != '"' || !ReadQuoted(AText, pos, ASeparator, field)) {
      size_t end = pos;
      while (end < AText.size() && AText[end] != ASeparator && !LineEnd(AText[end])) ++end;
      field.assign(AText.substr(pos, end - pos));
      pos = end;
    }
    row.push_back(std::move(field));
    if (pos >= AText.size()) break;
    if (AText[pos] == ASeparator) {
      ++pos;
      continue;
    }
    pos += AText[pos] == '\r' && pos + 1 < AText.size() && AText[pos + 1] == '\n' ? 2 : 1;
    rows.push_back(std::move(row));
    row.clear();
    if (pos >= AText.size()) return rows;  // a last line end
  }
  rows.push_back(std::move(row));
  return rows;
}
}  // namespace

std::string WriteCellsAsText(const TCellRows& ACells) {
  std::string text;
  for (const auto& row : ACells) {
    for (size_t i = 0; i < row.size(); ++i) {
      if (i > 0) text += '\t';
      const std::string& cell = row[i];
      if (!NeedsQuotes(cell)) {
        text += cell;
        continue;
      }
      text += '"';
      for (char c : cell) {
        if (c == '"') text += '"';
        text += c;
      }
      text += '"';
    }
    text += '\n';
  }
  return text;
}

TCellRows ReadCellsFromText(const std::string& AText) {
  TCellRows tabbed = Split(AText, '\t');
  const auto wide = [](const std::vector<std::string>& ARow) { return ARow.size() > 1; };
  if (std::any_of(tabbed.begin(), tabbed.end(), wide)) return tabbed;
  TCellRows commas = Split(AText, ',');
  const bool separated =
      commas.size() > 1 && std::all_of(commas.begin(), commas.end(), [&](const auto& ARow) {
        return wide(ARow) || (ARow.size() == 1 && ARow[0].empty());
      });
  return separated ? commas : tabbed;
}

// --- HTML tables -------------------------------------------------------------------

namespace {
void AppendEscaped(std::string& AHtml, const std::string& ACell) {
  for (size_t i = 0; i < ACell.size(); ++i) {
    const char c = ACell[i];
    switch (c) {
      case '&':
        AHtml += "&amp;";
        break;
      case '<':
        AHtml += "&lt;";
        break;
      case '>':
        AHtml += "&gt;";
        break;
      case '"':
        AHtml += "&quot;";
        break;
      case '\r':
        if (i + 1 < ACell.size() && ACell[i + 1] == '\n') ++i;
        AHtml += "<br>";
        break;
      case '\n':
        AHtml += "<br>";
        break;
      case '\t':
        AHtml += "&#9;";  // white space in HTML, a character in a cell
        break;
      default:
        AHtml += c;
    }
  }
}
}  // namespace

std::string WriteCellsAsHtml(const TCellRows& ACells) {
  std::string html =
      "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"></head><body>\n<table>\n";
  for (const auto& row : ACells) {
    html += "<tr>";
    for (const std::string& cell : row) {
      html += "<td>";
      AppendEscaped(html, cell);
      html += "</td>";
    }
    html += "</tr>\n";
  }
  html += "</table>\n</body></html>\n";
  return html;
}

namespace {
// Browsers take no more than these from a span; a larger one is a fault in
// the page, not a reason to make a million cells.
constexpr int MaxColSpan = 1000;
constexpr int MaxRowSpan = 1000;

bool Space(char AChar) {
  return AChar == ' ' || AChar == '\t' || AChar == '\n' || AChar == '\r' || AChar == '\f';
}

char Lower(char AChar) {
  return static_cast<char>(std::tolower(static_cast<unsigned char>(AChar)));
}

bool SameName(std::string_view AText, std::string_view AName) {
  return AText.size() == AName.size() &&
         std::equal(AText.begin(), AText.end(), AName.begin(),
                    [](char A, char B) { return Lower(A) == Lower(B); });
}

void AppendUtf8(std::string& AText, std::uint32_t ACode) {
  if (ACode == 0 || ACode > 0x10FFFF || (ACode >= 0xD800 && ACode <= 0xDFFF)) ACode = 0xFFFD;
  if (ACode < 0x80) {
    AText += static_cast<char>(ACode);
  } else if (ACode < 0x800) {
    AText += static_cast<char>(0xC0 | (ACode >> 6));
    AText += static_cast<char>(0x80 | (ACode & 0x3F));
  } else if (ACode < 0x10000) {
    AText += static_cast<char>(0xE0 | (ACode >> 12));
    AText += static_cast<char>(0x80 | ((ACode >> 6) & 0x3F));
    AText += static_cast<char>(0x80 | (ACode & 0x3F));
  } else {
    AText += static_cast<char>(0xF0 | (ACode >> 18));
    AText += static_cast<char>(0x80 | ((ACode >> 12) & 0x3F));
    AText += static_cast<char>(0x80 | ((ACode >> 6) & 0x3F));
    AText += static_cast<char>(0x80 | (ACode & 0x3F));
  }
}

// The entity at APos ('&'); APos moves past it. False (and nothing moved)
// for one this reader does not know: the '&' is then a plain character.
bool ReadEntity(std::string_view AHtml, size_t& APos, std::string& AText) {
  // Looked for nearby only: a page of '&' must not be read once for each.
  const size_t end = AHtml.substr(0, APos + 12).find(';', APos);
  if (end == std::string_view::npos) return false;
  const std::string_view name = AHtml.substr(APos + 1, end - APos - 1);
  static constexpr std::pair<std::string_view, std::string_view> named[] = {
      {"amp", "&"}, {"lt", "<"}, {"gt", ">"}, {"quot", "\""}, {"apos", "'"}, {"nbsp", " "}};
  for (const auto& [entity, text] : named)
    if (name == entity) {
      AText += text;
      APos = end + 1;
      return true;
    }
  if (name.size() < 2 || name[0] != '#') return false;
  const bool hex = name[1] == 'x' || name[1] == 'X';
  const std::string_view digits = name.substr(hex ? 2 : 1);
  if (digits.empty()) return false;
  std::uint32_t code = 0;
  for (char c : digits) {
    int digit = -1;
    if (c >= '0' && c <= '9') digit = c - '0';
    if (hex && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    if (hex && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    if (digit < 0) return false;
    code = std::min<std::uint32_t>(code * (hex ? 16 : 10) + static_cast<std::uint32_t>(digit),
                                   0x110000);
  }
  AppendUtf8(AText, code);
  APos = end + 1;
  return true;
}

struct TTag {
  std::string Name;  // lower case
  bool Closing = false;
  std::string_view Attributes;
};

enum TTagRead { trTag, trText, trUnclosed };

// The tag at APos ('<'); APos moves past its '>'. trText when what follows
// is no tag (the '<' is then text); trUnclosed when the text ends inside it.
TTagRead ReadTag(std::string_view AHtml, size_t& APos, TTag& ATag) {
  size_t i = APos + 1;
  ATag.Closing = i < AHtml.size() && AHtml[i] == '/';
  if (ATag.Closing) ++i;
  const size_t nameStart = i;
  while (i < AHtml.size() && std::isalnum(static_cast<unsigned char>(AHtml[i]))) ++i;
  if (i == nameStart) return trText;
  ATag.Name.clear();
  for (size_t k = nameStart; k < i; ++k) ATag.Name += Lower(AHtml[k]);
  const size_t attributes = i;
  char quote = 0;
  for (; i < AHtml.size(); ++i) {
    const char c = AHtml[i];
    if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '>') {
      ATag.Attributes = AHtml.substr(attributes, i - attributes);
      APos = i + 1;
      return trTag;
    }
  }
  return trUnclosed;
}

// A whole-number attribute such as colspan="3", clamped to 1..AMax; 1 when
// absent or not a number.
int SpanOf(std::string_view AAttributes, std::string_view AName, int AMax) {
  for (size_t at = 0; at + AName.size() <= AAttributes.size(); ++at) {
    if (!SameName(AAttributes.substr(at, AName.size()), AName)) continue;
    if (at > 0 && !Space(AAttributes[at - 1])) continue;
    size_t i = at + AName.size();
    while (i < AAttributes.size() && Space(AAttributes[i])) ++i;
    if (i >= AAttributes.size() || AAttributes[i] != '=') continue;
    ++i;
    while (i < AAttributes.size() &&
           (Space(AAttributes[i]) || AAttributes[i] == '"' || AAttributes[i] == '\''))
      ++i;
    int value = 0;
    bool any = false;
    for (; i < AAttributes.size() && AAttributes[i] >= '0' && AAttributes[i] <= '9'; ++i) {
      value = std::min(value * 10 + (AAttributes[i] - '0'), AMax);
      any = true;
    }
    return any ? std::max(value, 1) : 1;
  }
  return 1;
}

// Builds rows from the table's cells, placing each past the cells that
// earlier rows' row spans still cover.
class TTableBuilder {
 public:
  void StartRow() {
    EndRow();
    FInRow = true;
    FRow.clear();
    FCovered.assign(FSpans.size(), false);
    for (size_t col = 0; col < FSpans.size(); ++col)
      if (FSpans[col] > 0) {
        FCovered[col] = true;
        --FSpans[col];
      }
  }

  void StartCell(std::string_view AAttributes) {
    EndCell();
    if (!FInRow) StartRow();
    while (FRow.size() < FCovered.size() && FCovered[FRow.size()]) FRow.emplace_back();
    FCellAt = FRow.size();
    const int colSpan = SpanOf(AAttributes, "colspan", MaxColSpan);
    const int rowSpan = SpanOf(AAttributes, "rowspan", MaxRowSpan);
    FRow.resize(FRow.size() + static_cast<size_t>(colSpan));
    if (rowSpan > 1) {
      if (FSpans.size() < FRow.size()) FSpans.resize(FRow.size(), 0);
      for (size_t col = FCellAt; col < FRow.size(); ++col) FSpans[col] = rowSpan - 1;
    }
    FInCell = true;
    FPendingSpace = false;
  }

  bool InCell() const { return FInCell; }

  void Text(char AChar) {
    if (Space(AChar)) {
      FPendingSpace = true;
      return;
    }
    std::string& cell = FRow[FCellAt];
    if (FPendingSpace && !cell.empty() && cell.back() != '\n') cell += ' ';
    FPendingSpace = false;
    cell += AChar;
  }

  // Text that keeps its spaces: a decoded entity, &nbsp; among them.
  void Literal(const std::string& AText) {
    if (AText.empty()) return;
    std::string& cell = FRow[FCellAt];
    if (FPendingSpace && !cell.empty() && cell.back() != '\n') cell += ' ';
    FPendingSpace = false;
    cell += AText;
  }

  void LineBreak() {
    std::string& cell = FRow[FCellAt];
    cell += '\n';
    FPendingSpace = false;
  }

  // A paragraph starts on a line of its own.
  void Paragraph() {
    const std::string& cell = FRow[FCellAt];
    if (!cell.empty() && cell.back() != '\n') LineBreak();
  }

  void EndCell() {
    if (!FInCell) return;
    // A line break at a cell's end shows nothing (Calc writes an empty cell
    // as <br>).
    std::string& cell = FRow[FCellAt];
    while (!cell.empty() && (cell.back() == '\n' || cell.back() == ' ')) cell.pop_back();
    FInCell = false;
  }

  void EndRow() {
    EndCell();
    if (!FInRow) return;
    while (FRow.size() < FCovered.size() && FCovered[FRow.size()]) FRow.emplace_back();
    FRows.push_back(std::move(FRow));
    FRow.clear();
    FInRow = false;
  }

  TCellRows Take() {
    EndRow();
    return std::move(FRows);
  }

 private:
  TCellRows FRows;
  std::vector<std::string> FRow;
  std::vector<int> FSpans;  // per column: rows still covered by a span above
  std::vector<bool> FCovered;
  bool FInRow = false;
  bool FInCell = false;
  bool FPendingSpace = false;
  size_t FCellAt = 0;
};

// Skips to past the end of an element whose content is not text (script,
// style); to the end when it never closes.
void SkipContent(std::string_view AHtml, size_t& APos, std::string_view AName) {
  for (size_t at = AHtml.find("</", APos); at != std::string_view::npos;
       at = AHtml.find("</", at + 2)) {
    if (at + 2 + AName.size() <= AHtml.size() &&
        SameName(AHtml.substr(at + 2, AName.size()), AName)) {
      const size_t end = AHtml.find('>', at);
      APos = end == std::string_view::npos ? AHtml.size() : end + 1;
      return;
    }
  }
  APos = AHtml.size();
}
}  // namespace

bool ReadCellsFromHtml(const std::string& AText, TCellRows& ACells) {
  const std::string_view html(AText);
  TTableBuilder table;
  int depth = 0;  // of nested tables; only the first table's own cells count
  bool found = false;
  size_t pos = 0;
  while (pos < html.size()) {
    const char c = html[pos];
    if (c == '<') {
      if (html.substr(pos, 4) == "<!--") {
        const size_t end = html.find("-->", pos + 4);
        pos = end == std::string_view::npos ? html.size() : end + 3;
        continue;
      }
      if (html.substr(pos, 2) == "<!" || html.substr(pos, 2) == "<?") {
        const size_t end = html.find('>', pos);
        pos = end == std::string_view::npos ? html.size() : end + 1;
        continue;
      }
      TTag tag;
      const TTagRead read = ReadTag(html, pos, tag);
      if (read == trUnclosed) break;  // and nothing after it can be a tag
      if (read == trTag) {
        const std::string& name = tag.Name;
        if (!tag.Closing && (name == "script" || name == "style" || name == "title")) {
          SkipContent(html, pos, name);
        } else if (name == "table") {
          if (!tag.Closing) {
            if (depth == 0 && found) break;  // only the first table
            found = true;
            ++depth;
          } else if (depth > 0 && --depth == 0) {
            break;
          }
        } else if (depth > 1 && table.InCell() && !tag.Closing &&
                   (name == "tr" || name == "td" || name == "th")) {
          // A table inside a cell is that cell's text, a row a line.
          if (name == "tr")
            table.Paragraph();
          else
            table.Text(' ');
        } else if (depth == 1 && name == "tr") {
          if (tag.Closing)
            table.EndRow();
          else
            table.StartRow();
        } else if (depth == 1 && (name == "td" || name == "th")) {
          if (tag.Closing)
            table.EndCell();
          else
            table.StartCell(tag.Attributes);
        } else if (depth == 1 && name == "caption" && !tag.Closing) {
          SkipContent(html, pos, name);
        } else if (table.InCell() && !tag.Closing && name == "br") {
          table.LineBreak();
        } else if (table.InCell() && !tag.Closing && (name == "p" || name == "div")) {
          table.Paragraph();
        }
        continue;
      }
    }
    if (depth > 0 && table.InCell()) {
      std::string decoded;
      if (c == '&' && ReadEntity(html, pos, decoded)) {
        table.Literal(decoded);
        continue;
      }
      table.Text(c);
    }
    ++pos;
  }
  if (!found) return false;
  ACells = table.Take();
  return true;
}

// --- CSV files ----------------------------------------------------------------

std::string WriteCellsAsCsv(const TCellRows& ACells) {
  std::string csv;
  for (const auto& row : ACells) {
    for (size_t c = 0; c < row.size(); ++c) {
      if (c > 0) csv += ',';
      const std::string& cell = row[c];
      if (cell.find_first_of(",\"\r\n") == std::string::npos) {
        csv += cell;
        continue;
      }
      csv += '"';
      for (char ch : cell) {
        if (ch == '"') csv += '"';
        csv += ch;
      }
      csv += '"';
    }
    csv += "\r\n";
  }
  return csv;
}

namespace {
// Whether AText is UTF-8 throughout; AAt is where it stops being so.
bool Utf8(std::string_view AText, size_t& AAt) {
  for (size_t i = 0; i < AText.size();) {
    const auto c = static_cast<unsigned char>(AText[i]);
    size_t more = c < 0x80           ? 0
                  : (c >> 5) == 0x6  ? 1
                  : (c >> 4) == 0xE  ? 2
                  : (c >> 3) == 0x1E ? 3
                                     : 9;
    if (more == 9 || (more == 1 && c < 0xC2) || i + more >= AText.size() + (more == 0 ? 1 : 0)) {
      AAt = i;
      return false;
    }
    for (size_t k = 1; k <= more; ++k)
      if ((static_cast<unsigned char>(AText[i + k]) & 0xC0) != 0x80) {
        AAt = i;
        return false;
      }
    i += more + 1;
  }
  return true;
}
}  // namespace

bool ReadCellsFromCsv(const std::string& AText, std::size_t AMaxCells, std::size_t AMaxCellBytes,
                      TCellRows& ACells, std::string& AProblem) {
  std::string_view text(AText);
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  size_t line = 1;
  auto fail = [&](size_t ALine, const std::string& AWhat) {
    AProblem = "line " + std::to_string(ALine) + ": " + AWhat;
    return false;
  };
  if (size_t bad = 0; !Utf8(text, bad))
    return fail(1 + static_cast<size_t>(
                        std::count(text.begin(), text.begin() + static_cast<long>(bad), '\n')),
                "it is not UTF-8 text");
  TCellRows rows;
  std::vector<std::string> row;
  size_t cells = 0;
  size_t i = 0;
  while (i < text.size()) {
    std::string field;
    const size_t fieldLine = line;
    if (text[i] == '"') {
      bool closed = false;
      for (++i; i < text.size(); ++i) {
        if (text[i] == '"') {
          if (i + 1 < text.size() && text[i + 1] == '"') {
            field += '"';
            ++i;
            continue;
          }
          closed = true;
          ++i;
          break;
        }
        if (text[i] == '\n') ++line;
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;  // CRLF: LF
        field += text[i] == '\r' ? '\n' : text[i];
        if (field.size() > AMaxCellBytes) break;
      }
      if (field.size() > AMaxCellBytes)
        return fail(fieldLine,
                    "a field is longer than " + std::to_string(AMaxCellBytes) + " bytes");
      if (!closed) return fail(fieldLine, "a quoted field is not closed");
      if (i < text.size() && text[i] != ',' && text[i] != '\n' && text[i] != '\r')
        return fail(line, "something follows a quoted field's closing quote");
    } else {
      while (i < text.size() && text[i] != ',' && text[i] != '\n' && text[i] != '\r') {
        if (text[i] == '"') return fail(line, "a quote inside a field that is not quoted");
        field += text[i++];
      }
      if (field.size() > AMaxCellBytes)
        return fail(line, "a field is longer than " + std::to_string(AMaxCellBytes) + " bytes");
    }
    if (++cells > AMaxCells)
      return fail(line, "there are more than " + std::to_string(AMaxCells) + " cells");
    row.push_back(std::move(field));
    if (i >= text.size()) break;
    if (text[i] == ',') {
      ++i;
      if (i == text.size()) row.emplace_back();  // a last, empty field
      continue;
    }
    // The line's end: CRLF or LF; a lone CR is not one.
    if (text[i] == '\r') {
      if (i + 1 >= text.size() || text[i + 1] != '\n')
        return fail(line, "a carriage return without a line feed");
      ++i;
    }
    ++i;
    ++line;
    rows.push_back(std::move(row));
    row.clear();
  }
  if (!row.empty()) rows.push_back(std::move(row));
  ACells = std::move(rows);
  return true;
}
