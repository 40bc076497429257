#!/usr/bin/env python3
"""Writes the fixtures of tests/shared/test_base64.cpp: sample inputs of a
few sizes around the 48-byte line and their encodings as coreutils makes
them (base64 -w 64), so the tests compare against an independent encoder.

The bytes come from a fixed linear congruential sequence, so running this
again gives the same files.
"""

import os
import subprocess

SIZES = [0, 47, 48, 49, 4001]


def sample(size, seed):
    state = seed
    out = bytearray()
    for _ in range(size):
        state = (state * 1103515245 + 12345) & 0x7FFFFFFF
        out.append(state >> 16 & 0xFF)
    return bytes(out)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    folder = os.path.join(here, "..", "tests", "shared", "fixtures", "base64")
    os.makedirs(folder, exist_ok=True)
    for size in SIZES:
        data = sample(size, seed=size + 1)
        stem = os.path.join(folder, "sample-{}".format(size))
        with open(stem + ".bin", "wb") as out:
            out.write(data)
        encoded = subprocess.run(["base64", "-w", "64"], input=data, check=True,
                                 stdout=subprocess.PIPE).stdout
        with open(stem + ".b64", "wb") as out:
            out.write(encoded)


if __name__ == "__main__":
    main()
