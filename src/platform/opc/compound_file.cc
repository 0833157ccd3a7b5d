#include "platform/opc/compound_file.h"

#include <algorithm>
#include <cstring>

#include "automation/strings.h"
#include "platform/opc/package.h"

namespace tlx::platform::opc {

namespace {

constexpr unsigned char kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr uint32_t kNoStream = 0xFFFFFFFF;
constexpr uint32_t kMiniSectorSize = 64;
constexpr size_t kHeaderDifat = 109;
constexpr size_t kEntrySize = 128;

uint16_t u16at(std::string_view b, size_t at) {
  return static_cast<uint16_t>(static_cast<unsigned char>(b[at]) | static_cast<unsigned char>(b[at + 1]) << 8);
}
uint32_t u32at(std::string_view b, size_t at) { return u16at(b, at) | static_cast<uint32_t>(u16at(b, at + 2)) << 16; }
uint64_t u64at(std::string_view b, size_t at) { return u32at(b, at) | static_cast<uint64_t>(u32at(b, at + 4)) << 32; }

[[noreturn]] void damaged(const std::string& what) { throw PackageError("The compound file is damaged: " + what); }

std::vector<uint32_t> words(std::string_view bytes) {
  std::vector<uint32_t> out(bytes.size() / 4);
  for (size_t i = 0; i < out.size(); ++i) out[i] = u32at(bytes, i * 4);
  return out;
}

}  // namespace

bool CompoundFile::looksLike(std::string_view bytes) {
  return bytes.size() >= 8 && std::memcmp(bytes.data(), kSignature, 8) == 0;
}

CompoundFile::CompoundFile(std::string_view bytes) : bytes_(bytes) {
  if (bytes.size() < 512 || !looksLike(bytes)) throw PackageError("Not a compound file");
  uint16_t major = u16at(bytes, 26), shift = u16at(bytes, 30);
  if (u16at(bytes, 28) != 0xFFFE || u16at(bytes, 32) != 6 || !((major == 3 && shift == 9) || (major == 4 && shift == 12)))
    damaged("unknown version or sector size");
  sectorSize_ = 1u << shift;
  if (bytes.size() <= sectorSize_) damaged("it holds no sectors");
  uint64_t count = (bytes.size() - sectorSize_ + sectorSize_ - 1) / sectorSize_;
  sectorCount_ = static_cast<uint32_t>(std::min<uint64_t>(count, kEndOfChain - 1));
  miniCutoff_ = u32at(bytes, 56);
  readFat();
  miniFat_ = words(readRegular(u32at(bytes, 60), uint64_t(u32at(bytes, 64)) * sectorSize_));
  readDirectory();
}

std::string_view CompoundFile::sector(uint32_t n) const {
  if (n >= sectorCount_) damaged("a sector number lies beyond the end");
  size_t at = (size_t(n) + 1) * sectorSize_;
  return bytes_.substr(at, sectorSize_);  // the last sector may be cut short
}

void CompoundFile::readFat() {
  uint32_t fatSectors = u32at(bytes_, 44);
  if (fatSectors > sectorCount_) damaged("more sector tables than sectors");
  std::vector<uint32_t> where;
  for (size_t i = 0; i < kHeaderDifat && where.size() < fatSectors; ++i) where.push_back(u32at(bytes_, 76 + i * 4));
  // Further table locations are listed in a chain of their own, one slot per sector naming the next.
  uint32_t next = u32at(bytes_, 68);
  for (uint32_t seen = 0; where.size() < fatSectors; ++seen) {
    if (seen >= sectorCount_) damaged("the table of sector tables runs in a circle");
    std::vector<uint32_t> slots = words(sector(next));
    if (slots.size() != sectorSize_ / 4) damaged("a sector is cut short");
    for (size_t i = 0; i + 1 < slots.size() && where.size() < fatSectors; ++i) where.push_back(slots[i]);
    next = slots.back();
  }
  for (uint32_t s : where) {
    std::vector<uint32_t> part = words(sector(s));
    fat_.insert(fat_.end(), part.begin(), part.end());
  }
}

std::vector<uint32_t> CompoundFile::chain(const std::vector<uint32_t>& table, uint32_t start) const {
  std::vector<uint32_t> out;
  for (uint32_t n = start; n != kEndOfChain;) {
    if (n >= table.size()) damaged("a chain of sectors is broken");
    if (out.size() >= table.size()) damaged("a chain of sectors runs in a circle");
    out.push_back(n);
    n = table[n];
  }
  return out;
}

std::string CompoundFile::readRegular(uint32_t start, uint64_t size) const {
  std::string out;
  if (size == 0) return out;
  if (size > bytes_.size()) damaged("a stream is longer than the file");
  for (uint32_t n : chain(fat_, start)) {
    if (out.size() >= size) break;
    out += sector(n);
  }
  if (out.size() < size) damaged("a stream is longer than its sectors");
  out.resize(size);
  return out;
}

std::string CompoundFile::readMini(uint32_t start, uint64_t size) const {
  std::string out;
  if (size > miniStream_.size()) damaged("a small stream is longer than the mini stream");
  for (uint32_t n : chain(miniFat_, start)) {
    if (out.size() >= size) break;
    if ((size_t(n) + 1) * kMiniSectorSize > miniStream_.size()) damaged("a mini sector lies beyond the mini stream");
    out.append(miniStream_, size_t(n) * kMiniSectorSize, kMiniSectorSize);
  }
  if (out.size() < size) damaged("a small stream is longer than its sectors");
  out.resize(size);
  return out;
}

void CompoundFile::readDirectory() {
  // The directory's size is not recorded: its chain is read to the end.
  std::string dir;
  for (uint32_t n : chain(fat_, u32at(bytes_, 48))) dir += sector(n);
  for (size_t at = 0; at + kEntrySize <= dir.size(); at += kEntrySize) {
    std::string_view raw = std::string_view(dir).substr(at, kEntrySize);
    Entry e;
    size_t nameBytes = std::min<size_t>(u16at(raw, 64), 64);
    for (size_t i = 0; i + 1 < nameBytes; i += 2)
      if (char16_t c = u16at(raw, i)) e.name += c;
    e.type = static_cast<uint8_t>(raw[66]);
    e.left = u32at(raw, 68);
    e.right = u32at(raw, 72);
    e.child = u32at(raw, 76);
    e.start = u32at(raw, 116);
    e.size = sectorSize_ == 512 ? u32at(raw, 120) : u64at(raw, 120);
    entries_.push_back(std::move(e));
  }
  if (entries_.empty() || entries_[0].type != 5) damaged("it has no root storage");
  miniStream_ = readRegular(entries_[0].start, entries_[0].size);
}

std::optional<std::string> CompoundFile::stream(std::u16string_view name) const {
  // The root's children form a tree through their left and right links.
  std::vector<uint32_t> todo{entries_[0].child};
  std::vector<bool> seen(entries_.size());
  while (!todo.empty()) {
    uint32_t i = todo.back();
    todo.pop_back();
    if (i == kNoStream) continue;
    if (i >= entries_.size() || seen[i]) damaged("the directory is not a tree");
    seen[i] = true;
    const Entry& e = entries_[i];
    if (e.type == 2 && equalsNoCaseAscii(e.name, name))
      return e.size < miniCutoff_ ? readMini(e.start, e.size) : readRegular(e.start, e.size);
    todo.push_back(e.left);
    todo.push_back(e.right);
  }
  return std::nullopt;
}

}  // namespace tlx::platform::opc
