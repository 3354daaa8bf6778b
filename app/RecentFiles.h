#pragma once
// The workspaces opened or saved last, newest first (File > Open Recent),
// kept one path a line in a file of the user's state folder. The list is
// read afresh each time, so windows side by side share it.

#include <cstddef>
#include <string>
#include <vector>

constexpr std::size_t RecentFilesMax = 10;
constexpr std::size_t RecentPathMaxLength = 4096;

// What a list file holds: at most ten absolute paths, each once. A damaged
// line (too long, not an absolute path, a stray byte) is left out; the rest
// of the list stays.
std::vector<std::string> ParseRecentFiles(const std::string& AText);
// The list in AListFile; empty when there is none or it cannot be read.
std::vector<std::string> LoadRecentFiles(const std::string& AListFile);
// Puts APath at the top (once), keeping ten. False with AError when the
// list could not be written; a path that cannot be kept in the list (too
// long, a line break in it) is left out without a fault.
bool AddRecentFile(const std::string& AListFile, const std::string& APath, std::string& AError);
bool RemoveRecentFile(const std::string& AListFile, const std::string& APath, std::string& AError);
