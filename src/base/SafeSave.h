// Writes that replace a user's file: the new bytes go to a temporary file in
// the same folder, are flushed to the disk, and the temporary file is renamed
// over the old one. A failure at any point (full disk, size limit, read-only
// folder, the process killed) leaves the old file whole.
#pragma once

#include <functional>
#include <string>

class TStream;

// Raises EWriteError / EFCreateError naming the file and the platform's
// reason. The file keeps its permissions; a symbolic link keeps pointing at
// the file it names, which is the one replaced. With flushToDisk false the
// new bytes are left to the system's cache like any plain write, for callers
// that only promise what a plain file write promises.
void SaveFileSafely(const std::string &path, const std::function<void(TStream &)> &write,
                    bool flushToDisk = true);

// How a safe save treats what it replaces.
struct TSafeSaveOptions {
  bool FlushToDisk = true;
  // A symbolic link at the path: true writes the file it names; false
  // replaces the link itself with a plain file.
  bool FollowLink = true;
  // Permission bits of the new file; negative keeps those of the file
  // replaced (or the defaults of a new file).
  int Mode = -1;
};
void SaveFileSafely(const std::string &path, const std::function<void(TStream &)> &write,
                    const TSafeSaveOptions &options);

// Copies source to target through SaveFileSafely. Raises EFOpenError naming
// source when it cannot be read.
void CopyFileSafely(const std::string &source, const std::string &target);

// The backup copy of a document: like CopyFileSafely, but the copy gets the
// source's permission bits (a private file's backup stays private) and a
// symbolic link standing at target is replaced, never written through.
void BackupFileSafely(const std::string &source, const std::string &target);
