"""The Python module against the library: the sequence protocol, sorted order, search, changes,
text in both encodings, the result codes that exceptions carry, finding the library, and the
version."""
import os
import re
import shutil
import subprocess
import sys

import pytest

import kqstringarray
from kqstringarray import (ERROR_INVALID_INDEX, ERROR_INVALID_STATE, ERROR_NOT_FOUND,
                           ERROR_SUCCESS, KQIndexError, KQStringArrayError, KQValueError,
                           StringArray)


@pytest.fixture
def fruit():
    with StringArray(["pear", "Apple", "fig"]) as array:
        yield array


def test_sequence_protocol(fruit):
    assert len(fruit) == 3
    assert list(fruit) == ["pear", "Apple", "fig"]
    assert fruit[0] == "pear" and fruit[-1] == "fig" and fruit[-3] == "pear"
    assert fruit[1:] == ["Apple", "fig"] and fruit[::-1] == ["fig", "Apple", "pear"]
    assert fruit == ["pear", "Apple", "fig"]
    assert repr(fruit) == "StringArray(['pear', 'Apple', 'fig'], sorted=False)"


@pytest.mark.parametrize("index", [3, -4, 2**32 - 1, 2**40])
def test_bad_index_raises_index_error(fruit, index):
    with pytest.raises(IndexError) as raised:
        fruit[index]
    assert isinstance(raised.value, KQStringArrayError)
    assert raised.value.code == ERROR_INVALID_INDEX
    with pytest.raises(IndexError):
        del fruit[index]
    with pytest.raises(IndexError):
        fruit[index] = "x"
    assert len(fruit) == 3


def test_index_type_is_checked(fruit):
    with pytest.raises(TypeError):
        fruit["0"]


def test_sorted_array_keeps_case_insensitive_order():
    words = StringArray(sorted=True)
    assert words.sorted and not StringArray().sorted
    # Texts equal without regard to case: the one added last comes first.
    assert [words.add(w) for w in ["banana", "Apple", "cherry", "apple"]] == [0, 0, 2, 0]
    assert list(words) == ["apple", "Apple", "banana", "cherry"]
    assert words.error == ERROR_SUCCESS


def test_replacing_in_a_sorted_array_is_refused():
    words = StringArray(["b", "a"], sorted=True)
    with pytest.raises(KQStringArrayError) as raised:
        words[0] = "z"
    assert raised.value.code == ERROR_INVALID_STATE
    assert list(words) == ["a", "b"]


def test_search(fruit):
    assert "Apple" in fruit and "apple" not in fruit and 42 not in fruit
    assert fruit.index("Apple") == 1
    assert fruit.index("APPLE", no_case=True) == 1
    assert fruit.index(b"fig") == 2
    with pytest.raises(ValueError) as raised:
        fruit.index("apple")
    assert isinstance(raised.value, KQValueError)
    assert raised.value.code == ERROR_NOT_FOUND
    assert fruit.count("pear") == 1


def test_changes(fruit):
    fruit[0] = "plum"
    del fruit[1]
    assert list(fruit) == ["plum", "fig"]
    fruit.remove("fig")
    with pytest.raises(ValueError):
        fruit.remove("fig")
    assert list(fruit) == ["plum"]
    fruit.clear()
    assert len(fruit) == 0 and list(fruit) == []


def test_extend_appends_arrays_and_iterables(fruit):
    other = StringArray(["kiwi"], sorted=True)
    other.extend(fruit)  # one call into the library, each text at the sorted place
    assert list(other) == ["Apple", "fig", "kiwi", "pear"]
    fruit.extend(fruit)  # the elements present at the start, once each
    assert list(fruit) == ["pear", "Apple", "fig"] * 2
    fruit.extend(("a", "b"))
    assert fruit[-2:] == ["a", "b"]


# str goes in as UTF-16 and comes back unchanged, whatever it holds.
@pytest.mark.parametrize("text", ["", "plain", "caf\u00e9", "\U0001F600 grin", "a\0b",
                                  "\ud800 lone", "\udfff", "\ufffd"])
def test_str_round_trips(text):
    array = StringArray()
    array.add(text)
    assert array[0] == text
    assert text in array and array.index(text) == 0


# bytes are UTF-8; ill-formed sequences become U+FFFD.
@pytest.mark.parametrize("data, text", [
    (b"caf\xc3\xa9", "caf\u00e9"),
    (b"\xf0\x9f\x98\x80", "\U0001F600"),
    (b"\xff", "\ufffd"),
    (b"ab\xc3", "ab\ufffd"),
    (b"a\0b", "a\0b"),
])
def test_bytes_are_utf8(data, text):
    array = StringArray()
    array.add(data)
    array.add("x")
    array[1] = data
    assert list(array) == [text, text]
    assert array.index(data) == 0


def test_text_type_is_checked():
    array = StringArray()
    with pytest.raises(TypeError):
        array.add(5)
    with pytest.raises(TypeError):
        array.index(None)
    assert len(array) == 0


def test_flat_array_copies(fruit):
    fruit.add("cut\0here")
    assert fruit.to_flat() == ["pear", "Apple", "fig", "cut"]
    assert StringArray().to_flat() == []


def test_closed_array_is_unusable():
    array = StringArray(["x"])
    array.close()
    array.close()
    with pytest.raises(ValueError):
        len(array)
    assert repr(array) == "StringArray(<closed>)"


def _python(code, env, cwd):
    """Runs `code` in a fresh interpreter (in `cwd`, which comes first on its module path)."""
    return subprocess.run([sys.executable, "-c", code], env=env, cwd=cwd, capture_output=True,
                          text=True)


# The library and the two companions it needs beside itself (its run path is $ORIGIN).
_LIBRARIES = ["libKQStringArray.so.1", "libKQString.so.1", "libCKQError.so.1"]


def _elf_library():
    """The library the tests use, or a skip where the layout checks do not apply."""
    library = kqstringarray._find_library()
    if not library.endswith(".so.1") and ".so." not in library:
        pytest.skip("the layout checks are written for ELF shared libraries")
    return library


def _link_libraries(library, directory):
    """Links the library and its companions (found beside it) into `directory`."""
    directory.mkdir(parents=True, exist_ok=True)
    source = os.path.dirname(os.path.realpath(library))
    os.symlink(os.path.realpath(library), directory / _LIBRARIES[0])
    for name in _LIBRARIES[1:]:
        if os.path.exists(os.path.join(source, name)):
            os.symlink(os.path.realpath(os.path.join(source, name)), directory / name)


def _copy_package(directory):
    """A copy of this package in `directory` without the libraries a pip install put in it."""
    shutil.copytree(os.path.dirname(kqstringarray.__file__), directory / "kqstringarray",
                    ignore=shutil.ignore_patterns("_libs", "__pycache__"))


def test_library_from_an_installed_prefix(tmp_path):
    """Installed as <prefix>/share/KQStringArray/python/kqstringarray, the package finds
    <prefix>/lib."""
    library = _elf_library()
    module_dir = tmp_path / "share" / "KQStringArray" / "python"
    lib_dir = tmp_path / "lib"
    _copy_package(module_dir)
    _link_libraries(library, lib_dir)
    env = {k: v for k, v in os.environ.items() if k != "KQSTRINGARRAY_LIBRARY"}
    env["PYTHONPATH"] = str(module_dir)
    result = _python("import kqstringarray as k; print(k._find_library()); "
                     "print(list(k.StringArray(['ok'])))", env, tmp_path)
    assert result.returncode == 0, result.stderr
    assert result.stdout.splitlines() == [str(lib_dir / "libKQStringArray.so.1"), "['ok']"]


@pytest.mark.parametrize("variable", [False, True])
def test_packaged_library_comes_before_the_prefix(tmp_path, variable):
    """A package carrying its libraries in kqstringarray/_libs (as pip installs it) loads those,
    even where the prefix it sits in has a library too; KQSTRINGARRAY_LIBRARY still comes first."""
    library = _elf_library()
    module_dir = tmp_path / "share" / "KQStringArray" / "python"
    _copy_package(module_dir)
    _link_libraries(library, tmp_path / "lib")
    _link_libraries(library, module_dir / "kqstringarray" / "_libs")
    env = {k: v for k, v in os.environ.items() if k != "KQSTRINGARRAY_LIBRARY"}
    env["PYTHONPATH"] = str(module_dir)
    if variable:
        env["KQSTRINGARRAY_LIBRARY"] = library
    result = _python("import kqstringarray as k; print(k._find_library()); "
                     "print(list(k.StringArray(['ok'])))", env, tmp_path)
    assert result.returncode == 0, result.stderr
    expected = library if variable else str(module_dir / "kqstringarray" / "_libs" /
                                             "libKQStringArray.so.1")
    assert result.stdout.splitlines() == [expected, "['ok']"]


def test_library_variable_naming_no_file(tmp_path):
    env = dict(os.environ, KQSTRINGARRAY_LIBRARY=str(tmp_path / "missing.so"),
               PYTHONPATH=os.path.dirname(os.path.dirname(kqstringarray.__file__)))
    result = _python("import kqstringarray as k; k.StringArray()", env, tmp_path)
    assert result.returncode != 0
    assert "KQSTRINGARRAY_LIBRARY names no file" in result.stderr


def test_version_agrees_with_the_library():
    """__version__ (written by the build, or read from the library in a source checkout) is the
    library's kq_version(), and the project version when the test run names it
    (KQ_EXPECTED_VERSION)."""
    assert re.fullmatch(r"\d+\.\d+\.\d+", kqstringarray.__version__)
    assert kqstringarray.library_version() == kqstringarray.__version__
    expected = os.environ.get("KQ_EXPECTED_VERSION")
    if expected:
        assert kqstringarray.__version__ == expected
    with pytest.raises(AttributeError):
        kqstringarray.no_such_attribute


# A str that UTF-16 cannot keep as it is (a lone high surrogate, then a lone low one: the pair
# would come back as the one character it encodes) is refused, and never found.
@pytest.mark.parametrize("text", ["\ud83d\ude00", "x\udbff\udc00y"])
def test_str_that_utf16_cannot_keep_is_refused(fruit, text):
    with pytest.raises(ValueError) as raised:
        fruit.add(text)
    assert isinstance(raised.value, KQValueError)
    with pytest.raises(ValueError):
        fruit[0] = text
    assert list(fruit) == ["pear", "Apple", "fig"]
    fruit.add("\U0001F600")  # the character itself is welcome ...
    assert text not in fruit and fruit.count(text) == 0  # ... and is not the refused text
    with pytest.raises(ValueError):
        fruit.index(text)


# `in`, index() and count() take the same argument types and read bytes as UTF-8 alike.
@pytest.mark.parametrize("query, count, index", [
    ("fig", 1, 2), (b"fig", 1, 2), (bytearray(b"fig"), 1, 2), (b"\xff", 2, 3), ("\ufffd", 2, 3),
    ("kiwi", 0, None), (b"kiwi", 0, None),
])
def test_searches_agree_on_argument_types(fruit, query, count, index):
    fruit.add(b"\xff")
    fruit.add("\ufffd")
    assert (query in fruit) == (count > 0)
    assert fruit.count(query) == count
    if index is None:
        with pytest.raises(ValueError):
            fruit.index(query)
    else:
        assert fruit.index(query) == index
    with pytest.raises(TypeError):
        fruit.count(5)


def test_read_beside_a_remover_raises_index_error_only():
    """A read that meets another thread's removal is an IndexError, whatever that thread
    recorded meanwhile."""
    import threading
    array = StringArray()
    stop = threading.Event()

    def churn():
        while not stop.is_set():
            array.add("hello")
            del array[0]

    writer = threading.Thread(target=churn)
    writer.start()
    wrong = []
    try:
        for _ in range(20000):
            try:
                assert array[0] == "hello"
            except IndexError:
                pass
            except KQStringArrayError as error:  # not an IndexError: the fault
                wrong.append(error)
    finally:
        stop.set()
        writer.join()
    assert wrong == []


# Loading many texts at once (constructor, extend, +=) leaves what one add() per text leaves,
# whatever the texts hold and however str and bytes alternate.
@pytest.mark.parametrize("sorted_", [False, True])
def test_loading_many_matches_one_add_after_another(sorted_):
    texts = ["pear", "Apple", b"apple", "\U0001F600", "", "a\0b", b"caf\xc3\xa9", "\ud800",
             "\udc00", "fig", "FIG", b"\xff"]
    one_by_one = StringArray(sorted=sorted_)
    for text in texts:
        one_by_one.add(text)
    loaded = StringArray(texts, sorted=sorted_)
    assert list(loaded) == list(one_by_one)
    extended = StringArray(["kiwi"], sorted=sorted_)
    extended += texts
    expected = StringArray(["kiwi"], sorted=sorted_)
    for text in texts:
        expected.add(text)
    assert list(extended) == list(expected)


def test_loading_many_checks_every_text_first():
    array = StringArray(["x"])
    with pytest.raises(TypeError):
        array.extend(["a", 5])
    with pytest.raises(ValueError):
        array.extend(["a", "\ud83d\ude00"])
    assert list(array) == ["x"]
    array.extend(["\ud83d", "\ude00"])  # two texts: each keeps its lone surrogate
    assert list(array) == ["x", "\ud83d", "\ude00"]
