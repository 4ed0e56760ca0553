#!/usr/bin/env python3
"""Gives each character of the arguments a key of its own on $DISPLAY.

    map_keys.py <text>...

xdotool types a character that no key carries by mapping a spare key to it
for the moment of the press, then mapping it back. A program that reads the
event after the mapping has changed again (Wine under load) gets another
character or none: a name typed that way may lose a character. Mapped here
once, before the program starts, every character is on a key of its own
and nothing is remapped while it types. (Map them before Wine's programs
start on the display: a change while they start is lost to them.)
"""
import ctypes
import sys


def main():
    x11 = ctypes.cdll.LoadLibrary("libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XGetKeyboardMapping.restype = ctypes.POINTER(ctypes.c_ulong)
    x11.XGetKeyboardMapping.argtypes = [ctypes.c_void_p, ctypes.c_ubyte, ctypes.c_int, ctypes.POINTER(ctypes.c_int)]
    x11.XChangeKeyboardMapping.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int,
                                           ctypes.POINTER(ctypes.c_ulong), ctypes.c_int]
    x11.XDisplayKeycodes.argtypes = [ctypes.c_void_p, ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ctypes.c_int)]
    x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
    x11.XFree.argtypes = [ctypes.c_void_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]

    display = x11.XOpenDisplay(None)
    if not display:
        sys.exit("cannot open the display")
    low, high = ctypes.c_int(), ctypes.c_int()
    x11.XDisplayKeycodes(display, ctypes.byref(low), ctypes.byref(high))
    count = high.value - low.value + 1
    per = ctypes.c_int()
    table = x11.XGetKeyboardMapping(display, low.value, count, ctypes.byref(per))
    mapped = {table[i * per.value + j] for i in range(count) for j in range(per.value)}
    free = [low.value + i for i in range(count) if all(table[i * per.value + j] == 0 for j in range(per.value))]
    x11.XFree(table)

    wanted = []
    for text in sys.argv[1:]:
        for character in text:
            keysym = ord(character) if ord(character) < 0x100 else 0x01000000 + ord(character)
            if keysym not in mapped and keysym not in wanted:
                wanted.append(keysym)
    if len(wanted) > len(free) - 1:  # xdotool keeps one spare for itself
        sys.exit(f"{len(wanted)} characters to map, {len(free)} free keys")

    for keysym, keycode in zip(wanted, reversed(free)):
        symbols = (ctypes.c_ulong * per.value)(*([keysym] * per.value))
        x11.XChangeKeyboardMapping(display, keycode, per.value, symbols, 1)
    x11.XSync(display, 0)
    x11.XCloseDisplay(display)


if __name__ == "__main__":
    main()
