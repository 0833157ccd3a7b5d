#!/usr/bin/env bash
# The drawing application: a sample drawing made with ezdxf is opened, zoomed, given a named
# view and saved under a new name; ezdxf then reads the saved view back.
set -euo pipefail

drawing="$DEMO_DIR/office.dxf"
saved="$DEMO_DIR/office-views.dxf"
echo "--- a sample drawing made with ezdxf: $drawing"
/usr/bin/python3 tests/cad_e2e/drawings.py make "$drawing"

echo "--- a session: requests on the left (>), answers below (<)"
requests=(
  "{\"call\":\"OpenDocument\",\"args\":[\"$drawing\"]}"
  '{"call":"ActiveDocumentName"}'
  '{"call":"ZoomExtents"}'
  '{"call":"Zoom","args":[0,0,0,100,60,0]}'
  '{"call":"CreateView","args":["ENTRANCE"],"as":"view"}'
  '{"on":"view","get":"Name"}'
  '{"call":"ZoomCenter","args":[50,30,0,250]}'
  "{\"call\":\"SaveDocument\",\"args\":[\"$saved\"]}"
  '{"call":"ActiveDocumentName"}'
  '{"call":"CloseAutoCAD"}'
)
transcript "${requests[@]}"

echo "--- the saved drawing, read back with ezdxf"
/usr/bin/python3 - "$saved" <<'PY'
import sys
import ezdxf

doc = ezdxf.readfile(sys.argv[1])
view = doc.views.get("ENTRANCE")
print("view ENTRANCE: centre (%g, %g), height %g, width %g"
      % (view.dxf.center[0], view.dxf.center[1], view.dxf.height, view.dxf.width))
active = doc.viewports.get("*Active")[0]
print("active viewport: centre (%g, %g), height %g" % (active.dxf.center[0], active.dxf.center[1], active.dxf.height))
print("entities in model space:", len(doc.modelspace()), "- audit errors:", len(doc.audit().errors))
PY
