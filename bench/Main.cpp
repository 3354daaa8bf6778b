#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "widgets/Application.h"

int MemoryProbe(const std::string& ASide, const std::string& AShape, int ALeaves);

namespace {
// The offscreen platform's screen is 800 x 600 unless told otherwise, and a
// window opens wholly on its screen: the windows measured here (up to a 4K
// screen's) get a screen that holds them, without frame margins, so a
// window is the size it is asked to be.
std::string BigScreenConfig() {
  const std::filesystem::path file = std::filesystem::temp_directory_path() /
                                     ("panes-bench-screen-" + std::to_string(getpid()) + ".json");
  FILE* out = std::fopen(file.c_str(), "w");
  if (out == nullptr) return {};
  std::fputs(R"({"synchronousWindowSystemEvents": false, "windowFrameMargins": false,)"
             R"( "screens": [{"name": "bench", "x": 0, "y": 0, "width": 5120, "height": 2880,)"
             R"( "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})",
             out);
  return std::fclose(out) == 0 ? file.string() : std::string();
}
}  // namespace

int main(int argc, char** argv) {
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  std::string config;
  // The memory probes are started with this process's setting: they write
  // a screen of their own.
  if (platform == nullptr || std::strncmp(platform, "offscreen", 9) == 0) {
    config = BigScreenConfig();
    const std::string value = config.empty() ? "offscreen" : "offscreen:configfile=" + config;
    setenv("QT_QPA_PLATFORM", value.c_str(), 1);
  }
  Application->Initialize();
  // The platform has read it.
  if (!config.empty()) std::remove(config.c_str());
  int status = 0;
  if (argc == 5 && std::strcmp(argv[1], "--memory-probe") == 0) {
    status = MemoryProbe(argv[2], argv[3], std::atoi(argv[4]));
  } else {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
  }
  Application->Finalize();
  return status;
}
