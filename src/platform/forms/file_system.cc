#include "platform/forms/file_system.h"

#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "automation/strings.h"
#include "platform/forms/form_errors.h"
#include "platform/forms/list_model.h"

namespace fs = std::filesystem;

namespace tlx::platform::forms {

namespace {

void sortByText(std::vector<BStr>& names) {
  std::sort(names.begin(), names.end(), [](const BStr& a, const BStr& b) { return textBefore(a, b); });
}

bool isHidden(const std::string& name) { return !name.empty() && name[0] == '.'; }

// Mount table fields escape blanks and backslashes as octal (\040).
std::string unescapeMountField(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 3 < s.size() && asciiDigit(s[i + 1])) {
      out += static_cast<char>(std::stoi(s.substr(i + 1, 3), nullptr, 8));
      i += 3;
    } else {
      out += s[i];
    }
  }
  return out;
}

bool isKernelFileSystem(const std::string& type) {
  static const std::set<std::string> kinds = {
      "proc",     "sysfs",     "devtmpfs", "devpts",  "cgroup",  "cgroup2",   "securityfs", "debugfs",
      "tracefs",  "pstore",    "bpf",      "mqueue",  "hugetlbfs", "configfs", "fusectl",   "autofs",
      "binfmt_misc", "nsfs",   "efivarfs", "rpc_pipefs", "selinuxfs", "squashfs", "ramfs",  "tmpfs"};
  return kinds.count(type) > 0;
}

bool isRunTimeArea(const std::string& mountPoint) {
  for (const char* area : {"/proc", "/sys", "/dev", "/run"}) {
    const std::string a(area);
    if (mountPoint == a || mountPoint.rfind(a + "/", 0) == 0) return true;
  }
  return false;
}

}  // namespace

fs::path existingDirectory(std::u16string_view text) {
  if (text.empty() || text.find(u'\0') != std::u16string_view::npos) pathNotFound();
  std::error_code ec;
  fs::path p = fs::absolute(fs::path(u8(text)), ec).lexically_normal();
  if (ec || !fs::is_directory(p, ec)) pathNotFound();
  std::string s = p.string();
  while (s.size() > 1 && s.back() == '/') s.pop_back();
  return fs::path(s);
}

BStr textOf(const fs::path& p) { return u16(p.string()); }

std::vector<BStr> subdirectories(const fs::path& dir) {
  std::vector<BStr> names;
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    std::error_code kind;
    if (!isHidden(name) && it->is_directory(kind)) names.push_back(u16(name));
  }
  sortByText(names);
  const std::string prefix = dir.string() == "/" ? "/" : dir.string() + "/";
  for (BStr& n : names) n = BStr(u16(prefix) + n);
  return names;
}

std::vector<BStr> mountedDrives() {
  std::ifstream table("/proc/self/mounts");
  return drivesIn(table);
}

std::vector<BStr> drivesIn(std::istream& table) {
  std::vector<BStr> drives;
  std::string line;
  while (std::getline(table, line)) {
    std::istringstream fields(line);
    std::string source, mountPoint, type;
    if (!(fields >> source >> mountPoint >> type)) continue;
    mountPoint = unescapeMountField(mountPoint);
    std::error_code ec;
    if (mountPoint == "/" || isKernelFileSystem(type) || isRunTimeArea(mountPoint) ||
        !fs::is_directory(mountPoint, ec))
      continue;
    BStr d = u16(mountPoint);
    if (std::find(drives.begin(), drives.end(), d) == drives.end()) drives.push_back(d);
  }
  sortByText(drives);
  drives.insert(drives.begin(), BStr(u"/"));
  return drives;
}

BStr driveOf(const fs::path& p, const std::vector<BStr>& drives) {
  const BStr full = textOf(p);
  BStr best = u"/";
  for (const BStr& d : drives) {
    const std::u16string_view v = full;
    const bool inside = v == d.view() || (v.starts_with(d.view()) && v.size() > d.size() && v[d.size()] == u'/');
    if (inside && d.size() > best.size()) best = d;
  }
  return best;
}

namespace {

bool wildcardMatch(std::u16string_view name, std::u16string_view pattern) {
  size_t n = 0, p = 0, starP = std::u16string_view::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == u'?' || lowerChar(pattern[p]) == lowerChar(name[n]))) {
      ++n, ++p;
    } else if (p < pattern.size() && pattern[p] == u'*') {
      starP = p++, starN = n;
    } else if (starP != std::u16string_view::npos) {
      p = starP + 1, n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == u'*') ++p;
  return p == pattern.size();
}

}  // namespace

bool matchesPattern(std::u16string_view name, std::u16string_view patterns) {
  while (true) {
    const size_t cut = patterns.find(u';');
    const std::u16string_view one = trimSpaces(patterns.substr(0, cut));
    // "*.*" takes names without a dot too, as it always has.
    if (one == u"*.*" || (!one.empty() && wildcardMatch(name, one))) return true;
    if (cut == std::u16string_view::npos) return false;
    patterns.remove_prefix(cut + 1);
  }
}

std::vector<BStr> filesIn(const fs::path& dir, const FileFilter& filter) {
  std::vector<BStr> names;
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    struct stat st {};
    if (stat(it->path().c_str(), &st) != 0 || S_ISDIR(st.st_mode)) continue;
    const bool regular = S_ISREG(st.st_mode);
    const bool readOnly = regular && !(st.st_mode & S_IWUSR);
    if ((regular ? !filter.archive : !filter.system) || (isHidden(name) && !filter.hidden) ||
        (readOnly && !filter.readOnly))
      continue;
    BStr text = u16(name);
    if (matchesPattern(text, filter.pattern)) names.push_back(std::move(text));
  }
  sortByText(names);
  return names;
}

}  // namespace tlx::platform::forms
