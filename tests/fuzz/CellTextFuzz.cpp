// Fuzz driver for the readers of cells as text: CSV files, tab-separated
// clipboard text and HTML tables. Mutates the seeds in a folder for a given
// number of seconds; nothing may crash, and what the CSV reader takes must
// write and read back cell for cell.
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "widgets/CellText.h"

namespace {
void Check(const std::string& AText) {
  TCellRows cells;
  std::string problem;
  if (ReadCellsFromCsv(AText, 10000, 4096, cells, problem)) {
    TCellRows again;
    if (!ReadCellsFromCsv(WriteCellsAsCsv(cells), 10000, 4096, again, problem) || again != cells) {
      std::cerr << "a CSV file written from what was read does not read back the same\n";
      std::abort();
    }
  }
  (void)ReadCellsFromText(AText);
  (void)ReadCellsFromHtml(AText, cells);
}
}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 5.0;
  const char* folder = argc > 2 ? argv[2] : ".";
  std::vector<std::string> seeds;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    std::ifstream in(entry.path(), std::ios::binary);
    seeds.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  if (seeds.empty()) {
    std::cerr << "no seeds in " << folder << "\n";
    return 1;
  }
  static const char* const tokens[] = {
      ",",  "\"",   "\"\"",         "\r\n", "\n",       "\r",
      "\t", "<td>", "</td>",        "<tr>", "</table>", "&amp;",
      "&#", "<br>", "\xEF\xBB\xBF", "\xC3", "<table>",  "colspan=\"999\""};
  std::mt19937 random(1);
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  long runs = 0;
  while (std::chrono::steady_clock::now() < end) {
    std::string text = seeds[random() % seeds.size()];
    for (int e = 1 + static_cast<int>(random() % 6); e > 0 && !text.empty(); --e) {
      const std::size_t at = random() % text.size();
      switch (random() % 4) {
        case 0:
          text[at] = static_cast<char>(random());
          break;
        case 1:
          text.insert(at, tokens[random() % std::size(tokens)]);
          break;
        case 2:
          text.erase(at, 1 + random() % 8);
          break;
        default:
          text.insert(at, text.substr(random() % text.size(), 1 + random() % 24));
      }
    }
    Check(text);
    ++runs;
  }
  std::cout << "cell text fuzz: " << runs << " inputs, no crash\n";
  return 0;
}
