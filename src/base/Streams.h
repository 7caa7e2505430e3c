// Byte streams in the style the editor, the compressor and the stored scheme
// format are written against: Read/Write/Seek over memory or a file.
#pragma once

#include "KorvexError.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream {
public:
  virtual ~TStream() = default;
  // Reads up to count bytes; returns how many were read (0 at end).
  virtual int64_t Read(void *buffer, int64_t count) = 0;
  // Writes up to count bytes; returns how many were written.
  virtual int64_t Write(const void *buffer, int64_t count) = 0;
  // Returns the new position.
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;

  int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
  void SetPosition(int64_t pos) { Seek(pos, TSeekOrigin::soBeginning); }
  virtual int64_t Size();

  // Exactly count bytes or EReadError "Stream read error".
  void ReadBuffer(void *buffer, int64_t count);
  // Exactly count bytes or EWriteError "Stream write error".
  void WriteBuffer(const void *buffer, int64_t count);
  // Copies count bytes from source (all of it from its start when count is 0).
  int64_t CopyFrom(TStream &source, int64_t count);
};

// A growable in-memory stream.
class TMemoryStream : public TStream {
public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::string bytes) : data_(std::move(bytes)) {}
  int64_t Read(void *buffer, int64_t count) override;
  int64_t Write(const void *buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override { return static_cast<int64_t>(data_.size()); }
  void SetSize(int64_t size);
  void Clear() { data_.clear(); pos_ = 0; }

  const std::string &Bytes() const { return data_; }
  std::string &Bytes() { return data_; }
  const char *Memory() const { return data_.data(); }

  void LoadFromFile(const std::string &path);
  void SaveToFile(const std::string &path) const;

private:
  std::string data_;
  int64_t pos_ = 0;
};

// A read-only view over memory owned by someone else.
class TReadOnlyMemoryStream : public TStream {
public:
  TReadOnlyMemoryStream(const void *data, int64_t size)
      : data_(static_cast<const char *>(data)), size_(size) {}
  int64_t Read(void *buffer, int64_t count) override;
  int64_t Write(const void *, int64_t) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override { return size_; }
  const char *Memory() const { return data_; }

private:
  const char *data_;
  int64_t size_;
  int64_t pos_ = 0;
};

enum class TFileMode { fmOpenRead, fmCreate, fmOpenReadWrite };

// A file on disk. Opening failures raise EFOpenError / EFCreateError with the
// platform's reason in the text.
class TFileStream : public TStream {
public:
  TFileStream(const std::string &path, TFileMode mode);
  ~TFileStream() override;
  TFileStream(const TFileStream &) = delete;
  TFileStream &operator=(const TFileStream &) = delete;

  int64_t Read(void *buffer, int64_t count) override;
  int64_t Write(const void *buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  // Flushes and closes; raises EWriteError when buffered data could not be written.
  void Close();
  const std::string &FileName() const { return path_; }

private:
  std::FILE *file_ = nullptr;
  std::string path_;
};

// Whole-file helpers.
bool FileExists(const std::string &path);
std::string ReadWholeFile(const std::string &path); // EFOpenError when it cannot be read
// Writes to a temporary file in the same folder and renames it over path,
// keeping the old file's permissions. Raises EFCreateError / EWriteError with
// the path and the platform's reason; the old file is untouched on failure.
void WriteFileAtomic(const std::string &path, const std::string &bytes);
