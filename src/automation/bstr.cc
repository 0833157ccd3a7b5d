#include "automation/bstr.h"

#include <sys/mman.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

#include "automation/com_error.h"

namespace tlx {

// ---- BStr ----

// A string of its own: the count of its holders, then the length word, then the characters.
struct BStr::Shared {
  std::atomic<uint32_t> holders;
  uint32_t length;
};

BStr::Shared* BStr::sharedOf(const char16_t* p) noexcept {
  return reinterpret_cast<Shared*>(const_cast<char*>(reinterpret_cast<const char*>(p)) - sizeof(Shared));
}

namespace {

template <class Header>
char16_t* charsOf(Header* h) {
  return reinterpret_cast<char16_t*>(reinterpret_cast<char*>(h) + sizeof(Header));
}

template <class Header>
size_t bytesWith(size_t n) {
  return sizeof(Header) + n * sizeof(char16_t);
}

}  // namespace

BStr::Shared* BStr::newShared(size_t n) {
  if (n > kMaxLength) throw std::bad_alloc();
  void* m = std::malloc(bytesWith<Shared>(n));
  if (!m) throw std::bad_alloc();
  return new (m) Shared{{1}, static_cast<uint32_t>(n)};
}

BStr::BStr(std::u16string_view s) {
  if (s.empty()) return;
  Shared* h = newShared(s.size());
  p_ = charsOf(h);
  std::memcpy(p_, s.data(), s.size() * sizeof(char16_t));
}

BStr BStr::ofLength(size_t n) {
  BStr out;
  if (n == 0) return out;
  Shared* h = newShared(n);
  out.p_ = charsOf(h);
  std::memset(out.p_, 0, n * sizeof(char16_t));
  return out;
}

bool BStr::ownedAlone() const noexcept {
  return !inArena() && sharedOf(p_)->holders.load(std::memory_order_acquire) == 1;
}

char16_t* BStr::mutableData() {
  if (p_ && !ownedAlone()) BStr(view()).swap(*this);
  return p_;
}

void BStr::resize(size_t n) {
  const size_t old = size();
  if (n == old) {
    mutableData();
    return;
  }
  if (n == 0) {
    BStr().swap(*this);
    return;
  }
  if (p_ && ownedAlone()) {
    if (n > kMaxLength) throw std::bad_alloc();
    void* m = std::realloc(sharedOf(p_), bytesWith<Shared>(n));
    if (!m) throw std::bad_alloc();
    auto* h = static_cast<Shared*>(m);
    h->length = static_cast<uint32_t>(n);
    p_ = charsOf(h);
  } else {
    BStr grown = ofLength(n);
    std::memcpy(grown.p_, p_, std::min(old, n) * sizeof(char16_t));
    grown.swap(*this);
    return;
  }
  if (n > old) std::memset(p_ + old, 0, (n - old) * sizeof(char16_t));
}

// ---- StringArena ----

namespace {

// Blocks are aligned to their size, so a string finds its block from its own address.
constexpr size_t kBlockBytes = size_t(2) << 20;
// Longer strings get an allocation of their own rather than leave a block half used.
constexpr size_t kLargestInBlock = kBlockBytes / 16;

}  // namespace

struct ArenaBlock {
  // The strings in the block, plus kFilling while an arena still adds to it.
  std::atomic<uint64_t> holders;
};

namespace {

constexpr uint64_t kFilling = uint64_t(1) << 62;

ArenaBlock* blockOf(const char16_t* p) {
  return reinterpret_cast<ArenaBlock*>(reinterpret_cast<uintptr_t>(p) & ~uintptr_t(kBlockBytes - 1));
}

#if defined(__SANITIZE_ADDRESS__)
#define TLX_HEAP_BLOCKS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TLX_HEAP_BLOCKS 1
#endif
#endif

#if defined(TLX_HEAP_BLOCKS)
// Under AddressSanitizer blocks come from the heap, where a use after release is caught.
void* mapBlock() {
  void* m = std::aligned_alloc(kBlockBytes, kBlockBytes);
  if (!m) throw std::bad_alloc();
  return m;
}
void unmapBlock(ArenaBlock* b) { std::free(b); }
#else
// Maps twice the size and trims it to an aligned block; huge pages where the system gives them,
// so that filling a block costs one page fault, not five hundred.
void* mapBlock() {
  void* m = mmap(nullptr, 2 * kBlockBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (m == MAP_FAILED) throw std::bad_alloc();
  const uintptr_t base = reinterpret_cast<uintptr_t>(m);
  const uintptr_t aligned = (base + kBlockBytes - 1) & ~uintptr_t(kBlockBytes - 1);
  if (aligned > base) munmap(m, aligned - base);
  if (aligned + kBlockBytes < base + 2 * kBlockBytes)
    munmap(reinterpret_cast<void*>(aligned + kBlockBytes), base + 2 * kBlockBytes - aligned - kBlockBytes);
#ifdef MADV_HUGEPAGE
  madvise(reinterpret_cast<void*>(aligned), kBlockBytes, MADV_HUGEPAGE);
#endif
  return reinterpret_cast<void*>(aligned);
}

void unmapBlock(ArenaBlock* b) { munmap(b, kBlockBytes); }
#endif

// Drops `n` holders of a block, returning it to the system with the last.
void dropHolders(ArenaBlock* b, uint64_t n) noexcept {
  if (b->holders.fetch_sub(n, std::memory_order_acq_rel) == n) unmapBlock(b);
}

}  // namespace

void BStr::retain() const noexcept {
  if (!p_) return;
  if (inArena())
    blockOf(p_)->holders.fetch_add(1, std::memory_order_relaxed);
  else
    sharedOf(p_)->holders.fetch_add(1, std::memory_order_relaxed);
}

void BStr::release() noexcept {
  if (!p_) return;
  if (inArena()) {
    dropHolders(blockOf(p_), 1);
  } else {
    Shared* h = sharedOf(p_);
    if (h->holders.fetch_sub(1, std::memory_order_acq_rel) == 1) std::free(h);
  }
  p_ = nullptr;
}

char16_t* StringArena::allocate(size_t n, BStr& out) {
  // The length word sits at a multiple of four, just before the characters.
  const size_t bytes = (sizeof(uint32_t) + n * sizeof(char16_t) + 3) & ~size_t(3);
  if (bytes > kLargestInBlock) {
    out = BStr::ofLength(n);
    return out.p_;
  }
  if (!block_ || static_cast<size_t>(end_ - next_) < bytes) {
    handOver();
    block_ = new (mapBlock()) ArenaBlock{{kFilling}};
    next_ = reinterpret_cast<char*>(block_) + sizeof(ArenaBlock);
    end_ = reinterpret_cast<char*>(block_) + kBlockBytes;
  }
  auto* length = reinterpret_cast<uint32_t*>(next_);
  *length = static_cast<uint32_t>(n) | BStr::kArenaFlag;
  next_ += bytes;
  ++made_;
  out = BStr();
  out.p_ = reinterpret_cast<char16_t*>(length + 1);
  return out.p_;
}

void StringArena::handOver() noexcept {
  if (!block_) return;
  // The strings made here join the count at once: kFilling held it above zero while they were
  // made, even if some of them have already been released.
  block_->holders.fetch_add(made_, std::memory_order_relaxed);
  dropHolders(block_, kFilling);
  block_ = nullptr;
  next_ = end_ = nullptr;
  made_ = 0;
}

BStr StringArena::copy(std::u16string_view s) {
  BStr out;
  if (s.empty()) return out;
  std::memcpy(allocate(s.size(), out), s.data(), s.size() * sizeof(char16_t));
  return out;
}

BStr StringArena::widen(std::string_view latin1) {
  BStr out;
  if (latin1.empty()) return out;
  char16_t* w = allocate(latin1.size(), out);
  for (unsigned char c : latin1) *w++ = c;
  return out;
}

}  // namespace tlx
