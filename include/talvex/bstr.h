// The Automation string, and the arena that bulk readers take their strings from.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

namespace tlx {

struct ArenaBlock;

// Immutable 16-bit text held by one pointer to its first character, with its length in the four
// bytes before it, in one allocation as the platform's own strings are. Copies share the text
// (the allocation counts its holders); mutableData() copies first when the text is shared.
// Lengths and positions count 16-bit units. The empty string holds no allocation.
class BStr {
 public:
  using value_type = char16_t;
  using size_type = size_t;
  using const_iterator = const char16_t*;
  using iterator = const_iterator;
  static constexpr size_t npos = std::u16string_view::npos;
  static constexpr size_t kMaxLength = 0x7FFFFFFF;

  BStr() noexcept = default;
  BStr(std::u16string_view s);
  BStr(const char16_t* s) : BStr(std::u16string_view(s)) {}
  BStr(const std::u16string& s) : BStr(std::u16string_view(s)) {}
  BStr(const BStr& o) noexcept : bits_(o.bits_) { retain(); }
  BStr(BStr&& o) noexcept : bits_(std::exchange(o.bits_, 0)) {}
  BStr& operator=(const BStr& o) noexcept {
    BStr(o).swap(*this);
    return *this;
  }
  BStr& operator=(BStr&& o) noexcept {
    BStr(std::move(o)).swap(*this);
    return *this;
  }
  ~BStr() { release(); }

  // `n` NUL characters held by this string alone: room to fill through mutableData().
  static BStr ofLength(size_t n);

  size_t size() const noexcept { return bits_ ? reinterpret_cast<const uint32_t*>(data())[-1] : 0; }
  size_t length() const noexcept { return size(); }
  bool empty() const noexcept { return bits_ == 0; }
  const char16_t* data() const noexcept { return reinterpret_cast<const char16_t*>(bits_ & ~kInArena); }
  const char16_t* begin() const noexcept { return data(); }
  const char16_t* end() const noexcept { return data() + size(); }
  char16_t operator[](size_t i) const noexcept { return data()[i]; }
  char16_t front() const noexcept { return data()[0]; }
  char16_t back() const noexcept { return data()[size() - 1]; }

  std::u16string_view view() const noexcept { return {data(), size()}; }
  operator std::u16string_view() const noexcept { return view(); }

  size_t find(std::u16string_view s, size_t pos = 0) const noexcept { return view().find(s, pos); }
  size_t find(char16_t c, size_t pos = 0) const noexcept { return view().find(c, pos); }
  size_t rfind(char16_t c, size_t pos = npos) const noexcept { return view().rfind(c, pos); }
  BStr substr(size_t pos, size_t n = npos) const { return BStr(view().substr(pos, n)); }
  int compare(std::u16string_view s) const noexcept { return view().compare(s); }

  // The characters, to write into; the text is first made this string's own when shared.
  char16_t* mutableData();
  // Cuts or extends the text (new characters NUL), keeping it this string's own.
  void resize(size_t n);

  void swap(BStr& o) noexcept { std::swap(bits_, o.bits_); }

  friend bool operator==(const BStr& a, std::u16string_view b) noexcept { return a.view() == b; }
  friend auto operator<=>(const BStr& a, std::u16string_view b) noexcept { return a.view() <=> b; }
  // Joining builds a std::u16string, the type to build text in.
  friend std::u16string operator+(const BStr& a, const BStr& b) { return std::u16string(a.view()).append(b.view()); }

 private:
  friend class StringArena;
  friend class BStrBatchRelease;
  // The low bit of the pointer marks text in an arena block (text is at least 4-byte aligned),
  // so that releasing it reads nothing of the string itself.
  static constexpr uintptr_t kInArena = 1;

  struct Shared;  // the header of a string of its own
  static Shared* sharedOf(const char16_t* p) noexcept;
  static Shared* newShared(size_t n);
  bool inArena() const noexcept { return (bits_ & kInArena) != 0; }
  bool ownedAlone() const noexcept;
  char16_t* chars() const noexcept { return const_cast<char16_t*>(data()); }
  void retain() const noexcept;
  void release() noexcept;

  uintptr_t bits_ = 0;
};

// Releases many strings at once: consecutive strings from one arena block drop one count
// together, so an array of millions of fields is freed at the cost of its blocks.
class BStrBatchRelease {
 public:
  BStrBatchRelease() = default;
  BStrBatchRelease(const BStrBatchRelease&) = delete;
  BStrBatchRelease& operator=(const BStrBatchRelease&) = delete;
  ~BStrBatchRelease() { flush(); }

  void add(BStr& s) noexcept;  // `s` is left empty

 private:
  void flush() noexcept;
  ArenaBlock* block_ = nullptr;
  uint64_t count_ = 0;
};

// Strings for a bulk reader (a text file's fields, a result set's values) laid one after another
// in large blocks, instead of one heap allocation each. Its strings are BStrs like any other:
// each block counts the strings in it and is returned to the system with the last of them, so
// the arena may end long before its strings do. One arena serves one thread at a time.
class StringArena {
 public:
  StringArena() = default;
  StringArena(const StringArena&) = delete;
  StringArena& operator=(const StringArena&) = delete;
  ~StringArena() { handOver(); }

  BStr copy(std::u16string_view s);
  BStr widen(std::string_view latin1);  // each byte becomes the character of the same number

 private:
  char16_t* allocate(size_t n, BStr& out);  // room for n > 0 characters, held by `out`
  void handOver() noexcept;                 // the current block now belongs to its strings

  ArenaBlock* block_ = nullptr;
  char* next_ = nullptr;
  char* end_ = nullptr;
  uint64_t made_ = 0;      // strings made in the current block
  size_t heapBytes_ = 0;   // bytes of small strings given from the heap before the first block
};

// UTF-8 at the edges.
BStr u16(std::string_view utf8);        // invalid sequences become U+FFFD
std::string u8(std::u16string_view s);  // unpaired surrogates become U+FFFD

}  // namespace tlx

template <>
struct std::hash<tlx::BStr> {
  size_t operator()(const tlx::BStr& s) const noexcept { return std::hash<std::u16string_view>()(s.view()); }
};
