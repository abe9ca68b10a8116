#!/usr/bin/env python3
"""Writes a module-definition (.def) file from a PE DLL's export table.

Import libraries for the Visual C++ runtime and the system DLLs are made from the export tables of
Wine's own DLLs: `llvm-lib /def:` turns the .def written here into a .lib. An export whose address
lies outside every executable section is data and is marked DATA (its import library gives only
the __imp_ pointer); a forwarder is listed like any other function, since the loader resolves it.

Usage: pe_exports_def.py [--exclude FILE] DLL [LIBRARY-NAME] > NAME.def

--exclude names a file of names, one a line, that the import library must not offer: those the
static runtime defines itself. A linker that finds a name both in an import library and in a
static object may take either, and the two need not agree: Wine's msvcp140 keeps mutexes and
condition variables in another layout than the C++ library's headers, and its kernel32 exports
the compiler's stack probe, which Windows' does not.
"""
import struct
import sys

IMAGE_SCN_MEM_EXECUTE = 0x20000000


def read_exports(data):
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise ValueError("not a PE file")
    sections_count = struct.unpack_from("<H", data, pe + 6)[0]
    optional_size = struct.unpack_from("<H", data, pe + 20)[0]
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    directories = optional + (112 if magic == 0x20B else 96)
    export_rva, export_size = struct.unpack_from("<II", data, directories)
    sections = []
    table = optional + optional_size
    for i in range(sections_count):
        entry = table + 40 * i
        vsize, va, raw_size, raw_ptr = struct.unpack_from("<IIII", data, entry + 8)
        flags = struct.unpack_from("<I", data, entry + 36)[0]
        sections.append((va, max(vsize, raw_size), raw_ptr, flags))

    def offset(rva):
        for va, size, raw, _ in sections:
            if va <= rva < va + size:
                return raw + rva - va
        raise ValueError("address outside every section: %#x" % rva)

    def executable(rva):
        return any(va <= rva < va + size and flags & IMAGE_SCN_MEM_EXECUTE
                   for va, size, _, flags in sections)

    def text_at(rva):
        start = offset(rva)
        return data[start:data.index(b"\0", start)].decode("ascii")

    if export_rva == 0:
        return []
    base = offset(export_rva)
    _, _, _, _, _, ordinal_base, functions, names, functions_rva, names_rva, ordinals_rva = \
        struct.unpack_from("<IIHHIIIIIII", data, base)
    named = {}
    for i in range(names):
        name_rva = struct.unpack_from("<I", data, offset(names_rva) + 4 * i)[0]
        index = struct.unpack_from("<H", data, offset(ordinals_rva) + 2 * i)[0]
        named[index] = text_at(name_rva)
    exports = []
    for index in range(functions):
        rva = struct.unpack_from("<I", data, offset(functions_rva) + 4 * index)[0]
        if rva == 0 or index not in named:
            continue
        forwarder = export_rva <= rva < export_rva + export_size
        data_export = not forwarder and not executable(rva)
        exports.append((named[index], index + ordinal_base, data_export))
    return exports


def main():
    args = sys.argv[1:]
    excluded = set()
    if len(args) >= 2 and args[0] == "--exclude":
        with open(args[1]) as names:
            excluded = set(names.read().split())
        args = args[2:]
    if len(args) not in (1, 2):
        sys.exit(__doc__)
    path = args[0]
    library = args[1] if len(args) == 2 else path.rsplit("/", 1)[-1]
    with open(path, "rb") as dll:
        exports = read_exports(dll.read())
    print("LIBRARY %s" % library)
    print("EXPORTS")
    for name, _, data_export in sorted(exports):
        if name in excluded:
            continue
        print("  %s%s" % (name, " DATA" if data_export else ""))


if __name__ == "__main__":
    main()
