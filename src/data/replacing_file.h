// A text file written beside its target under a temporary name and renamed over it only when
// complete: a failure leaves the previous file (or none), never a truncated one.
#pragma once

#include <filesystem>
#include <memory>
#include <string_view>

#include "automation/text_file.h"

namespace tlx {

class ReplacingFile {
 public:
  // Raises as opening the target for output would (bad name, missing folder, not a file).
  explicit ReplacingFile(std::u16string_view target);
  ~ReplacingFile();  // not committed: the temporary file is removed
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;

  TextWriter& writer() { return *writer_; }
  void commit();  // closes and puts the file in place

 private:
  std::filesystem::path target_, temp_;
  std::unique_ptr<TextWriter> writer_;
};

}  // namespace tlx
