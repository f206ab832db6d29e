#!/usr/bin/env python3
"""Whole-process figures of the tool on a generated catalog: an import that
writes the cache against a load from that cache.

Each run is one `mostfcat import CATALOG --no-log` process; its CPU time and
peak resident memory come from the kernel's accounting of the finished child
(wait4). The import runs with the cache deleted first, the load with the cache
in place, in turn, so that both see the same machine. Prints the medians and
the median of the per-pair ratios, and for reference the peak of a load with
the built-in error parameters switched off in the profile (every Error
operation then holds the catalog's own parameters instead of a copy of the
built-in ones).

    python3 bench/process_bench.py --cli build-bench/mostfcat [--size 10000000]

Not part of the tests: it measures, it asserts nothing.
"""

from __future__ import annotations

import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
from typing import List, Tuple


def run(cmd: List[str]) -> Tuple[float, float]:
    """CPU seconds and peak resident MiB of one run of cmd."""
    with open(os.devnull, "wb") as null:
        child = subprocess.Popen(cmd, stdout=null, stderr=null)
        _, status, usage = os.wait4(child.pid, 0)
        child.returncode = os.waitstatus_to_exitcode(status)
    if child.returncode != 0:
        raise SystemExit(f"{' '.join(cmd)} exited with {child.returncode}")
    return usage.ru_utime + usage.ru_stime, usage.ru_maxrss / 1024.0


def main() -> int:
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--cli", required=True, help="the mostfcat tool")
    ap.add_argument("--size", type=int, default=10_000_000, help="catalog size in bytes")
    ap.add_argument("--runs", type=int, default=9, help="pairs of runs (after one warm-up)")
    args = ap.parse_args()

    folder = tempfile.mkdtemp(prefix="mostfcat_processbench_")
    try:
        xml = os.path.join(folder, "generated.xml")
        cache = os.path.join(folder, "generated.vfc")
        subprocess.run([args.cli, "generate", xml, "--seed", "20240917", "--size",
                        str(args.size)], check=True, stdout=subprocess.DEVNULL)
        importing = [args.cli, "import", xml, "--no-log"]
        imports, loads = [], []
        for k in range(args.runs + 1):
            if os.path.exists(cache):
                os.remove(cache)
            first = run(importing)
            second = run(importing)  # the cache written just before is loaded
            if k:
                imports.append(first)
                loads.append(second)
        xml_mib = os.path.getsize(xml) / 1048576.0

        settings = os.path.join(folder, "settings")
        os.makedirs(settings)
        with open(os.path.join(settings, "Tarvex.ini"), "w", encoding="ascii") as ini:
            ini.write("[MOSTImport]\nUseDefaultErrorParameters=0\n")
        own_errors = [args.cli, "--settings", settings, "import", xml, "--no-log"]
        run(own_errors)  # the cache made under the other switch is refused: import anew
        plain_loads = [run(own_errors) for _ in range(args.runs)]
    finally:
        shutil.rmtree(folder, ignore_errors=True)

    med = statistics.median
    print(f"Whole process, generated catalog of {xml_mib:.2f} MiB, {args.runs} pairs (medians):")
    print(f"  import with cache write: {med(c for c, _ in imports) * 1e3:8.1f} ms CPU, "
          f"peak {med(m for _, m in imports):6.1f} MiB")
    print(f"  load from the cache:     {med(c for c, _ in loads) * 1e3:8.1f} ms CPU, "
          f"peak {med(m for _, m in loads):6.1f} MiB")
    ratio = med(i[0] / l[0] for i, l in zip(imports, loads) if l[0] > 0)
    print(f"  import / cache load (CPU, pair by pair): {ratio:6.1f}   goal >= 15")
    print(f"  peak while loading / XML size:           "
          f"{med(m for _, m in loads) / xml_mib:6.2f}   goal <= 2.5")
    print(f"  the same without the built-in error parameters: "
          f"{med(m for _, m in plain_loads) / xml_mib:6.2f}   (for reference)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
