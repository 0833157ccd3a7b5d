#include "platform/desktop/clipboard.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "talvex/com_error.h"

extern char** environ;

namespace tlx {

namespace {

bool set(const char* name) {
  const char* v = std::getenv(name);
  return v && *v;
}
bool wayland() { return set("WAYLAND_DISPLAY"); }

std::vector<std::string> copyCommand() {
  if (wayland()) return {"wl-copy"};
  return {"xclip", "-selection", "clipboard", "-in"};
}
std::vector<std::string> pasteCommand() {
  if (wayland()) return {"wl-paste", "--no-newline"};
  return {"xclip", "-selection", "clipboard", "-out"};
}

// Runs `argv` with `input` on its standard input and returns its exit status; what it prints
// goes to `output` when given, else to /dev/null (the helper's background server must not hold
// the host's own output open).
int run(const std::vector<std::string>& argv, const std::string& input, std::string* output) {
  int in[2], out[2] = {-1, -1};
  // A socket rather than a pipe: a helper that exits early cannot raise SIGPIPE in the host.
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, in) != 0) return -1;
  if (output && pipe2(out, O_CLOEXEC) != 0) {
    close(in[0]), close(in[1]);
    return -1;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  if (output) posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  else posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  std::vector<char*> args;
  for (auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(in[0]);
  if (output) close(out[1]);
  if (rc != 0) {
    close(in[1]);
    if (output) close(out[0]);
    return -1;
  }
  for (size_t done = 0; done < input.size();) {
    ssize_t n = send(in[1], input.data() + done, input.size() - done, MSG_NOSIGNAL);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  close(in[1]);
  if (output) {
    char buf[4096];
    ssize_t n;
    while ((n = read(out[0], buf, sizeof buf)) > 0) output->append(buf, static_cast<size_t>(n));
    close(out[0]);
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

bool hasDesktopClipboard() { return set("DISPLAY") || wayland(); }

void setDesktopClipboard(const std::string& utf8) {
  if (run(copyCommand(), utf8, nullptr) != 0)
    throw ComError(hr::E_FAIL, "The clipboard cannot be set (" + copyCommand()[0] + " failed)");
}

std::optional<std::string> desktopClipboard() {
  std::string text;
  if (run(pasteCommand(), {}, &text) != 0) return std::nullopt;
  return text;
}

}  // namespace tlx
