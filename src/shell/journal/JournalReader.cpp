#include "JournalReader.h"

#include "JournalRecords.h"
#include "TextStore.h"

#include <cstdio>
#include <cstring>

using namespace kxjournal;

namespace {

// Stored text holds no LF and no control byte but TAB and CR; a journal that
// says otherwise is put right rather than trusted to keep the store sound.
std::string Stored(const char *p, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    const auto c = static_cast<unsigned char>(p[i]);
    if (c < 32 && c != 9 && c != 13)
      return NormaliseText(p, n);
  }
  return std::string(p, n);
}

} // namespace

TRecoveredJournal ReadJournal(const char *data, size_t size) {
  TRecoveredJournal r;
  r.TotalBytes = size;
  size_t at = 0;
  auto lostFrom = [&](size_t offset) { r.LostBytes = size - offset; };
  if (size < Magic.size() || std::memcmp(data, Magic.data(), Magic.size()) != 0) {
    lostFrom(0);
    return r;
  }
  at = Magic.size();
  bool header = false;
  while (at < size) {
    if (size - at < RecordOverhead) {
      lostFrom(at);
      break;
    }
    const auto type = static_cast<TRecordType>(static_cast<unsigned char>(data[at]));
    const uint32_t len = GetU32(data + at + 1);
    if (len > size - at - RecordOverhead) {
      lostFrom(at);
      break;
    }
    const char *payload = data + at + 5;
    if (Crc32(data + at, 5 + size_t(len)) != GetU32(payload + len)) {
      lostFrom(at);
      break;
    }
    bool ok = true;
    switch (type) {
    case TRecordType::Header:
      ok = !header && len >= 8;
      if (ok) {
        header = true;
        r.CreatedMs = GetI64(payload);
        r.FileName.assign(payload + 8, len - 8);
      }
      break;
    case TRecordType::Snapshot:
      ok = header && !r.Text;
      if (ok) {
        r.Text = std::make_unique<TTextStore>();
        const std::string text = Stored(payload, len);
        r.Text->Append(text.data(), text.size());
        r.Usable = true;
      }
      break;
    case TRecordType::Insert:
      ok = r.Text && len >= 8;
      if (ok) {
        const int64_t pos = GetI64(payload);
        ok = pos >= 0 && pos <= r.Text->CharCount();
        if (ok) {
          const std::string text = Stored(payload + 8, len - 8);
          for (size_t done = 0; done < text.size(); done += kInsertPiece)
            r.Text->InsertNormalised(pos + static_cast<int64_t>(done), text.data() + done,
                                     std::min<size_t>(kInsertPiece, text.size() - done));
          ++r.EditsApplied;
        }
      }
      break;
    case TRecordType::Delete:
      ok = r.Text && len == 16;
      if (ok) {
        const int64_t pos = GetI64(payload), count = GetI64(payload + 8);
        ok = pos >= 0 && count > 0 && pos <= r.Text->CharCount() &&
             count <= r.Text->CharCount() - pos;
        if (ok) {
          r.Text->Delete(pos, count);
          ++r.EditsApplied;
        }
      }
      break;
    case TRecordType::Mark:
      ok = len == 32;
      if (ok)
        r.Mark = {GetI64(payload), GetI64(payload + 8), GetI64(payload + 16),
                  GetI64(payload + 24)};
      break;
    default:
      ok = false;
    }
    if (!ok) {
      lostFrom(at);
      break;
    }
    at += RecordOverhead + len;
  }
  return r;
}

TRecoveredJournal ReadJournalFile(const std::string &path) {
  std::FILE *f = std::fopen(path.c_str(), "rb");
  if (!f)
    return {};
  std::string bytes;
  if (std::fseek(f, 0, SEEK_END) == 0) {
    const long n = std::ftell(f);
    if (n > 0) {
      std::fseek(f, 0, SEEK_SET);
      try {
        bytes.resize(static_cast<size_t>(n));
      } catch (const std::bad_alloc &) {
        std::fclose(f);
        return {};
      }
      bytes.resize(std::fread(bytes.data(), 1, bytes.size(), f));
    }
  }
  std::fclose(f);
  return ReadJournal(bytes.data(), bytes.size());
}
