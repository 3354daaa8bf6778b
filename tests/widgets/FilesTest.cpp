// Reading and saving files: the reason a failure gives, in words a user can
// act on, and the old file left whole by a save that fails.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/Harness.h"
#include "widgets/Files.h"

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

bool Root() { return geteuid() == 0; }

// Sets or clears the immutable flag (chattr +i), which refuses writes even
// to root; false where the file system or the user may not.
bool SetImmutable(const fs::path& APath, bool AOn) {
  const int handle = ::open(APath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (handle < 0) return false;
  int flags = 0;
  bool done = ::ioctl(handle, FS_IOC_GETFLAGS, &flags) == 0;
  if (done) {
    flags = AOn ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    done = ::ioctl(handle, FS_IOC_SETFLAGS, &flags) == 0;
  }
  ::close(handle);
  return done;
}

// A folder of the test's own, removed at its end whatever was done to it.
class TFolder {
 public:
  TFolder() {
    std::string name = (fs::temp_directory_path() / "panes-files-XXXXXX").string();
    if (::mkdtemp(name.data()) == nullptr) throw std::runtime_error("no temporary folder");
    FPath = name;
  }
  ~TFolder() {
    std::error_code ignored;
    for (const fs::path& mount : FMounts) ::umount2(mount.c_str(), MNT_DETACH);
    SetImmutable(FPath, false);
    fs::permissions(FPath, fs::perms::owner_all, ignored);
    for (auto it = fs::recursive_directory_iterator(FPath, ignored);
         it != fs::recursive_directory_iterator(); it.increment(ignored)) {
      SetImmutable(it->path(), false);
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
    fs::remove_all(FPath, ignored);
  }
  const fs::path& Path() const { return FPath; }
  void Mounted(const fs::path& APath) { FMounts.push_back(APath); }

 private:
  fs::path FPath;
  std::vector<fs::path> FMounts;
};

// Makes a folder or file refuse writes: its permissions, and for root (whom
// permissions do not stop) the immutable flag. False if that cannot be done.
bool RefuseWrites(const fs::path& APath) {
  fs::permissions(APath, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  return !Root() || SetImmutable(APath, true);
}

std::vector<std::string> Listing(const fs::path& AFolder) {
  std::vector<std::string> names;
  std::error_code ignored;
  for (const auto& entry : fs::directory_iterator(AFolder, ignored))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

const std::string kOld = "{\"old\": true}\n";
const std::string kNew = "{\"new\": true}\n";
const std::string kSaveAs = "save it elsewhere with Save As (Ctrl+Shift+S)";

// --- Reading ---------------------------------------------------------------------

struct TReadCase {
  const char* Name;
  // Makes the file to be read in AFolder, returns its path; empty to skip.
  std::function<fs::path(const fs::path& AFolder)> Make;
  const char* Reason;
  bool NotForRoot;  // root reads everything: only a user meets it
};

void PrintTo(const TReadCase& ACase, std::ostream* AOut) { *AOut << ACase.Name; }

class ReadReasons : public testing::TestWithParam<TReadCase> {};

TEST_P(ReadReasons, SayWhatTheSystemSaysInPlainWords) {
  const TReadCase& c = GetParam();
  if (c.NotForRoot && Root())
    GTEST_SKIP() << "root reads every file; scripts/test runs this as an ordinary user too";
  TFolder folder;
  const fs::path file = c.Make(folder.Path());
  std::string bytes = "untouched", error;
  EXPECT_FALSE(LoadFromFile(file.string(), 1u << 20, bytes, error));
  EXPECT_EQ(error, c.Reason);
  EXPECT_EQ(bytes, "untouched");
}

const TReadCase kReadCases[] = {
    {"MissingFile", [](const fs::path& F) { return F / "gone.panes"; }, "there is no such file",
     false},
    {"MissingFolder", [](const fs::path& F) { return F / "gone" / "work.panes"; },
     "its folder no longer exists", false},
    {"AFolder",
     [](const fs::path& F) {
       fs::create_directory(F / "a.panes");
       return F / "a.panes";
     },
     "it is a folder, not a file", false},
    {"UnreadableFile",
     [](const fs::path& F) {
       WriteAll(F / "work.panes", kOld);
       fs::permissions(F / "work.panes", fs::perms::none);
       return F / "work.panes";
     },
     "you have no permission to read it", true},
    {"UnreadableFileReadOnlyFolder",
     [](const fs::path& F) {
       WriteAll(F / "work.panes", kOld);
       fs::permissions(F / "work.panes", fs::perms::owner_write);
       fs::permissions(F, fs::perms::owner_read | fs::perms::owner_exec);
       return F / "work.panes";
     },
     "you have no permission to read it", true},
    {"FolderThatCannotBeOpened",
     [](const fs::path& F) {
       fs::create_directory(F / "locked");
       WriteAll(F / "locked" / "work.panes", kOld);
       fs::permissions(F / "locked", fs::perms::owner_read | fs::perms::owner_write);
       return F / "locked" / "work.panes";
     },
     "you have no permission to open its folder", true},
};

INSTANTIATE_TEST_SUITE_P(Files, ReadReasons, testing::ValuesIn(kReadCases),
                         [](const testing::TestParamInfo<TReadCase>& AInfo) {
                           return std::string(AInfo.param.Name);
                         });

TEST(Files, AFileIsReadWholeAndNoFurtherThanTheLimit) {
  TFolder folder;
  const fs::path file = folder.Path() / "work.panes";
  const std::string big(300000, 'x');
  WriteAll(file, big);
  std::string bytes, error;
  ASSERT_TRUE(LoadFromFile(file.string(), big.size(), bytes, error)) << error;
  EXPECT_EQ(bytes, big);
  EXPECT_FALSE(LoadFromFile(file.string(), big.size() - 1, bytes, error));
  EXPECT_EQ(error, "the file is too large (1 MB; at most 1 MB)");
  WriteAll(file, "");
  ASSERT_TRUE(LoadFromFile(file.string(), 10, bytes, error)) << error;
  EXPECT_EQ(bytes, "");
}

// --- Saving ----------------------------------------------------------------------

struct TSaveCase {
  const char* Name;
  // Prepares AFolder, holding work.panes with kOld; returns the file to save
  // to, or an empty path when this machine or user cannot set the case up.
  std::function<fs::path(const fs::path& AFolder)> Make;
  const char* Reason;
  TSaveStep Step = TSaveStep::Write;
  int Errno = 0;  // a step made to fail so, as a full disk does
};

void PrintTo(const TSaveCase& ACase, std::ostream* AOut) { *AOut << ACase.Name; }

class SaveReasons : public testing::TestWithParam<TSaveCase> {
 protected:
  void TearDown() override {
    FailSaveStepForTests(TSaveStep::Write, 0);
    FailSaveStepForTests(TSaveStep::Sync, 0);
  }
};

TEST_P(SaveReasons, SayWhatToDoAndLeaveTheOldFileWhole) {
  const TSaveCase& c = GetParam();
  TFolder folder;
  WriteAll(folder.Path() / "work.panes", kOld);
  const fs::path file = c.Make(folder.Path());
  if (file.empty()) GTEST_SKIP() << "cannot make a file or folder refuse root here";
  const bool existed = fs::is_regular_file(file);
  const auto before = Listing(file.parent_path());
  if (c.Errno != 0) FailSaveStepForTests(c.Step, c.Errno);
  std::string error;
  EXPECT_FALSE(SaveToFile(file.string(), kNew, error));
  EXPECT_EQ(error, c.Reason);
  if (existed) {
    EXPECT_EQ(ReadAll(file), kOld) << "the old file changed";
  }
  EXPECT_EQ(Listing(file.parent_path()), before) << "a temporary was left behind";
  // The same save works once the cause is gone.
  FailSaveStepForTests(c.Step, 0);
  if (c.Errno != 0) {
    ASSERT_TRUE(SaveToFile(file.string(), kNew, error)) << error;
    EXPECT_EQ(ReadAll(file), kNew);
  }
}

const TSaveCase kSaveCases[] = {
    {"ReadOnlyFolderWritableFile",
     [](const fs::path& F) { return RefuseWrites(F) ? F / "work.panes" : fs::path(); },
     "its folder cannot be written; save it elsewhere with Save As (Ctrl+Shift+S)"},
    {"ReadOnlyFolderNewFile",
     [](const fs::path& F) { return RefuseWrites(F) ? F / "new.panes" : fs::path(); },
     "its folder cannot be written; save it elsewhere with Save As (Ctrl+Shift+S)"},
    {"ReadOnlyFile",
     [](const fs::path& F) {
       return RefuseWrites(F / "work.panes") ? F / "work.panes" : fs::path();
     },
     "the file is read-only; save it elsewhere with Save As (Ctrl+Shift+S)"},
    {"MissingFolder", [](const fs::path& F) { return F / "gone" / "work.panes"; },
     "its folder no longer exists"},
    {"FolderRemovedSinceOpened",
     [](const fs::path& F) {
       fs::create_directory(F / "was");
       fs::remove(F / "was");
       return F / "was" / "work.panes";
     },
     "its folder no longer exists"},
    {"AFolder",
     [](const fs::path& F) {
       fs::create_directory(F / "a.panes");
       return F / "a.panes";
     },
     "it is a folder, not a file"},
    {"FullDiskAtTheWrite", [](const fs::path& F) { return F / "work.panes"; }, "the disk is full",
     TSaveStep::Write, ENOSPC},
    {"QuotaAtTheWrite", [](const fs::path& F) { return F / "work.panes"; }, "the disk is full",
     TSaveStep::Write, EDQUOT},
    {"FullDiskAtTheSync", [](const fs::path& F) { return F / "work.panes"; }, "the disk is full",
     TSaveStep::Sync, ENOSPC},
    {"QuotaAtTheSync", [](const fs::path& F) { return F / "work.panes"; }, "the disk is full",
     TSaveStep::Sync, EDQUOT},
    {"FullDiskNewFile", [](const fs::path& F) { return F / "new.panes"; }, "the disk is full",
     TSaveStep::Write, ENOSPC},
    {"InputOutputError", [](const fs::path& F) { return F / "work.panes"; }, "Input/output error",
     TSaveStep::Sync, EIO},
};

INSTANTIATE_TEST_SUITE_P(Files, SaveReasons, testing::ValuesIn(kSaveCases),
                         [](const testing::TestParamInfo<TSaveCase>& AInfo) {
                           return std::string(AInfo.param.Name);
                         });

TEST(Files, ASaveKeepsTheFilesPermissions) {
  TFolder folder;
  const fs::path file = folder.Path() / "work.panes";
  WriteAll(file, kOld);
  const auto mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
  fs::permissions(file, mode);
  std::string error;
  ASSERT_TRUE(SaveToFile(file.string(), kNew, error)) << error;
  EXPECT_EQ(ReadAll(file), kNew);
  EXPECT_EQ(fs::status(file).permissions(), mode);
  EXPECT_EQ(Listing(folder.Path()), std::vector<std::string>{"work.panes"});
}

// A real full disk: a 64 KB tmpfs, where this machine lets the test mount
// one (root, outside a container that forbids it); skipped elsewhere, where
// the simulated failures above stand in for it.
TEST(Files, ASaveToAFullDiskSaysSoAndLeavesTheOldFileWhole) {
  TFolder folder;
  const fs::path disk = folder.Path() / "disk";
  fs::create_directory(disk);
  if (::mount("tmpfs", disk.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=64k,mode=0700") != 0)
    GTEST_SKIP() << "cannot mount a small tmpfs here: " << std::strerror(errno);
  folder.Mounted(disk);
  const fs::path file = disk / "work.panes";
  std::string error;
  ASSERT_TRUE(SaveToFile(file.string(), kOld, error)) << error;
  const std::string big(256u << 10, 'x');
  EXPECT_FALSE(SaveToFile(file.string(), big, error));
  EXPECT_EQ(error, "the disk is full");
  EXPECT_EQ(ReadAll(file), kOld);
  EXPECT_EQ(Listing(disk), std::vector<std::string>{"work.panes"}) << "a temporary was left";
  // A new file on the full disk: nothing of it is left.
  WriteAll(disk / "filler", std::string(60u << 10, 'f'));
  EXPECT_FALSE(SaveToFile((disk / "new.panes").string(), big, error));
  EXPECT_EQ(error, "the disk is full");
  EXPECT_FALSE(fs::exists(disk / "new.panes"));
  std::string bytes;
  ASSERT_TRUE(LoadFromFile(file.string(), 1u << 20, bytes, error)) << error;
  EXPECT_EQ(bytes, kOld);
}

}  // namespace
