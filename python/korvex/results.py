"""The result of one dataset, and of a sweep over many."""

import dataclasses
import json
from typing import Optional

from .geometry import VALUES, Geometry

SCHEMA = "korvex-result/1"
PROGRAM = "korvex-python"

FACES = ("sidehits", "tophits", "bottomhits", "topfacehits", "bottomfacehits",
         "xplusfacehits", "xminusfacehits", "yplusfacehits", "yminusfacehits")
SHARES = ("sideshare", "topshare", "bottomshare", "topfaceshare", "bottomfaceshare",
          "xplusfaceshare", "xminusfaceshare", "yplusfaceshare", "yminusfaceshare")
# The record's results, in its order; a field that does not apply is None
# here and left out of the record.
RESULTS = ("emitted", "hits", "solidangle", "solidanglesigma", "solidangleerror",
           "confidencefactor", "relativeerror", "hitpercent") + FACES + (
           "meanpath", "meanpatherror", "meanpathsigma", "sourceinside", "warnings", "seconds",
           "targeterror", "rule", "points") + SHARES


@dataclasses.dataclass(frozen=True)
class Result:
    """One dataset's run, with the fields of a korvex-result/1 record.

    seed and dataset (its number in the seed's stream, from 1) say where its
    random numbers came from, position how many generator outputs the
    stream had given before it. solidangleerror is the report's 99.9% error,
    confidencefactor (3.29) times solidanglesigma; meanpatherror is the
    report's error of the mean path. status is "done" or "aborted"; report
    is the text report a screen run shows.

    By the integral method (method "integral") there are no emitted and hits;
    rule says how the source was averaged ("exact" for a point, "gauss" for
    a product rule whose error is the difference of two orders, "qmc" for
    randomised points whose error is Student's t, confidencefactor, times
    solidanglesigma), points how many source points it took, targeterror
    the relative error asked for, and the *share fields the expected
    crossings of each face per emission.
    """

    geometry: Geometry
    emissions: float
    used: tuple  # the values the shapes use, by data-file name
    window: bool
    seed: int
    dataset: int
    position: int
    threads: int
    status: str
    seconds: float
    date: str
    version: str
    # None only for an integral run stopped before its first estimate.
    solidangle: Optional[float] = None
    solidangleerror: Optional[float] = None
    hitpercent: Optional[float] = None
    emitted: Optional[float] = None
    hits: Optional[float] = None
    solidanglesigma: Optional[float] = None
    confidencefactor: Optional[float] = None
    relativeerror: Optional[float] = None
    sidehits: Optional[float] = None
    tophits: Optional[float] = None
    bottomhits: Optional[float] = None
    topfacehits: Optional[float] = None
    bottomfacehits: Optional[float] = None
    xplusfacehits: Optional[float] = None
    xminusfacehits: Optional[float] = None
    yplusfacehits: Optional[float] = None
    yminusfacehits: Optional[float] = None
    meanpath: Optional[float] = None
    meanpatherror: Optional[float] = None
    meanpathsigma: Optional[float] = None
    sourceinside: bool = False
    warnings: tuple = ()
    targeterror: Optional[float] = None
    rule: Optional[str] = None
    points: Optional[int] = None
    sideshare: Optional[float] = None
    topshare: Optional[float] = None
    bottomshare: Optional[float] = None
    topfaceshare: Optional[float] = None
    bottomfaceshare: Optional[float] = None
    xplusfaceshare: Optional[float] = None
    xminusfaceshare: Optional[float] = None
    yplusfaceshare: Optional[float] = None
    yminusfaceshare: Optional[float] = None
    program: str = PROGRAM
    processes: int = 1
    method: str = "emissions"
    report: str = dataclasses.field(default="", compare=False, repr=False)

    def to_dict(self):
        """The record, in the order of korvex-batch --jsonl's records (and
        position after dataset)."""
        g = self.geometry
        d = {"schema": SCHEMA, "program": self.program, "version": self.version,
             "date": self.date, "method": self.method, "seed": self.seed,
             "dataset": self.dataset, "position": self.position, "threads": self.threads,
             "processes": self.processes, "source": g.source, "detector": g.detector,
             "emission": "2 pi" if g.twopi else "4 pi", "window": self.window}
        # Only the values the shapes use: any other may hold any text.
        d.update((name, float(getattr(g, name))) for name in VALUES if name in self.used)
        d["emissions"] = self.emissions
        d["status"] = self.status
        for name in RESULTS:
            value = getattr(self, name)
            if value is not None:
                d[name] = list(value) if name == "warnings" else value
        return d

    def to_json(self):
        return json.dumps(self.to_dict())

    @classmethod
    def from_dict(cls, record):
        if record.get("schema") != SCHEMA:
            raise ValueError(f"not a {SCHEMA} record: {record.get('schema')!r}")
        used = tuple(name for name in VALUES if name in record)
        geometry = Geometry(source=record["source"], detector=record["detector"],
                            twopi=record["emission"] == "2 pi",
                            **{name: record[name] for name in used})
        fields = {f.name for f in dataclasses.fields(cls)}
        values = {k: v for k, v in record.items() if k in fields}
        values["warnings"] = tuple(values.get("warnings", ()))
        return cls(geometry=geometry, used=used, **values)

    @classmethod
    def from_json(cls, line):
        return cls.from_dict(json.loads(line))


class Sweep:
    """The results of a sweep in order. Every result and every input is an
    array over the points (sweep.solidangle, sweep.c); sweep.results holds
    the Result of each point."""

    def __init__(self, results, parameters=()):
        self.results = list(results)
        self.parameters = tuple(parameters)  # the names swept over

    def __len__(self):
        return len(self.results)

    def __getitem__(self, k):
        return self.results[k]

    def __iter__(self):
        return iter(self.results)

    def __getattr__(self, name):
        if name.startswith("_") or name == "results":
            raise AttributeError(name)
        import numpy
        if name in Result.__dataclass_fields__:
            values = [getattr(r, name) for r in self.results]
        elif name in Geometry.__dataclass_fields__:
            values = [getattr(r.geometry, name) for r in self.results]
        else:
            raise AttributeError(name)
        if any(v is None for v in values):
            return numpy.array([numpy.nan if v is None else v for v in values], dtype=float)
        return numpy.array(values)

    def records(self):
        """The records of the points, as dicts (lists of warnings joined by
        "; ", as in korvex-batch's CSV)."""
        rows = []
        for r in self.results:
            row = r.to_dict()
            row["warnings"] = "; ".join(row["warnings"])
            rows.append(row)
        return rows

    def to_dataframe(self):
        """A pandas DataFrame, one row per point (needs pandas)."""
        try:
            import pandas
        except ImportError as e:
            raise ImportError("to_dataframe needs pandas (Debian: python3-pandas)") from e
        return pandas.DataFrame(self.records())

    def to_jsonl(self, path=None):
        """One JSON record per line; appended to path when given, else
        returned."""
        text = "".join(r.to_json() + "\n" for r in self.results)
        if path is None:
            return text
        with open(path, "a", encoding="utf-8") as f:
            f.write(text)
        return None

    @classmethod
    def from_jsonl(cls, text):
        return cls(Result.from_json(line) for line in text.splitlines() if line.strip())
