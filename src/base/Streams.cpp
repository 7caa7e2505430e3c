// Byte streams over memory and files, and the atomic whole-file write.
#include "Streams.h"

#include "SafeSave.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>

int64_t TStream::Size() {
  const int64_t pos = Position();
  const int64_t size = Seek(0, TSeekOrigin::soEnd);
  Seek(pos, TSeekOrigin::soBeginning);
  return size;
}

void TStream::ReadBuffer(void *buffer, int64_t count) {
  if (count != 0 && Read(buffer, count) != count)
    throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void *buffer, int64_t count) {
  if (count != 0 && Write(buffer, count) != count)
    throw EWriteError("Stream write error");
}

int64_t TStream::CopyFrom(TStream &source, int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  char buf[65536];
  int64_t left = count;
  while (left > 0) {
    const int64_t n = std::min<int64_t>(left, sizeof buf);
    source.ReadBuffer(buf, n);
    WriteBuffer(buf, n);
    left -= n;
  }
  return count;
}

int64_t TMemoryStream::Read(void *buffer, int64_t count) {
  if (count <= 0 || pos_ >= Size())
    return 0;
  const int64_t n = std::min(count, Size() - pos_);
  std::memcpy(buffer, data_.data() + pos_, static_cast<size_t>(n));
  pos_ += n;
  return n;
}

int64_t TMemoryStream::Write(const void *buffer, int64_t count) {
  if (count <= 0)
    return 0;
  const auto end = static_cast<size_t>(pos_ + count);
  if (end > data_.size())
    data_.resize(end);
  std::memcpy(data_.data() + pos_, buffer, static_cast<size_t>(count));
  pos_ += count;
  return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
  switch (origin) {
  case TSeekOrigin::soBeginning: pos_ = offset; break;
  case TSeekOrigin::soCurrent: pos_ += offset; break;
  case TSeekOrigin::soEnd: pos_ = Size() + offset; break;
  }
  pos_ = std::max<int64_t>(pos_, 0);
  return pos_;
}

void TMemoryStream::SetSize(int64_t size) {
  data_.resize(static_cast<size_t>(std::max<int64_t>(size, 0)));
  pos_ = std::min(pos_, Size());
}

void TMemoryStream::LoadFromFile(const std::string &path) {
  data_ = ReadWholeFile(path);
  pos_ = 0;
}

void TMemoryStream::SaveToFile(const std::string &path) const {
  TFileStream f(path, TFileMode::fmCreate);
  f.WriteBuffer(data_.data(), static_cast<int64_t>(data_.size()));
  f.Close();
}

int64_t TReadOnlyMemoryStream::Read(void *buffer, int64_t count) {
  if (count <= 0 || pos_ >= size_)
    return 0;
  const int64_t n = std::min(count, size_ - pos_);
  std::memcpy(buffer, data_ + pos_, static_cast<size_t>(n));
  pos_ += n;
  return n;
}

int64_t TReadOnlyMemoryStream::Write(const void *, int64_t) {
  throw EStreamError("Cannot write to a read-only stream");
}

int64_t TReadOnlyMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
  switch (origin) {
  case TSeekOrigin::soBeginning: pos_ = offset; break;
  case TSeekOrigin::soCurrent: pos_ += offset; break;
  case TSeekOrigin::soEnd: pos_ = size_ + offset; break;
  }
  pos_ = std::max<int64_t>(pos_, 0);
  return pos_;
}

TFileStream::TFileStream(const std::string &path, TFileMode mode) : path_(path) {
  const char *how = mode == TFileMode::fmOpenRead ? "rb" : mode == TFileMode::fmCreate ? "wb" : "r+b";
  file_ = std::fopen(path.c_str(), how);
  if (!file_) {
    const std::string reason = std::strerror(errno);
    if (mode == TFileMode::fmCreate)
      throw EFCreateError("Cannot create file \"" + path + "\". " + reason);
    throw EFOpenError("Cannot open file \"" + path + "\". " + reason);
  }
}

TFileStream::~TFileStream() {
  if (file_)
    std::fclose(file_);
}

int64_t TFileStream::Read(void *buffer, int64_t count) {
  if (count <= 0 || !file_)
    return 0;
  return static_cast<int64_t>(std::fread(buffer, 1, static_cast<size_t>(count), file_));
}

int64_t TFileStream::Write(const void *buffer, int64_t count) {
  if (count <= 0 || !file_)
    return 0;
  return static_cast<int64_t>(std::fwrite(buffer, 1, static_cast<size_t>(count), file_));
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
  if (!file_)
    return 0;
  const int whence = origin == TSeekOrigin::soBeginning ? SEEK_SET
                     : origin == TSeekOrigin::soCurrent ? SEEK_CUR
                                                        : SEEK_END;
  if (fseeko(file_, offset, whence) != 0)
    return ftello(file_);
  return ftello(file_);
}

void TFileStream::Close() {
  if (!file_)
    return;
  const bool ok = std::fflush(file_) == 0 && !std::ferror(file_);
  const int err = errno;
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  if (!ok || !closed)
    throw EWriteError("Cannot write file \"" + path_ + "\". " + std::strerror(ok ? errno : err));
}

bool FileExists(const std::string &path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string ReadWholeFile(const std::string &path) {
  std::FILE *f = std::fopen(path.c_str(), "rb");
  if (!f)
    throw EFOpenError("Cannot open file \"" + path + "\". " + std::strerror(errno));
  std::string out;
  char buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
    out.append(buf, n);
  const bool bad = std::ferror(f) != 0;
  const int err = errno;
  std::fclose(f);
  if (bad)
    throw EReadError("Cannot read file \"" + path + "\". " + std::strerror(err));
  return out;
}

void WriteFileAtomic(const std::string &path, const std::string &bytes) {
  SaveFileSafely(path, [&](TStream &s) { s.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size())); });
}
