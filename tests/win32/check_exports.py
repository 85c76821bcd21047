#!/usr/bin/env python3
"""Checks the export tables of the three DLLs.

KQStringArray.dll must export every member of its interface, protected ones and the vtables
included, and the functions of its C interface, and no DLL may export anything internal: the string items, the platform layer, the
storage frame, the CRC-32 engine, the case mapping or the string key.

usage: check_exports.py OBJDUMP CXXFILT KQStringArray.dll [other DLLs...]
"""
import re
import subprocess
import sys

# Demangled as the MinGW c++filt prints them ("unsigned int", "const" after the type).
PTR_ARRAY = [
    "CKQPtrArray::CKQPtrArray()",
    "CKQPtrArray::CKQPtrArray(CKQPtrArray&)",
    "CKQPtrArray::~CKQPtrArray()",
    "CKQPtrArray::operator=(CKQPtrArray const&)",
    "CKQPtrArray::operator[](unsigned int) const",
    "CKQPtrArray::Add(void*, unsigned int*)",
    "CKQPtrArray::Find(void*)",
    "CKQPtrArray::GetAt(unsigned int)",
    "CKQPtrArray::SetAt(unsigned int, void*)",
    "CKQPtrArray::RemoveAt(unsigned int)",
    "CKQPtrArray::RemoveAll()",
    "CKQPtrArray::GetSize()",
    "CKQPtrArray::IsEmpty()",
    "CKQPtrArray::Dump()",
    "CKQPtrArray::Init()",
    "CKQPtrArray::Alloc(unsigned int)",
    "vtable for CKQPtrArray",
]
UINT_ARRAY = [
    "CKQUintArray::CKQUintArray()",
    "CKQUintArray::CKQUintArray(CKQUintArray&)",
    "CKQUintArray::~CKQUintArray()",
    "CKQUintArray::operator=(CKQUintArray const&)",
    "CKQUintArray::operator[](unsigned int) const",
    "CKQUintArray::Add(unsigned int, unsigned int*)",
    "CKQUintArray::Find(unsigned int)",
    "CKQUintArray::GetAt(unsigned int)",
    "CKQUintArray::SetAt(unsigned int, unsigned int)",
    "vtable for CKQUintArray",
]
STRING_ARRAY = [
    "CKQStringArray::CKQStringArray(int)",
    "CKQStringArray::CKQStringArray(CKQStringArray const&)",
    "CKQStringArray::~CKQStringArray()",
    "CKQStringArray::Add(CKQString, unsigned int*)",
    "CKQStringArray::GetAt(unsigned int)",
    "CKQStringArray::operator[](unsigned int) const",
    "CKQStringArray::SetAt(unsigned int, CKQString)",
    "CKQStringArray::RemoveAt(unsigned int)",
    "CKQStringArray::RemoveAll()",
    "CKQStringArray::GetSize()",
    "CKQStringArray::IsEmpty()",
    "CKQStringArray::IsSorted()",
    "CKQStringArray::Dump()",
    "CKQStringArray::Alloc(unsigned int)",
    "CKQStringArray::InitObject(int)",
    "CKQStringArray::FindItemPosition(CKQString*)",
    "CKQStringArray::CreateInsertionPoint(unsigned int)",
    "CKQStringArray::GetCRC(CKQString)",
    "CKQStringArray::FindString(CKQString, int)",
    "CKQStringArray::Append(CKQStringArray&)",
    "CKQStringArray::Copy(CKQStringArray&)",
    "CKQStringArray::operator=(CKQStringArray const&)",
    "CKQStringArray::operator+=(CKQStringArray&)",
    "CKQStringArray::operator+(CKQStringArray&) const",
    "CKQStringArray::CreateMemoryArray(unsigned short const***)",
    "CKQStringArray::FreeMemoryArray(unsigned short const***)",
    "vtable for CKQStringArray",
]
U16VIEW = "std::basic_string_view<char16_t, std::char_traits<char16_t> >"
# The standard C++ face beside the interface: const reads, iterators, views, moves, Reserve.
MODERN = [
    "CKQPtrArray::GetAt(unsigned int) const",
    "CKQPtrArray::Find(void*) const",
    "CKQPtrArray::GetSize() const",
    "CKQPtrArray::IsEmpty() const",
    "CKQPtrArray::begin() const",
    "CKQPtrArray::end() const",
    "CKQUintArray::GetAt(unsigned int) const",
    "CKQUintArray::Find(unsigned int) const",
    "CKQUintArray::begin() const",
    "CKQUintArray::end() const",
    "CKQStringArray::CKQStringArray(CKQStringArray&&)",
    "CKQStringArray::operator=(CKQStringArray&&)",
    "CKQStringArray::Reserve(unsigned int)",
    f"CKQStringArray::Add({U16VIEW}, unsigned int*)",
    "CKQStringArray::Add(char16_t const*, unsigned int*)",
    f"CKQStringArray::SetAt(unsigned int, {U16VIEW})",
    "CKQStringArray::SetAt(unsigned int, char16_t const*)",
    f"CKQStringArray::FindString({U16VIEW}, int)",
    "CKQStringArray::FindString(char16_t const*, int)",
    "CKQStringArray::FindString(CKQString, int) const",
    f"CKQStringArray::FindString({U16VIEW}, int) const",
    "CKQStringArray::FindString(char16_t const*, int) const",
    "CKQStringArray::GetAt(unsigned int) const",
    "CKQStringArray::GetSize() const",
    "CKQStringArray::IsEmpty() const",
    "CKQStringArray::IsSorted() const",
    "CKQStringArray::begin() const",
    "CKQStringArray::end() const",
]
# The C interface (KQStringArrayC.h), under plain C names: c++filt leaves them as they are.
# tests/capi/check_c_exports.py holds the table to the header itself and to KQStringArray.def.
C_INTERFACE = [
    "kq_version",
    "kq_string_array_new",
    "kq_string_array_free",
    "kq_string_array_is_sorted",
    "kq_string_array_size",
    "kq_string_array_error",
    "kq_string_array_add_utf8",
    "kq_string_array_add_utf16",
    "kq_string_array_set_utf8",
    "kq_string_array_set_utf16",
    "kq_string_array_find_utf8",
    "kq_string_array_find_utf16",
    "kq_string_array_get_utf8",
    "kq_string_array_get_utf16",
    "kq_string_array_remove_at",
    "kq_string_array_remove_all",
    "kq_string_array_append",
    "kq_string_array_add_many_utf8",
    "kq_string_array_add_many_utf16",
    "kq_string_array_create_memory_array",
    "kq_string_array_free_memory_array",
]
# Copies from const arrays, moves of the pointer and integer arrays, and the whole-array
# operations on const and temporary string arrays.
CONST_AND_MOVES = [
    "CKQPtrArray::CKQPtrArray(CKQPtrArray const&)",
    "CKQPtrArray::CKQPtrArray(CKQPtrArray&&)",
    "CKQPtrArray::operator=(CKQPtrArray&&)",
    "CKQUintArray::CKQUintArray(CKQUintArray const&)",
    "CKQUintArray::CKQUintArray(CKQUintArray&&)",
    "CKQUintArray::operator=(CKQUintArray&&)",
    "CKQStringArray::Append(CKQStringArray const&)",
    "CKQStringArray::Append(CKQStringArray&&)",
    "CKQStringArray::Copy(CKQStringArray const&)",
    "CKQStringArray::Copy(CKQStringArray&&)",
    "CKQStringArray::operator+=(CKQStringArray const&)",
    "CKQStringArray::operator+=(CKQStringArray&&)",
    "CKQStringArray::operator+(CKQStringArray const&) const",
]
REQUIRED = PTR_ARRAY + UINT_ARRAY + STRING_ARRAY + MODERN + CONST_AND_MOVES + C_INTERFACE

# KQString.dll: the members the arrays and the standard C++ face need.  The <=> members stay
# exported although only C++20 clients declare them (the library is always built as C++20);
# C++17 clients compile the other comparisons inline and import nothing more.
STRING_COMPONENT = [
    f"CKQString::CKQString({U16VIEW})",
    "CKQString::CKQString(wchar_t const*)",
    "CKQString::View() const",
    "CKQString::operator==(CKQString const&) const",
    "CKQString::operator==(char16_t const*) const",
    "CKQString::operator==(unsigned short const*) const",
    "CKQString::operator<=>(CKQString const&) const",
    "CKQString::operator<=>(char16_t const*) const",
    "CKQString::operator<=>(unsigned short const*) const",
    "CKQString::FromUtf8(std::basic_string_view<char, std::char_traits<char> >, bool*)",
    "operator<<(std::basic_ostream<char, std::char_traits<char> >&, CKQString const&)",
]

# Internal code: none of it may leave its DLL.
INTERNAL = [
    re.compile(r"\bStringItem\b"),
    re.compile(r"\bkq::platform::"),
    re.compile(r"\bkq::frame::"),
    re.compile(r"\bkq::crc32::"),
    re.compile(r"\bkq::casemap::"),
    re.compile(r"\bkq::StringKey\b"),
    re.compile(r"\bkq::"),  # anything else from the library's internal namespace
]


def exports(objdump, cxxfilt, dll):
    """The demangled names in the export table of `dll`."""
    dump = subprocess.run([objdump, "-p", dll], check=True, capture_output=True, text=True).stdout
    names = []
    in_table = False
    for line in dump.splitlines():
        if line.startswith("[Ordinal/Name Pointer] Table"):
            in_table = True
            continue
        if in_table:
            match = re.match(r"\s*\[\s*\d+\]\s+(\S+)", line)
            if not match:
                break
            names.append(match.group(1))
    if not names:
        return []
    # -n: export names carry no leading underscore, unlike i686 symbol names.
    demangled = subprocess.run([cxxfilt, "-n"], input="\n".join(names) + "\n", check=True,
                               capture_output=True, text=True).stdout.splitlines()
    if len(demangled) != len(names):
        sys.exit(f"{cxxfilt} returned {len(demangled)} names for {len(names)}")
    return demangled


def main():
    if len(sys.argv) < 4:
        sys.exit(__doc__)
    objdump, cxxfilt, main_dll, *others = sys.argv[1:]
    failures = []

    tables = {dll: exports(objdump, cxxfilt, dll) for dll in [main_dll] + others}
    main_exports = set(tables[main_dll])
    if not main_exports:
        failures.append(f"{main_dll}: no export table")
    for member in REQUIRED:
        if member not in main_exports:
            failures.append(f"{main_dll}: missing export {member}")

    for dll, names in tables.items():
        if dll.endswith("KQString.dll"):
            for member in STRING_COMPONENT:
                if member not in names:
                    failures.append(f"{dll}: missing export {member}")
        for name in names:
            if any(pattern.search(name) for pattern in INTERNAL):
                failures.append(f"{dll}: internal symbol exported: {name}")
        print(f"{dll}: {len(names)} exports")

    for failure in failures:
        print("FAIL:", failure)
    if failures:
        return 1
    print(f"all {len(REQUIRED)} interface members exported, nothing internal")
    return 0


if __name__ == "__main__":
    sys.exit(main())
