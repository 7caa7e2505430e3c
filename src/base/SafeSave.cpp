#include "SafeSave.h"

#include "KorvexError.h"
#include "Streams.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string Reason(int err) {
  return std::strerror(err);
}

// A write-only stream over a descriptor that names the file in its errors.
class TDescriptorStream : public TStream {
public:
  TDescriptorStream(int fd, std::string name) : fd_(fd), name_(std::move(name)) {}
  int64_t Read(void *, int64_t) override { return 0; }
  int64_t Write(const void *buffer, int64_t count) override {
    const char *p = static_cast<const char *>(buffer);
    int64_t done = 0;
    while (done < count) {
      const ssize_t n = ::write(fd_, p + done, static_cast<size_t>(count - done));
      if (n < 0) {
        if (errno == EINTR)
          continue;
        throw EWriteError("Cannot write file \"" + name_ + "\". " + Reason(errno));
      }
      done += n;
    }
    return count;
  }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override {
    const int whence = origin == TSeekOrigin::soBeginning ? SEEK_SET
                       : origin == TSeekOrigin::soCurrent ? SEEK_CUR
                                                          : SEEK_END;
    const off_t at = ::lseek(fd_, static_cast<off_t>(offset), whence);
    if (at < 0)
      throw EWriteError("Cannot write file \"" + name_ + "\". " + Reason(errno));
    if (origin == TSeekOrigin::soBeginning && ::ftruncate(fd_, at) != 0)
      throw EWriteError("Cannot write file \"" + name_ + "\". " + Reason(errno));
    return at;
  }

private:
  int fd_;
  std::string name_;
};

std::string FolderOf(const std::string &path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos)
    return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

void SaveFileSafely(const std::string &path, const std::function<void(TStream &)> &write,
                    bool flushToDisk) {
  TSafeSaveOptions options;
  options.FlushToDisk = flushToDisk;
  SaveFileSafely(path, write, options);
}

void SaveFileSafely(const std::string &path, const std::function<void(TStream &)> &write,
                    const TSafeSaveOptions &options) {
  const bool flushToDisk = options.FlushToDisk;
  std::string target = path;
  std::error_code ec;
  if (options.FollowLink && std::filesystem::is_symlink(path, ec)) {
    const auto real = std::filesystem::weakly_canonical(path, ec);
    if (!ec)
      target = real.string();
  }
  const std::string dir = FolderOf(target);
  const auto slash = target.find_last_of('/');
  const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  std::string tmp = dir + "/." + base + ".XXXXXX";
  const int fd = ::mkstemp(tmp.data());
  if (fd < 0)
    throw EFCreateError("Cannot create file \"" + path + "\". " + Reason(errno));
  auto fail = [&](const std::string &why) {
    ::close(fd);
    ::unlink(tmp.c_str());
    throw EWriteError("Cannot write file \"" + path + "\". " + why);
  };
  struct stat st {};
  if (options.Mode >= 0) {
    ::fchmod(fd, static_cast<mode_t>(options.Mode) & 07777);
  } else if (::stat(target.c_str(), &st) == 0) {
    ::fchmod(fd, st.st_mode & 07777);
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
  }
  try {
    TDescriptorStream stream(fd, path);
    write(stream);
  } catch (const EKorvexError &e) {
    const std::string what = e.what();
    if (what.rfind("Cannot ", 0) == 0) { // already names the file and the reason
      ::close(fd);
      ::unlink(tmp.c_str());
      throw;
    }
    fail(what);
  } catch (...) {
    ::close(fd);
    ::unlink(tmp.c_str());
    throw;
  }
  if (flushToDisk && ::fsync(fd) != 0)
    fail(Reason(errno));
  if (::close(fd) != 0) {
    const int err = errno;
    ::unlink(tmp.c_str());
    throw EWriteError("Cannot write file \"" + path + "\". " + Reason(err));
  }
  if (::rename(tmp.c_str(), target.c_str()) != 0) {
    const int err = errno;
    ::unlink(tmp.c_str());
    throw EWriteError("Cannot write file \"" + path + "\". " + Reason(err));
  }
  if (!flushToDisk)
    return;
  // The rename itself reaches the disk with the folder.
  const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY);
  if (dfd >= 0) {
    ::fsync(dfd);
    ::close(dfd);
  }
}

namespace {

void CopyWithOptions(const std::string &source, const std::string &target, bool asBackup) {
  const int in = ::open(source.c_str(), O_RDONLY);
  if (in < 0)
    throw EFOpenError("Cannot open file \"" + source + "\". " + Reason(errno));
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{in};
  struct stat st {};
  const bool known = ::fstat(in, &st) == 0;
  if (known && S_ISDIR(st.st_mode))
    throw EFOpenError("Cannot open file \"" + source + "\". " + Reason(EISDIR));
  TSafeSaveOptions options;
  if (asBackup) {
    options.FollowLink = false;
    if (known)
      options.Mode = static_cast<int>(st.st_mode & 07777);
  }
  SaveFileSafely(
      target,
      [&](TStream &out) {
        char buf[1 << 16];
        while (true) {
          const ssize_t n = ::read(in, buf, sizeof buf);
          if (n < 0) {
            if (errno == EINTR)
              continue;
            throw EReadError("Cannot read file \"" + source + "\". " + Reason(errno));
          }
          if (n == 0)
            break;
          out.WriteBuffer(buf, n);
        }
      },
      options);
}

} // namespace

void CopyFileSafely(const std::string &source, const std::string &target) {
  CopyWithOptions(source, target, false);
}

void BackupFileSafely(const std::string &source, const std::string &target) {
  CopyWithOptions(source, target, true);
}
