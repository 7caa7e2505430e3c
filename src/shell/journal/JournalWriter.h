// One thread that does every file operation of the journals in the order it
// was asked for: writing a fresh journal (its text snapshot framed and
// checked here, off the editor's thread), appending records, removing a
// journal. The editor's thread only hands over bytes and never waits for the
// disk, except when it asks to (Drain). Appends reach the file at once and
// the disk within SyncIntervalMs: a flush to the disk stalls file access of
// the whole program, so one journal is flushed at most that often. While
// appends keep coming the thread looks for them every PollMs instead of being
// woken for each, so typing never hands its time slice to the writer.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <thread>

class TJournalWriter {
public:
  TJournalWriter();
  // Finishes every job asked for, then ends the thread.
  ~TJournalWriter();
  TJournalWriter(const TJournalWriter &) = delete;
  TJournalWriter &operator=(const TJournalWriter &) = delete;

  // Writes `head`, a snapshot record of `text` and `tail` to a temporary file
  // that replaces `path` once it is on the disk.
  void Replace(std::string path, std::string head, std::string text, std::string tail);
  // Appends bytes to `path` and flushes them to the disk.
  void Append(std::string path, std::string bytes);
  // Removes `path`; a missing file is no error.
  void Remove(std::string path);
  // Runs `f` on the writer's thread after the jobs asked for before it.
  void Then(std::function<void()> f);
  // Waits until every job asked for so far is done.
  void Drain();

  // The reason of the last failed operation, or empty.
  std::string LastError() const;
  // Jobs finished so far (a test waits on it for a flush to be on disk).
  unsigned long Completed() const;

  static constexpr int SyncIntervalMs = 1000;
  static constexpr int PollMs = 100;

private:
  struct TJob {
    enum Kind { kReplace, kAppend, kRemove, kCall } kind;
    std::string path, head, text, tail;
    std::function<void()> call;
  };
  void Push(TJob job);
  void Run();
  void Do(TJob &job);
  void Fail(const std::string &what, const std::string &path);
  // Flushes every appended journal whose time has come (all with `all`).
  void SyncDue(bool all);

  using TClock = std::chrono::steady_clock;
  // Writer thread only: when each journal was last flushed, and the ones
  // written since.
  std::map<std::string, TClock::time_point> lastSync_;
  std::map<std::string, TClock::time_point> unsynced_;
  // Open journals, kept open between appends (writer thread only).
  std::map<std::string, int> fds_;
  TClock::time_point lastAppend_{};
  int AppendFd(const std::string &path);
  void CloseFd(const std::string &path);

  mutable std::mutex mutex_;
  std::condition_variable wake_, idle_;
  std::deque<TJob> jobs_;
  bool busy_ = false;
  bool idleSleep_ = false; // the thread waits for a wake-up, not polling
  bool stop_ = false;
  unsigned long completed_ = 0;
  std::string lastError_;
  std::thread thread_;
};
