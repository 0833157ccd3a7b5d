// TwoDArrayToWord of 10,000 x 5 cells then SaveAs, the method alone (no host, no JSON), beside
// python-docx building and saving the same table (bench/word_peer.py) in the same run. Prints
// both times, the ratio, and the method's peak heap (every malloc of the process counted, from
// just before the call to the end of the save) against the size of the table's text.
#include <malloc.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "talvex/convert.h"
#include "talvex/registry.h"
#include "automation/strings.h"
#include "office/word_methods.h"
#include "platform/registry/components.h"

// Heap in use and its high-water mark, counted at the C allocator so that pugixml, libzip and
// zlib are seen as well as operator new.
extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void* __libc_memalign(size_t, size_t);
void __libc_free(void*);
}

namespace {
std::atomic<long> liveBytes{0}, peakBytes{0};

void grew(long n) {
  long now = liveBytes.fetch_add(n, std::memory_order_relaxed) + n;
  long peak = peakBytes.load(std::memory_order_relaxed);
  while (now > peak && !peakBytes.compare_exchange_weak(peak, now, std::memory_order_relaxed)) {
  }
}
long usable(void* p) { return p ? long(malloc_usable_size(p)) : 0; }
}  // namespace

extern "C" {
void* malloc(size_t n) {
  void* p = __libc_malloc(n);
  grew(usable(p));
  return p;
}
void* calloc(size_t n, size_t size) {
  void* p = __libc_calloc(n, size);
  grew(usable(p));
  return p;
}
void* realloc(void* old, size_t n) {
  long before = usable(old);
  void* p = __libc_realloc(old, n);
  if (p || n == 0) grew(usable(p) - before);
  return p;
}
void free(void* p) {
  liveBytes.fetch_sub(usable(p), std::memory_order_relaxed);
  __libc_free(p);
}
void* memalign(size_t align, size_t n) {
  void* p = __libc_memalign(align, n);
  grew(usable(p));
  return p;
}
void* aligned_alloc(size_t align, size_t n) { return memalign(align, n); }
int posix_memalign(void** out, size_t align, size_t n) {
  *out = memalign(align, n);
  return *out ? 0 : 12;  // ENOMEM
}
}

namespace {

using namespace tlx;

// TALVEX_BENCH_ROWS sets another size (for profiling).
const int kRows = std::getenv("TALVEX_BENCH_ROWS") ? std::atoi(std::getenv("TALVEX_BENCH_ROWS")) : 10'000;

// The table of bench/word_peer.py: text in the even columns, whole numbers in the odd ones.
Variant makeTable(double& textBytes) {
  Variant table(SafeArray::matrix(kRows, 5));
  textBytes = 0;
  for (int32_t r = 0; r < kRows; ++r)
    for (int32_t c = 0; c < 5; ++c) {
      Variant v = c % 2 == 0 ? Variant(u16("r" + std::to_string(r) + "c" + std::to_string(c) + " text"))
                             : Variant(int32_t(r * 10 + c));
      textBytes += double(u8(toBStr(v).view()).size()) + (c == 4 ? 2 : 1);
      table.arrayRef().at(r, c) = std::move(v);
    }
  return table;
}

std::string commandOutput(const std::string& cmd) {
  std::string out;
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return out;
  char buf[256];
  while (std::fgets(buf, sizeof buf, p)) out += buf;
  return pclose(p) == 0 ? out : std::string();
}

}  // namespace

int main() {
  namespace fs = std::filesystem;
  char tmpl[] = "/tmp/talvex-bench-word-XXXXXX";
  const fs::path dir = mkdtemp(tmpl);
  const std::string doc = (dir / "talvex.docx").string();
  registerPlatformComponents();
  double textBytes = 0;
  Variant table = makeTable(textBytes);

  WordTable format;
  format.lngTableType = 16;
  const long heapBefore = liveBytes.load();
  peakBytes.store(heapBefore);
  auto start = std::chrono::steady_clock::now();
  int16_t rc = TwoDArrayToWord(table, format);
  double method = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  callMethod(objectOf(getProperty(getObject("Word.Application"), "ActiveDocument")), "SaveAs", {Variant(u16(doc))});
  double ours = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double peakMB = double(peakBytes.load() - heapBefore) / 1e6;

  const std::string peer = std::string(TALVEX_BENCH_DIR) + "/word_peer.py";
  std::string out = commandOutput("/usr/bin/python3 " + peer + " " + std::to_string(kRows) + " " + doc);
  double peerSeconds = 0;
  long rowsRead = 0;
  if (rc != 1 || std::sscanf(out.c_str(), "%lf %ld", &peerSeconds, &rowsRead) != 2 || rowsRead != kRows) {
    std::fprintf(stderr, "bench_word: failed (code %d, peer said \"%s\")\n", rc, out.c_str());
    return 1;
  }
  std::printf("TwoDArrayToWord %d x 5: %.3f s, with SaveAs %.3f s; peak heap %.1f MB for %.2f MB of text (%.1f x)\n",
              kRows, method, ours, peakMB, textBytes / 1e6, peakMB * 1e6 / textBytes);
  std::printf("python-docx same table + save: %.3f s\n", peerSeconds);
  std::printf("ratio: %.1f x faster (aim 20 x); memory %.1f x the text (aim 10 x)\n", peerSeconds / ours,
              peakMB * 1e6 / textBytes);
  fs::remove_all(dir);
  return 0;
}
