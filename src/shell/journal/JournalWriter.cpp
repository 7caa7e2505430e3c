#include "JournalWriter.h"

#include "JournalRecords.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

bool WriteAll(int fd, const char *p, size_t n) {
  while (n > 0) {
    const ssize_t w = ::write(fd, p, n);
    if (w < 0) {
      if (errno == EINTR)
        continue;
      return false;
    }
    p += w;
    n -= static_cast<size_t>(w);
  }
  return true;
}

} // namespace

TJournalWriter::TJournalWriter() : thread_([this] { Run(); }) {}

TJournalWriter::~TJournalWriter() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  thread_.join();
  for (const auto &f : fds_)
    ::close(f.second);
}

int TJournalWriter::AppendFd(const std::string &path) {
  const auto it = fds_.find(path);
  if (it != fds_.end())
    return it->second;
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  if (fd >= 0)
    fds_[path] = fd;
  return fd;
}

void TJournalWriter::CloseFd(const std::string &path) {
  const auto it = fds_.find(path);
  if (it == fds_.end())
    return;
  ::close(it->second);
  fds_.erase(it);
}

void TJournalWriter::Push(TJob job) {
  bool wake;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    wake = job.kind != TJob::kAppend || idleSleep_;
    jobs_.push_back(std::move(job));
  }
  if (wake)
    wake_.notify_one();
}

void TJournalWriter::Replace(std::string path, std::string head, std::string text,
                             std::string tail) {
  Push({TJob::kReplace, std::move(path), std::move(head), std::move(text), std::move(tail), {}});
}

void TJournalWriter::Append(std::string path, std::string bytes) {
  Push({TJob::kAppend, std::move(path), {}, {}, std::move(bytes), {}});
}

void TJournalWriter::Remove(std::string path) {
  Push({TJob::kRemove, std::move(path), {}, {}, {}, {}});
}

void TJournalWriter::Then(std::function<void()> f) {
  Push({TJob::kCall, {}, {}, {}, {}, std::move(f)});
}

void TJournalWriter::Drain() {
  wake_.notify_one();
  std::unique_lock<std::mutex> lock(mutex_);
  idle_.wait(lock, [this] { return jobs_.empty() && !busy_; });
}

std::string TJournalWriter::LastError() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lastError_;
}

unsigned long TJournalWriter::Completed() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return completed_;
}

void TJournalWriter::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    const TClock::time_point now = TClock::now();
    const bool typing = now - lastAppend_ < std::chrono::milliseconds(2 * SyncIntervalMs);
    if (unsynced_.empty() && !typing) {
      idleSleep_ = true;
      wake_.wait(lock, [this] { return stop_ || !jobs_.empty(); });
      idleSleep_ = false;
    } else {
      TClock::time_point due = typing ? now + std::chrono::milliseconds(PollMs)
                                      : TClock::time_point::max();
      for (const auto &u : unsynced_)
        due = std::min(due, u.second);
      wake_.wait_until(lock, due, [this] { return stop_ || !jobs_.empty(); });
    }
    if (jobs_.empty()) {
      lock.unlock();
      SyncDue(stop_);
      lock.lock();
      if (stop_ && unsynced_.empty())
        return;
      continue;
    }
    TJob job = std::move(jobs_.front());
    jobs_.pop_front();
    // Appends to one journal that queued up while the disk was busy go out
    // in one write.
    while (job.kind == TJob::kAppend && !jobs_.empty() && jobs_.front().kind == TJob::kAppend &&
           jobs_.front().path == job.path) {
      job.tail += jobs_.front().tail;
      jobs_.pop_front();
      ++completed_;
    }
    busy_ = true;
    lock.unlock();
    Do(job);
    lock.lock();
    busy_ = false;
    ++completed_;
    if (jobs_.empty())
      idle_.notify_all();
  }
}

void TJournalWriter::SyncDue(bool all) {
  const TClock::time_point now = TClock::now();
  for (auto it = unsynced_.begin(); it != unsynced_.end();) {
    if (!all && it->second > now) {
      ++it;
      continue;
    }
    const int fd = AppendFd(it->first);
    if (fd >= 0 && ::fdatasync(fd) != 0)
      Fail("cannot flush", it->first);
    lastSync_[it->first] = now;
    it = unsynced_.erase(it);
  }
}

void TJournalWriter::Fail(const std::string &what, const std::string &path) {
  const std::string reason = what + " " + path + ": " + std::strerror(errno);
  std::lock_guard<std::mutex> lock(mutex_);
  lastError_ = reason;
}

void TJournalWriter::Do(TJob &job) {
  using namespace kxjournal;
  switch (job.kind) {
  case TJob::kCall:
    if (job.call)
      job.call();
    return;
  case TJob::kRemove:
    CloseFd(job.path);
    unsynced_.erase(job.path);
    lastSync_.erase(job.path);
    if (::unlink(job.path.c_str()) != 0 && errno != ENOENT)
      Fail("cannot remove", job.path);
    return;
  case TJob::kAppend: {
    lastAppend_ = TClock::now();
    const int fd = AppendFd(job.path);
    if (fd < 0) {
      Fail("cannot open", job.path);
      return;
    }
    if (!WriteAll(fd, job.tail.data(), job.tail.size())) {
      Fail("cannot write", job.path);
    } else if (!unsynced_.count(job.path)) {
      const TClock::time_point now = TClock::now();
      const auto last = lastSync_.find(job.path);
      const auto interval = std::chrono::milliseconds(SyncIntervalMs);
      if (last == lastSync_.end() || now - last->second >= interval) {
        if (::fdatasync(fd) != 0)
          Fail("cannot flush", job.path);
        lastSync_[job.path] = now;
      } else {
        unsynced_[job.path] = last->second + interval;
      }
    }
    return;
  }
  case TJob::kReplace: {
    const std::string temp = job.path + ".new";
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
      Fail("cannot create", temp);
      return;
    }
    // The snapshot's frame: type and length, the text, then the CRC of all.
    std::string frame(1, static_cast<char>(TRecordType::Snapshot));
    const auto len = static_cast<uint32_t>(job.text.size());
    for (int i = 0; i < 4; ++i)
      frame.push_back(static_cast<char>((len >> (8 * i)) & 0xFF));
    const uint32_t crc = Crc32(job.text.data(), job.text.size(), Crc32(frame.data(), frame.size()));
    std::string crcBytes;
    for (int i = 0; i < 4; ++i)
      crcBytes.push_back(static_cast<char>((crc >> (8 * i)) & 0xFF));
    const bool ok = WriteAll(fd, job.head.data(), job.head.size()) &&
                    WriteAll(fd, frame.data(), frame.size()) &&
                    WriteAll(fd, job.text.data(), job.text.size()) &&
                    WriteAll(fd, crcBytes.data(), crcBytes.size()) &&
                    WriteAll(fd, job.tail.data(), job.tail.size()) && ::fdatasync(fd) == 0;
    ::close(fd);
    if (!ok) {
      Fail("cannot write", temp);
      ::unlink(temp.c_str());
      return;
    }
    // The open descriptor is of the file being replaced.
    CloseFd(job.path);
    unsynced_.erase(job.path);
    lastSync_[job.path] = TClock::now();
    if (::rename(temp.c_str(), job.path.c_str()) != 0) {
      Fail("cannot rename", temp);
      ::unlink(temp.c_str());
    }
    // The text can be large: give its memory back now, not with the next job.
    std::string().swap(job.text);
    return;
  }
  }
}
