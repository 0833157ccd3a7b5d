#include "platform/cad/dxf_solid.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>

namespace tlx::platform::cad {

namespace {

constexpr double kPi = 3.14159265358979323846;

P3 sub(const P3& a, const P3& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
double norm(const P3& a) { return std::sqrt(a[0] * a[0] + a[1] * a[1] + a[2] * a[2]); }
P3 unit(const P3& a) {
  double n = norm(a);
  return n > 0 ? P3{a[0] / n, a[1] / n, a[2] / n} : P3{0, 0, 0};
}

std::string num(double d) {
  if (d == 0 || !std::isfinite(d)) return "0";
  char buf[32];
  auto [p, ec] = std::to_chars(buf, buf + sizeof buf, d);
  return std::string(buf, p);
}

std::string vec(const P3& p) { return num(p[0]) + " " + num(p[1]) + " " + num(p[2]); }
std::string ptr(int i) { return "$" + std::to_string(i); }

// ACIS text as drawings store it: a simple substitution of each character.
std::string encode(const std::string& line) {
  std::string out;
  out.reserve(line.size() + 8);
  for (char ch : line) {
    unsigned char c = static_cast<unsigned char>(ch);
    if (c == ' ') {
      out += ' ';
    } else if (c == '_') {
      out += '@';
    } else if (c == '@') {
      out += '_';
    } else if (c >= 0x41 && c <= 0x5E) {
      out += static_cast<char>(0x9F - c);
      if (c == 'A') out += ' ';
    } else {
      out += static_cast<char>(c ^ 0x5F);
    }
  }
  return out;
}

}  // namespace

Mesh boxMesh(const P3& c, double l, double w, double h) {
  Mesh m;
  for (int k = 0; k < 8; ++k) {
    double sx = (k == 1 || k == 2 || k == 5 || k == 6) ? 0.5 : -0.5;
    double sy = (k == 2 || k == 3 || k == 6 || k == 7) ? 0.5 : -0.5;
    double sz = k >= 4 ? 0.5 : -0.5;
    m.vertices.push_back({c[0] + sx * l, c[1] + sy * w, c[2] + sz * h});
  }
  m.faces = {{0, 3, 2, 1}, {4, 5, 6, 7}, {0, 1, 5, 4}, {1, 2, 6, 5}, {2, 3, 7, 6}, {3, 0, 4, 7}};
  return m;
}

Mesh coneMesh(const P3& c, double r, double h, int sides) {
  Mesh m;
  double z0 = c[2] - h / 2;
  for (int i = 0; i < sides; ++i) {
    double a = 2 * kPi * i / sides;
    m.vertices.push_back({c[0] + r * std::cos(a), c[1] + r * std::sin(a), z0});
  }
  m.vertices.push_back({c[0], c[1], c[2] + h / 2});
  std::vector<int> base;
  for (int i = sides - 1; i >= 0; --i) base.push_back(i);
  m.faces.push_back(base);
  for (int i = 0; i < sides; ++i) m.faces.push_back({i, (i + 1) % sides, sides});
  return m;
}

std::vector<std::string> satLines(const Mesh& mesh) {
  const int F = static_cast<int>(mesh.faces.size());
  const int V = static_cast<int>(mesh.vertices.size());
  // Record numbers: body, lump, shell, then faces, loops, planes, coedges, edges, curves,
  // vertices and points in blocks.
  std::vector<int> firstCoedge(F);
  int coedges = 0;
  for (int f = 0; f < F; ++f) firstCoedge[f] = coedges, coedges += static_cast<int>(mesh.faces[f].size());
  struct Edge {
    int a, b;       // vertex a < vertex b: the edge runs from a to b
    int coedge;     // the first coedge on it
  };
  std::vector<Edge> edges;
  std::map<std::pair<int, int>, int> edgeOf;
  std::vector<int> edgeOfCoedge(coedges), partner(coedges, -1);
  for (int f = 0; f < F; ++f) {
    const auto& face = mesh.faces[f];
    for (size_t i = 0; i < face.size(); ++i) {
      int a = face[i], b = face[(i + 1) % face.size()];
      int ce = firstCoedge[f] + static_cast<int>(i);
      std::pair<int, int> key{std::min(a, b), std::max(a, b)};
      auto [it, fresh] = edgeOf.emplace(key, static_cast<int>(edges.size()));
      if (fresh) {
        edges.push_back({key.first, key.second, ce});
      } else {
        int other = edges[it->second].coedge;
        partner[ce] = other;
        partner[other] = ce;
      }
      edgeOfCoedge[ce] = it->second;
    }
  }
  const int E = static_cast<int>(edges.size());
  const int face0 = 3, loop0 = face0 + F, surf0 = loop0 + F, co0 = surf0 + F, edge0 = co0 + coedges,
            curve0 = edge0 + E, vert0 = curve0 + E, point0 = vert0 + V;
  std::vector<int> vertexEdge(V, -1);
  for (int e = 0; e < E; ++e) {
    if (vertexEdge[edges[e].a] < 0) vertexEdge[edges[e].a] = e;
    if (vertexEdge[edges[e].b] < 0) vertexEdge[edges[e].b] = e;
  }

  const std::string head = "$-1 -1 $-1 ";
  std::vector<std::string> out;
  out.push_back("700 0 1 0 ");
  const std::string product = "TALVEX drawing application", acis = "ACIS 7.0 NT", date = "Thu Jan 01 00:00:00 1970";
  out.push_back("@" + std::to_string(product.size()) + " " + product + " @" + std::to_string(acis.size()) + " " +
                acis + " @" + std::to_string(date.size()) + " " + date + " ");
  out.push_back("1 9.9999999999999995e-007 1e-010 ");
  out.push_back("body " + head + ptr(1) + " $-1 $-1 #");
  out.push_back("lump " + head + "$-1 " + ptr(2) + " " + ptr(0) + " #");
  out.push_back("shell " + head + "$-1 $-1 " + ptr(face0) + " $-1 " + ptr(1) + " #");
  for (int f = 0; f < F; ++f)
    out.push_back("face " + head + (f + 1 < F ? ptr(face0 + f + 1) : "$-1") + " " + ptr(loop0 + f) + " " + ptr(2) +
                  " $-1 " + ptr(surf0 + f) + " forward single #");
  for (int f = 0; f < F; ++f)
    out.push_back("loop " + head + "$-1 " + ptr(co0 + firstCoedge[f]) + " " + ptr(face0 + f) + " #");
  for (int f = 0; f < F; ++f) {
    const auto& face = mesh.faces[f];
    // Newell's normal: right for any planar polygon, convex or not.
    P3 n{0, 0, 0};
    for (size_t i = 0; i < face.size(); ++i) {
      const P3& p = mesh.vertices[face[i]];
      const P3& q = mesh.vertices[face[(i + 1) % face.size()]];
      n[0] += (p[1] - q[1]) * (p[2] + q[2]);
      n[1] += (p[2] - q[2]) * (p[0] + q[0]);
      n[2] += (p[0] - q[0]) * (p[1] + q[1]);
    }
    const P3& o = mesh.vertices[face[0]];
    P3 u = unit(sub(mesh.vertices[face[1]], o));
    out.push_back("plane-surface " + head + vec(o) + " " + vec(unit(n)) + " " + vec(u) + " forward_v I I I I #");
  }
  for (int f = 0; f < F; ++f) {
    const int n = static_cast<int>(mesh.faces[f].size());
    for (int i = 0; i < n; ++i) {
      int ce = firstCoedge[f] + i;
      int next = firstCoedge[f] + (i + 1) % n, prev = firstCoedge[f] + (i + n - 1) % n;
      bool reversed = mesh.faces[f][i] > mesh.faces[f][(i + 1) % n];
      out.push_back("coedge " + head + ptr(co0 + next) + " " + ptr(co0 + prev) + " " +
                    (partner[ce] >= 0 ? ptr(co0 + partner[ce]) : "$-1") + " " + ptr(edge0 + edgeOfCoedge[ce]) + " " +
                    (reversed ? "reversed " : "forward ") + ptr(loop0 + f) + " $-1 #");
    }
  }
  for (int e = 0; e < E; ++e) {
    double len = norm(sub(mesh.vertices[edges[e].b], mesh.vertices[edges[e].a]));
    out.push_back("edge " + head + ptr(vert0 + edges[e].a) + " 0 " + ptr(vert0 + edges[e].b) + " " + num(len) + " " +
                  ptr(co0 + edges[e].coedge) + " " + ptr(curve0 + e) + " forward @7 unknown #");
  }
  for (int e = 0; e < E; ++e) {
    const P3& a = mesh.vertices[edges[e].a];
    out.push_back("straight-curve " + head + vec(a) + " " + vec(unit(sub(mesh.vertices[edges[e].b], a))) + " I I #");
  }
  for (int v = 0; v < V; ++v)
    out.push_back("vertex " + head + (vertexEdge[v] >= 0 ? ptr(edge0 + vertexEdge[v]) : "$-1") + " " +
                  ptr(point0 + v) + " #");
  for (int v = 0; v < V; ++v) out.push_back("point " + head + vec(mesh.vertices[v]) + " #");
  out.push_back("End-of-ACIS-data ");
  return out;
}

bool satVersion(const std::string& acadver) { return acadver >= "AC1015" && acadver <= "AC1024"; }

Body solidBody(const Mesh& mesh, const std::string& acadver) {
  Body b = {{group::kSubclass, "AcDbModelerGeometry"}, {group::kFlags, "1"}};
  for (const std::string& line : satLines(mesh)) {
    std::string enc = encode(line);
    // Values hold at most 255 characters: longer lines go on in further pieces.
    b.push_back({group::kText, enc.substr(0, 255)});
    for (size_t pos = 255; pos < enc.size(); pos += 255) b.push_back({group::kTextPiece, enc.substr(pos, 255)});
  }
  if (acadver >= "AC1021") b.push_back({group::kSubclass, "AcDb3dSolid"}), b.push_back({group::kHistory, "0"});
  return b;
}

}  // namespace tlx::platform::cad
