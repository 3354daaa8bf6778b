#include "widgets/Files.h"

#include <sys/stat.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>
#include <QStandardPaths>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace {
QString ToQ(const std::string& AText) { return QString::fromStdString(AText); }

std::string Megabytes(std::size_t ABytes) {
  return std::to_string((ABytes + (1u << 20) - 1) >> 20) + " MB";
}
}  // namespace

bool LoadFromFile(const std::string& AFileName, std::size_t AMaxBytes, std::string& ABytes,
                  std::string& AError) {
  const QFileInfo info(ToQ(AFileName));
  if (!info.exists()) {
    AError = "there is no such file";
    return false;
  }
  if (info.isDir()) {
    AError = "it is a folder, not a file";
    return false;
  }
  if (static_cast<std::size_t>(info.size()) > AMaxBytes) {
    AError = "the file is too large (" + Megabytes(static_cast<std::size_t>(info.size())) +
             "; at most " + Megabytes(AMaxBytes) + ")";
    return false;
  }
  QFile file(ToQ(AFileName));
  if (!file.open(QIODevice::ReadOnly)) {
    AError = file.error() == QFileDevice::PermissionsError ? "you have no permission to read it"
                                                           : file.errorString().toStdString();
    return false;
  }
  // Read no more than allowed, even from a file that grows meanwhile.
  const QByteArray bytes = file.read(static_cast<qint64>(AMaxBytes) + 1);
  if (file.error() != QFileDevice::NoError) {
    AError = file.errorString().toStdString();
    return false;
  }
  if (static_cast<std::size_t>(bytes.size()) > AMaxBytes) {
    AError = "the file is too large (at most " + Megabytes(AMaxBytes) + ")";
    return false;
  }
  ABytes.assign(bytes.constData(), static_cast<std::size_t>(bytes.size()));
  return true;
}

bool SaveToFile(const std::string& AFileName, const std::string& ABytes, std::string& AError) {
  QSaveFile file(ToQ(AFileName));
  if (!file.open(QIODevice::WriteOnly)) {
    AError = file.error() == QFileDevice::PermissionsError
                 ? "you have no permission to write in its folder"
                 : file.errorString().toStdString();
    return false;
  }
  const auto size = static_cast<qint64>(ABytes.size());
  if (file.write(ABytes.data(), size) != size) {
    AError = file.errorString().toStdString();
    file.cancelWriting();
    return false;
  }
  // Flushed and synced to the disk, then renamed over the old file.
  if (!file.commit()) {
    AError = file.errorString().toStdString();
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

std::string StateFolder() {
  const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
  QDir().mkpath(folder);
  return folder.toStdString();
}

bool ForceDirectories(const std::string& AFolder) { return QDir().mkpath(ToQ(AFolder)); }

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
      .toString(QStringLiteral("yyyy-MM-dd HH:mm"))
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
