#!/usr/bin/env python3
"""Prints the samples a pixel of GLX visual ID (as xwininfo gives it, 0x21 or
33), 0 for a visual without multisampling. Usage: visual_samples.py ID"""
import ctypes
import sys

GLX_SAMPLES = 100001
VISUAL_ID_MASK = 1


class VisualInfo(ctypes.Structure):
    _fields_ = [("visual", ctypes.c_void_p), ("visualid", ctypes.c_ulong),
                ("screen", ctypes.c_int), ("depth", ctypes.c_int), ("c_class", ctypes.c_int),
                ("red_mask", ctypes.c_ulong), ("green_mask", ctypes.c_ulong),
                ("blue_mask", ctypes.c_ulong), ("colormap_size", ctypes.c_int),
                ("bits_per_rgb", ctypes.c_int)]


def main():
    x = ctypes.CDLL("libX11.so.6")
    gl = ctypes.CDLL("libGL.so.1")
    x.XOpenDisplay.restype = ctypes.c_void_p
    x.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x.XGetVisualInfo.restype = ctypes.POINTER(VisualInfo)
    x.XGetVisualInfo.argtypes = [ctypes.c_void_p, ctypes.c_long, ctypes.POINTER(VisualInfo),
                                 ctypes.POINTER(ctypes.c_int)]
    gl.glXGetConfig.argtypes = [ctypes.c_void_p, ctypes.POINTER(VisualInfo), ctypes.c_int,
                                ctypes.POINTER(ctypes.c_int)]
    display = x.XOpenDisplay(None)
    if not display:
        sys.exit("cannot open the X display")
    wanted = VisualInfo(visualid=int(sys.argv[1], 0))
    count = ctypes.c_int()
    info = x.XGetVisualInfo(display, VISUAL_ID_MASK, ctypes.byref(wanted), ctypes.byref(count))
    if not info or count.value < 1:
        sys.exit(f"no visual {sys.argv[1]}")
    samples = ctypes.c_int()
    if gl.glXGetConfig(display, info, GLX_SAMPLES, ctypes.byref(samples)) != 0:
        sys.exit("glXGetConfig cannot say")
    print(samples.value)


if __name__ == "__main__":
    main()
