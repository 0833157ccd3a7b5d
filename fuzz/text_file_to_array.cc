// Delimited text files: any bytes, delimiter and code page give an array or a result code.
// Input: code page selector, quote flag, delimiter (UTF-8) up to a NUL, then the file's bytes.
#include <stdlib.h>

#include "arrays/arrays.h"
#include "automation/strings.h"
#include "automation/text_file.h"
#include "fuzz_input.h"

using namespace tlx;

namespace {

// The last two cannot be used: the readers then report the file as one they cannot open (-1).
const char* const kCodePages[] = {"UTF-8", "CP1252", "ISO-8859-1", "CP437", "CP1251", "SHIFT_JIS", "GB18030",
                                  "UTF-16LE", "NO-SUCH-PAGE"};
constexpr int kUsablePages = 7;

// True when the page chosen is usable.
bool useCodePage(uint8_t selector) {
  static int current = -1;
  const int wanted = selector % (sizeof kCodePages / sizeof *kCodePages);
  if (wanted != current) {
    setenv("TALVEX_CODEPAGE", kCodePages[wanted], 1);
    reloadCodePage();
    current = wanted;
  }
  return wanted < kUsablePages;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tlxfuzz::Input in(data, size);
  const int16_t cannotOpen = useCodePage(in.byte()) ? 1 : -1;
  const bool removeQuotes = in.byte() & 1;
  const BStr delimiter(u16(std::string(in.piece())));
  const BStr path(u16(tlxfuzz::writeScratch("in.txt", in.rest())));

  Variant table = Variant::unallocatedArray();
  const int16_t r = TextFileToArray(path, table, delimiter, removeQuotes);
  FUZZ_CHECK(r == 1 || r == -3 || r == cannotOpen);
  if (r == 1) FUZZ_CHECK(table.isArray() && table.array() && table.array()->dims() == 2);

  Variant lines = Variant::unallocatedArray();
  const int16_t r1 = TextFileToOneDArray(path, lines);
  FUZZ_CHECK(r1 == 1 || r1 == -3 || r1 == cannotOpen);
  return 0;
}
