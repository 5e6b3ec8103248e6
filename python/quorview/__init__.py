"""Read and write Quorel codes.

    import cv2, quorview
    for symbol in quorview.read(cv2.imread("page.png")):
        print(symbol.payload, symbol.center, symbol.start_marker_angle)
    result = quorview.read_file("page.png")      # no OpenCV needed
    if not result:
        print(result.error.code, result.error.message, result.error.stage)
    cv2.imwrite("hello.png", quorview.write("Hello", ecc="high", rotation=30))

Names are the Quorview program's words in any letter case: code types "bw", "color" and
"auto" (reading only), also "BlackAndWhite" and "Color"; ECC "low", "medium", "quartile",
"high"; binary formats "binary", "hex", "HEX"; layouts "Horizontal" (0) ... "Scrambled" (5),
by name or number. Angles are degrees, from +x towards +y (clockwise on screen).
"""
import numbers
import os

from ._native import Error, Failure, ReadResult, Symbol, __version__
from . import _native

__all__ = ["Error", "Failure", "ReadResult", "Symbol", "read", "read_file", "write", "__version__"]

_DEFAULT_LAYOUT = "HorizontalShortSnake"


def _numpy():
    try:
        import numpy
    except ImportError as error:  # pragma: no cover - depends on the interpreter
        raise ImportError("quorview needs NumPy for images as arrays (read_file does not)") from error
    return numpy


def _check(value, types, name, what):
    # bool is an int to Python; a flag given where a number belongs (or the reverse) is refused.
    if not isinstance(value, types) or (isinstance(value, bool) and bool not in types):
        raise TypeError(f"{name} must be {what}, not {type(value).__name__}")
    return value


def _text(value, name):
    return _check(value, (str,), name, "a str")


def _integer(value, name):
    value = int(_check(value, (numbers.Integral,), name, "an int"))
    if not -2**31 <= value < 2**31:
        raise ValueError(f"{name} is out of range: {value}")
    return value


def _number(value, name):
    return float(_check(value, (numbers.Real,), name, "a number"))


def _flag(value, name):
    return _check(value, (bool,), name, "True or False")


def _layout(value):
    if isinstance(value, numbers.Integral) and not isinstance(value, bool):
        return str(value)
    return _check(value, (str,), "layout", "a str or an int")


def _image(image):
    numpy = _numpy()
    if not isinstance(image, numpy.ndarray):
        raise TypeError(
            f"image must be a NumPy array (as cv2.imread gives), not {type(image).__name__}")
    if image.dtype != numpy.uint8:
        raise TypeError(
            f"image must be a uint8 array (grey or BGR, as cv2.imread gives), not {image.dtype}; "
            "convert it first, e.g. (image * 255).astype(numpy.uint8) for a float image in 0..1")
    if image.ndim == 3 and image.shape[2] == 1:
        image = image[:, :, 0]
    if image.ndim not in (2, 3) or (image.ndim == 3 and image.shape[2] != 3):
        raise ValueError(
            f"image must be (rows, cols) grey or (rows, cols, 3) BGR, not of shape {image.shape}")
    if image.size == 0:
        raise ValueError(f"image is empty: {image.shape[0]} x {image.shape[1]} pixels")
    if max(image.shape[:2]) >= 2**31:
        raise ValueError(f"image is too large: {image.shape[0]} x {image.shape[1]} pixels")
    return numpy.ascontiguousarray(image)


def _read_options(code_type, binary_format, enhance, max_symbols, time_budget_ms, layout):
    return (_text(code_type, "code_type"), _text(binary_format, "binary_format"),
            _flag(enhance, "enhance"), _integer(max_symbols, "max_symbols"),
            _number(time_budget_ms, "time_budget_ms"), _layout(layout))


def read(image, code_type="auto", binary_format="binary", enhance=True, max_symbols=0,
         time_budget_ms=0.0, layout=_DEFAULT_LAYOUT):
    """Every symbol in a grey or BGR uint8 image (a NumPy array as cv2.imread gives it).

    Returns a ReadResult: a sequence of Symbol (payload, payload_bytes, payload_type, ecc,
    code_type, modules_per_ring, rings, mirrored, center, outline, start_marker_angle in degrees,
    rs_corrected, rs_correctable); when it is empty, its error (code, message, stage) says why.
    code_type: "auto" (each symbol as the code type its own pixels show), "bw" or "color".
    binary_format: "binary" (0b...), "hex" or "HEX". layout: the layout the symbols were written
    with (default "HorizontalShortSnake", 4). max_symbols: stop after this many (0: all);
    time_budget_ms: give up after this long (0: no limit). Raises TypeError for a non-array or a
    dtype other than uint8, ValueError for an empty array or a bad option word, quorview.Error
    when the reader cannot take the image (a grey image read as colour)."""
    return _native.read(_image(image),
                        *_read_options(code_type, binary_format, enhance, max_symbols,
                                       time_budget_ms, layout))


def read_file(path, code_type="auto", binary_format="binary", enhance=True, max_symbols=0,
              time_budget_ms=0.0, layout=_DEFAULT_LAYOUT):
    """Every symbol in an image file (PNG, JPEG, WebP, TIFF, PNM, BMP), read as the Quorview
    program reads it; options as for read. A path that names no readable image gives an empty
    ReadResult whose error says why (code 22, stage "ReadImage"), in the program's words."""
    if not isinstance(path, (str, os.PathLike)):
        raise TypeError(f"path must be a str or a path, not {type(path).__name__}")
    return _native.read_file(os.fspath(path),
                             *_read_options(code_type, binary_format, enhance, max_symbols,
                                            time_budget_ms, layout))


def write(payload, code_type="bw", ecc="medium", modules_per_ring=0, rings=0, size=640,
          rotation=0.0, mirrored=False, layout=_DEFAULT_LAYOUT, payload_type="Automatic",
          force=False):
    """A symbol holding payload as a (size, size, 3) BGR uint8 array.

    payload: str, or bytes for a Binary payload (text that is not UTF-8 is refused by str itself;
    bytes keep every value). code_type: "bw" or "color"; ecc: "low", "medium", "quartile" or
    "high"; modules_per_ring (16 ... 80) and rings (2 ...): 0 picks the smallest symbol that
    holds the payload; size: side of the image, 1 to 20000 pixels; rotation: direction of the
    start marker in degrees, clockwise from 3 o'clock (Quorgen's --rotation); layout and
    payload_type as Quorgen's -l and -t. The symbol is read back first: one that the reader does
    not read at this size raises quorview.Error naming the smallest size that reads, unless
    force=True. Raises TypeError for a payload that is neither str nor bytes and for options of
    the wrong type, ValueError for a bad option word, quorview.Error for an empty payload, one
    that does not fit, or a symbol that does not read back."""
    if isinstance(payload, (bytearray, memoryview)):
        payload = bytes(payload)
    if not isinstance(payload, (str, bytes)):
        raise TypeError(f"payload must be str or bytes, not {type(payload).__name__}")
    return _native.write(payload, _text(code_type, "code_type"), _text(ecc, "ecc"),
                         _text(payload_type, "payload_type"), _layout(layout),
                         _integer(modules_per_ring, "modules_per_ring"), _integer(rings, "rings"),
                         _integer(size, "size"), _number(rotation, "rotation"),
                         _flag(mirrored, "mirrored"), _flag(force, "force"))
