#include "app/Workspace.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <set>
#include <vector>

#include "widgets/Json.h"

namespace {

// A version 1 file's grids: always 5 x 5.
constexpr int GridColumns = 5;
constexpr int GridRows = 5;

const char* SplitName(bool AStacked) { return AStacked ? "top-bottom" : "left-right"; }

const char* const WindowStateNames[] = {"normal", "maximised", "full-screen"};

TJsonValue PaneValue(const TPaneNode& ANode) {
  TJsonValue pane = TJsonValue::Object();
  if (!ANode.Leaf) {
    pane.Add("split", TJsonValue::String(SplitName(ANode.Stacked)));
    pane.Add("ratio", TJsonValue::Number(RatioText(ANode.Ratio)));
    return pane;
  }
  const TContentValue& content = ANode.Content;
  switch (content.Kind) {
    case ckMemo:
      pane.Add("leaf", TJsonValue::String("editor"));
      pane.Add("text", TJsonValue::String(content.Text));
      if (content.Caret != 0 || content.Anchor != 0) {
        pane.Add("caret", TJsonValue::Number(content.Caret));
        pane.Add("anchor", TJsonValue::Number(content.Anchor));
      }
      if (content.Top != 0) pane.Add("top", TJsonValue::Number(content.Top));
      if (content.Scale != 100) pane.Add("scale", TJsonValue::Number(content.Scale));
      break;
    case ckGrid: {
      pane.Add("leaf", TJsonValue::String("grid"));
      TJsonValue& rows = pane.Add("cells", TJsonValue::Array());
      const auto columns = static_cast<size_t>(content.ColCount);
      for (int row = 0; row < content.RowCount; ++row) {
        TJsonValue& cells = rows.Append(TJsonValue::Array());
        for (size_t col = 0; col < columns; ++col) {
          const size_t i = static_cast<size_t>(row) * columns + col;
          cells.Append(TJsonValue::String(i < content.Cells.size() ? content.Cells[i] : ""));
        }
      }
      pane.Add("col", TJsonValue::Number(content.Col));
      pane.Add("row", TJsonValue::Number(content.Row));
      // The first row and column in sight, counted as "row" and "col" are.
      if (content.Top != 0) pane.Add("top", TJsonValue::Number(content.Top + 1));
      if (content.Left != 0) pane.Add("left", TJsonValue::Number(content.Left + 1));
      if (content.Scale != 100) pane.Add("scale", TJsonValue::Number(content.Scale));
      if (!content.Widths.empty()) {
        TJsonValue& widths = pane.Add("widths", TJsonValue::Array());
        for (int width : content.Widths) widths.Append(TJsonValue::Number(width));
      }
      break;
    }
    default:
      pane.Add("leaf", TJsonValue::String("empty"));
  }
  return pane;
}

// --- Reading ----------------------------------------------------------------

// An editor's lines end in a line feed: a file's carriage returns and
// Unicode line and paragraph separators end lines there too, so what is read
// is what the editor shows (and writes back).
std::string EditorLines(const std::string& AText) {
  std::string lines;
  lines.reserve(AText.size());
  for (size_t i = 0; i < AText.size(); ++i) {
    const char c = AText[i];
    if (c == '\r') {
      lines += '\n';
      if (i + 1 < AText.size() && AText[i + 1] == '\n') ++i;
    } else if (c == '\xE2' && i + 2 < AText.size() && AText[i + 1] == '\x80' &&
               (AText[i + 2] == '\xA8' || AText[i + 2] == '\xA9')) {
      lines += '\n';
      i += 2;
    } else {
      lines += c;
    }
  }
  return lines;
}

// Each check fails with a reason; the first one ends the reading.
class TReader {
 public:
  std::string Problem;
  int Version = 1;

  bool Fail(const std::string& AWhere, const std::string& AWhat) {
    if (Problem.empty()) Problem = AWhere.empty() ? AWhat : AWhere + ": " + AWhat;
    return false;
  }

  // Only the fields named.
  bool OnlyFields(const TJsonValue& AObject, const std::set<std::string>& AAllowed,
                  const std::string& AWhere) {
    for (const auto& member : AObject.Members)
      if (AAllowed.count(member.first) == 0)
        return Fail(AWhere, "there is an unknown field \"" + member.first + "\"");
    return true;
  }

  const TJsonValue* Field(const TJsonValue& AObject, const std::string& AName,
                          TJsonValue::TKind AKind, const std::string& AWhere) {
    const TJsonValue* value = AObject.Find(AName);
    if (value == nullptr) {
      Fail(AWhere, "the field \"" + AName + "\" is missing");
      return nullptr;
    }
    if (value->Kind != AKind) {
      static const char* const kinds[] = {"null",     "true or false", "a number",
                                          "a string", "a list",        "an object"};
      Fail(AWhere, "\"" + AName + "\" must be " + kinds[AKind]);
      return nullptr;
    }
    return value;
  }

  bool WholeNumber(const TJsonValue& AObject, const std::string& AName, long ALow, long AHigh,
                   const std::string& AWhere, int& AResult) {
    const TJsonValue* value = Field(AObject, AName, TJsonValue::jkNumber, AWhere);
    if (value == nullptr) return false;
    const double number = value->NumberValue;
    if (!std::isfinite(number) || number != std::floor(number) ||
        number < static_cast<double>(ALow) || number > static_cast<double>(AHigh))
      return Fail(AWhere, "\"" + AName + "\" must be a whole number from " + std::to_string(ALow) +
                              " to " + std::to_string(AHigh));
    AResult = static_cast<int>(number);
    return true;
  }

  bool Pane(const TJsonValue& AValue, size_t AIndex, TPaneNode& ANode) {
    const std::string where = "pane " + std::to_string(AIndex + 1);
    if (AValue.Kind != TJsonValue::jkObject) return Fail(where, "a pane must be an object");
    if (AValue.Find("split") != nullptr) {
      if (!OnlyFields(AValue, {"split", "ratio"}, where)) return false;
      const TJsonValue* split = Field(AValue, "split", TJsonValue::jkString, where);
      const TJsonValue* ratio = Field(AValue, "ratio", TJsonValue::jkNumber, where);
      if (split == nullptr || ratio == nullptr) return false;
      if (split->StringValue != "top-bottom" && split->StringValue != "left-right")
        return Fail(where, "\"split\" must be \"top-bottom\" or \"left-right\"");
      const double number = ratio->NumberValue;
      const float share = static_cast<float>(number);
      // Checked as the float it becomes: 0.999999999 would round to 1.
      if (!std::isfinite(number) || !(share > 0.0f) || !(share < 1.0f))
        return Fail(where, "\"ratio\" must lie between 0 and 1");
      ANode.Leaf = false;
      ANode.Stacked = split->StringValue == "top-bottom";
      ANode.Ratio = share;
      return true;
    }
    const TJsonValue* leaf = Field(AValue, "leaf", TJsonValue::jkString, where);
    if (leaf == nullptr) return false;
    ANode.Leaf = true;
    if (leaf->StringValue == "empty") return OnlyFields(AValue, {"leaf"}, where);
    if (leaf->StringValue == "editor") {
      if (!OnlyFields(AValue,
                      Version >= 2
                          ? std::set<std::string>{"leaf", "text", "caret", "anchor", "top", "scale"}
                          : std::set<std::string>{"leaf", "text"},
                      where))
        return false;
      const TJsonValue* text = Field(AValue, "text", TJsonValue::jkString, where);
      if (text == nullptr) return false;
      ANode.Content.Kind = ckMemo;
      ANode.Content.Text = EditorLines(text->StringValue);
      // Where the caret was, in the editor's characters (UTF-16 units).
      long length = 0;
      for (const unsigned char c : ANode.Content.Text)
        length += (c & 0xC0) != 0x80 ? 1 : 0;  // a character starts here
      for (const unsigned char c : ANode.Content.Text)
        length += c >= 0xF0 ? 1 : 0;  // beyond the basic plane: two units
      if (AValue.Find("caret") != nullptr || AValue.Find("anchor") != nullptr) {
        if (!WholeNumber(AValue, "caret", 0, length, where, ANode.Content.Caret) ||
            !WholeNumber(AValue, "anchor", 0, length, where, ANode.Content.Anchor))
          return false;
      }
      // Where the text in sight began.
      if (AValue.Find("top") != nullptr &&
          !WholeNumber(AValue, "top", 0, length, where, ANode.Content.Top))
        return false;
      return Scale(AValue, where, ANode.Content);
    }
    if (leaf->StringValue == "grid") return Grid(AValue, where, ANode.Content);
    return Fail(where, "\"leaf\" must be \"empty\", \"editor\" or \"grid\"");
  }

  // How large an editor's or grid's text is, in percent of the usual size.
  bool Scale(const TJsonValue& AValue, const std::string& AWhere, TContentValue& AContent) {
    return AValue.Find("scale") == nullptr ||
           WholeNumber(AValue, "scale", WorkspaceMinScale, WorkspaceMaxScale, AWhere,
                       AContent.Scale);
  }

  // A grid: version 1 has 5 x 5 cells; from version 2 any size of at least
  // 2 x 2 (a fixed row and column and one cell to type into), every row as
  // long, and the column widths if they are not the default.
  bool Grid(const TJsonValue& AValue, const std::string& AWhere, TContentValue& AContent) {
    const bool sized = Version >= 2;
    if (!OnlyFields(AValue,
                    sized ? std::set<std::string>{"leaf", "cells", "col", "row", "widths", "top",
                                                  "left", "scale"}
                          : std::set<std::string>{"leaf", "cells", "col", "row"},
                    AWhere))
      return false;
    const TJsonValue* rows = Field(AValue, "cells", TJsonValue::jkArray, AWhere);
    if (rows == nullptr) return false;
    const size_t rowCount = rows->Items.size();
    if (!sized && rowCount != GridRows)
      return Fail(AWhere, "\"cells\" must hold " + std::to_string(GridRows) + " rows");
    if (rowCount < 2) return Fail(AWhere, "\"cells\" must hold at least 2 rows");
    const TJsonValue& first = rows->Items.front();
    const size_t columns = first.Kind == TJsonValue::jkArray ? first.Items.size() : 0;
    if (!sized && columns != GridColumns)
      return Fail(AWhere, "every row of \"cells\" must be a list of " +
                              std::to_string(GridColumns) + " texts");
    if (columns < 2) return Fail(AWhere, "every row of \"cells\" must hold at least 2 texts");
    if (static_cast<double>(rowCount) * static_cast<double>(columns) > WorkspaceMaxCells)
      return Fail(AWhere, "the grid has too many cells (" + std::to_string(rowCount) + " x " +
                              std::to_string(columns) + "; at most " +
                              std::to_string(WorkspaceMaxCells) + ")");
    AContent.Kind = ckGrid;
    AContent.RowCount = static_cast<int>(rowCount);
    AContent.ColCount = static_cast<int>(columns);
    AContent.Cells.reserve(rowCount * columns);
    for (size_t r = 0; r < rowCount; ++r) {
      const TJsonValue& row = rows->Items[r];
      if (row.Kind != TJsonValue::jkArray || row.Items.size() != columns)
        return Fail(AWhere, "row " + std::to_string(r + 1) + " of \"cells\" must be a list of " +
                                std::to_string(columns) + " texts, as the first is");
      for (const TJsonValue& cell : row.Items) {
        if (cell.Kind != TJsonValue::jkString) return Fail(AWhere, "every cell must be a text");
        if (cell.StringValue.size() > WorkspaceMaxCellBytes)
          return Fail(AWhere, "a cell in row " + std::to_string(r + 1) + " is too long (at most " +
                                  std::to_string(WorkspaceMaxCellBytes) + " bytes)");
        AContent.Cells.push_back(cell.StringValue);
      }
    }
    if (!WholeNumber(AValue, "col", 1, static_cast<long>(columns) - 1, AWhere, AContent.Col) ||
        !WholeNumber(AValue, "row", 1, static_cast<long>(rowCount) - 1, AWhere, AContent.Row))
      return false;
    // The first row and column in sight.
    if (AValue.Find("top") != nullptr) {
      if (!WholeNumber(AValue, "top", 1, static_cast<long>(rowCount) - 1, AWhere, AContent.Top))
        return false;
      --AContent.Top;
    }
    if (AValue.Find("left") != nullptr) {
      if (!WholeNumber(AValue, "left", 1, static_cast<long>(columns) - 1, AWhere, AContent.Left))
        return false;
      --AContent.Left;
    }
    if (!Scale(AValue, AWhere, AContent)) return false;
    if (const TJsonValue* widths = AValue.Find("widths")) {
      if (widths->Kind != TJsonValue::jkArray || widths->Items.size() != columns - 1)
        return Fail(AWhere, "\"widths\" must be a list of " + std::to_string(columns - 1) +
                                " whole numbers, one for each column after the fixed one");
      for (const TJsonValue& width : widths->Items) {
        const double w = width.Kind == TJsonValue::jkNumber ? width.NumberValue : -1;
        if (!(w >= WorkspaceMinColumnWidth && w <= WorkspaceMaxColumnWidth) || w != std::floor(w))
          return Fail(AWhere, "every width must be a whole number from " +
                                  std::to_string(WorkspaceMinColumnWidth) + " to " +
                                  std::to_string(WorkspaceMaxColumnWidth));
        AContent.Widths.push_back(static_cast<int>(w));
      }
    }
    return true;
  }
};

// The deepest level of a whole tree in preorder (the root's is 0).
size_t Depth(const TPaneTree& ATree) {
  std::vector<size_t> owed;  // per open split: halves still to come
  size_t deepest = 0;
  for (const TPaneNode& node : ATree) {
    deepest = std::max(deepest, owed.size());
    if (!owed.empty()) --owed.back();
    if (!node.Leaf) owed.push_back(2);
    while (!owed.empty() && owed.back() == 0) owed.pop_back();
  }
  return deepest;
}

}  // namespace

double RatioText(float ARatio) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, ARatio);
  *result.ptr = '\0';
  // The float's shortest text read as a double rounds back to the float
  // almost always; where the double rounding of that text would not, the
  // double the float is exactly.
  const double shortest = std::strtod(text, nullptr);
  return static_cast<float>(shortest) == ARatio ? shortest : static_cast<double>(ARatio);
}

std::string WriteWorkspace(const TWorkspace& AWorkspace) {
  TJsonValue document = TJsonValue::Object();
  document.Add("format", TJsonValue::String(WorkspaceFormat));
  document.Add("version", TJsonValue::Number(WorkspaceVersion));
  TJsonValue& area = document.Add("area", TJsonValue::Object());
  area.Add("width", TJsonValue::Number(AWorkspace.AreaWidth));
  area.Add("height", TJsonValue::Number(AWorkspace.AreaHeight));
  document.Add("current",
               AWorkspace.Current >= 0 ? TJsonValue::Number(AWorkspace.Current) : TJsonValue());
  if (AWorkspace.HasWindow) {
    TJsonValue& window = document.Add("window", TJsonValue::Object());
    window.Add("width", TJsonValue::Number(AWorkspace.WindowWidth));
    window.Add("height", TJsonValue::Number(AWorkspace.WindowHeight));
    window.Add("state", TJsonValue::String(WindowStateNames[AWorkspace.WindowState]));
  }
  TJsonValue& panes = document.Add("panes", TJsonValue::Array());
  panes.Items.reserve(AWorkspace.Panes.size());
  for (const TPaneNode& node : AWorkspace.Panes) panes.Append(PaneValue(node));
  return WriteJson(document);
}

std::string ReadWorkspace(std::string_view AText, TWorkspace& AWorkspace) {
  if (AText.size() > WorkspaceMaxBytes) return "the file is too large";
  if (AText.find_first_not_of(" \t\r\n") == std::string_view::npos) return "the file is empty";
  TJsonValue document;
  TJsonError error;
  if (!ParseJson(AText, document, error))
    return error.Line > 0
               ? "it is not JSON: " + error.Reason + " at line " + std::to_string(error.Line) +
                     ", column " + std::to_string(error.Column)
               : "it is not JSON: " + error.Reason;
  TReader reader;
  const TJsonValue* format = document.Find("format");
  if (document.Kind != TJsonValue::jkObject || format == nullptr ||
      format->Kind != TJsonValue::jkString || format->StringValue != WorkspaceFormat)
    return "it is not a Panes workspace";
  int version = 0;
  if (!reader.WholeNumber(document, "version", 1, 1000000, "", version)) return reader.Problem;
  reader.Version = version;
  if (version > WorkspaceVersion)
    return "it was written by a newer Panes (format version " + std::to_string(version) +
           "; this one reads version " + std::to_string(WorkspaceVersion) + ")";
  // Version 2 added the window, grids of any size and their column widths;
  // what else it holds is as in version 1.
  if (!reader.OnlyFields(
          document,
          version >= 2
              ? std::set<std::string>{"format", "version", "area", "current", "panes", "window"}
              : std::set<std::string>{"format", "version", "area", "current", "panes"},
          ""))
    return reader.Problem;
  TWorkspace workspace;
  if (const TJsonValue* window = document.Find("window")) {
    if (window->Kind != TJsonValue::jkObject) return "\"window\" must be an object";
    if (!reader.OnlyFields(*window, {"width", "height", "state"}, "window") ||
        !reader.WholeNumber(*window, "width", 1, WorkspaceMaxWindowSize, "window",
                            workspace.WindowWidth) ||
        !reader.WholeNumber(*window, "height", 1, WorkspaceMaxWindowSize, "window",
                            workspace.WindowHeight))
      return reader.Problem;
    const TJsonValue* state = reader.Field(*window, "state", TJsonValue::jkString, "window");
    if (state == nullptr) return reader.Problem;
    const auto named =
        std::find(std::begin(WindowStateNames), std::end(WindowStateNames), state->StringValue);
    if (named == std::end(WindowStateNames))
      return "window: \"state\" must be \"normal\", \"maximised\" or \"full-screen\"";
    workspace.WindowState = static_cast<TWindowState>(named - std::begin(WindowStateNames));
    workspace.HasWindow = true;
  }
  const TJsonValue* area = reader.Field(document, "area", TJsonValue::jkObject, "");
  if (area == nullptr || !reader.OnlyFields(*area, {"width", "height"}, "area") ||
      !reader.WholeNumber(*area, "width", 0, 1000000, "area", workspace.AreaWidth) ||
      !reader.WholeNumber(*area, "height", 0, 1000000, "area", workspace.AreaHeight))
    return reader.Problem;
  const TJsonValue* panes = reader.Field(document, "panes", TJsonValue::jkArray, "");
  if (panes == nullptr) return reader.Problem;
  if (panes->Items.size() > WorkspaceMaxPanes) {
    // Counted as the user counts panes: the leaves, not the splits.
    const size_t leaves = static_cast<size_t>(
        std::count_if(panes->Items.begin(), panes->Items.end(), [](const TJsonValue& AItem) {
          return AItem.Kind != TJsonValue::jkObject || AItem.Find("split") == nullptr;
        }));
    if (leaves > WorkspaceMaxLeaves)
      return "there are too many panes (" + std::to_string(leaves) + "; at most " +
             std::to_string(WorkspaceMaxLeaves) + ")";
    return "the panes do not form one tree: " + std::to_string(panes->Items.size() - leaves) +
           " splits for " + std::to_string(leaves) + " panes";
  }
  workspace.Panes.resize(panes->Items.size());
  for (size_t i = 0; i < panes->Items.size(); ++i)
    if (!reader.Pane(panes->Items[i], i, workspace.Panes[i])) return reader.Problem;
  if (!workspace.Panes.empty()) {
    if (const std::string problem = TreeProblem(workspace.Panes); !problem.empty())
      return "the panes do not form one tree: " + problem;
    if (Depth(workspace.Panes) > WorkspaceMaxDepth)
      return "the panes are nested too deeply (at most " + std::to_string(WorkspaceMaxDepth) +
             " levels)";
  }
  const TJsonValue* current = document.Find("current");
  if (current == nullptr) return "the field \"current\" is missing";
  if (workspace.Panes.empty()) {
    if (current->Kind != TJsonValue::jkNull)
      return "\"current\" must be null when there are no panes";
  } else {
    const long last = static_cast<long>(workspace.Panes.size()) - 1;
    if (!reader.WholeNumber(document, "current", 0, last, "", workspace.Current))
      return reader.Problem;
    if (!workspace.Panes[static_cast<size_t>(workspace.Current)].Leaf)
      return "\"current\" must name a pane that is not split";
  }
  AWorkspace = std::move(workspace);
  return {};
}
