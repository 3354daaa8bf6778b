// Shared entry of the test executables: headless Qt, one application object.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

#include "tests/support/Harness.h"
#include "widgets/Application.h"

namespace {

// A folder of this run's own under the temporary folder (mode 0700, as
// mkdtemp makes it), removed with all it holds when the run ends, passed or
// failed. A run that crashes leaves it; scripts/test points TMPDIR at a
// folder it removes, so nothing is left there either.
class TRunFolder {
 public:
  explicit TRunFolder(const char* AName) {
    std::string path =
        (std::filesystem::temp_directory_path() / (std::string(AName) + "-XXXXXX")).string();
    if (::mkdtemp(path.data()) == nullptr)
      throw std::runtime_error("cannot make a temporary folder for the tests");
    FPath = path;
  }
  ~TRunFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(FPath, ignored);
  }
  TRunFolder(const TRunFolder&) = delete;
  TRunFolder& operator=(const TRunFolder&) = delete;
  const std::filesystem::path& Path() const { return FPath; }

 private:
  std::filesystem::path FPath;
};

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  std::unique_ptr<TRunFolder> runtime;
  if (std::getenv("XDG_RUNTIME_DIR") == nullptr) {
    runtime = std::make_unique<TRunFolder>("panes-test-runtime");
    setenv("XDG_RUNTIME_DIR", runtime->Path().c_str(), 1);
  }
  // Whatever the program keeps for the user goes to a folder of this run:
  // never shared with another run or another user.
  const TRunFolder data("panes-test-data");
  setenv("XDG_DATA_HOME", data.Path().c_str(), 1);
  testing::InitGoogleTest(&argc, argv);
  testing_support::InstallStrictMessageHandler();
  Application->Initialize();
  const int result = RUN_ALL_TESTS();
  Application->Finalize();
  return result;
}
