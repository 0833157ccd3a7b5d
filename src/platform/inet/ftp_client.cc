#include "platform/inet/ftp_client.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <utility>

#include "automation/strings.h"
#include "automation/write_target.h"
#include "platform/inet/ftp_listing.h"

namespace tlx::platform::inet {

namespace {

constexpr long kPollMs = 50;  // how soon a cancel is seen while the server is silent
constexpr size_t kFileBuffer = 1 << 20;

void globalInit() {
  static const bool done = [] { return curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; }();
  (void)done;
}

// Percent-encodes a remote path, keeping "/" as the separator.
std::string encodePath(std::string_view path) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : path) {
    if (asciiAlnum(static_cast<char>(c)) || c == '-' || c == '.' || c == '_' || c == '~' || c == '/') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

// The URL path of `name` (a file or directory, absolute or relative to `cwd`). A leading "%2F"
// makes the server start from its root rather than the login directory.
std::string urlPath(const std::string& cwd, std::string_view name) {
  if (!name.empty() && name.front() == '/') return "%2F" + encodePath(name.substr(1));
  if (cwd.empty()) return encodePath(name);
  std::string dir = encodePath(std::string_view(cwd).substr(1));
  if (!dir.empty() && dir.back() != '/' && !name.empty()) dir += '/';
  return "%2F" + dir + encodePath(name);
}

// LS answers one name a line, with the line ends DIR gives (libcurl may drop the CRs).
std::string crlfLines(std::string_view text) {
  std::string out;
  for (std::string_view line : splitLines(text))
    if (!line.empty()) out.append(line).append("\r\n");
  return out;
}

// A directory's URL path ends in "/", so that libcurl does not take its last part for a file.
std::string directoryPath(std::string path) {
  if (!path.empty() && path.back() != '/') path += '/';
  return path;
}

std::string errnoText(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + std::strerror(errno);
}

// A new file beside `target`, created with the permissions an ordinary new file gets.
std::string createTempBeside(const std::string& target, int& fd) {
  namespace fs = std::filesystem;
  fs::path p(target);
  std::random_device rd;
  for (int attempt = 0; attempt < 16; ++attempt) {
    std::string name(".");
    name.append(p.filename().string()).append(".").append(std::to_string(rd() % 1000000)).append(".part");
    std::string temp = (p.parent_path() / name).string();
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return temp;
  }
  return {};
}

size_t writeToFile(char* data, size_t size, size_t n, void* file) {
  return std::fwrite(data, size, n, static_cast<FILE*>(file));
}
size_t writeToString(char* data, size_t size, size_t n, void* text) {
  static_cast<std::string*>(text)->append(data, size * n);
  return size * n;
}
size_t readFromFile(char* data, size_t size, size_t n, void* file) {
  size_t got = std::fread(data, size, n, static_cast<FILE*>(file));
  return std::ferror(static_cast<FILE*>(file)) ? CURL_READFUNC_ABORT : got;
}

// "257 "/a ""quoted"" dir" is the current directory." gives /a "quoted" dir.
std::string quotedPath(std::string_view reply) {
  size_t open = reply.find('"');
  std::string path;
  if (open == std::string_view::npos) return path;
  for (size_t i = open + 1; i < reply.size(); ++i) {
    if (reply[i] == '"') {
      if (i + 1 < reply.size() && reply[i + 1] == '"') {
        ++i;
      } else {
        break;
      }
    }
    path += reply[i];
  }
  return path;
}

void scrub(std::string& text, const std::string& secret) {
  if (secret.size() < 4) return;  // shorter ones would garble ordinary words
  for (size_t at; (at = text.find(secret)) != std::string::npos;) text.replace(at, secret.size(), "***");
}

}  // namespace

struct FtpClient::Job {
  FtpVerb verb;
  FILE* file = nullptr;
  std::string tempPath, finalPath;
  std::string body;
  std::vector<std::string> replies;  // the server's reply lines, in order
  curl_slist* commands = nullptr;
  char error[CURL_ERROR_SIZE] = {};

  ~Job() {
    if (file) std::fclose(file);
    if (!tempPath.empty()) ::unlink(tempPath.c_str());
    curl_slist_free_all(commands);
  }
  void command(const std::string& text) { commands = curl_slist_append(commands, text.c_str()); }
  // The last complete reply line with this code ("257", "213"), or any code when empty.
  std::string lastReply(std::string_view code = {}) const {
    for (auto it = replies.rbegin(); it != replies.rend(); ++it)
      if (it->size() >= 4 && (*it)[3] == ' ' && (code.empty() || it->compare(0, 3, code) == 0)) return *it;
    return {};
  }
};

// libcurl hands every reply line of the server to the header callback.
size_t FtpClient::collectReply(char* data, size_t size, size_t n, void* job) {
  std::string line(data, size * n);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  static_cast<Job*>(job)->replies.push_back(std::move(line));
  return size * n;
}

FtpClient::FtpClient() { globalInit(); }

FtpClient::~FtpClient() { closeSession(); }

void FtpClient::closeSession() {
  // Cleaning up the multi handle closes its cached connections, each with a QUIT.
  if (easy_) curl_easy_cleanup(easy_);
  if (multi_) curl_multi_cleanup(multi_);
  easy_ = nullptr;
  multi_ = nullptr;
  cwd_.clear();
}

FtpOutcome FtpClient::run(const FtpEndpoint& endpoint, const FtpCommand& command,
                          const std::atomic<bool>& cancelled) {
  FtpOutcome outcome;
  if (command.verb == FtpVerb::Quit || command.verb == FtpVerb::Close) {
    closeSession();
    outcome.info = "Session closed";
    return outcome;
  }
  // Another server or user is another session: the directory kept belongs to the old one.
  std::string key = endpoint.host + '\n' + std::to_string(endpoint.port) + '\n' + endpoint.user +
                    (endpoint.tls ? "\ntls" : "");
  if (key != sessionKey_) {
    closeSession();
    sessionKey_ = key;
  }
  if (!multi_) multi_ = curl_multi_init();
  if (!easy_) easy_ = curl_easy_init();
  if (!multi_ || !easy_) {
    outcome.code = CURLE_OUT_OF_MEMORY;
    outcome.info = curl_easy_strerror(CURLE_OUT_OF_MEMORY);
    return outcome;
  }
  Job job;
  job.verb = command.verb;
  if (!prepare(job, endpoint, command, outcome)) return outcome;
  CURLcode result = perform(cancelled);
  curl_easy_reset(easy_);  // no option may point into the finished job
  finish(job, result, outcome);
  scrub(outcome.info, endpoint.password);
  return outcome;
}

bool FtpClient::prepare(Job& job, const FtpEndpoint& ep, const FtpCommand& cmd, FtpOutcome& outcome) {
  curl_easy_reset(easy_);  // options only: the cached connection stays
  const auto& a = cmd.args;
  std::string path;
  switch (cmd.verb) {
    case FtpVerb::Get:
      if (!openDownload(job, a[1], outcome)) return false;
      path = urlPath(cwd_, a[0]);
      break;
    case FtpVerb::Put:
      if (!openUpload(job, a[0], outcome)) return false;
      path = urlPath(cwd_, a[1]);
      break;
    case FtpVerb::Dir:
    case FtpVerb::Ls: path = listing(job, cmd); break;
    default: path = serverCommands(job, cmd); break;
  }
  setCommonOptions(job, ep, path);
  return true;
}

bool FtpClient::openDownload(Job& job, const std::string& localFile, FtpOutcome& outcome) {
  int fd = -1;
  std::error_code linkError;
  const std::string target = writeTarget(localFile, linkError).string();
  std::string temp = linkError ? std::string() : createTempBeside(target, fd);
  if (fd < 0) {
    if (linkError) errno = linkError.value();
    outcome.code = CURLE_WRITE_ERROR;
    outcome.info = errnoText("Cannot create the local file", localFile);
    return false;
  }
  job.tempPath = temp;
  job.finalPath = target;
  job.file = ::fdopen(fd, "wb");
  if (!job.file) {
    ::close(fd);
    outcome.code = CURLE_WRITE_ERROR;
    outcome.info = errnoText("Cannot write the local file", localFile);
    return false;
  }
  std::setvbuf(job.file, nullptr, _IOFBF, kFileBuffer);
  curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, writeToFile);
  curl_easy_setopt(easy_, CURLOPT_WRITEDATA, job.file);
  return true;
}

bool FtpClient::openUpload(Job& job, const std::string& localFile, FtpOutcome& outcome) {
  struct stat st {};
  job.file = std::fopen(localFile.c_str(), "rb");
  if (!job.file || ::fstat(fileno(job.file), &st) != 0 || !S_ISREG(st.st_mode)) {
    if (job.file) errno = EISDIR;
    outcome.code = CURLE_READ_ERROR;
    outcome.info = errnoText("Cannot read the local file", localFile);
    return false;
  }
  std::setvbuf(job.file, nullptr, _IOFBF, kFileBuffer);
  curl_easy_setopt(easy_, CURLOPT_UPLOAD, 1L);
  curl_easy_setopt(easy_, CURLOPT_READFUNCTION, readFromFile);
  curl_easy_setopt(easy_, CURLOPT_READDATA, job.file);
  curl_easy_setopt(easy_, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(st.st_size));
  return true;
}

// DIR and LS of the current directory, or of the name given.
std::string FtpClient::listing(Job& job, const FtpCommand& cmd) {
  if (cmd.verb == FtpVerb::Ls) curl_easy_setopt(easy_, CURLOPT_DIRLISTONLY, 1L);
  curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, writeToString);
  curl_easy_setopt(easy_, CURLOPT_WRITEDATA, &job.body);
  if (!cmd.args.empty()) {
    std::string request = (cmd.verb == FtpVerb::Ls ? "NLST " : "LIST ") + cmd.args[0];
    curl_easy_setopt(easy_, CURLOPT_CUSTOMREQUEST, request.c_str());  // libcurl keeps a copy
  }
  return directoryPath(urlPath(cwd_, ""));
}

// The commands that transfer nothing: run on the directory's URL, after libcurl's own CWD,
// with no transfer. CD and CDUP let libcurl change directory itself, so that the server is
// always where libcurl believes it is; PWD then tells the absolute path.
std::string FtpClient::serverCommands(Job& job, const FtpCommand& cmd) {
  const auto& a = cmd.args;
  std::string path = urlPath(cwd_, "");
  switch (cmd.verb) {
    case FtpVerb::Cd: path = urlPath(cwd_, a[0]), job.command("PWD"); break;
    case FtpVerb::Cdup: path = urlPath(cwd_, ".."), job.command("PWD"); break;
    case FtpVerb::Pwd: job.command("PWD"); break;
    case FtpVerb::Mkdir: job.command("MKD " + a[0]); break;
    case FtpVerb::Rmdir: job.command("RMD " + a[0]); break;
    case FtpVerb::Delete: job.command("DELE " + a[0]); break;
    case FtpVerb::Rename: job.command("RNFR " + a[0]), job.command("RNTO " + a[1]); break;
    case FtpVerb::Size: job.command("SIZE " + a[0]); break;
    default: break;
  }
  curl_easy_setopt(easy_, CURLOPT_NOBODY, 1L);
  curl_easy_setopt(easy_, CURLOPT_POSTQUOTE, job.commands);
  return directoryPath(path);
}

void FtpClient::setCommonOptions(Job& job, const FtpEndpoint& ep, const std::string& path) {
  CURL* h = easy_;
  std::string host = ep.host.find(':') != std::string::npos ? "[" + ep.host + "]" : ep.host;
  std::string url = "ftp://" + host + ":" + std::to_string(ep.port) + "/" + path;
  curl_easy_setopt(h, CURLOPT_URL, url.c_str());
  curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "ftp");
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h, CURLOPT_ERRORBUFFER, job.error);
  curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, collectReply);
  curl_easy_setopt(h, CURLOPT_HEADERDATA, &job);
  curl_easy_setopt(h, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_SINGLECWD));
  curl_easy_setopt(h, CURLOPT_BUFFERSIZE, 512L * 1024);
  curl_easy_setopt(h, CURLOPT_UPLOAD_BUFFERSIZE, 2L * 1024 * 1024);
  if (!ep.user.empty()) {
    curl_easy_setopt(h, CURLOPT_USERNAME, ep.user.c_str());
    curl_easy_setopt(h, CURLOPT_PASSWORD, ep.password.c_str());
  }
  if (ep.timeoutSeconds > 0) {
    long t = ep.timeoutSeconds;
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, t);
    curl_easy_setopt(h, CURLOPT_SERVER_RESPONSE_TIMEOUT, t);
    // A transfer that moves nothing for that long has stalled.
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, t);
  }
  if (ep.tls) {
    curl_easy_setopt(h, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
    curl_easy_setopt(h, CURLOPT_FTPSSLAUTH, static_cast<long>(CURLFTPAUTH_TLS));
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, ep.verifyCertificate ? 1L : 0L);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, ep.verifyCertificate ? 2L : 0L);
    if (!ep.caFile.empty()) curl_easy_setopt(h, CURLOPT_CAINFO, ep.caFile.c_str());
  }
}

CURLcode FtpClient::perform(const std::atomic<bool>& cancelled) {
  CURLcode result = CURLE_OK;
  curl_multi_add_handle(multi_, easy_);
  for (int running = 1;;) {
    if (curl_multi_perform(multi_, &running) != CURLM_OK) {
      result = CURLE_FAILED_INIT;
      break;
    }
    if (!running) {
      int left = 0;
      while (CURLMsg* msg = curl_multi_info_read(multi_, &left))
        if (msg->msg == CURLMSG_DONE) result = msg->data.result;
      break;
    }
    if (cancelled.load()) {
      result = CURLE_ABORTED_BY_CALLBACK;
      break;
    }
    curl_multi_poll(multi_, nullptr, 0, kPollMs, nullptr);
  }
  // Removing an unfinished transfer closes its connection; the directory kept still holds.
  curl_multi_remove_handle(multi_, easy_);
  return result;
}

void FtpClient::finish(Job& job, CURLcode result, FtpOutcome& outcome) {
  if (result == CURLE_OK && job.verb == FtpVerb::Get) {
    FILE* f = std::exchange(job.file, nullptr);
    if (std::fclose(f) != 0) {
      result = CURLE_WRITE_ERROR;
      std::snprintf(job.error, sizeof job.error, "Cannot write the local file %s: %s",
                    job.finalPath.c_str(), std::strerror(errno));
    } else if (std::rename(job.tempPath.c_str(), job.finalPath.c_str()) != 0) {
      result = CURLE_WRITE_ERROR;
      std::snprintf(job.error, sizeof job.error, "Cannot replace the local file %s: %s",
                    job.finalPath.c_str(), std::strerror(errno));
    } else {
      job.tempPath.clear();
    }
  }
  outcome.code = result;
  std::string reply = job.lastReply();
  if (result == CURLE_OK) {
    outcome.info = reply;
    if (job.verb == FtpVerb::Cd || job.verb == FtpVerb::Cdup || job.verb == FtpVerb::Pwd) {
      std::string dir = quotedPath(job.lastReply("257"));
      if (!dir.empty() && dir.front() == '/') cwd_ = dir;
      if (job.verb == FtpVerb::Pwd) outcome.data = dir;
    }
    if (job.verb == FtpVerb::Size) {
      std::string size = job.lastReply("213");
      outcome.data = size.size() > 4 ? size.substr(4) : "";
    }
    if (job.verb == FtpVerb::Dir) outcome.data = formatDirResult(parseFtpListing(job.body));
    if (job.verb == FtpVerb::Ls) outcome.data = crlfLines(job.body);
    return;
  }
  outcome.info = job.error[0] ? job.error : curl_easy_strerror(result);
  if (result == CURLE_ABORTED_BY_CALLBACK) outcome.info = "Cancelled";
  // The server's own words, when it refused.
  if (!reply.empty() && reply[0] >= '4' && outcome.info.find(reply) == std::string::npos)
    outcome.info += " (" + reply + ")";
}

}  // namespace tlx::platform::inet
