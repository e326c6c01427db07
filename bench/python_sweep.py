#!/usr/bin/python3
"""The cost of the Python module around the engine: a sweep of 100 geometries
of 1E5 emissions each, against korvex-batch on the equivalent data file.

    PYTHONPATH=build/python python3 bench/python_sweep.py --datafile /tmp/sweep100.txt
    hyperfine -w 1 -r 10 --prepare 'rm -f /tmp/sweep100-results.txt' \\
        'PYTHONPATH=build/python python3 bench/python_sweep.py' \\
        'build/app/korvex-batch --seed 7 --threads 1 --quiet /tmp/sweep100.txt /tmp/sweep100-results.txt'

The first command writes the data file and checks that both give the same
counts; the timed Python command includes the interpreter's start and the
import of the module, as a user's script pays them. With --time it prints
the sweep call's own wall and processor time, without those (the interpreter
and the import cost a fixed 40 to 50 ms however long the sweep).
"""

import sys
import time

import korvex

GEOMETRY = korvex.Geometry(source="cylinder", detector="cylinder", r1=2.5, r2=3.81, t2=7.62)
HEIGHTS = [0.5 + 0.25 * k for k in range(100)]
EMISSIONS = 1e5
SEED = 7


def main():
    wall, cpu = time.perf_counter(), time.process_time()
    s = korvex.sweep(GEOMETRY, c=HEIGHTS, emissions=EMISSIONS, seed=SEED, threads=1,
                     progress=False)
    if "--time" in sys.argv:
        print(f"sweep: wall {time.perf_counter() - wall:.4f} s, "
              f"processor {time.process_time() - cpu:.4f} s")
    if "--datafile" in sys.argv:
        import subprocess
        import tempfile
        path = sys.argv[sys.argv.index("--datafile") + 1]
        korvex.write_datafile(path, [r.geometry for r in s], EMISSIONS)
        with tempfile.TemporaryDirectory() as d:
            subprocess.run(["build/app/korvex-batch", "--seed", str(SEED), "--threads", "1",
                            "--quiet", path, d + "/r.txt"], check=True)
            text = open(d + "/r.txt", encoding="ascii").read()
        hits = [float(line.rsplit("= ", 1)[1]) for line in text.splitlines()
                if line.startswith("Number of emissions passing through")]
        assert hits == list(s.hits), "korvex-batch and the sweep disagree"
        print(f"wrote {path}; korvex-batch gives the same {len(hits)} hit counts")


main()
