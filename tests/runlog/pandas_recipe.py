"""The guide's pandas recipe, taken from README.md as it stands, on run files as a crash and a
change to summer time leave them: a last line cut short at every byte of a row (so in each of
its fields), an empty file, a header cut short, and the UTC offset changing within the run.
Skipped (77) where pandas is not installed.

Usage: python3 pandas_recipe.py README.md
"""

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
recipe = re.search(r"```python\n(.*?)```", section, re.S).group(1)
scope = {}
exec(recipe, scope)  # pylint: disable=exec-used
read_run = scope["read_run"]

HEADER = "time,elapsed_s,temperature_C,status\n"
# The clock goes from 02:00 +01:00 to 03:00 +02:00 between the first two rows.
ROWS = [
    "2026-03-29T01:59:59.600+01:00,0.000,36.5,ok\n",
    "2026-03-29T03:00:00.400+02:00,0.800,,no-reply\n",
    "2026-03-29T03:00:01.200+02:00,1.600,36.6,ok\n",
]
TIMES = ["2026-03-29T00:59:59.600Z", "2026-03-29T01:00:00.400Z", "2026-03-29T01:00:01.200Z"]
TEMPERATURES = [36.5, None, 36.6]
STATUSES = ["ok", "no-reply", "ok"]

cases = [("whole", HEADER + "".join(ROWS), 3), ("empty", "", 0)]
cases += [(f"header cut at {n}", HEADER[:n], 0) for n in range(1, len(HEADER))]
cases += [
    (f"last row cut at {n} ({ROWS[2][:n]!r})", HEADER + "".join(ROWS[:2]) + ROWS[2][:n], 2)
    for n in range(1, len(ROWS[2]))
]

failures = 0
with tempfile.TemporaryDirectory() as folder:
    path = pathlib.Path(folder) / "2026-03-29_01-59-59.csv"
    for name, content, rows in cases:
        path.write_text(content, encoding="ascii")
        expected = pd.DataFrame(
            {
                "time": pd.to_datetime(TIMES[:rows], utc=True),
                "elapsed_s": [0.8 * i for i in range(rows)],
                "temperature_C": pd.Series(TEMPERATURES[:rows], dtype=float),
                "status": pd.Series(STATUSES[:rows], dtype=object),
            }
        )
        try:
            run = read_run(str(path))
            # An empty table's index may be of any kind.
            pd.testing.assert_frame_equal(run, expected, check_index_type=False)
        except Exception as error:  # pylint: disable=broad-except
            failures += 1
            print(f"FAIL: {name}: {type(error).__name__}: {error}")

print(f"{len(cases) - failures} of {len(cases)} run files read right")
sys.exit(1 if failures else 0)
