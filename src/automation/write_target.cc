#include "automation/write_target.h"

namespace tlx {

std::filesystem::path writeTarget(const std::filesystem::path& path, std::error_code& error) {
  namespace fs = std::filesystem;
  error.clear();
  fs::path at = path;
  for (int hops = 0; hops < 40; ++hops) {  // the system's own bound on a chain of links
    std::error_code notLink;
    const fs::path to = fs::read_symlink(at, notLink);
    if (notLink) return at;
    at = to.is_absolute() ? to : at.parent_path() / to;
  }
  error = std::make_error_code(std::errc::too_many_symbolic_link_levels);
  return path;
}

}  // namespace tlx
