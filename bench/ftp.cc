// Download and upload of a 500 MB file over loopback through DownloadFile / UploadFile, beside
// curl doing the same transfers against the same server in the same run. Prints MB/s, the
// ratio to curl, and the CPU the waiting caller's thread used (the worker moves the data).
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "talvex/convert.h"
#include "talvex/registry.h"
#include "automation/strings.h"
#include "control/talvex.h"

namespace {
const std::string& sourceDir() {
  static const std::string dir = std::filesystem::path(__FILE__).parent_path().parent_path().string();
  return dir;
}
}  // namespace
#define TALVEX_SOURCE_DIR sourceDir()
#include "support/ftp_server.h"

namespace {

using namespace tlxtest;
using Clock = std::chrono::steady_clock;
constexpr double kMegabytes = 500;

class QuietSite : public tlx::HostSite {
 public:
  void messageBox(const tlx::BStr&) override {}
};

double threadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

struct Timing {
  double seconds, callerCpu;
};

Timing timeMethod(tlx::TALVEX& control, const char* method, const std::string& host, const fs::path& localFile,
                  const char* remote) {
  tlx::ObjRef inet = tlx::createObject("InetCtls.Inet");
  std::vector<tlx::Variant> args = {tlx::Variant(inet), tlx::Variant(tlx::u16(host)), tlx::Variant(u""),
                                    tlx::Variant(tlx::u16(localFile.string())), tlx::Variant(tlx::u16(remote)),
                                    tlx::Variant(u"user"), tlx::Variant(u"secret")};
  tlx::DispParams p;
  for (auto& a : args) p.positional.push_back(&a);
  double cpu0 = threadCpuSeconds();
  auto t0 = Clock::now();
  int16_t status = tlx::toI2(control.invoke(method, tlx::InvokeKind::Method, p));
  Timing t{std::chrono::duration<double>(Clock::now() - t0).count(), threadCpuSeconds() - cpu0};
  if (status != 1 || tlx::toI4(tlx::getProperty(inet, "ResponseCode")) != 0) {
    std::fprintf(stderr, "bench_ftp: %s failed: %s\n", method,
                 tlx::u8(tlx::toBStr(tlx::getProperty(inet, "ResponseInfo"))).c_str());
    std::exit(1);
  }
  return t;
}

double timeCurl(const std::string& args) {
  auto t0 = Clock::now();
  if (std::system(("curl -s -S --ftp-method singlecwd " + args).c_str()) != 0) {
    std::fprintf(stderr, "bench_ftp: curl %s failed\n", args.c_str());
    std::exit(1);
  }
  return std::chrono::duration<double>(Clock::now() - t0).count();
}

void report(const char* what, const Timing& ours, double curl) {
  std::printf("%-9s talvex %7.1f MB/s   curl %7.1f MB/s   ratio %.2f   caller CPU %.1f%% of a core\n", what,
              kMegabytes / ours.seconds, kMegabytes / curl, curl / ours.seconds,
              100.0 * ours.callerCpu / ours.seconds);
}

}  // namespace

int main() {
  FtpServer server;
  fs::path work = makeTempDir("talvex-bench-ftp");
  fs::path source = work / "source.bin";
  std::system(("head -c " + std::to_string(static_cast<long>(kMegabytes) << 20) + " /dev/urandom > " +
               source.string())
                  .c_str());
  const std::string url = "ftp://user:secret@" + server.hostPort() + "/";
  QuietSite site;
  tlx::TALVEX control(site);

  // Best of two rounds, the two clients taking turns, so that a busy moment on a shared
  // machine does not decide the ratio.
  Timing up{1e9, 0}, down{1e9, 0};
  double curlUp = 1e9, curlDown = 1e9;
  for (int round = 0; round < 2; ++round) {
    Timing u = timeMethod(control, "UploadFile", server.hostPort(), source, "ours.bin");
    if (u.seconds < up.seconds) up = u;
    curlUp = std::min(curlUp, timeCurl("-T " + source.string() + " " + url + "curl.bin"));
    Timing d = timeMethod(control, "DownloadFile", server.hostPort(), work / "ours.bin", "ours.bin");
    if (d.seconds < down.seconds) down = d;
    curlDown = std::min(curlDown, timeCurl("-o " + (work / "curl.bin").string() + " " + url + "curl.bin"));
  }

  std::printf("500 MB over loopback to a local FTP server, best of 2 (ratio = curl time / our time)\n");
  report("upload", up, curlUp);
  report("download", down, curlDown);
  fs::remove_all(work);
  return 0;
}
