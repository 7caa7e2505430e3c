// Links between a store's nodes, and each node's attributes and attachment in
// the side table.
#include "NodeArena.h"

#include <cstdio>

template <> void TNodeLink<TLineNode>::LinkOutOfRange() {
  // Only a node from outside the store's arena can get here: a programming
  // error that would corrupt the list if it went on.
  std::fputs("TTextStore: link between nodes of different stores\n", stderr);
  std::abort();
}

// ---------------------------------------------------------------------------
// Attributes and attachments, in the side table; slot 0 means none.

namespace kxnode {

namespace {
std::vector<uint32_t> &FreeSlots() {
  static std::vector<uint32_t> slots;
  return slots;
}
} // namespace

std::vector<TNodeExtras> &ExtrasTable() {
  static std::vector<TNodeExtras> table(1);
  return table;
}

uint32_t AcquireExtras() {
  auto &slots = FreeSlots();
  if (!slots.empty()) {
    const uint32_t i = slots.back();
    slots.pop_back();
    return i;
  }
  auto &table = ExtrasTable();
  if (table.size() >= UINT32_MAX)
    throw std::bad_alloc();
  table.emplace_back();
  return static_cast<uint32_t>(table.size() - 1);
}

void ReleaseExtras(uint32_t index) {
  ExtrasTable()[index] = TNodeExtras{};
  FreeSlots().push_back(index);
}

size_t LiveExtras() {
  return ExtrasTable().size() - 1 - FreeSlots().size();
}

} // namespace kxnode

// A node keeps its slot only while it has attributes or an attachment.
void TLineNode::DropEmptyExtra() {
  const TNodeExtras &e = kxnode::ExtrasTable()[Extra];
  if (!e.Attributes && !e.Attachment) {
    kxnode::ReleaseExtras(Extra);
    Extra = 0;
  }
}

// Attributes live in the node's own arena, after a word holding the size of
// their block: once a text is highlighted every line has them, and a heap
// block each would cost more than the bytes themselves.
namespace {

uint8_t *NewAttributes(const void *node, int length) {
  TTextStore::Pool *pool = TTextStore::Pool::Of(node);
  if (!pool) // a node always lives in an arena; keep going if not
    return new uint8_t[length > 0 ? length : 1]();
  const uint32_t bytes = 4 + (static_cast<uint32_t>(length > 0 ? length : 1) + 3) / 4 * 4;
  auto *block = static_cast<uint8_t *>(pool->Alloc(bytes));
  std::memcpy(block, &bytes, 4);
  std::memset(block + 4, 0, bytes - 4);
  return block + 4;
}

void DeleteAttributes(uint8_t *a) {
  if (!a)
    return;
  TTextStore::Pool *pool = TTextStore::Pool::Of(a);
  if (!pool) {
    delete[] a;
    return;
  }
  uint32_t bytes;
  std::memcpy(&bytes, a - 4, 4);
  pool->Free(a - 4, bytes);
}

} // namespace

uint8_t *TLineNode::AllocAttributes() {
  if (uint8_t *a = Attributes())
    return a;
  uint8_t *a = NewAttributes(this, Length);
  try {
    if (!Extra)
      Extra = kxnode::AcquireExtras();
  } catch (...) {
    DeleteAttributes(a);
    throw;
  }
  return kxnode::ExtrasTable()[Extra].Attributes = a;
}

void TLineNode::FreeAttributes() {
  if (!Extra)
    return;
  TNodeExtras &e = kxnode::ExtrasTable()[Extra];
  DeleteAttributes(e.Attributes);
  e.Attributes = nullptr;
  DropEmptyExtra();
}

void TLineNode::SetAttachment(TLineAttachment *a) {
  if (!Extra) {
    if (!a)
      return;
    Extra = kxnode::AcquireExtras();
  }
  kxnode::ExtrasTable()[Extra].Attachment = a;
  DropEmptyExtra();
}

TLineAttachment *TLineNode::TakeAttachment() {
  TLineAttachment *a = Attachment();
  if (a)
    SetAttachment(nullptr);
  return a;
}

void TLineNode::FreeExtras() {
  if (!Extra)
    return;
  TNodeExtras &e = kxnode::ExtrasTable()[Extra];
  DeleteAttributes(e.Attributes);
  delete e.Attachment;
  kxnode::ReleaseExtras(Extra);
  Extra = 0;
}
