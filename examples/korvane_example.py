#!/usr/bin/env python3
"""Calls korvanelib from Python through ctypes.

    python3 korvane_example.py /path/to/korvanelib.so     (or korvanelib.dll on Windows)
"""
import ctypes
import math
import sys

# KORVANE_BUFFER_CAPACITY: the library never asks how large the buffer is and may use this many
# bytes of it, the terminating NUL included.
CAPACITY = 65536


def load(path):
    # WinDLL is __stdcall, which on x86-64 Windows is the platform's one convention; CDLL is the
    # C convention everywhere else.
    library = ctypes.WinDLL(path) if sys.platform == "win32" else ctypes.CDLL(path)

    def export(name):
        function = getattr(library, name)
        # ctypes assumes an int result unless told otherwise: the float would come back as junk.
        function.restype = ctypes.c_float
        function.argtypes = [ctypes.c_char_p, ctypes.c_double, ctypes.c_char_p, ctypes.c_int]
        return function

    return export


def main():
    export = load(sys.argv[1])
    buffer = ctypes.create_string_buffer(CAPACITY)

    def call(name, text=None, number=0.0):
        result = export(name)(text, number, buffer, 0)
        # The buffer holds C's text; take it as it is rather than formatting numbers here.
        return f"{result:g}", buffer.value.decode("latin-1")

    print("Version", call("Version")[0])
    print("Sine(30)", *call("Sine", number=30.0))
    print("Power(2, 10)", *call("Power", b"2", 10.0))
    print("Power(2, -7)", *call("Power", b"2", -7.0))  # a tie: C rounds it to even
    print("Floor(-nan)", *call("Floor", number=-math.nan))
    print("Is_Digit(007)", call("Is_Digit", b"007")[0])
    # _ShellExecute reads its command line from the buffer and leaves the output there.
    buffer.value = b"echo hi"
    result, text = call("_ShellExecute")
    print("_ShellExecute(echo hi)", result, text.replace("\n", "\\n"))


if __name__ == "__main__":
    main()
