"""Writes XML tables with pandas (DataFrame.to_xml, through lxml) into the directory given and
prints, for each, what pandas.read_xml reads back from it: columns and rows, values as text,
None where pandas has no value."""
import json
import os
import sys

import pandas as pd

out_dir = sys.argv[1]
frame = pd.DataFrame({
    "id": [1, 2, 3],
    "name": ["Straße", "東京 tower", "naïve & <co>"],
    "qty": [10, None, 3],
    "price": [2.5, 3.25, 0.125],
})

cases = {
    "elements": dict(index=False),
    "attributes": dict(index=False, attr_cols=["id", "price"], elem_cols=["name", "qty"]),
    "pretty_index": dict(index=True, pretty_print=True, root_name="inventory", row_name="item"),
    "latin1": dict(index=False, encoding="ISO-8859-1"),
}
result = {}
for name, options in cases.items():
    path = os.path.join(out_dir, name + ".xml")
    frame.to_xml(path, parser="lxml", **options)
    back = pd.read_xml(path, parser="lxml", dtype=str, encoding=options.get("encoding", "utf-8"))
    rows = [[None if pd.isna(v) else v for v in row] for row in back.itertuples(index=False)]
    result[name] = {"path": path, "columns": list(back.columns), "rows": rows}
print(json.dumps(result))
