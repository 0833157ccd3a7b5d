# The peer of bench_word: python-docx building the same ROWS x 5 table and saving it, by its
# quickest route (the table made at its full size, its cells listed once: add_row and row.cells
# walk the whole table every time). Prints the seconds. With a second file, also prints how many
# table rows python-docx finds in it (untimed), to check the benchmarked document.
import os
import sys
import tempfile
import time

import docx

rows = int(sys.argv[1])
table = [[f"r{r}c{c} text" if c % 2 == 0 else str(r * 10 + c) for c in range(5)] for r in range(rows)]

with tempfile.TemporaryDirectory() as work:
    start = time.perf_counter()
    d = docx.Document()
    t = d.add_table(rows=rows, cols=5)
    cells = t._cells
    for i, value in enumerate(v for row in table for v in row):
        cells[i].text = value
    d.save(os.path.join(work, "peer.docx"))
    print(f"{time.perf_counter() - start:.3f}")

if len(sys.argv) > 2:
    print(len(docx.Document(sys.argv[2]).tables[0].rows))
