#include "talvex/bstr.h"

#include <sys/mman.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

#include "talvex/com_error.h"

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
  bits_ = reinterpret_cast<uintptr_t>(charsOf(h));
  std::memcpy(chars(), s.data(), s.size() * sizeof(char16_t));
}

BStr BStr::ofLength(size_t n) {
  BStr out;
  if (n == 0) return out;
  Shared* h = newShared(n);
  out.bits_ = reinterpret_cast<uintptr_t>(charsOf(h));
  std::memset(out.chars(), 0, n * sizeof(char16_t));
  return out;
}

bool BStr::ownedAlone() const noexcept {
  return !inArena() && sharedOf(data())->holders.load(std::memory_order_acquire) == 1;
}

char16_t* BStr::mutableData() {
  if (bits_ && !ownedAlone()) BStr(view()).swap(*this);
  return chars();
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
  if (bits_ && ownedAlone()) {
    if (n > kMaxLength) throw std::bad_alloc();
    void* m = std::realloc(sharedOf(data()), bytesWith<Shared>(n));
    if (!m) throw std::bad_alloc();
    auto* h = static_cast<Shared*>(m);
    h->length = static_cast<uint32_t>(n);
    bits_ = reinterpret_cast<uintptr_t>(charsOf(h));
  } else {
    BStr grown = ofLength(n);
    // Never with a null source, even for no characters: the compiler may take it as non-null after.
    if (old) std::memcpy(grown.chars(), data(), std::min(old, n) * sizeof(char16_t));
    grown.swap(*this);
    return;
  }
  if (n > old) std::memset(chars() + old, 0, (n - old) * sizeof(char16_t));
}

// ---- StringArena ----

namespace {

// Blocks are aligned to their size, so a string finds its block from its own address.
constexpr size_t kBlockBytes = size_t(2) << 20;
// Longer strings get an allocation of their own rather than leave a block half used.
constexpr size_t kLargestInBlock = kBlockBytes / 16;
// An arena's first strings come from the heap: a small read (one short file, one cell) should
// not map and fault a whole block for a few bytes.
constexpr size_t kHeapBeforeBlocks = size_t(64) << 10;

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
  if (!bits_) return;
  if (inArena())
    blockOf(data())->holders.fetch_add(1, std::memory_order_relaxed);
  else
    sharedOf(data())->holders.fetch_add(1, std::memory_order_relaxed);
}

void BStr::release() noexcept {
  if (!bits_) return;
  if (inArena()) {
    dropHolders(blockOf(data()), 1);
  } else {
    Shared* h = sharedOf(data());
    if (h->holders.fetch_sub(1, std::memory_order_acq_rel) == 1) std::free(h);
  }
  bits_ = 0;
}

void BStrBatchRelease::add(BStr& s) noexcept {
  if (!s.bits_) return;
  if (!s.inArena()) {
    s.release();
    return;
  }
  ArenaBlock* b = blockOf(s.data());
  if (b != block_) {
    flush();
    block_ = b;
  }
  ++count_;
  s.bits_ = 0;
}

void BStrBatchRelease::flush() noexcept {
  if (block_) dropHolders(block_, count_);
  block_ = nullptr;
  count_ = 0;
}

char16_t* StringArena::allocate(size_t n, BStr& out) {
  // The length word sits at a multiple of four, just before the characters.
  const size_t bytes = (sizeof(uint32_t) + n * sizeof(char16_t) + 3) & ~size_t(3);
  if (bytes > kLargestInBlock || (!block_ && heapBytes_ < kHeapBeforeBlocks)) {
    if (bytes <= kLargestInBlock) heapBytes_ += bytes;
    out = BStr::ofLength(n);
    return out.chars();
  }
  if (!block_ || static_cast<size_t>(end_ - next_) < bytes) {
    handOver();
    block_ = new (mapBlock()) ArenaBlock{{kFilling}};
    next_ = reinterpret_cast<char*>(block_) + sizeof(ArenaBlock);
    end_ = reinterpret_cast<char*>(block_) + kBlockBytes;
  }
  auto* length = reinterpret_cast<uint32_t*>(next_);
  *length = static_cast<uint32_t>(n);
  next_ += bytes;
  ++made_;
  out = BStr();
  out.bits_ = reinterpret_cast<uintptr_t>(length + 1) | BStr::kInArena;
  return out.chars();
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
