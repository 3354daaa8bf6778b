#include "app/RecentFiles.h"

#include <algorithm>

#include "widgets/Files.h"

namespace {
// Ten paths at their longest, and then some: a larger file is not ours.
constexpr std::size_t ListMaxBytes = 64 * 1024;

bool Keepable(const std::string& APath) {
  return !APath.empty() && APath.front() == '/' && APath.size() <= RecentPathMaxLength &&
         APath.find_first_of(std::string("\n\r\0", 3)) == std::string::npos;
}

bool Save(const std::string& AListFile, const std::vector<std::string>& AList,
          std::string& AError) {
  std::string text;
  for (const std::string& path : AList) text += path + "\n";
  return SaveToFile(AListFile, text, AError);
}
}  // namespace

std::vector<std::string> ParseRecentFiles(const std::string& AText) {
  std::vector<std::string> list;
  std::size_t start = 0;
  while (start < AText.size() && list.size() < RecentFilesMax) {
    std::size_t end = AText.find('\n', start);
    if (end == std::string::npos) end = AText.size();
    std::string line = AText.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (Keepable(line) && std::find(list.begin(), list.end(), line) == list.end())
      list.push_back(line);
  }
  return list;
}

std::vector<std::string> LoadRecentFiles(const std::string& AListFile) {
  std::string text, problem;
  if (!FileExists(AListFile) || !LoadFromFile(AListFile, ListMaxBytes, text, problem)) return {};
  return ParseRecentFiles(text);
}

bool AddRecentFile(const std::string& AListFile, const std::string& APath, std::string& AError) {
  if (!Keepable(APath)) return true;
  std::vector<std::string> list = LoadRecentFiles(AListFile);
  list.erase(std::remove(list.begin(), list.end(), APath), list.end());
  list.insert(list.begin(), APath);
  if (list.size() > RecentFilesMax) list.resize(RecentFilesMax);
  return Save(AListFile, list, AError);
}

bool RemoveRecentFile(const std::string& AListFile, const std::string& APath, std::string& AError) {
  std::vector<std::string> list = LoadRecentFiles(AListFile);
  const auto gone = std::remove(list.begin(), list.end(), APath);
  if (gone == list.end()) return true;
  list.erase(gone, list.end());
  return Save(AListFile, list, AError);
}
