#pragma once
// A block of cells as text, the way spreadsheets put it on the clipboard and
// take it from there: tab-separated or comma-separated lines, and an HTML
// table. No Qt here: these are plain byte-level conversions of UTF-8 text.

#include <string>
#include <vector>

// Rows of cells; rows read from text may differ in length.
using TCellRows = std::vector<std::vector<std::string>>;

// Tab-separated lines, each ended by a line feed. A cell holding a tab or a
// line break, or starting with a quote, is quoted with its quotes doubled, as
// spreadsheets write and read it; other quotes stay as they are.
std::string WriteCellsAsText(const TCellRows& ACells);

// Tab-separated text; or comma-separated, when no line has a tab outside
// quotes and there are two or more lines that all split at commas (one line
// of prose with a comma stays one cell). A field that starts with a quote and
// whose closing quote ends it may hold separators, line breaks and doubled
// quotes; any other quote is an ordinary character. Line ends may be LF,
// CRLF or CR; a last line end adds no empty row. Empty text gives no rows.
TCellRows ReadCellsFromText(const std::string& AText);

// A small HTML document with one table, UTF-8; line breaks in a cell are
// <br>.
std::string WriteCellsAsHtml(const TCellRows& ACells);

// The first table in AHtml, its rows and cells (th as td; colspan gives
// empty cells after its own; markup inside a cell is dropped, <br> and
// paragraphs become line breaks, white space collapses as a browser shows
// it, entities are decoded). False when there is no table.
bool ReadCellsFromHtml(const std::string& AHtml, TCellRows& ACells);

// A CSV file (RFC 4180): comma-separated fields, a field that holds a comma,
// a quote or a line break quoted with its quotes doubled, lines ended by
// CRLF. UTF-8, no byte-order mark.
std::string WriteCellsAsCsv(const TCellRows& ACells);

// A CSV file as RFC 4180 has it, strictly: UTF-8 (a byte-order mark is
// skipped), lines ended by CRLF or LF, a quote only around a whole field. At
// most AMaxCells cells and AMaxCellBytes bytes a cell. False, with what is
// wrong and on which line in AProblem, for anything else; ACells is then
// left as it was.
bool ReadCellsFromCsv(const std::string& AText, std::size_t AMaxCells, std::size_t AMaxCellBytes,
                      TCellRows& ACells, std::string& AProblem);
