#include "platform/app/recovery.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <system_error>

namespace tlx::platform::app {

namespace {

struct Unsaved {
  std::string name;
  std::string extension;
  RecoverySave save;
};

// Never destroyed: documents listed when a process ends (a test's) are not torn down after the
// objects they may use.
std::map<int, Unsaved>& listed() {
  static auto* list = new std::map<int, Unsaved>;
  return *list;
}

// A new, empty file in `folder` under the document's name, or "Name (2)", ... when that is taken:
// an exclusive create, so that hosts ending at once with one folder never share a name.
std::string reservePath(const std::filesystem::path& folder, const Unsaved& u) {
  for (int n = 1;; ++n) {
    const std::string suffix = n == 1 ? "" : " (" + std::to_string(n) + ")";
    const std::filesystem::path p = folder / (u.name + suffix + u.extension);
    const int fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      ::close(fd);
      return p.string();
    }
    if (errno != EEXIST) throw std::system_error(errno, std::generic_category(), p.string());
  }
}

}  // namespace

int listUnsaved(std::string name, std::string extension, RecoverySave save) {
  static int next = 1;
  listed().emplace(next, Unsaved{std::move(name), std::move(extension), std::move(save)});
  return next++;
}

void unlistUnsaved(int ticket) { listed().erase(ticket); }

int recoverUnsaved(const std::string& folder, std::ostream& log) {
  std::map<int, Unsaved> work;
  work.swap(listed());
  if (work.empty()) return 0;
  std::error_code ec;
  const bool made = std::filesystem::create_directories(folder, ec);
  int saved = 0;
  for (auto& [ticket, u] : work) {
    std::string path;
    try {
      path = reservePath(folder, u);
      // The document replaces the empty file it was given.
      if (u.save(path)) {
        log << "talvex: unsaved " << u.name << " saved to " << path << '\n';
        ++saved;
        continue;
      }
    } catch (const std::exception& e) {
      log << "talvex: unsaved " << u.name << " could not be saved: " << e.what() << '\n';
    }
    if (!path.empty()) std::filesystem::remove(path, ec);
  }
  // Documents listed but saved by their users leave no empty folder behind.
  if (made && saved == 0) std::filesystem::remove(folder, ec);
  return saved;
}

std::string recoveryFolder() {
  const char* dir = std::getenv("TALVEX_RECOVERY_DIR");
  if (dir && *dir) return dir;
  return (std::filesystem::current_path() / "talvex-recovery").string();
}

}  // namespace tlx::platform::app
