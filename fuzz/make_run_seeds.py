#!/usr/bin/env python3
"""Turns trace files into seeds of run_fuzzer: the product id, then every read the
printer answered as a 2-byte length and its bytes (0xFFFF for a time-out)."""
import pathlib
import sys

out = pathlib.Path(sys.argv[1])
out.mkdir(parents=True, exist_ok=True)
for trace in sys.argv[2:]:
    seed = bytearray()
    for line in pathlib.Path(trace).read_text().splitlines():
        words = line.split(" ")
        if words[0] == "usb-id":
            seed[0:0] = bytes.fromhex(words[1][4:8])
        elif words[0] == "read":
            data = bytes.fromhex(words[6]) if len(words) > 6 else b""
            seed += b"\xff\xff" if words[4] == "timeout" and not data else len(data).to_bytes(2, "big") + data
    (out / (pathlib.Path(trace).stem + ".seed")).write_bytes(bytes(seed))
