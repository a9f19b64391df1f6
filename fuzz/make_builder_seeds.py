#!/usr/bin/env python3
"""Writes the seeds of fuzz_json_builder: for every request identifier a
plausible record, with no flags, with both tracking methods started, and
with both started under a decimal-comma locale, in the layout
fuzz_json_builder.cpp reads (64-bit here_map_req_info). Run from the
repository root."""
import os
import struct

REQ_BASE = 0x7000
OUT = 'fuzz/seeds/fuzz_json_builder'

kinetra = struct.pack('<iifffiiiifffiifii', 1, 2, 1013.25, 175.5, 70.25, 1, 35, 4, 6,
                      5000.5, 300.75, 2.5, 1800, 1, 0.5, 10, 20)
tracking = struct.pack('<ii', 5, 60)
here_map = bytes(16) + struct.pack('<iiddfi', 320, 240, 37.5, 127.25, 15.5, 30)
single = struct.pack('<i', 30)


def record_for(req):
    if 0x700c <= req <= 0x7012 or req in (0x7014, 0x7015):
        return kinetra
    if req == 0x7013:
        return here_map
    if req in (0x7001, 0x7002, 0x7007, 0x7008):
        return tracking
    return single


os.makedirs(OUT, exist_ok=True)
for req in range(0x7000, 0x7019):
    for flags in (0, 2 | 4, 2 | 4 | 16):
        body = record_for(req).ljust(72, b'\0')
        data = struct.pack('<HB', req - (REQ_BASE - 2), flags) + body + b'app-id\0app-code'
        with open(os.path.join(OUT, 'req_%04x_flags_%d.bin' % (req, flags)), 'wb') as f:
            f.write(data)
