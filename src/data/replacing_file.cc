#include "data/replacing_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>

#include "automation/strings.h"
#include "automation/write_target.h"

namespace tlx {

namespace {

[[noreturn]] void accessError() { throw ComError(hr::basicError(75), "Path/File access error"); }

// A new, empty file beside `target` under a name no other writer uses.
std::filesystem::path reserveTemporary(const std::filesystem::path& target) {
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::filesystem::path temp = target;
    temp += ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      ::close(fd);
      return temp;
    }
    if (errno == ENOENT || errno == ENOTDIR) throw ComError(hr::PATH_NOT_FOUND, "Path not found");
    if (errno != EEXIST) accessError();
  }
  accessError();
}

}  // namespace

ReplacingFile::ReplacingFile(std::u16string_view target) {
  if (target.empty()) throw ComError(hr::BAD_FILE_NAME, "Bad file name or number");
  target_ = toPath(target);
  std::error_code ec;
  target_ = writeTarget(target_, ec);
  if (ec) accessError();
  auto status = std::filesystem::status(target_, ec);
  if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) accessError();
  temp_ = reserveTemporary(target_);
  try {
    writer_ = std::make_unique<TextWriter>(std::u16string_view(u16(temp_.string())));
  } catch (...) {
    std::filesystem::remove(temp_, ec);
    throw;
  }
}

ReplacingFile::~ReplacingFile() {
  writer_.reset();
  std::error_code ec;
  if (!temp_.empty()) std::filesystem::remove(temp_, ec);
}

void ReplacingFile::commit() {
  writer_->close();
  struct stat st;
  if (::stat(target_.c_str(), &st) == 0) ::chmod(temp_.c_str(), st.st_mode & 07777);
  if (::rename(temp_.c_str(), target_.c_str()) != 0) accessError();
  temp_.clear();
}

}  // namespace tlx
