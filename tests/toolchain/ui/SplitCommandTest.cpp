// The toolkit-free word splitter against QProcess::splitCommand itself, on
// random command lines made of the characters that matter to it.
#include "CommandLines.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QStringList>

#include <random>

namespace {

TEST(SplitCommand, RandomLinesSplitAsQProcessSplitsThem) {
  std::mt19937 rng(12);
  const char alphabet[] = "ab \"\"\"\t%-'\\x";
  for (int round = 0; round < 20000; ++round) {
    std::string line(rng() % 16, ' ');
    for (char &c : line)
      c = alphabet[rng() % (sizeof alphabet - 1)];
    const QStringList expected = QProcess::splitCommand(QString::fromLatin1(line));
    std::vector<std::string> want;
    for (const QString &w : expected)
      want.push_back(w.toStdString());
    ASSERT_EQ(SplitCommandWords(line), want) << "[" << line << "]";
  }
}

} // namespace
