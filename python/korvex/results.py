"""The result of one dataset, and of a sweep over many."""

import dataclasses
import json

from .geometry import Geometry

SCHEMA = "korvex-result/1"


@dataclasses.dataclass(frozen=True)
class Result:
    """One dataset's run: what was asked, where its random numbers came from,
    and the report's quantities. solid_angle_error is the report's 99.9%
    error, confidence_factor (3.29) times solid_angle_stderr; mean_path_error
    is the report's +/- of the mean path. faces holds the crossings of each
    wall or face of a cylinder or cuboid detector. status is "done" or
    "aborted"; report is the text report a screen run shows."""

    geometry: Geometry
    emissions: float
    seed: int
    position: int  # generator outputs drawn from the seed before this dataset
    threads: int
    emitted: float
    hits: float
    solid_angle: float
    solid_angle_stderr: float
    solid_angle_error: float
    confidence_factor: float
    relative_error_percent: float
    hit_share: float
    faces: dict
    mean_path: float
    mean_path_error: float
    warnings: tuple
    status: str
    seconds: float
    date: str
    version: str
    method: str = "emission"
    report: str = dataclasses.field(default="", compare=False, repr=False)

    RESULTS = ("emitted", "hits", "solid_angle", "solid_angle_stderr", "solid_angle_error",
               "confidence_factor", "relative_error_percent", "hit_share", "faces",
               "mean_path", "mean_path_error", "warnings", "status", "seconds")

    def to_dict(self):
        """The record korvex writes as one JSON line."""
        results = {name: getattr(self, name) for name in self.RESULTS}
        results["faces"] = dict(self.faces)
        results["warnings"] = list(self.warnings)
        return {"schema": SCHEMA, "version": self.version, "date": self.date,
                "seed": self.seed, "position": self.position, "threads": self.threads,
                "method": self.method,
                "inputs": dict(self.geometry.inputs(), emissions=self.emissions),
                "results": results}

    def to_json(self):
        return json.dumps(self.to_dict())

    @classmethod
    def from_dict(cls, record):
        if record.get("schema") != SCHEMA:
            raise ValueError(f"not a {SCHEMA} record: {record.get('schema')!r}")
        results = dict(record["results"])
        results["warnings"] = tuple(results["warnings"])
        return cls(geometry=Geometry.from_inputs(record["inputs"]),
                   emissions=record["inputs"]["emissions"], seed=record["seed"],
                   position=record["position"], threads=record["threads"],
                   date=record["date"], version=record["version"], method=record["method"],
                   **results)

    @classmethod
    def from_json(cls, line):
        return cls.from_dict(json.loads(line))


class Sweep:
    """The results of a sweep in order. Every numeric result and every input
    is an array over the points (sweep.solid_angle, sweep.c); sweep.results
    holds the Result of each point."""

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
        import numpy
        if name.startswith("_") or name == "results":
            raise AttributeError(name)
        if name in Result.RESULTS or name in ("emissions", "seed", "position", "threads"):
            return numpy.array([getattr(r, name) for r in self.results])
        if name in Geometry.__dataclass_fields__:
            return numpy.array([getattr(r.geometry, name) for r in self.results])
        raise AttributeError(name)

    def records(self):
        """One flat dict per point: the inputs, then the results (faces by
        their tally names)."""
        rows = []
        for r in self.results:
            d = r.to_dict()
            row = {"seed": d["seed"], "position": d["position"], "threads": d["threads"]}
            row.update(d["inputs"])
            results = d["results"]
            row.update(results.pop("faces"))
            results["warnings"] = "; ".join(results["warnings"])
            row.update(results)
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
        """One JSON record per line; written to path when given (appended),
        else returned."""
        text = "".join(r.to_json() + "\n" for r in self.results)
        if path is None:
            return text
        with open(path, "a", encoding="utf-8") as f:
            f.write(text)
        return None

    @classmethod
    def from_jsonl(cls, text):
        return cls(Result.from_json(line) for line in text.splitlines() if line.strip())
