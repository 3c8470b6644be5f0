#!/usr/bin/python3
"""The same run file read with pandas and plotted with matplotlib to a PNG, for comparison with
bench_history's reading and plotting of it:

    VT_BENCH_DIR=/tmp/vt-history build/bench/bench_history
    /usr/bin/python3 bench/pandas_plot.py /tmp/vt-history/run-1000000.csv [OUT.png]

Prints the seconds of reading, of plotting and of both. The times are not parsed (only the
elapsed seconds are plotted), as the history parses only the first row's time.
"""
import sys
import time

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402  (after choosing the back end)
import pandas as pd  # noqa: E402


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit(f"usage: {sys.argv[0]} RUN.csv [OUT.png]")
    path = sys.argv[1]
    out = sys.argv[2] if len(sys.argv) == 3 else "/tmp/pandas_plot.png"

    begun = time.perf_counter()
    run = pd.read_csv(
        path, dtype={"elapsed_s": float, "temperature_C": float, "status": str}
    )
    read = time.perf_counter()
    # 1600 x 600 pixels, as the benchmark's plot is 1600 columns wide.
    figure, axes = plt.subplots(figsize=(16, 6), dpi=100)
    axes.plot(run["elapsed_s"], run["temperature_C"], linewidth=0.5)
    axes.set_xlabel("elapsed, s")
    axes.set_ylabel("T, deg. C")
    figure.savefig(out)
    plt.close(figure)
    done = time.perf_counter()
    print(f"rows: {len(run)}")
    print(f"read_csv: {read - begun:.3f} s")
    print(f"plot to PNG: {done - read:.3f} s")
    print(f"total: {done - begun:.3f} s")


if __name__ == "__main__":
    main()
