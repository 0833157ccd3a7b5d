#include "platform/opc/zip_checks.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/opc/package.h"

namespace tlx::platform::opc {

namespace {

constexpr uint32_t kLocalSignature = 0x04034b50, kCentralSignature = 0x02014b50, kEndSignature = 0x06054b50;
constexpr uint32_t kZip64EndSignature = 0x06064b50, kZip64LocatorSignature = 0x07064b50;
constexpr size_t kLocalHeader = 30, kCentralHeader = 46, kEndRecord = 22, kMaxComment = 65535;
constexpr uint64_t kUnknown32 = 0xFFFFFFFF;
constexpr uint16_t kDataDescriptorFlag = 0x08;

[[noreturn]] void damaged(const std::string& why) { throw PackageError("The package is damaged: " + why); }

// A little-endian number of `n` bytes at `at`; the caller has checked that they are there.
uint64_t number(std::string_view b, uint64_t at, int n) {
  uint64_t v = 0;
  for (int i = n - 1; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(b[at + static_cast<uint64_t>(i)]);
  return v;
}

struct Directory {
  uint64_t offset = 0, size = 0, count = 0;
};

// The central directory named by the last end record that points at one (bytes after the end
// record are allowed, as a comment whose length was not updated).
Directory findDirectory(std::string_view zip) {
  if (zip.size() < kEndRecord) damaged("it has no central directory");
  size_t lowest = zip.size() - kEndRecord > kMaxComment ? zip.size() - kEndRecord - kMaxComment : 0;
  for (size_t at = zip.size() - kEndRecord + 1; at-- > lowest;) {
    if (number(zip, at, 4) != kEndSignature) continue;
    Directory d{number(zip, at + 16, 4), number(zip, at + 12, 4), number(zip, at + 10, 2)};
    uint64_t end = at;
    bool wide = d.offset == kUnknown32 || d.size == kUnknown32 || d.count == 0xFFFF;
    if (wide && at >= 20 && number(zip, at - 20, 4) == kZip64LocatorSignature) {
      uint64_t record = number(zip, at - 12, 8);
      if (record > at - 20 || at - 20 - record < 56 || number(zip, record, 4) != kZip64EndSignature) continue;
      d = Directory{number(zip, record + 48, 8), number(zip, record + 40, 8), number(zip, record + 32, 8)};
      end = record;
    }
    if (d.offset <= end && d.size <= end - d.offset) return d;
  }
  damaged("it has no central directory");
}

void checkName(std::string_view name) {
  if (!name.empty() && (name.front() == '/' || name.front() == '\\'))
    damaged("the entry \"" + std::string(name) + "\" has an absolute name");
  for (size_t start = 0; start <= name.size();) {
    size_t end = std::min(name.find_first_of("/\\", start), name.size());
    if (name.substr(start, end - start) == "..")
      damaged("the entry \"" + std::string(name) + "\" names a place outside the package");
    start = end + 1;
  }
}

struct Entry {
  std::string_view name;
  uint16_t flags = 0;
  uint64_t crc = 0, packed = 0, size = 0, local = 0;
};

// The 64-bit values of the zip64 extra field, for those fields that hold 0xFFFFFFFF.
void readZip64(std::string_view extra, Entry& e) {
  for (size_t at = 0; at + 4 <= extra.size();) {
    uint64_t id = number(extra, at, 2), len = number(extra, at + 2, 2);
    if (at + 4 + len > extra.size()) break;
    if (id == 1) {
      uint64_t field = at + 4, fieldsEnd = at + 4 + len;
      for (uint64_t* v : {&e.size, &e.packed, &e.local}) {
        if (*v != kUnknown32 || field + 8 > fieldsEnd) continue;
        *v = number(extra, field, 8);
        field += 8;
      }
    }
    at += 4 + len;
  }
}

// Where the entry's header and data lie: [local, end).
uint64_t checkLocalHeader(std::string_view zip, const Entry& e, uint64_t directory) {
  std::string quoted = "\"" + std::string(e.name) + "\"";
  if (e.local > directory || directory - e.local < kLocalHeader || number(zip, e.local, 4) != kLocalSignature)
    damaged("the entry " + quoted + " has no local header");
  uint64_t data = e.local + kLocalHeader + number(zip, e.local + 26, 2) + number(zip, e.local + 28, 2);
  if (data > directory || e.packed > directory - data) damaged("the entry " + quoted + " runs into the central directory");
  // Beside a data descriptor the local fields may be zero; zip64 entries give 0xFFFFFFFF there.
  bool descriptor = (e.flags | number(zip, e.local + 6, 2)) & kDataDescriptorFlag;
  auto agrees = [&](uint64_t local, uint64_t central, bool size) {
    return local == central || (descriptor && local == 0) || (size && local == kUnknown32);
  };
  if (!agrees(number(zip, e.local + 14, 4), e.crc, false) || !agrees(number(zip, e.local + 18, 4), e.packed, true) ||
      !agrees(number(zip, e.local + 22, 4), e.size, true))
    damaged("the sizes or CRC of the entry " + quoted + " differ between its two headers");
  return data + e.packed;
}

}  // namespace

uint64_t checkZipDirectory(std::string_view zip) {
  Directory d = findDirectory(zip);
  uint64_t directoryEnd = d.offset + d.size;
  std::vector<std::pair<uint64_t, uint64_t>> spans;
  uint64_t at = d.offset;
  for (uint64_t i = 0; i < d.count; ++i) {
    if (directoryEnd - at < kCentralHeader || number(zip, at, 4) != kCentralSignature)
      damaged("its central directory is cut short");
    uint64_t nameLen = number(zip, at + 28, 2), extraLen = number(zip, at + 30, 2), commentLen = number(zip, at + 32, 2);
    if (directoryEnd - at - kCentralHeader < nameLen + extraLen + commentLen) damaged("its central directory is cut short");
    Entry e{zip.substr(at + kCentralHeader, nameLen), static_cast<uint16_t>(number(zip, at + 8, 2)), number(zip, at + 16, 4),
            number(zip, at + 20, 4), number(zip, at + 24, 4), number(zip, at + 42, 4)};
    readZip64(zip.substr(at + kCentralHeader + nameLen, extraLen), e);
    checkName(e.name);
    spans.emplace_back(e.local, checkLocalHeader(zip, e, d.offset));
    at += kCentralHeader + nameLen + extraLen + commentLen;
  }
  std::sort(spans.begin(), spans.end());
  for (size_t i = 1; i < spans.size(); ++i)
    if (spans[i].first < spans[i - 1].second) damaged("two of its entries overlap");
  return d.count;
}

}  // namespace tlx::platform::opc
