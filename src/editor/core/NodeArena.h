// The node arena of a text store: one reserved address range per store, from
// which every line node of that store is carved.
#pragma once

#include "TextStore.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

// ---------------------------------------------------------------------------
// Node arena: every node of a store is carved from one reserved address range
// of the store's own, which is what lets a link be a 4-byte distance. The range
// is only reserved (no memory behind it) and is committed in steps as the text
// grows; nodes come in 4-byte size classes with a free list per class, so a
// store of millions of short lines costs no per-allocation overhead, and the
// whole range goes back to the system when the text is cleared.

struct TTextStore::Pool {
  static constexpr size_t kGrain = 4;
  // Links reach +-8 GB, so no range may be larger than that.
  static constexpr size_t kMaxReserve = size_t(8) << 30;
  static constexpr size_t kMinReserve = size_t(16) << 20;
  static constexpr size_t kCommitStep = size_t(1) << 20;
  static constexpr size_t kHugeFrom = size_t(4) << 20; // a multiple of the huge page

  char *base = nullptr;
  size_t reserved = 0, committed = 0, used = 0;
  bool huge = false;
  std::vector<void *> freeLists;

  Pool() = default;
  Pool(const Pool &) = delete;
  Pool &operator=(const Pool &) = delete;
  ~Pool() {
    if (base) {
      Unregister(this);
      munmap(base, reserved);
    }
  }

  // Every arena's range, so that a node's own memory can be found from its
  // address (a node does not know its store).
  static std::vector<Pool *> &Registry() {
    static std::vector<Pool *> pools;
    return pools;
  }
  static Pool *&LastFound() {
    static Pool *last = nullptr;
    return last;
  }
  static void Unregister(Pool *p) {
    auto &r = Registry();
    r.erase(std::remove(r.begin(), r.end(), p), r.end());
    if (LastFound() == p)
      LastFound() = nullptr;
  }
  bool Holds(uintptr_t a) const { return a - reinterpret_cast<uintptr_t>(base) < reserved; }
  static Pool *Of(const void *address) {
    const auto a = reinterpret_cast<uintptr_t>(address);
    Pool *&last = LastFound(); // a highlighting pass asks for one store's lines in a row
    if (last && last->Holds(a))
      return last;
    for (Pool *p : Registry())
      if (p->Holds(a))
        return last = p;
    return nullptr;
  }

  void Reserve() {
    // Address space may be limited (ulimit -v); settle for less if it is.
    for (size_t size = kMaxReserve; size >= kMinReserve; size /= 2) {
      void *p = mmap(nullptr, size, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
      if (p != MAP_FAILED) {
        base = static_cast<char *>(p);
        reserved = size;
        Registry().push_back(this);
        return;
      }
    }
    throw std::bad_alloc();
  }

  void Commit(size_t need) {
    static const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    size_t want = std::max(need, committed + std::max(kCommitStep, committed / 8));
    want = (want + page - 1) / page * page;
    want = std::min(want, reserved);
    if (want < need || mprotect(base + committed, want - committed, PROT_READ | PROT_WRITE) != 0)
      throw std::bad_alloc();
    committed = want;
    // A large text gets huge pages beyond its first few megabytes: a tenth
    // of the page faults while loading and of the TLB misses while walking
    // the list. Small texts (most tabs) stay on small pages, where a huge
    // page would be mostly empty.
    if (!huge && committed >= kHugeFrom) {
      huge = true;
#ifdef MADV_HUGEPAGE
      madvise(base + kHugeFrom, reserved - kHugeFrom, MADV_HUGEPAGE);
#endif
    }
  }

  void *Alloc(size_t bytes) {
    const size_t cls = bytes / kGrain;
    if (cls < freeLists.size() && freeLists[cls]) {
      void *p = freeLists[cls];
      std::memcpy(&freeLists[cls], p, sizeof(void *));
      return p;
    }
    if (!base)
      Reserve();
    if (reserved - used < bytes)
      throw std::bad_alloc();
    if (committed - used < bytes)
      Commit(used + bytes);
    void *p = base + used;
    used += bytes;
    return p;
  }

  void Free(void *p, size_t bytes) {
    const size_t cls = bytes / kGrain;
    if (cls >= freeLists.size())
      freeLists.resize(cls + 1, nullptr);
    std::memcpy(p, &freeLists[cls], sizeof(void *)); // blocks are 4-aligned
    freeLists[cls] = p;
  }
};
