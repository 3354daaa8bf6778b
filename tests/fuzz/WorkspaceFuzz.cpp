// Fuzz target for the workspace reader. Built with clang and
// -fsanitize=fuzzer it is a libFuzzer target; otherwise its own small driver
// mutates the seed workspaces for a given number of seconds. A file that
// reads is also written again (it must read back the same) and, when
// small, opened into a real window.
#include <QtGlobal>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <string>
#include <vector>

#include "app/SplitPanel.h"
#include "app/Workspace.h"
#include "tests/app/HostWindow.h"
#include "widgets/Widgets.h"

namespace {

void Quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

HostWindow& Window() {
  static HostWindow* window = [] {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    qInstallMessageHandler(Quiet);
    Application->Initialize();
    auto* w = new HostWindow(400, 300);
    w->Form->Show();
    return w;
  }();
  return *window;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* AData, std::size_t ASize) {
  HostWindow& window = Window();
  const std::string_view text(reinterpret_cast<const char*>(AData), ASize);
  TWorkspace workspace;
  if (!ReadWorkspace(text, workspace).empty()) return 0;  // refused: fine
  TWorkspace again;
  if (!ReadWorkspace(WriteWorkspace(workspace), again).empty() ||
      !(again.Panes == workspace.Panes) || again.Current != workspace.Current ||
      again.AreaWidth != workspace.AreaWidth || again.HasWindow != workspace.HasWindow ||
      again.WindowWidth != workspace.WindowWidth || again.WindowHeight != workspace.WindowHeight ||
      again.WindowState != workspace.WindowState) {
    std::cerr << "what was written does not read back the same\n";
    std::abort();
  }
  if (!workspace.Panes.empty() && workspace.Panes.size() <= 64) {
    window.Host->Open(workspace);
    if (!(window.Host->Workspace().Panes == workspace.Panes)) {
      std::cerr << "the window does not show what was read:\n"
                << WriteWorkspace(workspace) << "\nbut:\n"
                << WriteWorkspace(window.Host->Workspace()) << "\n";
      std::abort();
    }
  }
  return 0;
}

#ifndef PANES_LIBFUZZER
int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 5.0;
  const char* folder = argc > 2 ? argv[2] : ".";
  const unsigned seed = argc > 3 ? static_cast<unsigned>(std::atoi(argv[3])) : 1u;
  std::vector<std::string> seeds;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    std::ifstream in(entry.path(), std::ios::binary);
    seeds.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  if (seeds.empty()) {
    std::cerr << "no seed workspaces in " << folder << "\n";
    return 1;
  }
  std::mt19937 random(seed);
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  long runs = 0;
  while (std::chrono::steady_clock::now() < end) {
    std::string bytes = seeds[random() % seeds.size()];
    const int edits = 1 + static_cast<int>(random() % 6);
    for (int e = 0; e < edits && !bytes.empty(); ++e) {
      const std::size_t at = random() % bytes.size();
      switch (random() % 6) {
        case 0:
          bytes[at] = static_cast<char>(random());
          break;
        case 1:
          bytes[at] = "{}[],:\"0.9-e"[random() % 12];
          break;
        case 2:
          bytes.erase(at, 1 + random() % 16);
          break;
        case 3:
          bytes.insert(at, bytes.substr(random() % bytes.size(), 1 + random() % 32));
          break;
        case 4:
          bytes[at] = static_cast<char>('0' + random() % 10);
          break;
        default:
          bytes.resize(at);
      }
    }
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    ++runs;
  }
  std::cout << "workspace fuzz: " << runs << " inputs, no crash (seed " << seed << ")\n";
  return 0;
}
#endif
