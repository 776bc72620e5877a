"""The Tarvel Tool from Python.

``run`` runs the tool's module file (``tarvel.p``, beside this package) in the same stand-in
host that ``tarvel run`` uses, on a mesh given as NumPy arrays, so the links, the removed
polygons and the messages are those ``tarvel run`` gives on the same mesh. ``read`` and
``write`` read and write LightWave objects (LWO2, LWO3) and OBJ files as ``tarvel run`` does,
and ``report`` writes its report page.

    >>> import tarvel
    >>> mesh = tarvel.read("examples/facing_grids.obj")
    >>> result = tarvel.run(mesh.points, mesh.polygons, mesh.selected, types=mesh.types)
    >>> tarvel.write("linked.obj", mesh, result)
"""

from __future__ import annotations

import itertools
import os
from typing import Any, Iterable, Optional, Tuple, Union

import numpy as np

from . import _tarvel
from ._tarvel import Error, FileError, FormatError, SelectionError

__all__ = [
    "Error",
    "FileError",
    "FormatError",
    "Mesh",
    "Result",
    "SelectionError",
    "read",
    "report",
    "run",
    "write",
    "COLOUR_CODES",
    "edited_bytes",
    "module_file",
]

#: The colour code of each link tag the tool sets (``Result.colour_codes``); 0 is any other.
COLOUR_CODES = {"Red": 1, "DkRed": 2, "Blue": 3}


def module_file() -> str:
    """The path of the module file that ``run`` loads: ``tarvel.p`` beside the extension."""
    return _tarvel.module_file()


def _point_array(points: Any) -> np.ndarray:
    array = np.ascontiguousarray(points, dtype=np.float64)
    return array.reshape(0, 3) if array.size == 0 else array


def _polygon_arrays(polygons: Any) -> Tuple[np.ndarray, np.ndarray]:
    """Offsets (length npoly + 1) and point indices from what ``run`` accepts."""
    if isinstance(polygons, tuple):
        if len(polygons) != 2:
            raise ValueError(
                "polygons: a tuple must be (offsets, indices); give a list for polygons "
                "as index sequences")
        offsets = np.ascontiguousarray(polygons[0])
        indices = np.ascontiguousarray(polygons[1])
        for what, array in (("offsets", offsets), ("indices", indices)):
            if array.ndim != 1:
                raise ValueError(f"polygons: the {what} must be a flat array")
            if array.size and array.dtype.kind not in "iu":
                raise ValueError(f"polygons: the {what} must be integers")
        return offsets.astype(np.int64, copy=False), indices.astype(np.int64, copy=False)
    if isinstance(polygons, np.ndarray):
        if polygons.ndim != 2:
            raise ValueError(
                "polygons: an array must be (npoly, k), k points each; give (offsets, indices) "
                "for polygons of different sizes")
        if polygons.size and polygons.dtype.kind not in "iu":
            raise ValueError("polygons: point indices must be integers")
        count, size = polygons.shape
        offsets = np.arange(count + 1, dtype=np.int64) * size
        return offsets, np.ascontiguousarray(polygons, dtype=np.int64).reshape(-1)
    polygons = [polygon.tolist() if isinstance(polygon, np.ndarray) else polygon
                for polygon in polygons]
    try:
        sizes = np.fromiter(map(len, polygons), dtype=np.int64, count=len(polygons))
    except TypeError as error:
        raise ValueError("polygons: each polygon must be a sequence of point indices") from error
    try:
        indices = np.array(list(itertools.chain.from_iterable(polygons)))
        integers = indices.ndim == 1 and (indices.size == 0 or indices.dtype.kind in "iu")
    except (TypeError, ValueError):  # an index that is itself a sequence
        integers = False
    if not integers:
        raise ValueError("polygons: point indices must be integers")
    offsets = np.zeros(len(polygons) + 1, dtype=np.int64)
    np.cumsum(sizes, out=offsets[1:])
    return offsets, indices.astype(np.int64)


def _selected_array(selected: Any, count: int) -> np.ndarray:
    """One bool per polygon from a boolean array or polygon indices."""
    array = np.asarray(selected)
    if array.dtype == np.bool_:
        if array.ndim != 1 or array.shape[0] != count:
            raise ValueError(f"selected: one bool per polygon is needed ({count})")
        return np.ascontiguousarray(array)
    if array.size == 0:
        return np.zeros(count, dtype=np.bool_)
    if array.ndim != 1 or array.dtype.kind not in "iu":
        raise ValueError("selected: a boolean array, or an array of polygon indices, is needed")
    wrong = (array < 0) | (array >= count)
    if wrong.any():
        raise ValueError(
            f"selected: polygon {int(array[wrong][0])} does not exist ({count} polygons)")
    flags = np.zeros(count, dtype=np.bool_)
    flags[array] = True
    return flags


def _type_codes(types: Any, count: int) -> Optional[np.ndarray]:
    """Four-character type codes as 32-bit numbers (first character most significant)."""
    if types is None:
        return None
    array = np.asarray(types)
    if array.ndim != 1 or array.shape[0] != count:
        raise ValueError(f"types: one type per polygon is needed ({count})")
    if array.size == 0:
        return np.zeros(0, dtype=np.uint32)
    if array.dtype.kind in "iu":
        if (array < 0).any() or (array > 0xFFFFFFFF).any():
            raise ValueError("types: a numeric type code is a 32-bit number")
        return array.astype(np.uint32)
    if array.dtype.kind == "S":
        array = array.astype("U")
    if array.dtype.kind != "U":
        raise ValueError('types: four-character codes ("FACE", "PTCH", ...) are needed')
    # Each entry as its character codes: four ASCII characters, none of them NUL.
    chars = np.ascontiguousarray(array.astype("U4")).view(np.uint32).reshape(-1, 4)
    wide = np.ascontiguousarray(array).view(np.uint32).reshape(len(array), -1)
    wrong = (chars == 0).any(axis=1) | (chars > 127).any(axis=1) | (wide[:, 4:] != 0).any(axis=1)
    if wrong.any():
        raise ValueError(f"types: {array[wrong][0]!r} is not a four-character ASCII code")
    return ((chars[:, 0] << 24) | (chars[:, 1] << 16) | (chars[:, 2] << 8) | chars[:, 3]).astype(
        np.uint32)


def _type_names(codes: np.ndarray) -> np.ndarray:
    return codes.astype(">u4").view("S4").astype("U4")


class Result:
    """What one run of the tool did.

    Attributes:
        links: (m, 2) int64 array, the points each link joins, in the order the tool added them.
        colours: each link's colour tag as the tool sets it ("Red", "DkRed", "Blue").
        colour_codes: (m,) int8 array, 1 Red, 2 DkRed, 3 Blue (0 any other tag).
        removed: (k,) int64 array, the polygons the run removed, ascending.
        pairs: the pairs of patches linked (each pair has one Red link).
        messages: the messages the tool showed, a second line after a newline, as
            ``tarvel run --json`` lists them.
        message_kinds: "Info", "Warning" or "Error" for each message.
        stopped: True when the run changed nothing (too few patches, no pair, ...).
        stop_reason: for a run that changed nothing without a message, what the tool found.
        summary: the line ``tarvel run`` prints for the run (without a file name unless ``run``
            was given ``name``).
        link_counts: links by colour tag, Red, DkRed and Blue first.
        seconds: the run's time.
    """

    __slots__ = ("links", "colours", "colour_codes", "removed", "pairs", "messages",
                 "message_kinds", "stopped", "stop_reason", "summary", "link_counts",
                 "seconds", "_edit")

    def __init__(self, fields: dict) -> None:
        for key in self.__slots__:
            object.__setattr__(self, key, fields[key.lstrip("_")])

    def __setattr__(self, key: str, value: Any) -> None:
        raise AttributeError("a tarvel.Result is read-only")

    def __repr__(self) -> str:
        text = f"<tarvel.Result {self.summary}"
        if self.messages:
            text += "; " + "; ".join(
                f"{kind}: {message}" for kind, message in zip(self.message_kinds, self.messages))
        elif self.stop_reason:
            text += "; " + self.stop_reason
        return text + ">"


def run(points: Any, polygons: Any, selected: Any, *, types: Any = None,
        threads: Optional[int] = None, name: Optional[str] = None) -> Result:
    """Runs the tool on a mesh and returns what it did.

    Args:
        points: (n, 3) array-like of float64 coordinates.
        polygons: a list of point-index sequences, an (npoly, k) integer array, or a tuple
            ``(offsets, indices)``: polygon j is ``indices[offsets[j]:offsets[j + 1]]``.
        selected: a boolean array with one entry per polygon, or an array of polygon indices.
        types: each polygon's type, a four-character code ("FACE", "PTCH", "SUBD", ...) as a
            string or a 32-bit number; every polygon a FACE without it.
        threads: the most threads the run uses (as TARVEL_THREADS sets for ``tarvel run``).
        name: names the mesh in errors and starts the summary, as a file's name does.

    The interpreter is free for other threads while the tool runs; runs from several threads
    take turns. Raises ValueError for arrays that are not a mesh, and tarvel.Error for what
    ``tarvel run`` refuses (a mesh without polygons, an edit the tool abandoned).
    """
    point_array = _point_array(points)
    offsets, indices = _polygon_arrays(polygons)
    count = max(offsets.shape[0] - 1, 0)
    flags = _selected_array(selected, count)
    codes = _type_codes(types, count)
    if threads is not None:
        if isinstance(threads, bool) or int(threads) != threads or threads < 1:
            raise ValueError("threads: a count from 1 up is needed")
        threads = int(threads)
    return Result(_tarvel.run(point_array, offsets, indices, flags, codes, threads, name or ""))


class Mesh:
    """A mesh: read from a file by ``read``, or made from arrays.

    Attributes:
        points: (n, 3) float64 array.
        offsets, indices: the polygons: polygon j is ``indices[offsets[j]:offsets[j + 1]]``.
        polygons: ``(offsets, indices)``, as ``run`` takes it.
        types: each polygon's type as a four-character string array ("FACE", "PTCH", ...).
        type_codes: the same as 32-bit numbers.
        selected: what ``tarvel run --all`` selects: every FACE, PTCH and SUBD polygon.
        name: the file's name (as given to ``read``), or the name given.
        format: "lwo" or "obj"; None for a mesh made from arrays.
        place: where in the file the mesh is (" in the first layer"), for messages.
    """

    def __init__(self, points: Any, polygons: Any, types: Any = None, *,
                 name: str = "mesh") -> None:
        """A mesh made from arrays (see ``run`` for the forms); it can be drawn by ``report``
        but has no file for ``write``."""
        point_array = _point_array(points)
        offsets, indices = _polygon_arrays(polygons)
        codes = _type_codes(types, max(offsets.shape[0] - 1, 0))
        self._setup(_tarvel.mesh_from_arrays(point_array, offsets, indices, codes, name))

    @classmethod
    def _from_file(cls, handle: Any) -> "Mesh":
        mesh = cls.__new__(cls)
        mesh._setup(handle)
        return mesh

    def _setup(self, handle: Any) -> None:
        self._handle = handle
        arrays = handle.arrays()
        self.points: np.ndarray = arrays["points"]
        self.offsets: np.ndarray = arrays["offsets"]
        self.indices: np.ndarray = arrays["indices"]
        self.type_codes: np.ndarray = arrays["type_codes"]
        self.types: np.ndarray = _type_names(self.type_codes)
        self.name: str = arrays["name"]
        self.format: Optional[str] = arrays["format"]
        self.place: str = arrays["place"]
        try:
            self.selected: np.ndarray = self.select(all=True)
        except SelectionError:
            self.selected = np.zeros(len(self.type_codes), dtype=np.bool_)
        for array in (self.points, self.offsets, self.indices, self.type_codes, self.types,
                      self.selected):
            array.flags.writeable = False

    @property
    def polygons(self) -> Tuple[np.ndarray, np.ndarray]:
        return self.offsets, self.indices

    def __len__(self) -> int:
        return len(self.type_codes)

    def __repr__(self) -> str:
        points, polygons = len(self.points), len(self)
        return (f"<tarvel.Mesh {self.name!r}{self.place}: {points} point{'s' * (points != 1)}, "
                f"{polygons} polygon{'s' * (polygons != 1)}>")

    def select(self, *, all: bool = False, surfaces: Iterable[str] = (),
               parts: Iterable[str] = (),
               polygons: Union[str, Iterable[int], None] = None) -> np.ndarray:
        """The polygons ``tarvel run`` selects with --all, --surface, --part and --polygons.

        A polygon is selected when it matches every kind of rule given (any name within a
        kind); ``polygons`` is a list of indices or a text such as "0-99,150,200-". Raises
        tarvel.SelectionError, with ``tarvel run``'s message, for no rule at all, a surface or
        part no polygon bears, and a polygon beyond those there are.
        """
        if isinstance(surfaces, str) or isinstance(parts, str):
            raise TypeError("surfaces and parts are lists of names")
        if polygons is not None and not isinstance(polygons, str):
            polygons = ",".join(str(int(j)) for j in polygons) or None
            if polygons is None:
                raise SelectionError("polygons: no polygon given")
        return self._handle.selection(bool(all), list(surfaces), list(parts), polygons)


def read(path: Union[str, os.PathLike], layer: Union[str, int, None] = None) -> Mesh:
    """Reads a LightWave object (LWO2, LWO3) or an OBJ file as ``tarvel run`` reads it.

    ``layer`` chooses the layer of a LightWave object (its number or name, as --layer takes
    it); the first layer without. Raises tarvel.FileError (an OSError) for a file that cannot
    be opened, tarvel.FormatError (a ValueError) for one that cannot be read, and
    tarvel.SelectionError for a layer the file does not hold.
    """
    return Mesh._from_file(
        _tarvel.read(os.fspath(path), None if layer is None else str(layer)))


def write(path: Union[str, os.PathLike], mesh: Mesh, result: Result) -> None:
    """Writes ``mesh``'s file with the edit of ``result`` (a run on that mesh), byte for byte
    as ``tarvel run`` writes it: the links added, the removed polygons gone, the rest as read.

    The file is written whole or not at all. Raises ValueError for a result of a run on
    another mesh or a mesh made from arrays, tarvel.FormatError when the edit cannot be
    written in the file's format, and tarvel.FileError when the file cannot be written.
    """
    mesh._handle.write(os.fspath(path), result._edit)


def edited_bytes(mesh: Mesh, result: Result) -> bytes:
    """What ``write`` would write, as bytes."""
    return mesh._handle.edited_bytes(result._edit)


def report(path_html: Union[str, os.PathLike], mesh: Mesh, result: Result, *,
           name: Optional[str] = None) -> None:
    """Writes the report page ``tarvel run --html`` writes for the run ``result`` on ``mesh``.

    The page's summary line names the mesh as ``mesh.name`` (the path given to ``read``), its
    title as ``name``, the file name of ``mesh.name`` without it.
    """
    shown = name if name is not None else os.path.basename(mesh.name)
    mesh._handle.report(os.fspath(path_html), result._edit, shown)
