#pragma once
// Files the user keeps work in: read whole and bounded, written safely (a
// temporary beside the file, flushed to the disk, then renamed over it), so
// a crash, a kill or a full disk never leaves half a file.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Reads the whole file. Fails, with a reason a user understands, for a file
// that is missing, a folder, unreadable or larger than AMaxBytes.
// Reasons fit "The reason: <reason>." and come from what the system says
// (the error number, the permissions of the file and of its folder), e.g.
// "you have no permission to read it", "its folder no longer exists".
bool LoadFromFile(const std::string& AFileName, std::size_t AMaxBytes, std::string& ABytes,
                  std::string& AError);
// Writes ABytes to the file safely; an existing file keeps its permissions,
// and is left whole if anything fails. The reasons a save fails with, in
// plain words: "the disk is full" (also when only the sync to the disk
// finds it so), "its folder no longer exists", "the file is read-only; save
// it elsewhere with Save As (Ctrl+Shift+S)", "its folder cannot be written;
// save it elsewhere ..." and a few rarer ones; the system's own words last.
bool SaveToFile(const std::string& AFileName, const std::string& ABytes, std::string& AError);

// For tests: from now on SaveToFile's write of the bytes, or its sync of
// them to the disk, fails with the error number AErrno (as a full disk
// makes it fail: ENOSPC, EDQUOT); 0 makes the step work again.
enum class TSaveStep { Write, Sync };
void FailSaveStepForTests(TSaveStep AStep, int AErrno);

bool FileExists(const std::string& AFileName);
// When the file was last written, in milliseconds since 1970; -1 if none.
std::int64_t FileTime(const std::string& AFileName);
// What the file system says of the file's present contents (device, inode,
// size, time of the last write to the nanosecond): it differs once anyone
// has written or replaced the file; empty if there is no file.
std::string FileStamp(const std::string& AFileName);
bool DeleteFile(const std::string& AFileName);
// The file's name without its folder, and its full path.
std::string ExtractFileName(const std::string& AFileName);
std::string ExpandFileName(const std::string& AFileName);
// The folder where the program keeps its own state for the user (under the
// XDG base directories); made if missing, for the user's eyes only.
std::string StateFolder();
// Makes the folder and those above it where missing, for the user's eyes
// only; true when it is there.
bool ForceDirectories(const std::string& AFolder);
// The files in AFolder whose names start with APrefix and end with
// ASuffix, as full paths, in no particular order.
std::vector<std::string> FilesIn(const std::string& AFolder, const std::string& APrefix,
                                 const std::string& ASuffix);
// A time in milliseconds since 1970 as the user reads it: local date and
// time to the second.
std::string TimeText(std::int64_t AMilliseconds);

// Tells other runs of the program that this one works on something: a lock
// file, held until released or the program ends. A lock left by a program
// that crashed is taken over.
class TFileLock {
 public:
  TFileLock();
  ~TFileLock();
  TFileLock(const TFileLock&) = delete;
  TFileLock& operator=(const TFileLock&) = delete;

  // Releases what is held, then takes ALockFile unless another run holds
  // it; true when taken.
  bool Lock(const std::string& ALockFile);
  void Unlock();
  bool Locked() const;

 private:
  struct TLock;
  std::unique_ptr<TLock> FLock;
};

// Writes files on a thread of its own, in the order asked, so the user never
// waits for the disk. Each write is safe as SaveToFile's.
class TBackgroundWriter {
 public:
  TBackgroundWriter();
  ~TBackgroundWriter();  // finishes what was asked first
  TBackgroundWriter(const TBackgroundWriter&) = delete;
  TBackgroundWriter& operator=(const TBackgroundWriter&) = delete;

  void Write(const std::string& AFileName, std::string ABytes);
  void Delete(const std::string& AFileName);
  // Returns once everything asked so far is done.
  void Wait();
  // How many writes failed so far.
  int Failures() const;

 private:
  struct TQueue;
  std::unique_ptr<TQueue> FQueue;
};
