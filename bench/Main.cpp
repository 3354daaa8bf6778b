#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "widgets/Application.h"

int MemoryProbe(const std::string& ASide, const std::string& AShape, int ALeaves);

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  Application->Initialize();
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
