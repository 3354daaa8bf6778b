// Shared entry of the test executables: headless Qt, one application object.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "tests/support/Harness.h"
#include "widgets/Application.h"

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  if (std::getenv("XDG_RUNTIME_DIR") == nullptr) {
    const auto dir = std::filesystem::temp_directory_path() / "panes-test-runtime";
    std::filesystem::create_directories(dir);
    std::filesystem::permissions(dir, std::filesystem::perms::owner_all);
    setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
  }
  // Whatever the program keeps for the user goes to a folder of the tests.
  const auto data = std::filesystem::temp_directory_path() / "panes-test-data";
  std::filesystem::create_directories(data);
  setenv("XDG_DATA_HOME", data.c_str(), 1);
  testing::InitGoogleTest(&argc, argv);
  testing_support::InstallStrictMessageHandler();
  Application->Initialize();
  const int result = RUN_ALL_TESTS();
  Application->Finalize();
  return result;
}
