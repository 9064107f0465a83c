#!/usr/bin/python3
"""Turns a DLL's forwards to PREFIX<function> into forwards by ordinal.

  forward_by_ordinal.py DLL PREFIX FUNCTION...

ld writes a forward only by name ("Orvane_core.Core_bctrl_init"); Windows also
takes "Orvane_core.#1", the ordinal being the function's place in the list.
Each forward string is rewritten in place, the rest of it filled with NULs
(and so is its copy among the symbols, where the DLL keeps them).
"""
import sys


def main(dll, prefix, *functions):
    with open(dll, 'rb') as f:
        image = f.read()
    module = prefix.encode()[:prefix.rindex('.') + 1]
    for ordinal, function in enumerate(functions, 1):
        forward = prefix.encode() + function.encode() + b'\0'
        if forward not in image:
            sys.exit(f'{dll}: there is no forward {forward[:-1].decode()}')
        image = image.replace(forward, (module + b'#%d' % ordinal).ljust(len(forward), b'\0'))
    with open(dll, 'wb') as f:
        f.write(image)


if __name__ == '__main__':
    main(*sys.argv[1:])
