// The system ending the program (a logout: SIGTERM, SIGHUP, SIGINT) while
// long work keeps the event loop waiting. Each case runs in a child
// process, which the ending takes with it.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QTimer>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>
#include <thread>

#include "tests/support/Harness.h"
#include "widgets/Application.h"
#include "widgets/Dialogs.h"

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

// Runs AWork in a child process that then stays away from the event loop
// for ASeconds and leaves with 1: how the child ended.
template <class TWork>
int InChild(int ASeconds, TWork AWork) {
  const pid_t child = fork();
  if (child == 0) {
    AWork();
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(ASeconds);
    while (std::chrono::steady_clock::now() < until)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    _exit(1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return status;
}

// Work that cannot stop (Qt placing thousands of widgets in one call) has
// left what must survive: the signal writes it, whole, and ends the
// program with 128 + its number. Work that left nothing is not ended from
// under it: the event loop takes the signal once the work returns.
TEST(Ending, TheWatchKeepsWhatLongWorkLeftAndEndsTheProgram) {
  const fs::path folder = fs::temp_directory_path() / ("panes-ending-" + std::to_string(getpid()));
  fs::create_directories(folder);
  const std::string copy = (folder / "copy.panes").string();
  for (const int signal : {SIGTERM, SIGHUP, SIGINT}) {
    fs::remove(copy);
    const std::string work = "the work on the screen at signal " + std::to_string(signal);
    const int status = InChild(10, [&] {
      Application->ListenForEnding();
      Application->KeepWhileWorking(copy, work);
      std::raise(signal);
    });
    ASSERT_TRUE(WIFEXITED(status)) << "signal " << signal << ": status " << status;
    EXPECT_EQ(WEXITSTATUS(status), 128 + signal);
    EXPECT_EQ(ReadAll(copy), work);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1)
        << "nothing but the copy";
  }
  fs::remove(copy);
  const int status = InChild(2, [&] {
    Application->ListenForEnding();
    Application->KeepWhileWorking(copy, "kept");
    Application->WorkDone();
    std::raise(SIGTERM);
  });
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
  EXPECT_FALSE(fs::exists(copy));
  fs::remove_all(folder);
}

// A question asked before the event loop runs (the recovery offer at
// start): a leave asked for meanwhile ends it as its Escape would, and a
// signal after that still ends the program. Either once waited forever.
TEST(Ending, ALeaveOrASignalDuringAQuestionBeforeTheRunEndsTheProgram) {
  const int status = InChild(3, [] {
    alarm(8);  // a question left waiting fails the case instead of hanging it
    // The headless platform cannot pass a question's size limits on.
    ExpectQtWarning sizes("does not support propagateSizeHints");
    Application->ListenForEnding();
    QTimer::singleShot(50, [] { Application->Terminate(); });
    const int answer = MessageDlg("Recover unsaved changes?", mtConfirmation,
                                  {"Recover", "Discard", "Not now"}, 0, 2, "");
    if (answer != 2 || !Application->Terminated()) _exit(2);
    // Another question (a second recovery copy) waits for no one.
    if (MessageDlg("Recover unsaved changes?", mtConfirmation, {"Recover", "Discard", "Not now"}, 0,
                   2, "") != 2)
      _exit(3);
    std::raise(SIGTERM);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (Application->ExitCode() == 0 && std::chrono::steady_clock::now() < until)
      Application->ProcessMessages();
    _exit(Application->ExitCode());
  });
  ASSERT_TRUE(WIFEXITED(status)) << "status " << status;
  EXPECT_EQ(WEXITSTATUS(status), 128 + SIGTERM);
}

}  // namespace
