"""The guide's pandas recipe, taken from README.md (argument 1), on a run over the change to summer
time, its last row or its header cut short at every byte, as a crash leaves them. Exits 77
without pandas."""

import pathlib
import re
import sys
import tempfile

try:
    import pandas as pd
except ImportError:
    print("SKIP: pandas is not installed (python3-pandas)")
    sys.exit(77)

guide = pathlib.Path(sys.argv[1]).read_text(encoding="utf-8")
section = guide.split("\n## The run log\n", 1)[1].split("\n## ", 1)[0]
scope = {}
exec(re.search(r"```python\n(.*?)```", section, re.S).group(1), scope)

HEADER = "time,elapsed_s,temperature_C,status\n"
# The clock goes from 02:00 +01:00 to 03:00 +02:00 between the first two rows.
ROWS = [
    "2026-03-29T01:59:59.600+01:00,0.000,36.5,ok\n",
    "2026-03-29T03:00:00.400+02:00,0.800,,no-reply\n",
    "2026-03-29T03:00:01.200+02:00,1.600,36.6,ok\n",
]
EXPECTED = pd.DataFrame({
    "time": pd.to_datetime(["2026-03-29T00:59:59.600Z", "2026-03-29T01:00:00.400Z",
                            "2026-03-29T01:00:01.200Z"], utc=True),
    "elapsed_s": [0.0, 0.8, 1.6],
    "temperature_C": [36.5, None, 36.6],
    "status": ["ok", "no-reply", "ok"],
})

cases = [("whole", HEADER + "".join(ROWS), 3), ("empty", "", 0)]
cases += [(f"header cut at {n}", HEADER[:n], 0) for n in range(1, len(HEADER))]
cases += [(f"last row cut to {ROWS[2][:n]!r}", HEADER + "".join(ROWS[:2]) + ROWS[2][:n], 2)
          for n in range(1, len(ROWS[2]))]
failures = 0
with tempfile.TemporaryDirectory() as folder:
    path = pathlib.Path(folder) / "2026-03-29_01-59-59.csv"
    for name, content, rows in cases:
        path.write_text(content, encoding="ascii")
        try:
            # An empty table's index may be of any kind.
            pd.testing.assert_frame_equal(scope["read_run"](str(path)),
                                          EXPECTED.head(rows), check_index_type=False)
        except Exception as error:  # pylint: disable=broad-except
            failures += 1
            print(f"FAIL: {name}: {type(error).__name__}: {error}")
print(f"{len(cases) - failures} of {len(cases)} run files read right")
sys.exit(1 if failures else 0)
