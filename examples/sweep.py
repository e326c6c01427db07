#!/usr/bin/python3
"""The solid angle of a 3" x 3" cylinder detector at a 5 cm disc source, over
distance and over tilt, plotted with matplotlib.

    PYTHONPATH=build/python python3 examples/sweep.py [sweep.png]

Lengths in cm. One seed makes the whole figure repeatable; the JSON Lines
file beside the picture holds every point's inputs and results.
"""

import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402

import korvex  # noqa: E402

detector = korvex.Geometry(source="cylinder", detector="cylinder", r1=2.5, r2=3.81, t2=7.62)
distances = [1, 2, 3, 5, 7, 10, 15, 20]
tilts = [0, 15, 30, 45, 60, 75, 90]

by_distance = korvex.sweep(detector, c=distances, emissions=1e6, seed=20240601)
# The same by the integral method, to a relative error of 1E-6, as a curve:
# milliseconds a point, no emissions.
heights = [1 * 20 ** (k / 39) for k in range(40)]
curve = korvex.sweep(detector, c=heights, method="integral", error=1e-6)
# The disc turned about its own X axis, 5 cm above the detector's face and
# 2 cm to the side.
by_tilt = korvex.sweep(detector.replace(c=5, d=2), rotx=tilts, emissions=1e6, seed=20240601)

figure, (left, right) = plt.subplots(1, 2, figsize=(10, 4), constrained_layout=True)
left.plot(curve.c, curve.solidangle, "-", color="grey", label="integral method")
left.errorbar(by_distance.c, by_distance.solidangle, yerr=by_distance.solidangleerror,
              fmt="o", capsize=3, label="1E6 emissions")
left.legend()
left.set(xscale="log", yscale="log", xlabel="height c of the source above the detector (cm)",
         ylabel="average solid angle (sr)", title="Distance")
right.errorbar(by_tilt.rotx, by_tilt.solidangle, yerr=by_tilt.solidangleerror, fmt="o-",
               capsize=3)
right.set(xlabel="rotation about the source's X axis (degrees)",
          ylabel="average solid angle (sr)", title="Tilt, c = 5 cm, d = 2 cm")
for axes in (left, right):
    axes.grid(True, which="both", alpha=0.3)
figure.suptitle('5 cm disc source, 3" x 3" cylinder detector, 1E6 emissions a point, '
                'errors at 99.9%')

picture = sys.argv[1] if len(sys.argv) > 1 else "sweep.png"
figure.savefig(picture, dpi=100)
with open(picture.rsplit(".", 1)[0] + ".jsonl", "w", encoding="utf-8") as f:
    f.write(by_distance.to_jsonl() + by_tilt.to_jsonl())
print(by_distance.to_dataframe()[["c", "hits", "solidangle", "solidangleerror"]])
print("wrote", picture)
