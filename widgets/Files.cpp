#include "widgets/Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>
#include <QStandardPaths>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

namespace {
QString ToQ(const std::string& AText) { return QString::fromStdString(AText); }

std::string Megabytes(std::size_t ABytes) {
  return std::to_string((ABytes + (1u << 20) - 1) >> 20) + " MB";
}

// The test seam: a step of SaveToFile made to fail with this error number.
std::atomic<int> FailWriteWith{0};
std::atomic<int> FailSyncWith{0};

std::string Folder(const std::string& AFileName) {
  return QFileInfo(ToQ(AFileName)).absolutePath().toStdString();
}

// What the system calls the error, for the rare cases without plainer words.
std::string SystemWords(int AErrno) {
  if (AErrno == 0) return "the system gave no reason";
  char buffer[256];
  return strerror_r(AErrno, buffer, sizeof buffer);  // GNU's: thread-safe, returns the text
}

bool DiskFull(int AErrno) { return AErrno == ENOSPC || AErrno == EDQUOT; }

// Why a file could not be read, from the error number of the call that
// failed and what the file system says now.
std::string ReadProblem(const std::string& AFileName, int AErrno) {
  const std::string folder = Folder(AFileName);
  struct stat info {};
  switch (AErrno) {
    case ENOENT:
    case ENOTDIR:
      if (::stat(folder.c_str(), &info) != 0 && (errno == ENOENT || errno == ENOTDIR))
        return "its folder no longer exists";
      return "there is no such file";
    case EACCES:
    case EPERM:
      if (::access(folder.c_str(), X_OK) != 0) return "you have no permission to open its folder";
      return "you have no permission to read it";
    case EISDIR:
      return "it is a folder, not a file";
    default:
      return DiskFull(AErrno) ? "the disk is full" : SystemWords(AErrno);
  }
}

// Why a file could not be written: the error number of the call that failed
// first, then what the file system says of the file and its folder now.
std::string WriteProblem(const std::string& AFileName, std::size_t ABytes, int AErrno) {
  static const std::string saveElsewhere = "; save it elsewhere with Save As (Ctrl+Shift+S)";
  if (DiskFull(AErrno)) return "the disk is full";
  const std::string folder = Folder(AFileName);
  struct stat info {};
  if (::stat(folder.c_str(), &info) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return "its folder no longer exists";
    return "you have no permission to open its folder" + saveElsewhere;
  }
  if (!S_ISDIR(info.st_mode)) return "its folder no longer exists";  // a file there now
  if (::stat(AFileName.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
    return "it is a folder, not a file";
  struct statvfs disk {};
  const bool known = ::statvfs(folder.c_str(), &disk) == 0;
  if (AErrno == EROFS || (known && (disk.f_flag & ST_RDONLY) != 0))
    return "the disk it is on can only be read" + saveElsewhere;
  // QSaveFile refuses a file that QFileInfo finds read-only; the system
  // refuses one that is immutable, even to root.
  const QFileInfo file(ToQ(AFileName));
  if (file.exists() && (!file.isWritable() || ::access(AFileName.c_str(), W_OK) != 0))
    return "the file is read-only" + saveElsewhere;
  if (::access(folder.c_str(), W_OK | X_OK) != 0)
    return "its folder cannot be written" + saveElsewhere;
  // A failure without a plainer reason, on a disk without room for the
  // file (or without a free inode): the disk is the cause.
  if (known &&
      (disk.f_bavail * disk.f_frsize < ABytes + 4096 || (disk.f_files > 0 && disk.f_favail == 0)))
    return "the disk is full";
  return SystemWords(AErrno);
}

// Writes all of ABytes to the descriptor; false with errno set if it fails.
bool WriteAll(int AHandle, const std::string& ABytes) {
  if (const int failure = FailWriteWith.load()) {
    errno = failure;
    return false;
  }
  std::size_t done = 0;
  while (done < ABytes.size()) {
    const ssize_t written = ::write(AHandle, ABytes.data() + done, ABytes.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) return false;
    if (written == 0) {
      errno = ENOSPC;
      return false;
    }
    done += static_cast<std::size_t>(written);
  }
  return true;
}

bool SyncToDisk(int AHandle) {
  if (const int failure = FailSyncWith.load()) {
    errno = failure;
    return false;
  }
  return ::fsync(AHandle) == 0;
}
}  // namespace

void FailSaveStepForTests(TSaveStep AStep, int AErrno) {
  (AStep == TSaveStep::Write ? FailWriteWith : FailSyncWith).store(AErrno);
}

bool LoadFromFile(const std::string& AFileName, std::size_t AMaxBytes, std::string& ABytes,
                  std::string& AError) {
  struct stat info {};
  if (::stat(AFileName.c_str(), &info) != 0) {
    AError = ReadProblem(AFileName, errno);
    return false;
  }
  if (S_ISDIR(info.st_mode)) {
    AError = "it is a folder, not a file";
    return false;
  }
  if (static_cast<std::size_t>(info.st_size) > AMaxBytes) {
    AError = "the file is too large (" + Megabytes(static_cast<std::size_t>(info.st_size)) +
             "; at most " + Megabytes(AMaxBytes) + ")";
    return false;
  }
  const int handle = ::open(AFileName.c_str(), O_RDONLY | O_CLOEXEC);
  if (handle < 0) {
    AError = ReadProblem(AFileName, errno);
    return false;
  }
  // Read no more than allowed, even from a file that grows meanwhile.
  std::string bytes(AMaxBytes + 1 < (1u << 16) ? AMaxBytes + 1 : (1u << 16), '\0');
  std::size_t done = 0;
  int failure = 0;
  for (;;) {
    if (done == bytes.size()) {
      if (done > AMaxBytes) break;
      bytes.resize(std::min(AMaxBytes + 1, done * 2));
    }
    const ssize_t got = ::read(handle, bytes.data() + done, bytes.size() - done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) failure = errno;
    if (got <= 0) break;
    done += static_cast<std::size_t>(got);
  }
  ::close(handle);
  if (failure != 0) {
    AError = ReadProblem(AFileName, failure);
    return false;
  }
  if (done > AMaxBytes) {
    AError = "the file is too large (at most " + Megabytes(AMaxBytes) + ")";
    return false;
  }
  bytes.resize(done);
  ABytes = std::move(bytes);
  return true;
}

bool SaveToFile(const std::string& AFileName, const std::string& ABytes, std::string& AError) {
  // Qt's own error is too vague to act on (a full disk is "Unknown error",
  // an unreadable file an OpenError): the reason comes from errno, taken
  // right after the call that failed, and from the file system.
  QSaveFile file(ToQ(AFileName));
  errno = 0;
  if (!file.open(QIODevice::WriteOnly)) {
    AError = WriteProblem(AFileName, ABytes.size(), errno);
    return false;
  }
  // Written and synced here, where the error number is ours to read;
  // commit() then renames the synced temporary over the old file.
  if (!WriteAll(file.handle(), ABytes) || !SyncToDisk(file.handle())) {
    const int failure = errno;
    file.cancelWriting();
    file.commit();  // removes the temporary; the old file is untouched
    AError = WriteProblem(AFileName, ABytes.size(), failure);
    return false;
  }
  errno = 0;
  if (!file.commit()) {
    AError = WriteProblem(AFileName, ABytes.size(), errno);
    return false;
  }
  return true;
}

bool FileExists(const std::string& AFileName) { return QFileInfo::exists(ToQ(AFileName)); }

std::int64_t FileTime(const std::string& AFileName) {
  const QFileInfo info(ToQ(AFileName));
  return info.exists() ? info.lastModified().toMSecsSinceEpoch() : -1;
}

std::string FileStamp(const std::string& AFileName) {
  struct stat info {};
  if (::stat(AFileName.c_str(), &info) != 0) return {};
  return std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino) + ":" +
         std::to_string(info.st_size) + ":" + std::to_string(info.st_mtim.tv_sec) + "." +
         std::to_string(info.st_mtim.tv_nsec);
}

bool DeleteFile(const std::string& AFileName) { return QFile::remove(ToQ(AFileName)); }

std::string ExtractFileName(const std::string& AFileName) {
  return QFileInfo(ToQ(AFileName)).fileName().toStdString();
}

std::string ExpandFileName(const std::string& AFileName) {
  return QFileInfo(ToQ(AFileName)).absoluteFilePath().toStdString();
}

namespace {
// What the program keeps for the user (unsaved work among it) is the user's
// alone to read.
bool MakePrivateFolder(const QString& AFolder) {
  if (!QFileInfo::exists(AFolder) && !QDir().mkpath(AFolder)) return false;
  return QFile::setPermissions(
      AFolder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}
}  // namespace

std::string StateFolder() {
  const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
  MakePrivateFolder(folder);
  return folder.toStdString();
}

bool ForceDirectories(const std::string& AFolder) { return MakePrivateFolder(ToQ(AFolder)); }

std::vector<std::string> FilesIn(const std::string& AFolder, const std::string& APrefix,
                                 const std::string& ASuffix) {
  std::vector<std::string> names;
  const QDir folder(ToQ(AFolder));
  const QString prefix = ToQ(APrefix), suffix = ToQ(ASuffix);
  for (const QFileInfo& info : folder.entryInfoList(QDir::Files | QDir::Hidden)) {
    const QString name = info.fileName();
    if (name.size() >= prefix.size() + suffix.size() && name.startsWith(prefix) &&
        name.endsWith(suffix))
      names.push_back(info.absoluteFilePath().toStdString());
  }
  return names;
}

std::string TimeText(std::int64_t AMilliseconds) {
  return QDateTime::fromMSecsSinceEpoch(AMilliseconds)
      .toLocalTime()
      .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
      .toStdString();
}

// --- TFileLock ------------------------------------------------------------------

struct TFileLock::TLock {
  std::unique_ptr<QLockFile> File;
};

TFileLock::TFileLock() : FLock(std::make_unique<TLock>()) {}
TFileLock::~TFileLock() = default;

bool TFileLock::Lock(const std::string& ALockFile) {
  Unlock();
  auto file = std::make_unique<QLockFile>(ToQ(ALockFile));
  if (!file->tryLock()) return false;
  FLock->File = std::move(file);
  return true;
}

void TFileLock::Unlock() { FLock->File.reset(); }

bool TFileLock::Locked() const { return FLock->File != nullptr; }

// --- TBackgroundWriter -------------------------------------------------------

struct TBackgroundWriter::TQueue {
  struct TJob {
    std::string FileName;
    std::string Bytes;
    bool Delete = false;
  };
  std::mutex Lock;
  std::condition_variable Changed;
  std::deque<TJob> Jobs;
  bool Busy = false;
  bool Stopping = false;
  int Failures = 0;
  std::thread Worker;

  void Run() {
    std::unique_lock<std::mutex> lock(Lock);
    for (;;) {
      Changed.wait(lock, [this] { return Stopping || !Jobs.empty(); });
      if (Jobs.empty()) return;
      TJob job = std::move(Jobs.front());
      Jobs.pop_front();
      Busy = true;
      lock.unlock();
      std::string error;
      const bool done = job.Delete ? (DeleteFile(job.FileName) || !FileExists(job.FileName))
                                   : SaveToFile(job.FileName, job.Bytes, error);
      lock.lock();
      if (!done) ++Failures;
      Busy = false;
      Changed.notify_all();
    }
  }
  void Push(TJob AJob) {
    {
      std::lock_guard<std::mutex> lock(Lock);
      Jobs.push_back(std::move(AJob));
    }
    Changed.notify_all();
  }
};

TBackgroundWriter::TBackgroundWriter() : FQueue(std::make_unique<TQueue>()) {
  FQueue->Worker = std::thread([queue = FQueue.get()] { queue->Run(); });
}

TBackgroundWriter::~TBackgroundWriter() {
  {
    std::lock_guard<std::mutex> lock(FQueue->Lock);
    FQueue->Stopping = true;
  }
  FQueue->Changed.notify_all();
  FQueue->Worker.join();
}

void TBackgroundWriter::Write(const std::string& AFileName, std::string ABytes) {
  FQueue->Push({AFileName, std::move(ABytes), false});
}

void TBackgroundWriter::Delete(const std::string& AFileName) {
  FQueue->Push({AFileName, {}, true});
}

void TBackgroundWriter::Wait() {
  std::unique_lock<std::mutex> lock(FQueue->Lock);
  FQueue->Changed.wait(lock, [this] { return FQueue->Jobs.empty() && !FQueue->Busy; });
}

int TBackgroundWriter::Failures() const {
  std::lock_guard<std::mutex> lock(FQueue->Lock);
  return FQueue->Failures;
}
