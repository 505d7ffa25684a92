#!/usr/bin/env python3
"""Writes platform/cp936_table.cpp: code page 936 (GBK) to UTF-16 as constant
data, one row of 192 entries (trail bytes 0x40-0xFF) per lead byte 0x81-0xFE,
0 where a pair is unassigned. The mapping is the host's iconv CP936 converter
(glibc), called through ctypes; Python's own codecs are not used.

    python3 tools/gen/make_cp936_table.py > platform/cp936_table.cpp
"""
import ctypes
import ctypes.util
import sys

FIRST_LEAD, LAST_LEAD = 0x81, 0xFE
FIRST_TRAIL, ROW_ENTRIES = 0x40, 192
PER_LINE = 12


class Iconv:
    """One iconv descriptor; convert() gives None unless all input converts."""

    def __init__(self, to_code, from_code):
        self.libc = ctypes.CDLL(ctypes.util.find_library("c"), use_errno=True)
        self.libc.iconv_open.restype = ctypes.c_void_p
        self.libc.iconv_open.argtypes = [ctypes.c_char_p, ctypes.c_char_p]
        self.libc.iconv.restype = ctypes.c_size_t
        self.libc.iconv.argtypes = [ctypes.c_void_p] + [ctypes.c_void_p] * 4
        self.cd = self.libc.iconv_open(to_code.encode(), from_code.encode())
        if self.cd in (None, ctypes.c_void_p(-1).value):
            sys.exit(f"iconv cannot convert {from_code} to {to_code}")

    def convert(self, data):
        self.libc.iconv(self.cd, None, None, None, None)  # initial state
        source = ctypes.create_string_buffer(data, len(data))
        target = ctypes.create_string_buffer(16)
        in_ptr = ctypes.c_void_p(ctypes.addressof(source))
        out_ptr = ctypes.c_void_p(ctypes.addressof(target))
        in_left, out_left = ctypes.c_size_t(len(data)), ctypes.c_size_t(len(target))
        result = self.libc.iconv(self.cd, ctypes.byref(in_ptr), ctypes.byref(in_left),
                                 ctypes.byref(out_ptr), ctypes.byref(out_left))
        if result == ctypes.c_size_t(-1).value or in_left.value:
            return None
        return target.raw[:len(target) - out_left.value]


def code_unit(decoder, lead, trail):
    """The pair's UTF-16 code unit, 0 when iconv refuses it."""
    utf16 = decoder.convert(bytes([lead, trail]))
    if utf16 is None:
        return 0
    if len(utf16) != 2:
        sys.exit(f"pair {lead:02X} {trail:02X} is not one UTF-16 code unit")
    return int.from_bytes(utf16, "little")


def main():
    decoder = Iconv("UTF-16LE", "CP936")
    out = sys.stdout
    out.write("/* cp936_table.cpp - code page 936 (GBK) to UTF-16, one row per lead byte\n"
              " * 0x81-0xFE, entry = trail byte - 0x40 for trail bytes 0x40-0xFF, 0 where\n"
              " * the pair is unassigned. Generated from the host's iconv CP936 converter:\n"
              " *     python3 tools/gen/make_cp936_table.py > platform/cp936_table.cpp */\n"
              '#include "platform/cp936_table.h"\n\n'
              "namespace kesra::platform {\n\n"
              "// clang-format off\n"
              f"const uint16_t kCp936Rows[kCp936RowCount][kCp936RowEntries] = {{\n")
    for lead in range(FIRST_LEAD, LAST_LEAD + 1):
        units = [code_unit(decoder, lead, FIRST_TRAIL + i) for i in range(ROW_ENTRIES)]
        out.write(f"    {{  // lead byte 0x{lead:02X}\n")
        for start in range(0, ROW_ENTRIES, PER_LINE):
            line = ", ".join(f"0x{u:04X}" for u in units[start:start + PER_LINE])
            out.write(f"        {line},\n")
        out.write("    },\n")
    out.write("};\n// clang-format on\n\n}  // namespace kesra::platform\n")


if __name__ == "__main__":
    main()
