"""KQStringArray from Python: the string array through the library's C interface (ctypes).

    from kqstringarray import StringArray

    words = StringArray(sorted=True)
    words.add("banana")
    words.add("Apple")              # returns its index: 0, case-insensitive order
    list(words)                     # ['Apple', 'banana']
    words.index("APPLE", no_case=True)   # 0; ValueError when absent
    "banana" in words               # True (exact match)

The library is the one named by the environment variable KQSTRINGARRAY_LIBRARY (a path to the
shared library: libKQStringArray.so.1, KQStringArray.dll, ...), or else the one inside this
package (kqstringarray/_libs, where `pip install` puts it with its two companions), or else the
one installed in the same prefix (CMake installs the package in
<prefix>/share/KQStringArray/python/kqstringarray, the library in <prefix>/lib or, on Windows,
<prefix>/bin), or else the one the system's loader finds.  Text passes as UTF-16, so a str
round-trips exactly, lone surrogates included, with one exception that UTF-16 cannot hold: a
lone high surrogate directly followed by a lone low one ("\ud83d\ude00", two code points) would
come back as the one character they encode, so such a str is refused with KQValueError
(ERROR_INVALID_PARAMETER) and is never found.  bytes are read as UTF-8 (ill-formed sequences
become U+FFFD).  Searches (`in`, index(), count()) take str, bytes and bytearray alike.

`__version__` is the release this package belongs to ("1.4.0"), written by the build; in a
source checkout, where no build wrote it, it is the version of the library loaded.
library_version() is always the library's own (kq_version()).

Failures raise exceptions that carry the library's result code as `code`: KQIndexError (an
IndexError), KQValueError (a ValueError), KQMemoryError (a MemoryError), all of them
KQStringArrayError.
"""
import array
import ctypes
import ctypes.util
import glob
import itertools
import os
import re
import sys

__all__ = [
    "StringArray", "KQStringArrayError", "KQIndexError", "KQValueError", "KQMemoryError",
    "ERROR_SUCCESS", "ERROR_OUTOFMEMORY", "ERROR_INVALID_PARAMETER", "ERROR_NOT_FOUND",
    "ERROR_INVALID_INDEX", "ERROR_INVALID_STATE", "NO_INDEX", "load_library", "library_version",
]

try:
    from ._version import __version__  # written by the build from the project version
except ImportError:  # a source checkout: the version of the library, read when first asked for
    def __getattr__(name):
        if name == "__version__":
            return library_version()
        raise AttributeError(f"module {__name__!r} has no attribute {name!r}")

# The result codes (Windows system error codes) and the "no index" value of KQStringArrayC.h.
ERROR_SUCCESS = 0
ERROR_OUTOFMEMORY = 14
ERROR_INVALID_PARAMETER = 87
ERROR_NOT_FOUND = 1168
ERROR_INVALID_INDEX = 1413
ERROR_INVALID_STATE = 5023
NO_INDEX = 0xFFFFFFFF

_ZERO_TERMINATED = ctypes.c_size_t(-1).value
_NO_LENGTH = ctypes.c_size_t(-1).value
_UNIT = 2  # bytes in a UTF-16 code unit


class KQStringArrayError(Exception):
    """A failed operation; `code` is the result code the array recorded."""

    def __init__(self, message, code):
        super().__init__(f"{message} (result code {code})")
        self.code = code


class KQIndexError(KQStringArrayError, IndexError):
    """An index outside the array (ERROR_INVALID_INDEX)."""


class KQValueError(KQStringArrayError, ValueError):
    """A text that is not there (ERROR_NOT_FOUND) or a refused argument."""


class KQMemoryError(KQStringArrayError, MemoryError):
    """The library ran out of memory (ERROR_OUTOFMEMORY)."""


# --- Finding and loading the library ------------------------------------------------------------

def _library_names():
    if sys.platform == "win32":
        return ["KQStringArray.dll"]
    if sys.platform == "darwin":
        return ["libKQStringArray.1.dylib", "libKQStringArray.dylib"]
    return ["libKQStringArray.so.1", "libKQStringArray.so"]


# The folder inside the package that a pip-installed package carries the libraries in.
_PACKAGED = os.path.join(os.path.dirname(os.path.abspath(__file__)), "_libs")


def _packaged_candidates():
    """The library inside this package."""
    for name in _library_names():
        yield os.path.join(_PACKAGED, name)


def _installed_candidates():
    """The library in the prefix this package is installed under (and in sys.prefix)."""
    here = os.path.dirname(os.path.abspath(__file__))
    prefixes = []
    directory = here
    for _ in range(4):  # <prefix>/share/KQStringArray/python/kqstringarray -> <prefix>
        directory = os.path.dirname(directory)
        prefixes.append(directory)
    prefixes.append(sys.prefix)
    for prefix in prefixes:
        for sub in ("bin", "lib", "lib64", os.path.join("lib", "*")):
            for name in _library_names():
                yield from sorted(glob.glob(os.path.join(prefix, sub, name)))


def _find_library():
    explicit = os.environ.get("KQSTRINGARRAY_LIBRARY")
    if explicit:
        if not os.path.isfile(explicit):
            raise OSError(f"KQSTRINGARRAY_LIBRARY names no file: {explicit}")
        return explicit
    for candidate in itertools.chain(_packaged_candidates(), _installed_candidates()):
        if os.path.isfile(candidate):
            return candidate
    found = ctypes.util.find_library("KQStringArray")
    if found:
        return found
    raise OSError("KQStringArray library not found: set KQSTRINGARRAY_LIBRARY to its path")


_Handle = ctypes.c_void_p
_Units = ctypes.POINTER(ctypes.c_uint16)


def _declare(lib):
    """Declares the argument and result types of every function of KQStringArrayC.h."""
    size_t, u32, c_int = ctypes.c_size_t, ctypes.c_uint32, ctypes.c_int
    u32_out = ctypes.POINTER(u32)
    flat = ctypes.POINTER(ctypes.POINTER(_Units))
    signatures = {
        "kq_version": (ctypes.c_char_p, []),
        "kq_string_array_new": (_Handle, [c_int]),
        "kq_string_array_free": (None, [_Handle]),
        "kq_string_array_is_sorted": (c_int, [_Handle]),
        "kq_string_array_size": (u32, [_Handle]),
        "kq_string_array_error": (u32, [_Handle]),
        "kq_string_array_add_utf8": (c_int, [_Handle, ctypes.c_char_p, size_t, u32_out]),
        "kq_string_array_add_utf16": (c_int, [_Handle, _Units, size_t, u32_out]),
        "kq_string_array_set_utf8": (c_int, [_Handle, u32, ctypes.c_char_p, size_t]),
        "kq_string_array_set_utf16": (c_int, [_Handle, u32, _Units, size_t]),
        "kq_string_array_find_utf8": (u32, [_Handle, ctypes.c_char_p, size_t, c_int]),
        "kq_string_array_find_utf16": (u32, [_Handle, _Units, size_t, c_int]),
        "kq_string_array_get_utf8": (size_t, [_Handle, u32, ctypes.c_char_p, size_t]),
        "kq_string_array_get_utf16": (size_t, [_Handle, u32, _Units, size_t]),
        "kq_string_array_remove_at": (c_int, [_Handle, u32]),
        "kq_string_array_remove_all": (c_int, [_Handle]),
        "kq_string_array_append": (c_int, [_Handle, _Handle]),
        "kq_string_array_add_many_utf8": (c_int, [_Handle, ctypes.c_char_p,
                                                  ctypes.POINTER(size_t), size_t]),
        "kq_string_array_add_many_utf16": (c_int, [_Handle, _Units, ctypes.POINTER(size_t),
                                                   size_t]),
        "kq_string_array_create_memory_array": (c_int, [_Handle, flat, u32_out]),
        "kq_string_array_free_memory_array": (c_int, [_Handle, flat]),
    }
    for name, (restype, argtypes) in signatures.items():
        function = getattr(lib, name)
        function.restype = restype
        function.argtypes = argtypes
    return lib


_lib = None


def load_library():
    """The loaded library (found and loaded on first use)."""
    global _lib
    if _lib is None:
        _lib = _declare(ctypes.CDLL(_find_library()))
    return _lib


def library_version():
    """The version of the library loaded, as its kq_version() gives it ("1.4.0")."""
    return load_library().kq_version().decode("ascii")


# A high surrogate code point followed by a low one: in UTF-16 the pair is one character.
_SURROGATE_PAIR = re.compile("[\ud800-\udbff][\udc00-\udfff]")


def _holdable(text):
    """True when `text` survives UTF-16 unchanged (it holds no two code points that UTF-16
    would join into one character)."""
    return text.isascii() or _SURROGATE_PAIR.search(text) is None


# A code point outside the BMP: two UTF-16 units.
_ASTRAL = re.compile("[\U00010000-\U0010FFFF]")

# The array typecode whose items are as wide as size_t.
_SIZE_CODE = next(code for code in "LQI" if array.array(code).itemsize == ctypes.sizeof(
    ctypes.c_size_t))


def _sizes(values):
    """`values` as a ctypes array of size_t (sharing the memory of an array.array)."""
    packed = array.array(_SIZE_CODE, values)
    return (ctypes.c_size_t * len(packed)).from_buffer(packed), packed


def _utf16(text):
    """`text` as UTF-16 units for the library: (buffer, unit count).  KQValueError for a text
    that would not come back unchanged."""
    if not _holdable(text):
        raise KQValueError(f"{text!r} holds a surrogate pair as two code points, which UTF-16 "
                           "cannot keep apart", ERROR_INVALID_PARAMETER)
    data = text.encode("utf-16-le", "surrogatepass")
    length = len(data) // _UNIT
    buffer = (ctypes.c_uint16 * max(length, 1)).from_buffer_copy(data.ljust(_UNIT, b"\0"))
    return buffer, length


# --- The array --------------------------------------------------------------------------------

class StringArray:
    """A KQStringArray string array: a sequence of str, in arrival order or, when `sorted`, in
    case-insensitive order.

    len(), iteration, indexing (negative indices too; slices give lists), `in` (exact match),
    index() (exact, or without regard to case), add(), remove(), `del a[i]`, `a[i] = text` (on
    unsorted arrays), clear(), extend() and += (many texts in one call: the way to load a
    sorted array).  Failures raise exceptions carrying the result code.
    """

    def __init__(self, items=(), sorted=False):
        self._lib = load_library()
        self._handle = self._lib.kq_string_array_new(1 if sorted else 0)
        if not self._handle:
            raise KQMemoryError("cannot create a string array", ERROR_OUTOFMEMORY)
        self.extend(items)

    # Lifetime
    def close(self):
        """Releases the array now (the object is unusable afterwards)."""
        handle, self._handle = getattr(self, "_handle", None), None
        if handle:
            self._lib.kq_string_array_free(handle)

    def __del__(self):
        self.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def _live(self):
        if not self._handle:
            raise ValueError("the string array is closed")
        return self._handle

    # Failures are told by each call's own result, never by the array's recorded code, which
    # another thread's call may have replaced meanwhile.

    # Properties
    @property
    def sorted(self):
        """True when the array keeps case-insensitive order."""
        return self._lib.kq_string_array_is_sorted(self._live()) != 0

    @property
    def error(self):
        """The result code of the last operation that recorded one."""
        return self._lib.kq_string_array_error(self._live())

    # Sequence
    def __len__(self):
        return self._lib.kq_string_array_size(self._live())

    def _position(self, index):
        if not isinstance(index, int):
            raise TypeError(f"string array indices must be integers, not {type(index).__name__}")
        size = len(self)
        position = index + size if index < 0 else index
        if not 0 <= position < size:
            raise KQIndexError(f"string array index {index} out of range", ERROR_INVALID_INDEX)
        return position

    def _get(self, position):
        # Each call tests the index and copies the element under one holding of the array's
        # lock, so an element that another thread removes or replaces meanwhile gives either an
        # index error or a whole text; a text longer than the buffer is read again.
        handle = self._live()
        capacity = 64
        while True:
            buffer = (ctypes.c_uint16 * capacity)()
            length = self._lib.kq_string_array_get_utf16(handle, position, buffer, capacity)
            if length == _NO_LENGTH:  # the only failure with a live array and a buffer
                raise KQIndexError(f"string array index {position} out of range",
                                   ERROR_INVALID_INDEX)
            if length < capacity:
                return ctypes.string_at(buffer, length * _UNIT).decode("utf-16-le",
                                                                        "surrogatepass")
            capacity = length + 1

    def __getitem__(self, index):
        if isinstance(index, slice):
            return [self._get(i) for i in range(*index.indices(len(self)))]
        return self._get(self._position(index))

    def __setitem__(self, index, text):
        position = self._position(index)
        if isinstance(text, (bytes, bytearray)):
            data = bytes(text)
            ok = self._lib.kq_string_array_set_utf8(self._live(), position, data, len(data))
        else:
            buffer, length = _utf16(_text(text))
            ok = self._lib.kq_string_array_set_utf16(self._live(), position, buffer, length)
        if not ok:
            # The array tests the index first, then its order; what remains is memory.
            if position >= len(self):
                raise KQIndexError(f"string array index {index} out of range",
                                   ERROR_INVALID_INDEX)
            if self.sorted:
                raise KQStringArrayError("a sorted array refuses replacement", ERROR_INVALID_STATE)
            raise KQMemoryError(f"cannot replace element {index}", ERROR_OUTOFMEMORY)

    def __delitem__(self, index):
        if not self._lib.kq_string_array_remove_at(self._live(), self._position(index)):
            raise KQIndexError(f"string array index {index} out of range", ERROR_INVALID_INDEX)

    def __iter__(self):
        i = 0
        while i < len(self):
            yield self._get(i)
            i += 1

    def __contains__(self, text):
        return _searchable(text) and self._find(text, False) != NO_INDEX

    def __eq__(self, other):
        if isinstance(other, (StringArray, list, tuple)):
            return list(self) == list(other)
        return NotImplemented

    def __repr__(self):
        if not getattr(self, "_handle", None):
            return "StringArray(<closed>)"
        return f"StringArray({list(self)!r}, sorted={self.sorted})"

    # Search
    def _find(self, text, no_case):
        handle = self._live()
        if isinstance(text, str) and not _holdable(text):
            return NO_INDEX  # the array cannot hold it
        if isinstance(text, (bytes, bytearray)):
            data = bytes(text)
            found = self._lib.kq_string_array_find_utf8(handle, data, len(data), int(no_case))
        else:
            buffer, length = _utf16(_text(text))
            found = self._lib.kq_string_array_find_utf16(handle, buffer, length, int(no_case))
        return found

    def index(self, text, no_case=False):
        """Index of the first element equal to `text` (exactly, or without regard to case);
        KQValueError (a ValueError, code ERROR_NOT_FOUND) when there is none."""
        found = self._find(text, no_case)
        if found == NO_INDEX:
            raise KQValueError(f"{text!r} is not in the string array", ERROR_NOT_FOUND)
        return found

    def count(self, text):
        """How many elements equal `text` exactly (str, or bytes as UTF-8, as for `in`)."""
        if isinstance(text, (bytes, bytearray)):
            text = self._decode(bytes(text))
        wanted = _text(text)
        if self._find(wanted, False) == NO_INDEX:
            return 0
        return sum(1 for element in self if element == wanted)

    def _decode(self, data):
        """`data` read as UTF-8 the way the library reads it (ill-formed sequences become
        U+FFFD exactly as they do in the array)."""
        scratch = self._lib.kq_string_array_new(0)
        if not scratch:
            raise KQMemoryError("cannot create a string array", ERROR_OUTOFMEMORY)
        try:
            if not self._lib.kq_string_array_add_utf8(scratch, data, len(data), None):
                raise KQMemoryError("cannot convert the text", ERROR_OUTOFMEMORY)
            length = self._lib.kq_string_array_get_utf16(scratch, 0, None, 0)
            buffer = (ctypes.c_uint16 * (length + 1))()
            self._lib.kq_string_array_get_utf16(scratch, 0, buffer, length + 1)
            return ctypes.string_at(buffer, length * _UNIT).decode("utf-16-le", "surrogatepass")
        finally:
            self._lib.kq_string_array_free(scratch)

    # Changes
    def add(self, text):
        """Adds `text` (str, or bytes as UTF-8) at its place (sorted) or at the end; returns its
        index."""
        handle = self._live()
        index = ctypes.c_uint32(NO_INDEX)
        if isinstance(text, (bytes, bytearray)):
            data = bytes(text)
            ok = self._lib.kq_string_array_add_utf8(handle, data, len(data), ctypes.byref(index))
        else:
            buffer, length = _utf16(_text(text))
            ok = self._lib.kq_string_array_add_utf16(handle, buffer, length, ctypes.byref(index))
        if not ok:
            raise KQMemoryError(f"cannot add {text!r}", ERROR_OUTOFMEMORY)
        return index.value

    def extend(self, items):
        """Adds every text of `items` (str, or bytes as UTF-8), in one call into the library for
        each run of texts of one kind: a sorted array orders them all at once and merges them in,
        which is far faster than one add() per text.  Another StringArray is appended in one
        call.  Every text is checked before any is added (TypeError, KQValueError); out of
        memory, KQMemoryError with a prefix of `items` added."""
        handle = self._live()
        if isinstance(items, StringArray):
            if not self._lib.kq_string_array_append(handle, items._live()):
                raise KQMemoryError("cannot append the array", ERROR_OUTOFMEMORY)
            return
        texts = list(items)
        for text in texts:
            if not _searchable(text):
                _text(text)  # raises the TypeError
        start = 0
        while start < len(texts):
            wide = isinstance(texts[start], str)
            end = start + 1
            while end < len(texts) and isinstance(texts[end], str) == wide:
                end += 1
            if wide:
                self._add_many_utf16(handle, texts[start:end])
            else:
                self._add_many_utf8(handle, [bytes(text) for text in texts[start:end]])
            start = end

    def __iadd__(self, items):
        self.extend(items)
        return self

    def _add_many_utf16(self, handle, texts):
        joined = "".join(texts)
        if joined.isascii():
            lengths = map(len, texts)
        else:
            if _SURROGATE_PAIR.search(joined):  # in one text, or only across two
                for text in texts:
                    _utf16(text)  # raises KQValueError for the text UTF-16 cannot keep
            if _ASTRAL.search(joined):
                lengths = [len(text.encode("utf-16-le", "surrogatepass")) // _UNIT
                           for text in texts]
            else:
                lengths = map(len, texts)
        data = joined.encode("utf-16-le", "surrogatepass")
        units = (ctypes.c_uint16 * max(len(data) // _UNIT, 1)).from_buffer_copy(
            data.ljust(_UNIT, b"\0"))
        sizes, _keep = _sizes(lengths)
        if not self._lib.kq_string_array_add_many_utf16(handle, units, sizes, len(texts)):
            raise KQMemoryError("cannot add the texts", ERROR_OUTOFMEMORY)

    def _add_many_utf8(self, handle, texts):
        sizes, _keep = _sizes(map(len, texts))
        if not self._lib.kq_string_array_add_many_utf8(handle, b"".join(texts), sizes,
                                                       len(texts)):
            raise KQMemoryError("cannot add the texts", ERROR_OUTOFMEMORY)

    def remove(self, text):
        """Removes the first element equal to `text`; KQValueError when there is none."""
        del self[self.index(text)]

    def clear(self):
        """Removes every element."""
        self._lib.kq_string_array_remove_all(self._live())

    def to_flat(self):
        """The elements as the library's flat array hands them out (each up to its first zero
        unit), copied into a list; the flat array is released at once."""
        handle = self._live()
        flat = ctypes.POINTER(_Units)()
        count = ctypes.c_uint32(0)
        if not self._lib.kq_string_array_create_memory_array(handle, ctypes.byref(flat),
                                                             ctypes.byref(count)):
            raise KQMemoryError("cannot make the flat array", ERROR_OUTOFMEMORY)
        try:
            texts = []
            for i in range(count.value):
                entry = flat[i]
                length = 0
                while entry[length] != 0:
                    length += 1
                texts.append(ctypes.string_at(entry, length * _UNIT)
                             .decode("utf-16-le", "surrogatepass"))
            return texts
        finally:
            self._lib.kq_string_array_free_memory_array(handle, ctypes.byref(flat))


def _searchable(value):
    """True for the types the searches take: str, and bytes or bytearray as UTF-8."""
    return isinstance(value, (str, bytes, bytearray))


def _text(value):
    if not isinstance(value, str):
        raise TypeError(f"a string array holds str (or bytes as UTF-8), not {type(value).__name__}")
    return value
