// What the plain C++ benchmarks share: timing a step, running a peer's command, reading memory.
#pragma once

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace bench {

inline double seconds(auto&& f) {
  auto start = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Runs a shell command; the benchmark ends if it fails.
inline void run(const std::string& command) {
  if (std::system(command.c_str()) != 0) {
    std::fprintf(stderr, "bench: failed: %s\n", command.c_str());
    std::exit(1);
  }
}

// A figure in kB from /proc/self/status, by its key with the colon ("VmRSS:", "VmHWM:").
inline long statusKilobytes(const char* key) {
  long kb = 0;
  if (FILE* f = std::fopen("/proc/self/status", "r")) {
    char line[256];
    while (std::fgets(line, sizeof line, f))
      if (std::strncmp(line, key, std::strlen(key)) == 0) kb = std::atol(line + std::strlen(key));
    std::fclose(f);
  }
  return kb;
}

}  // namespace bench
