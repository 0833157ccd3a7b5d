// A compound file: the small file system of storages and streams in fixed-size sectors that
// holds older office files and packages encrypted with an open password. Read only; it is
// outside input, so every sector number, chain and size is checked before it is used.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tlx::platform::opc {

class CompoundFile {
 public:
  static bool looksLike(std::string_view bytes);  // by its signature
  // Reads the sector tables and the directory; PackageError when they are damaged. `bytes`
  // must outlive the object.
  explicit CompoundFile(std::string_view bytes);

  // A stream directly in the root storage, by name without regard to case; nullopt when absent.
  std::optional<std::string> stream(std::u16string_view name) const;

 private:
  struct Entry {
    std::u16string name;
    uint8_t type = 0;  // 1 storage, 2 stream, 5 root
    uint32_t left = 0, right = 0, child = 0, start = 0;
    uint64_t size = 0;
  };
  std::string_view sector(uint32_t n) const;
  std::vector<uint32_t> chain(const std::vector<uint32_t>& table, uint32_t start) const;
  std::string readRegular(uint32_t start, uint64_t size) const;
  std::string readMini(uint32_t start, uint64_t size) const;
  void readFat();
  void readDirectory();

  std::string_view bytes_;
  uint32_t sectorSize_ = 512;
  uint32_t sectorCount_ = 0;
  uint32_t miniCutoff_ = 4096;
  std::vector<uint32_t> fat_, miniFat_;
  std::vector<Entry> entries_;
  std::string miniStream_;
};

}  // namespace tlx::platform::opc
