// The control's Lines: a string list that holds nothing itself and works only
// through the control's messages. It addresses nodes, so a wrapped line counts
// once per row.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class TCustomSyntaxMemo;
class TStream;

class TSyntaxMemoStrings {
public:
  explicit TSyntaxMemoStrings(TCustomSyntaxMemo *memo) : memo_(memo) {}

  int Count() const;
  std::string Get(int index) const; // at most 4096 characters, without the line break
  std::string operator[](int index) const { return Get(index); }
  void Put(int index, const std::string &s);
  void Insert(int index, const std::string &s);
  void Add(const std::string &s) { Insert(Count(), s); }
  void Delete(int index);
  void Clear();
  void BeginUpdate();
  void EndUpdate();
  int UpdateCount() const { return updateCount_; }

  std::string Text() const;
  void SetText(const std::string &text);
  // Copies the other list in (replaces the text).
  void Assign(const std::vector<std::string> &list);
  void AddStrings(const std::vector<std::string> &list);

  void LoadFromStream(TStream &s);
  void LoadFromFile(const std::string &name);
  void SaveToStream(TStream &s);
  void SaveToFile(const std::string &name);

  // Sent when the text is set through SetText.
  std::function<void(TSyntaxMemoStrings *)> OnChange;

private:
  intptr_t Send(uint32_t msg, intptr_t w = 0, intptr_t l = 0) const;
  TCustomSyntaxMemo *memo_;
  int updateCount_ = 0;
};
