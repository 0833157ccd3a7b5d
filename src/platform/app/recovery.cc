#include "platform/app/recovery.h"

#include <cstdlib>
#include <filesystem>
#include <map>

namespace tlx::app {

namespace {

struct Unsaved {
  std::string name;
  std::string extension;
  RecoverySave save;
};

std::map<int, Unsaved>& listed() {
  static std::map<int, Unsaved> list;
  return list;
}

std::string freePath(const std::filesystem::path& folder, const Unsaved& u) {
  std::filesystem::path p = folder / (u.name + u.extension);
  for (int n = 2; std::filesystem::exists(p); ++n)
    p = folder / (u.name + " (" + std::to_string(n) + ")" + u.extension);
  return p.string();
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
    std::string path = freePath(folder, u);
    try {
      if (!u.save(path)) continue;
      log << "talvex: unsaved " << u.name << " saved to " << path << '\n';
      ++saved;
    } catch (const std::exception& e) {
      log << "talvex: unsaved " << u.name << " could not be saved: " << e.what() << '\n';
    }
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

}  // namespace tlx::app
