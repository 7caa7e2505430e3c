// System clipboard and the Windows-1252 mapping of the editor's bytes.
#include "QtClipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <array>

namespace {

// 0x80..0x9F of Windows-1252; the five unassigned bytes keep their code.
constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

const char *MimeOf(TClipFormat f) {
  switch (f) {
  case TClipFormat::cfRTF:
    return "text/rtf";
  case TClipFormat::cfHTML:
    return "text/html";
  default:
    return "text/plain";
  }
}

} // namespace

QChar Cp1252Char(unsigned char b) {
  if (b >= 0x80 && b < 0xA0)
    return QChar(kHigh[b - 0x80]);
  return QChar(static_cast<char16_t>(b));
}

QString FromCp1252(const char *bytes, size_t n) {
  QString s;
  s.resize(static_cast<qsizetype>(n));
  QChar *d = s.data();
  for (size_t i = 0; i < n; ++i)
    d[i] = Cp1252Char(static_cast<unsigned char>(bytes[i]));
  return s;
}

std::string ToCp1252(const QString &text) {
  std::string out;
  out.reserve(static_cast<size_t>(text.size()));
  for (QChar c : text) {
    const char16_t u = c.unicode();
    if (u < 0x80 || (u >= 0xA0 && u < 0x100)) {
      out += static_cast<char>(u);
      continue;
    }
    char b = '?';
    for (size_t i = 0; i < kHigh.size(); ++i)
      if (kHigh[i] == u) {
        b = static_cast<char>(0x80 + i);
        break;
      }
    out += b;
  }
  return out;
}

void TQtClipboard::SetContents(const std::vector<std::pair<TClipFormat, std::string>> &data) {
  auto *mime = new QMimeData;
  for (const auto &[format, bytes] : data) {
    if (format == TClipFormat::cfText)
      mime->setText(FromCp1252(bytes));
    else
      mime->setData(MimeOf(format), QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
  }
  QGuiApplication::clipboard()->setMimeData(mime);
}

bool TQtClipboard::HasFormat(TClipFormat f) const {
  const QMimeData *m = QGuiApplication::clipboard()->mimeData();
  if (!m)
    return false;
  return f == TClipFormat::cfText ? m->hasText() : m->hasFormat(MimeOf(f));
}

std::string TQtClipboard::GetData(TClipFormat f) const {
  const QMimeData *m = QGuiApplication::clipboard()->mimeData();
  if (!m)
    return {};
  if (f == TClipFormat::cfText)
    return m->hasText() ? ToCp1252(m->text()) : std::string();
  const QByteArray b = m->data(MimeOf(f));
  return std::string(b.constData(), static_cast<size_t>(b.size()));
}
