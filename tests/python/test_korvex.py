"""The Python module against korvex-batch, closed forms and itself."""

import glob
import math
import os
import signal
import subprocess
import threading
import time

import pytest

import korvex

SEED = 20240601
BATCH = os.environ.get("KORVEX_BATCH", "korvex-batch")
EXAMPLES = os.environ.get("KORVEX_EXAMPLES", os.path.join(os.path.dirname(__file__),
                                                          "../../examples"))

DISC = korvex.Geometry(source="cylinder", detector="cylinder", r1=2.5, r2=3, t2=5, d=1, c=10)


def batch_entries(datafile, tmp_path, threads, *options):
    results = tmp_path / "results.txt"
    subprocess.run([BATCH, "--seed", str(SEED), "--threads", str(threads), "--quiet", *options,
                    str(datafile), str(results)], check=True, capture_output=True)
    text = results.read_bytes().decode("ascii")
    return [e for e in text.split("Input data from file, dataset ")[1:]]


def body(report):
    """A report without its first line and its processing time."""
    lines = report.split("\r\n")
    return "\r\n".join(l for l in lines[1:] if not l.startswith("Processing time")).rstrip()


def counts(r):
    """Every count and sum of a result."""
    return [getattr(r, name) for name in ("emitted", "hits", "meanpath") + korvex.results.FACES]


def datafiles():
    return [f for f in sorted(glob.glob(os.path.join(EXAMPLES, "*.txt")))
            if any(l.strip().startswith("*") for l in open(f, encoding="ascii"))]


@pytest.mark.parametrize("datafile", datafiles() + ["sweep"])
def test_reports_match_korvex_batch(datafile, tmp_path):
    # The same seed gives korvex-batch's every count, dataset after dataset.
    if datafile == "sweep":
        s = korvex.sweep(DISC, c=[2, 10], rotx=[0, 35.5], emissions=2e5, seed=SEED,
                         threads=3)
        datafile = tmp_path / "sweep.txt"
        korvex.write_datafile(datafile, [r.geometry for r in s], 2e5)
        assert list(s.c) == [2, 2, 10, 10] and list(s.rotx) == [0, 35.5, 0, 35.5]
    else:
        s = korvex.sweep(korvex.read_datafile(datafile), seed=SEED, threads=2)
    entries = batch_entries(datafile, tmp_path, threads=1)
    assert len(entries) == len(s) > 0
    for entry, r in zip(entries, s):
        assert body(entry.split("\r\n", 1)[1]) == body(r.report.split("\r\n", 1)[1])
        # The record's quantities are the report's.
        assert f"= {r.solidangle:.7f} +/- {r.solidangleerror:.7f} steradians" in r.report
        assert r.meanpatherror is None or f"= {r.meanpath:.7f} +/- {r.meanpatherror:.7f}" in r.report


def test_integral_method_matches_korvex_batch_and_draws_nothing(tmp_path):
    # The integral method gives korvex-batch's reports, whatever the count
    # and the threads, and leaves the seed's stream where it was: the
    # emission point after it draws what it would draw alone.
    datafile = os.path.join(EXAMPLES, "datasets.txt")
    s = korvex.sweep(korvex.read_datafile(datafile), method="integral", error=1e-4, threads=1)
    entries = batch_entries(datafile, tmp_path, 2, "--method", "integral", "--error", "1E-4")
    assert len(entries) == len(s) > 0
    for entry, r in zip(entries, s):
        assert r.method == "integral" and r.emitted is None
        assert body(entry.split("\r\n", 1)[1]) == body(r.report.split("\r\n", 1)[1])
        assert r.rule in ("exact", "gauss", "qmc") and r.points >= 1
        assert r.solidangleerror <= 1e-4 * r.solidangle
    mixed = korvex.sweep([DISC, DISC], emissions=1e5, seed=SEED, method="integral")
    alone = korvex.run(DISC, emissions=1e5, seed=SEED)
    after = korvex.sweep([DISC], emissions=1e5, seed=SEED, position=mixed[1].position)[0]
    assert mixed[1].position == 0 and counts(after) == counts(alone)
    with pytest.raises(ValueError, match="error must be from 1E-12 to 0.1"):
        korvex.run(DISC, method="integral", error=0)
    with pytest.raises(ValueError, match="method must be"):
        korvex.run(DISC, method="fast")


def test_thread_counts_give_identical_results():
    # Large enough to be split over three threads; the next point must start
    # where the one-thread stream stands.
    points = [DISC.replace(c=0.5), DISC.replace(detector="sphere", r2=4, c=1)]
    runs = [korvex.sweep(points, emissions=[3.3e6, 1e5], seed=SEED, threads=n) for n in (1, 2, 3)]
    assert [r.threads for r in runs[2]] == [3, 1]
    for s in runs[1:]:
        for a, b in zip(runs[0], s):
            assert counts(a) + [a.position] == counts(b) + [b.position]


def test_solid_angles_of_a_point_match_closed_forms():
    # A point on the axis of a disc window at height c, and a point at
    # distance c from a sphere's centre: both 2 pi (1 - 4/5).
    exact = 2 * math.pi * (1 - 4 / 5)
    point = korvex.Geometry(source="point", detector="cylinder", r2=3, t2=0, c=4)
    s = korvex.sweep([point, point.replace(detector="sphere", c=5)], emissions=1e6, seed=SEED)
    for r in s:
        assert abs(r.solidangle - exact) <= r.solidangleerror
        assert r.solidangleerror == pytest.approx(3.29 * r.solidanglesigma)
    # By the integral method a point is exact to rounding, its error zero.
    for r in korvex.sweep([point, point.replace(detector="sphere", c=5)], method="integral"):
        assert r.solidangle == pytest.approx(exact, rel=1e-14)
        assert (r.solidangleerror, r.rule, r.points) == (0, "exact", 1)


@pytest.mark.parametrize("changes, message", [
    (dict(r1=-1), "Invalid data in source radius, r1"),
    (dict(c="1,5"), "Invalid data in displacement, c"),
    (dict(rotz=float("nan")), "Invalid data in Rotation ccw about Z'' "),
    (dict(r2=0), "r2 cannot be zero"),
    (dict(detector="cuboid", a2=0, b2=1), "Detector face dimensions cannot be zero"),
    (dict(r2=2e8), "Length out of range: r2 = 200000000; a length must be 0 or of size"),
    (dict(emissions=0.5), "Invalid value for number of emissions"),
    (dict(emissions=1e17), "Invalid value for number of emissions"),
    (dict(source="cone"), "source must be"),
    (dict(twopi=1), "twopi must be True or False"),
])
def test_refusals_name_the_field_and_run_nothing(changes, message):
    emissions = changes.pop("emissions", 1e5)
    progress = []
    with pytest.raises(ValueError) as refused:
        korvex.sweep([DISC, DISC.replace(**changes)], emissions=emissions,
                     progress=lambda done, total: progress.append(done))
    assert str(refused.value).startswith(message)
    assert progress == []


def test_ctrl_c_stops_within_a_fraction_of_a_second_with_exact_partial_counts():
    g = DISC.replace(c=1)
    sent = []
    timer = threading.Timer(0.5, lambda: (sent.append(time.monotonic()),
                                          os.kill(os.getpid(), signal.SIGINT)))
    timer.start()
    with pytest.raises(KeyboardInterrupt) as stopped:
        korvex.sweep([g, g.replace(c=2)], emissions=[1e5, 1e10], seed=SEED, threads=1)
    assert time.monotonic() - sent[0] < 0.3
    first, aborted = stopped.value.partial
    assert (first.status, aborted.status) == ("done", "aborted")
    assert 0 < aborted.emitted < 1e10 and aborted.position == first.position + 1e5 * 4
    # The counts are exactly those of a run of that many emissions.
    again = korvex.run(aborted.geometry, emissions=aborted.emitted, seed=SEED,
                       position=aborted.position, threads=1)
    assert counts(again) == counts(aborted)


def test_seeds_and_positions_rerun_any_point_alone():
    s = korvex.sweep(DISC, c=[3, 6, 9], emissions=1e5, seed=SEED, threads=1)
    assert len({r.hits for r in s}) == 3
    third = korvex.run(s[2].geometry, emissions=1e5, seed=SEED, position=s[2].position)
    assert counts(third) == counts(s[2])
    assert korvex.run(DISC.replace(c=3), emissions=1e5, seed=SEED).hits == s[0].hits
    assert korvex.run(DISC.replace(c=3), emissions=1e5, seed=SEED + 1).hits != s[0].hits
    # One seed per point: each point starts a stream of its own.
    own = korvex.sweep(DISC, c=[3, 6], emissions=1e5, seed=[SEED + 1, SEED])
    assert own[1].hits == korvex.run(DISC.replace(c=6), emissions=1e5, seed=SEED).hits
    assert own[1].position == 0


def test_records_read_back_exactly():
    # A value the shapes do not use is never read: any text may stand there.
    s = korvex.sweep(DISC.replace(a1="unused"), detector=["cylinder", "cuboid"], emissions=1e4,
                     seed=SEED, a2=[4], b2=[3], a3=[0.1])
    back = korvex.Sweep.from_jsonl(s.to_jsonl())
    assert [r.to_dict() for r in back] == [r.to_dict() for r in s]
    record = s[1].to_dict()
    assert record["schema"] == "korvex-result/1" and record["a2"] == 4 and "d" not in record
    assert "sidehits" not in record and record["xplusfacehits"] == s[1].xplusfacehits
    # A record's values rerun the very same dataset.
    again = korvex.run(back[1].geometry, emissions=1e4, seed=SEED, position=back[1].position)
    assert counts(again) == counts(s[1])
    frame = pytest.importorskip("pandas").DataFrame(s.records())
    assert list(frame["hits"]) == list(s.hits)
