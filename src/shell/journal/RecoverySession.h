// The journals of one running copy live in a folder of their own under the
// recovery folder, beside a lock the copy holds for its whole life. The lock
// goes with the process however it ends (a crash, a kill, power loss), so a
// later copy knows which folders belong to nobody any more: their journals
// are what can be recovered.
#pragma once

#include <string>
#include <vector>

// "$XDG_STATE_HOME/korvex-editor/recovery/" (or ~/.local/state/...), with
// the trailing "/".
std::string DefaultRecoveryFolder();

class TRecoverySession {
public:
  // Creates and locks a new session folder under `root` (created as needed).
  // A failure leaves the session inactive: nothing is journaled then.
  explicit TRecoverySession(std::string root);
  // Unlocks and removes the session folder with whatever it still holds.
  ~TRecoverySession();
  TRecoverySession(const TRecoverySession &) = delete;
  TRecoverySession &operator=(const TRecoverySession &) = delete;

  bool Active() const { return lockFd_ >= 0; }
  const std::string &Folder() const { return folder_; }
  const std::string &Root() const { return root_; }
  // A new journal path in this session's folder.
  std::string NewJournalPath();

private:
  std::string root_;
  std::string folder_;
  int lockFd_ = -1;
  unsigned next_ = 0;
};

// A folder left by a copy that no longer runs, locked by this process while
// the object lives (so two copies never recover the same documents).
class TOrphanSession {
public:
  TOrphanSession(std::string folder, int lockFd);
  ~TOrphanSession();
  TOrphanSession(TOrphanSession &&other) noexcept;
  TOrphanSession &operator=(TOrphanSession &&) = delete;
  TOrphanSession(const TOrphanSession &) = delete;

  const std::string &Folder() const { return folder_; }
  // Its journal files, in name order.
  std::vector<std::string> Journals() const;
  // Removes the folder and everything in it.
  void RemoveAll();

private:
  std::string folder_;
  int lockFd_ = -1;
};

// The session folders under `root` whose copy has ended, except `own`.
std::vector<TOrphanSession> FindOrphanSessions(const std::string &root, const std::string &own);
