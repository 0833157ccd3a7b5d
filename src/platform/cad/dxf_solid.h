// Solids for 3DSOLID entities: polyhedral bodies written as ACIS text (SAT), the form drawings of
// R2000 to R2010 carry inside the entity.
#pragma once

#include <string>
#include <vector>

#include "platform/cad/dxf_document.h"

namespace tlx::platform::cad {

// Vertices and planar faces; each face lists vertex indexes counter-clockwise seen from outside.
struct Mesh {
  std::vector<P3> vertices;
  std::vector<std::vector<int>> faces;
};

// A box of the given sizes centred on `center`, edges along the axes.
Mesh boxMesh(const P3& center, double length, double width, double height);
// A cone standing on the XY plane, centred on `center` (the middle of its bounding box), its
// round base approximated by `sides` flat facets.
Mesh coneMesh(const P3& center, double radius, double height, int sides = 64);

// The ACIS text of a closed polyhedral body (one lump, one shell), one line per record.
std::vector<std::string> satLines(const Mesh& mesh);
// Whether a drawing of this version keeps ACIS text in its 3DSOLID entities.
bool satVersion(const std::string& acadver);
// The 3DSOLID body after the common entity part: modeler geometry with the encoded ACIS lines.
Body solidBody(const Mesh& mesh, const std::string& acadver);

}  // namespace tlx::platform::cad
