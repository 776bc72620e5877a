import os
from typing import Any, Dict, Iterable, Optional, Sequence, Tuple, Union

import numpy as np
import numpy.typing as npt

_Path = Union[str, os.PathLike[str]]
_Polygons = Union[
    Sequence[Sequence[int]],
    Tuple[npt.ArrayLike, npt.ArrayLike],
    npt.NDArray[np.integer[Any]],
]

COLOUR_CODES: Dict[str, int]

class Error(Exception): ...
class FormatError(Error, ValueError): ...
class SelectionError(Error, ValueError): ...
class FileError(Error, OSError): ...

class Result:
    links: npt.NDArray[np.int64]
    colours: Tuple[str, ...]
    colour_codes: npt.NDArray[np.int8]
    removed: npt.NDArray[np.int64]
    pairs: int
    messages: Tuple[str, ...]
    message_kinds: Tuple[str, ...]
    stopped: bool
    stop_reason: str
    summary: str
    link_counts: Dict[str, int]
    seconds: float

class Mesh:
    points: npt.NDArray[np.float64]
    offsets: npt.NDArray[np.int64]
    indices: npt.NDArray[np.int64]
    types: npt.NDArray[np.str_]
    type_codes: npt.NDArray[np.uint32]
    selected: npt.NDArray[np.bool_]
    name: str
    format: Optional[str]
    place: str
    def __init__(
        self,
        points: npt.ArrayLike,
        polygons: _Polygons,
        types: Optional[npt.ArrayLike] = ...,
        *,
        name: str = ...,
    ) -> None: ...
    @property
    def polygons(self) -> Tuple[npt.NDArray[np.int64], npt.NDArray[np.int64]]: ...
    def __len__(self) -> int: ...
    def select(
        self,
        *,
        all: bool = ...,
        surfaces: Iterable[str] = ...,
        parts: Iterable[str] = ...,
        polygons: Union[str, Iterable[int], None] = ...,
    ) -> npt.NDArray[np.bool_]: ...

def module_file() -> str: ...
def run(
    points: npt.ArrayLike,
    polygons: _Polygons,
    selected: npt.ArrayLike,
    *,
    types: Optional[npt.ArrayLike] = ...,
    threads: Optional[int] = ...,
    name: Optional[str] = ...,
) -> Result: ...
def read(path: _Path, layer: Union[str, int, None] = ...) -> Mesh: ...
def write(path: _Path, mesh: Mesh, result: Result) -> None: ...
def edited_bytes(mesh: Mesh, result: Result) -> bytes: ...
def report(path_html: _Path, mesh: Mesh, result: Result, *, name: Optional[str] = ...) -> None: ...
