#!/usr/bin/env bash
# Block attributes: a sample drawing made with ezdxf is extracted through a template to a file
# and to an array, one value is replaced and saved, and ezdxf reads the saved value back.
set -euo pipefail

drawing="$DEMO_DIR/plan.dxf"
saved="$DEMO_DIR/plan-replaced.dxf"
template="$DEMO_DIR/doors.tpl"
extract="$DEMO_DIR/doors.csv"
echo "--- a sample drawing made with ezdxf: $drawing"
/usr/bin/python3 tests/attributes_e2e/attribute_drawings.py make "$drawing" R2000
printf '%s\r\n' "Door schedule" "*INPUT" "BLOCK: DOOR,OFFICE,DOOR" "LAYER: *" "SPACE: *" \
  "*OUTPUT" "BLOCK_NAME" "BLOCK_SPACE" "BLOCK_X" "BLOCK_Y" "*ATTRIBUTE_TAGS" "' tags" "NUMBER" "FIRE" \
  > "$template"
echo "--- the template $template:"
tr -d '\r' < "$template"

echo "--- a session: requests on the left (>), answers below (<)"
requests=(
  "{\"call\":\"OpenDocument\",\"args\":[\"$drawing\"]}"
  "{\"call\":\"PrepTemplate\",\"args\":[\"$template\"]}"
  "{\"call\":\"AttributesToFile\",\"args\":[\"$extract\",true]}"
  '{"let":"rows","value":{"array":[]}}'
  '{"call":"AttributesToArray","args":[{"var":"rows"},true]}'
  '{"call":"ReplaceAttributes","args":["D02","D02-A"]}'
  "{\"call\":\"SaveDocument\",\"args\":[\"$saved\"]}"
)
transcript "${requests[@]}"

echo "--- the extracted file $extract:"
tr -d '\r' < "$extract"

echo "--- the saved drawing, read back with ezdxf"
/usr/bin/python3 - "$saved" <<'PY'
import sys
import ezdxf

doc = ezdxf.readfile(sys.argv[1])
for ref in doc.modelspace().query("INSERT"):
    values = {a.dxf.tag: a.dxf.text for a in ref.attribs}
    if values.get("NUMBER", "").startswith("D02"):
        print("%s at (%g, %g): NUMBER = %s" % (ref.dxf.name, ref.dxf.insert[0], ref.dxf.insert[1], values["NUMBER"]))
print("audit errors:", len(doc.audit().errors))
PY
