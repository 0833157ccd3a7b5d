// What every test folder needs around the code under test: a scratch folder removed afterwards,
// whole files, and a shell command's output. Header-only.
//
//   tlxtest::ScratchDir dir("talvex-pdf");
//   std::string file = dir.write("in.txt", "a,b\n");
//   std::string text = tlxtest::shell("pdftotext " + tlxtest::shellQuote(dir.file("out.pdf")) + " -");
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

namespace tlxtest {

// A fresh folder /tmp/STEM-XXXXXX; the caller removes it.
inline std::filesystem::path makeTempDir(const std::string& stem) {
  std::string pattern = (std::filesystem::temp_directory_path() / (stem + "-XXXXXX")).string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  return pattern;
}

inline std::string readFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void writeFile(const std::filesystem::path& p, const std::string& bytes) {
  std::ofstream(p, std::ios::binary) << bytes;
}

// A fresh folder for one test, removed with everything in it when the object goes.
class ScratchDir {
 public:
  explicit ScratchDir(const std::string& stem = "talvex-test") : path_(makeTempDir(stem)) {}
  ~ScratchDir() {
    std::error_code ec;
    // A test may take the folder's own rights away; give them back so that it goes too.
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string file(const std::string& name) const { return (path_ / name).string(); }
  // Writes `bytes` to the file `name` in the folder; its path.
  std::string write(const std::string& name, const std::string& bytes) const {
    writeFile(path_ / name, bytes);
    return file(name);
  }

 private:
  std::filesystem::path path_;
};

inline std::string shellQuote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

struct CommandResult {
  int exitCode = -1;
  std::string out;
};

// Runs a shell command; its exit status and standard output.
inline CommandResult runCommand(const std::string& command) {
  CommandResult r;
  FILE* p = popen(command.c_str(), "r");
  if (!p) return r;
  char buf[4096];
  for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) r.out.append(buf, n);
  const int status = pclose(p);
  r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

// A shell command's standard output; throws when it fails, unless told not to mind.
inline std::string shell(const std::string& command, bool mustSucceed = true) {
  CommandResult r = runCommand(command);
  if (mustSucceed && r.exitCode != 0) throw std::runtime_error("command failed: " + command + "\n" + r.out);
  return r.out;
}

#ifdef TALVEX_SOURCE_DIR
// The output of one of the tests' Python scripts (Debian's interpreter, with openpyxl, ezdxf, ...),
// `script` relative to the source tree, `args` already quoted for the shell.
inline std::string python(const std::string& script, const std::string& args = "") {
  return shell("/usr/bin/python3 " + shellQuote(std::string(TALVEX_SOURCE_DIR) + "/" + script) + " " + args);
}
#endif

}  // namespace tlxtest
