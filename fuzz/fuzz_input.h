// Helpers of the fuzz targets: split the fuzzer's bytes into parameters and a payload, and a
// scratch folder for readers whose entry point takes a file.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

namespace tlxfuzz {

// Takes parameters from the front of the input; what is left is the payload.
class Input {
 public:
  Input(const uint8_t* data, size_t size) : rest_(reinterpret_cast<const char*>(data), size) {}

  uint8_t byte() {
    if (rest_.empty()) return 0;
    const uint8_t b = static_cast<uint8_t>(rest_.front());
    rest_.remove_prefix(1);
    return b;
  }
  int16_t i16() { return static_cast<int16_t>(byte() | (byte() << 8)); }
  // A piece up to the first NUL (or the end), taken off the front.
  std::string_view piece() {
    const size_t n = std::min(rest_.find('\0'), rest_.size());
    std::string_view p = rest_.substr(0, n);
    rest_.remove_prefix(std::min(n + 1, rest_.size()));
    return p;
  }
  std::string_view rest() const { return rest_; }

 private:
  std::string_view rest_;
};

// A folder of its own for the life of the process, removed at exit.
inline const std::string& scratchDir() {
  static const std::string dir = [] {
    char pattern[] = "/tmp/talvex-fuzz-XXXXXX";
    if (!mkdtemp(pattern)) std::abort();
    static std::string made = pattern;
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(made, ec);
    });
    return made;
  }();
  return dir;
}

inline std::string writeScratch(const std::string& name, std::string_view bytes) {
  const std::string path = scratchDir() + "/" + name;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) std::abort();
  if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  return path;
}

// A broken promise of the code under test: libFuzzer keeps the input that showed it.
#define FUZZ_CHECK(cond)                                                        \
  do {                                                                          \
    if (!(cond)) {                                                              \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
      std::abort();                                                             \
    }                                                                           \
  } while (0)

}  // namespace tlxfuzz
