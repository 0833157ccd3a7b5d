// Opening and saving a drawing of 200,000 entities, beside ezdxf reading and writing the same file.
// The drawing is made once by ezdxf and kept in $TALVEX_BENCH_DIR (default /tmp/talvex-bench).
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench_support.h"
#include "platform/cad/dxf_document.h"

namespace {

const char* const kMake = R"PY(
import ezdxf, sys, random
random.seed(7)
doc = ezdxf.new('R2000')
doc.layers.add('PARTS', color=3)
blk = doc.blocks.new('PART')
blk.add_circle((0, 0), 1)
blk.add_attdef('NUM', (0, 0), dxfattribs={'height': 0.5})
blk.add_attdef('DESC', (0, -1), dxfattribs={'height': 0.5})
msp = doc.modelspace()
n = int(sys.argv[2])
for i in range(n):
    x, y = random.uniform(0, 10000), random.uniform(0, 10000)
    k = i % 20
    if k < 8:
        msp.add_line((x, y), (x + random.uniform(-50, 50), y + random.uniform(-50, 50)))
    elif k < 11:
        msp.add_circle((x, y), random.uniform(1, 20))
    elif k < 14:
        msp.add_arc((x, y), random.uniform(1, 20), random.uniform(0, 360), random.uniform(0, 360))
    elif k < 16:
        msp.add_text('T%d' % i, dxfattribs={'height': 2.5, 'insert': (x, y)})
    else:
        r = msp.add_blockref('PART', (x, y), dxfattribs={'layer': 'PARTS'})
        r.add_auto_attribs({'NUM': str(i), 'DESC': 'part %d' % i})
doc.saveas(sys.argv[1])
)PY";

const char* const kPeer = R"PY(
import ezdxf, sys, time
t0 = time.perf_counter()
doc = ezdxf.readfile(sys.argv[1])
t1 = time.perf_counter()
doc.saveas(sys.argv[2])
t2 = time.perf_counter()
print('%.3f %.3f' % (t1 - t0, t2 - t1))
)PY";

double now() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

std::string run(const std::string& cmd) {
  std::string out;
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return out;
  char buf[512];
  while (fgets(buf, sizeof buf, p)) out += buf;
  pclose(p);
  return out;
}

}  // namespace

int main() {
  const char* envDir = std::getenv("TALVEX_BENCH_DIR");
  std::string dir = envDir ? envDir : "/tmp/talvex-bench";
  std::filesystem::create_directories(dir);
  const int entities = 200000;
  std::string drawing = dir + "/dxf-200k.dxf";
  auto script = [&](const char* name, const char* text) {
    std::string path = dir + "/" + name;
    std::ofstream(path) << text;
    return path;
  };
  if (!std::filesystem::exists(drawing)) {
    std::printf("making %s with ezdxf (once)...\n", drawing.c_str());
    std::fflush(stdout);
    double t = now();
    run("/usr/bin/python3 " + script("make_dxf.py", kMake) + " " + drawing + ".part " + std::to_string(entities));
    std::filesystem::rename(drawing + ".part", drawing);
    std::printf("  made in %.1f s\n", now() - t);
  }
  double mb = static_cast<double>(std::filesystem::file_size(drawing)) / (1024 * 1024);

  long rssBefore = bench::statusKilobytes("VmRSS:");
  double t0 = now();
  auto doc = tlx::platform::cad::Document::load(drawing);
  double t1 = now();
  doc->save(dir + "/dxf-200k-talvex.dxf");
  double t2 = now();
  size_t count = doc->entities().size();
  long peakKb = bench::statusKilobytes("VmHWM:") - rssBefore;
  doc.reset();

  std::string peer = run("/usr/bin/python3 " + script("peer_dxf.py", kPeer) + " " + drawing + " " + dir +
                         "/dxf-200k-ezdxf.dxf");
  double peerRead = 0, peerWrite = 0;
  if (std::sscanf(peer.c_str(), "%lf %lf", &peerRead, &peerWrite) != 2) {
    std::printf("ezdxf run failed: %s\n", peer.c_str());
    return 1;
  }

  double ours = t2 - t0, theirs = peerRead + peerWrite;
  std::printf("DXF open + save, %zu entities, %.1f MB\n", count, mb);
  std::printf("  %-8s open %7.3f s  save %7.3f s  total %7.3f s\n", "talvex", t1 - t0, t2 - t1, ours);
  std::printf("  %-8s open %7.3f s  save %7.3f s  total %7.3f s\n", "ezdxf", peerRead, peerWrite, theirs);
  std::printf("  ratio: %.1fx faster than ezdxf (aim: at least 5x)\n", theirs / ours);
  std::printf("  memory: %.1f MB at peak for a %.1f MB file (%.2fx; aim: within 3x)\n", peakKb / 1024.0, mb,
              peakKb / 1024.0 / mb);
  return 0;
}
