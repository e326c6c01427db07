"""A dataset's geometry by the data file's names, and data files read and written."""

import dataclasses
import numbers
import os

from . import _korvex

# The values of a dataset in the order of a data file (values 6 to 20).
LENGTHS = ("a1", "b1", "r1", "t1", "a2", "b2", "r2", "t2", "a3", "b3", "d", "c")
ANGLES = ("rotx", "roty", "rotz")
VALUES = LENGTHS + ANGLES


@dataclasses.dataclass(frozen=True)
class Geometry:
    """One dataset without its emission count.

    source is "cylinder" (a cylinder, disc or, with r1 = t1 = 0, a point),
    "cuboid" (a cuboid, rectangle or line) or "point"; detector is "cylinder"
    (a disc window when t2 = 0), "cuboid" (a rectangular window when t2 = 0)
    or "sphere". Lengths share any one unit; angles are in degrees. A value
    may also be given as the text the window would hold ("1E-3"). Values a
    shape does not use are ignored; a round source over a cylinder or sphere
    is placed by d alone, any other by a3 and b3.
    """

    source: str = "cylinder"
    detector: str = "cylinder"
    a1: float = 0
    b1: float = 0
    r1: float = 0
    t1: float = 0
    a2: float = 0
    b2: float = 0
    r2: float = 0
    t2: float = 0
    a3: float = 0
    b3: float = 0
    d: float = 0
    c: float = 0
    rotx: float = 0
    roty: float = 0
    rotz: float = 0
    twopi: bool = False

    def replace(self, **changes):
        """A copy with the named values changed."""
        return dataclasses.replace(self, **changes)

    def texts(self, emissions):
        """The field texts the program's own checks read."""
        texts = {name: _text(getattr(self, name)) for name in VALUES}
        texts["emissions"] = _text(emissions)
        return texts

    def check(self, emissions=1e7, counted=True):
        """Raises ValueError, naming the field as the program does, when the
        program would refuse the dataset; returns the questions a window would
        have asked (answered Yes). counted=False leaves the emission count
        unchecked beyond its form, as the integral method does."""
        if not isinstance(self.twopi, bool):
            raise ValueError("twopi must be True or False")
        questions, _ = _korvex.check(self.source, self.detector, self.twopi,
                                     self.texts(emissions), counted)
        return questions


def _text(value):
    """A value as the program reads it: texts as given, numbers in the
    shortest form that reads back as the same double."""
    if isinstance(value, str):
        return value
    if isinstance(value, bool) or not isinstance(value, numbers.Real):
        return repr(value)
    if isinstance(value, numbers.Integral):
        return str(int(value))
    return repr(float(value))


class Geometries(list):
    """The datasets of a data file in order, with their emission counts."""

    def __init__(self, geometries=(), emissions=()):
        super().__init__(geometries)
        self.emissions = list(emissions)


def read_datafile(path):
    """The datasets of a korvex-batch data file. A dataset that korvex-batch
    would answer with a problem entry raises ValueError with its words."""
    geometries, counts = [], []
    for d in _korvex.read_datafile(os.fspath(path)):
        counts.append(d.pop("emissions"))
        geometries.append(Geometry(**{k: (float(v) if k in ANGLES else v) for k, v in d.items()}))
    return Geometries(geometries, counts)


def datafile_text(geometries, emissions):
    """The data file korvex-batch reads for these geometries, emissions being
    one count for all or one per geometry. Each dataset is checked first, as
    a run would check it."""
    if isinstance(emissions, (numbers.Real, str)):
        emissions = [emissions] * len(geometries)
    lines = []
    for n, (g, count) in enumerate(zip(geometries, emissions, strict=True), 1):
        if g.source == "point":
            raise ValueError("a data file has no point source: use source='cylinder' "
                             "with r1 = t1 = 0")
        g.check(count)
        flags = (g.source == "cylinder", g.source == "cuboid", g.detector == "cylinder",
                 g.detector == "cuboid", g.detector == "sphere")
        lines.append(f"/ dataset {n}")
        lines += ["true" if f else "false" for f in flags]
        lines += [_text(getattr(g, name)) for name in VALUES]
        lines += [_text(count), "true" if g.twopi else "false", "*"]
    return "\n".join(lines) + "\n"


def write_datafile(path, geometries, emissions):
    with open(path, "w", encoding="ascii") as f:
        f.write(datafile_text(geometries, emissions))
