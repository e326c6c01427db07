"""Korvex from Python: the average solid angle a detector subtends at a source.

    import korvex
    g = korvex.Geometry(source="cylinder", detector="cylinder", r1=2.5, r2=3.81,
                        t2=7.62, c=5)
    r = korvex.run(g, emissions=1e7, seed=42)
    s = korvex.sweep(g, c=[1, 2, 5, 10], emissions=1e6, seed=42)
    s.solidangle, s.solidangleerror, s.to_dataframe(), s.to_jsonl()
    exact = korvex.run(g, method="integral", error=1e-9)

The same engine and the same checks as the programs: for a seed, a sweep
draws one random stream through its points in order, exactly as korvex-batch
draws through the datasets of the equivalent data file (datafile_text), for
any number of threads. Ctrl-C stops a run within a fraction of a second and
raises KeyboardInterrupt with the partial results as its .partial.

method="integral" computes the same quantities by integrating over the
source instead of sampling emissions, to a relative 99.9% error (error=,
default 1E-6, from 1E-12 to 0.1): the emission count means nothing to it
and no random numbers are drawn.
"""

import datetime
import itertools
import numbers
import sys
import warnings

from . import _korvex
from .geometry import (Geometries, Geometry, datafile_text, read_datafile,  # noqa: F401
                       write_datafile)
from .results import SCHEMA, Result, Sweep  # noqa: F401

__version__ = _korvex.version

__all__ = ["Geometry", "Geometries", "Result", "Sweep", "run", "sweep", "read_datafile",
           "write_datafile", "datafile_text", "SCHEMA"]


def run(geometry, emissions=1e7, seed=None, threads=None, position=0, progress=None,
        method="emissions", error=1e-6):
    """Runs one dataset; returns its Result.

    seed: 1 to 4294967294 (default: from the clock, as korvex-batch does);
    position: start that many generator outputs into the seed's stream, so
    that run(r.geometry, r.emissions, r.seed, position=r.position) repeats a
    point of a sweep alone. threads: default all cores; the counts are the
    same for any number. progress: a callable (done, total) in emissions,
    False for none; by default a tqdm bar on a terminal or in a notebook
    when tqdm is installed. method: "emissions" or "integral" (to the
    relative 99.9% error given by error; progress then counts datasets).
    """
    return sweep([geometry], emissions=emissions, seed=seed, threads=threads,
                 position=position, progress=progress, method=method, error=error)[0]


def sweep(geometry, emissions=None, seed=None, threads=None, position=0, progress=None,
          method="emissions", error=1e-6, **values):
    """Runs a geometry over every combination of the values given as lists
    (sweep(g, c=[1, 2], rotx=[0, 45]) runs c=1 rotx=0, c=1 rotx=45, c=2
    rotx=0, c=2 rotx=45), or runs a sequence of geometries. emissions is one
    count or one per point; by default a data file's own counts for the
    Geometries of read_datafile, otherwise 1E7. seed is one seed, whose one stream runs through the points
    in order, or one seed per point, each point then starting its own stream.
    Every point is checked before any runs: a refused one raises ValueError.
    method and error as for run().
    """
    parameters = tuple(values)
    if isinstance(geometry, Geometry):
        grid = itertools.product(*(_aslist(name, v) for name, v in values.items()))
        points = [geometry.replace(**dict(zip(parameters, combo))) for combo in grid]
    else:
        if values:
            raise ValueError("values to sweep over need one Geometry, not a sequence")
        points = list(geometry)
        if emissions is None and isinstance(geometry, Geometries):
            emissions = geometry.emissions
    if emissions is None:
        emissions = 1e7
    counts = _perpoint("emissions", emissions, len(points))
    seeds = None
    if seed is not None and not isinstance(seed, numbers.Integral):
        seeds = [_seed(s) for s in _perpoint("seed", seed, len(points))]
    integral = method == "integral"
    if not integral and method != "emissions":
        raise ValueError(f"method must be 'emissions' or 'integral', not {method!r}")
    if integral and not (isinstance(error, numbers.Real) and 1e-12 <= error <= 0.1):
        raise ValueError("error must be from 1E-12 to 0.1")
    for g, n in zip(points, counts):
        for question in g.check(n, counted=not integral):
            warnings.warn(question.replace("\r", " "), stacklevel=2)
    if isinstance(position, bool) or not isinstance(position, numbers.Integral) or position < 0:
        raise ValueError("position must be a whole number of at least 0")
    if threads is None:
        threads = _korvex.allcores()
    elif not isinstance(threads, numbers.Integral) or threads < 1:
        raise ValueError("threads must be a whole number of at least 1")

    stream = None if seeds else _korvex.Stream(_seed(seed), position)
    # The integral method's progress is the share of the way to its target
    # in each point: the bar counts points.
    bar = _progress(progress, len(points) if integral else sum(float(n) for n in counts),
                    "datasets" if integral else "emissions")
    results = []
    done = 0.0
    try:
        for k, (g, n) in enumerate(zip(points, counts)):
            if seeds:
                stream = _korvex.Stream(seeds[k], position)
            step = None
            if bar:
                def step(emitted, hits, before=done):
                    bar(before + emitted)
            raw = _korvex.run(stream, g.source, g.detector, g.twopi, g.texts(n), threads, step,
                              method, float(error))
            results.append(_result(g, raw, dataset=1 if seeds else k + 1, method=method))
            done += 1 if integral else raw["results"]["emitted"]
            if bar:
                bar(done)
            if raw["stopped_by"] is not None:
                stop = raw["stopped_by"]
                stop.partial = Sweep(results, parameters)
                raise stop
    except KeyboardInterrupt as e:
        if not hasattr(e, "partial"):
            e.partial = Sweep(results, parameters)
        raise
    finally:
        if bar:
            bar(None)
    return Sweep(results, parameters)


def _aslist(name, value):
    if isinstance(value, (str, bytes)) or not hasattr(value, "__iter__"):
        raise ValueError(f"{name}: give the values to sweep over as a list")
    return list(value)


def _perpoint(name, value, n):
    if isinstance(value, (numbers.Real, str)):
        return [value] * n
    value = list(value)
    if len(value) != n:
        raise ValueError(f"{name}: {len(value)} values for {n} points")
    return value


def _seed(seed):
    if seed is None:
        return _korvex.runseed()
    if isinstance(seed, bool) or not isinstance(seed, numbers.Integral):
        raise ValueError("seed must be a whole number from 1 to 4294967294")
    if not 1 <= seed <= 4294967294:
        raise ValueError("seed must be a whole number from 1 to 4294967294")
    return int(seed)


def _result(geometry, raw, dataset, method):
    results = dict(raw["results"])
    results["warnings"] = tuple(results["warnings"])
    return Result(
        geometry=geometry, emissions=raw["emissions"], used=tuple(raw["used"]),
        window=raw["window"], seed=raw["seed"], dataset=dataset, position=raw["position"],
        threads=raw["threads"], status="aborted" if raw["aborted"] else "done",
        date=datetime.datetime.now().astimezone().isoformat(timespec="milliseconds"),
        version=_korvex.version, report=raw["report"], method=method, **results)


def _progress(progress, total, unit):
    """A function of the work done so far (None closes it), or None."""
    if progress is False:
        return None
    if callable(progress):
        return lambda done: None if done is None else progress(done, total)
    if progress is not None:
        raise ValueError("progress must be a callable, False or None")
    # A bar on a terminal, or in a notebook (tqdm.auto picks the widget).
    if not (sys.stderr.isatty() or "ipykernel" in sys.modules):
        return None
    try:
        from tqdm.auto import tqdm
    except ImportError:
        return None
    bar = tqdm(total=total, unit=unit, unit_scale=True, leave=False)

    def show(done):
        if done is None:
            bar.close()
        else:
            bar.update(done - bar.n)
    return show
