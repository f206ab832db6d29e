#!/usr/bin/env python3
"""Python decode throughput against the C++ decode benchmark.

Decodes the same messages as BM_DecodeAllTexts of bench/message_bench.cpp:
every operation of the catalog generated with seed 20240917 and size
1000000, eight payloads each of random bytes, lengths drawn from 0 to 48 by a
std::mt19937 seeded with 7 (reproduced here draw for draw), all texts on.
Each message is one Manager.decode call that returns its entries as Python
objects. Prints messages per second, ns per message and ns per entry (CPU
time, the best of a few repetitions), and, given the C++ benchmark program,
runs it in the same session the same way and prints the ratio of the times per
message.

    PYTHONPATH=build-bench/python python3 python/bench_decode.py \\
        --cli build-bench/mostfcat --cpp-bench build-bench/bench/mostfcat_message_bench

Not part of the tests: it measures, it asserts nothing.
"""

from __future__ import annotations

import argparse
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile
import time
from typing import List, Optional, Tuple

# The package folder beside this script has no compiled part: the built
# package comes from PYTHONPATH.
_HERE = os.path.dirname(os.path.abspath(__file__))
sys.path[:] = [p for p in sys.path if os.path.abspath(p or os.curdir) != _HERE]

import mostfcat  # noqa: E402

LENGTHS = [0, 1, 2, 3, 4, 6, 8, 12, 16, 24, 32, 48]
Message = Tuple[int, int, int, int, bytes]


def mt19937(seed: int) -> random.Random:
    """A Random whose getrandbits(32) gives std::mt19937(seed)'s outputs."""
    state = [seed & 0xFFFFFFFF]
    for i in range(1, 624):
        prev = state[-1]
        state.append((1812433253 * (prev ^ (prev >> 30)) + i) & 0xFFFFFFFF)
    rng = random.Random()
    rng.setstate((3, tuple(state) + (624,), None))
    return rng


def messages(catalog: mostfcat.Catalog) -> List[Message]:
    """Eight payloads for every operation, as the C++ benchmark makes them."""
    rng = mt19937(7)
    out: List[Message] = []
    for fb in catalog.fblocks():
        for inst in fb.instances:
            for fn in inst.functions:
                for op in fn.operations:
                    for _ in range(8):
                        n = LENGTHS[rng.getrandbits(32) % len(LENGTHS)]
                        payload = bytes(rng.getrandbits(32) & 0xFF for _ in range(n))
                        out.append((fb.id, inst.id, fn.id, op.op_type, payload))
    return out


def measure(mgr: mostfcat.Manager, msgs: List[Message], seconds: float,
            repetitions: int) -> Tuple[float, int]:
    """CPU seconds per pass over msgs (the best of the repetitions, each the
    mean over passes that take seconds together) and the entries of a pass."""
    decode = mgr.decode
    best, entries = float("inf"), 0
    for _ in range(repetitions):
        passes, spent = 0, 0.0
        while spent < seconds:
            start = time.process_time()
            entries = 0
            for fb, inst, fkt, op, data in msgs:
                entries += len(decode(fb, inst, fkt, op, data, channel=1).params)
            spent += time.process_time() - start
            passes += 1
        best = min(best, spent / passes)
    return best, entries


def cpp_ns_per_message(program: str, repetitions: int) -> Optional[float]:
    """BM_DecodeAllTexts of the C++ benchmark: its CPU ns per message, the
    best of the repetitions."""
    run = subprocess.run([program, "--benchmark_filter=^BM_DecodeAllTexts/",
                          f"--benchmark_repetitions={repetitions}"],
                         capture_output=True, text=True, check=False)
    count = re.search(r"CPU time[^)]*\), (\d+) messages", run.stdout)
    times = [float(m.group(1)) for m in
             re.finditer(r"^BM_DecodeAllTexts(?:/min_time:[0-9.]+)?\s+[0-9.]+ ns\s+([0-9.]+) ns\s+\d+", run.stdout,
                          re.MULTILINE)]
    if run.returncode != 0 or not count or not times:
        print(run.stdout + run.stderr, file=sys.stderr)
        return None
    return min(times) / int(count.group(1))


def main() -> int:
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--cli", required=True, help="the mostfcat tool (writes the catalog)")
    ap.add_argument("--cpp-bench", help="mostfcat_message_bench, for the ratio")
    ap.add_argument("--seconds", type=float, default=1.0,
                    help="CPU time of one repetition (as the C++ benchmark's minimum time)")
    ap.add_argument("--repetitions", type=int, default=5,
                    help="repetitions of both measurements; the best counts (the machine "
                         "may be busy with other work)")
    args = ap.parse_args()

    folder = tempfile.mkdtemp(prefix="mostfcat_pybench_")
    try:
        catalog_path = os.path.join(folder, "generated.xml")
        subprocess.run([args.cli, "generate", catalog_path, "--seed", "20240917",
                        "--size", "1000000"], check=True, stdout=subprocess.DEVNULL)
        with mostfcat.Manager() as mgr:
            catalog = mgr.open(catalog_path, channel=1, log_path=None)
            msgs = messages(catalog)
            payload_bytes = sum(len(m[4]) for m in msgs)
            measure(mgr, msgs, 0.2, 1)  # warm-up
            seconds, entries = measure(mgr, msgs, args.seconds, args.repetitions)
        n = len(msgs)
        ns_message = seconds * 1e9 / n
        print(f"Python decode, all texts: {n} messages, {payload_bytes} payload bytes, "
              f"{entries} entries per pass")
        print(f"  messages per second   {n / seconds:14.0f}")
        print(f"  ns per message        {ns_message:14.1f}")
        print(f"  ns per entry          {seconds * 1e9 / entries:14.1f}")
        if args.cpp_bench:
            cpp = cpp_ns_per_message(args.cpp_bench, args.repetitions)
            if cpp:
                print(f"C++ BM_DecodeAllTexts: ns per message {cpp:.1f}")
                print(f"Python / C++ time per message: {ns_message / cpp:.2f} (goal <= 2)")
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
