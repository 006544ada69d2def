#!/usr/bin/env python3
"""Writes the crafted seed corpora of the fuzz targets (run from anywhere).

records/: byte 0 settings flags, byte 1 status/origin, then 3270 records
separated by IAC EOR. country/: small country files. cut/: byte 0 host type and
modes, byte 1 direction and faults, bytes 2-3 upload file length / 3, then
CUT-mode host frames separated by IAC EOR."""
import os

HERE = os.path.dirname(os.path.abspath(__file__))
CODES = [0x40, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8, 0xC9, 0x4A, 0x4B, 0x4C, 0x4D,
         0x4E, 0x4F, 0x50, 0xD1, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xD7, 0xD8, 0xD9, 0x5A, 0x5B,
         0x5C, 0x5D, 0x5E, 0x5F, 0x60, 0x61, 0xE2, 0xE3, 0xE4, 0xE5, 0xE6, 0xE7, 0xE8, 0xE9,
         0x6A, 0x6B, 0x6C, 0x6D, 0x6E, 0x6F, 0xF0, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7,
         0xF8, 0xF9, 0x7A, 0x7B, 0x7C, 0x7D, 0x7E, 0x7F]


def addr(p):
    return bytes([CODES[p >> 6], CODES[p & 63]])


def e(text):
    return text.encode("cp037")


def sba(p):
    return b"\x11" + addr(p)


RECORDS = {
    "write-fields": b"\xf5\xc3" + sba(0) + b"\x1d\x60" + e("LABEL") + b"\x1d\x40\x13" + e("INPUT")
    + sba(80) + b"\x1d\xe8" + e("HIGH") + sba(1919) + b"\x1d\x41",
    "sfe-sa-mf": b"\x7e\xc2" + b"\x29\x03\xc0\x60\x41\xf2\x42\xf4" + e("X")
    + b"\x28\x42\xf5" + e("Y") + b"\x28\x00\x00" + sba(0) + b"\x2c\x02\xc0\xe8\x41\xf1"
    + b"\x29\x02\x44\xc1\xc0\x60",
    "ra-eua-pt-ge": b"\xf5\x02" + sba(10) + b"\x1d\x40" + b"\x3c" + addr(100) + e("*")
    + b"\x3c" + addr(5) + b"\x08\xad" + sba(10) + b"\x12" + addr(10) + e("AB") + b"\x05"
    + b"\x05" + e("Z") + b"\x3c" + addr(200) + b"\x3c" + addr(300) + e("-"),
    "reads": b"\xf1\xc3" + b"\xff\xef" + b"\xf2" + b"\xff\xef" + b"\xf6" + b"\xff\xef" + b"\x6e"
    + b"\xff\xef" + b"\x6f" + b"\xff\xef" + b"\xa0",
    "ew-to-ewa": b"\xf5\x02" + b"\x11\x0f\x00" + e("ALT") + b"\x13",
    "truncated": b"\xf1\x02\x29\x05\xc0",
    "structured": b"\xf3\x00\x05\x01\xff\xff\x02",
    "cut-frame": b"\xf5\xc2\x11\x5d\x7f\x11\x40\x40\xc3\x81\x81\x94" + e("TRANSFER"),
    "netspy": b"\xf5\x40\x11\x40\x40\x1d\x6c" + e("NETSPY") + e(" " * 42) + e("TPX01   "),
}

EOR = b"\xff\xef"
TSO = b"\xf5\xc2\x11\x5d\x7f\x11\x40\x40"
CICS = b"\xf5\xc2\x11\x40\x40"


def cut_frames(prefix, message_pad):
    start = prefix + b"\xc3\x81\x81\x81"
    data = prefix + b"\xc1\x1d\xc1\xc1\x82" + b"\x7e\xc1\xc2\x5c\xd5\xd2\xa9\x5e\xe4" \
        + b"\x3c" + addr(40) + b"\xc1" + b"\x7d\xf1" + sba(1919)
    request = prefix + b"\xc2\x1d\xc1\xc1\x83\x13\x81\x81\x81" + sba(1919) + b"\x1d\x7c"
    message = prefix + b"\xc3\x96\x81\x89" + message_pad + e("TRANS04 - File transfer complete") + sba(0)
    end = TSO + b"\xc3\x81\x81\x94" + e("FILE TRANSFER COMPLETE$")
    return start, data, request, message, end


CUT_SEEDS = {
    # name: (setup, faults, length / 3, frames by index into cut_frames)
    "download-tso": (0x00, 0x00, 0, (0, 1, 1, 3)),
    "upload-cms-text-crlf": (0x09, 0x01, 0x0300, (0, 2, 2, 2, 2, 2, 3)),
    "download-cics-binary": (0x06, 0x00, 0, (0, 1, 4)),
    "upload-cics-small-screen": (0x42, 0x01, 0x0010, (0, 2, 2, 2, 4)),
    "cancel-and-failures": (0x01, 0x0e, 0x0010, (0, 1, 0, 2, 3)),
}


def write(dirname, name, data):
    path = os.path.join(HERE, "corpus", dirname)
    os.makedirs(path, exist_ok=True)
    with open(os.path.join(path, name), "wb") as f:
        f.write(data)


def main():
    for name, record in RECORDS.items():
        # Default settings, plain TN3270; and a variant with every switch on.
        write("records", name, b"\x00\x05" + record)
        write("records", name + "-switches", b"\x5f\x05" + record)
    write("records", "sscp-lu", b"\x00\xc5" + b"\x07\x00\x00\x00\x00" + e("HELLO") + b"\x15\x0d\x0c")
    write("country", "small", b"* seed\r\nBASE\r\nSCREEN\r\n00 01 02 03\r\nTRANSFER DOS 437\r\n"
          b"00 01 02\r\nCOUNTRY 037\r\nOR USA\r\nCODEPAGE 037 697\r\nSCREEN\r\n4A = C4\r\n"
          b"KEYLAYOUT\r\n10 = 41, 42, 43\r\nKEYSCANMODS\r\n20 = 01\r\n"
          b"KEYESCAPES\r\n30 31 32 01, 02 =\r\n03 =\r\nEND\r\n")
    for name, (setup, faults, length, frames) in CUT_SEEDS.items():
        prefix = CICS if setup % 3 == 2 else TSO
        pad = e("    ") if setup % 3 == 2 else b""
        chosen = cut_frames(prefix, pad)
        write("cut", name, bytes([setup, faults, length >> 8, length & 0xFF])
              + EOR.join(chosen[i] for i in frames))
    handshake = b"\xf5\xc3\x11\x5d\x7f\x1d\x40\x11\xd9\x40\x1d\xc8\x5c\x5c\x5c\x1d\x40\x13"
    write("cut", "handshake-then-read", b"\x00\x00\x00\x00" + handshake + EOR + b"\xf6" + EOR
          + TSO + b"\xc3\x81\x81\x81" + EOR + b"\x06")
    write("country", "lf-only", b"BASE\nSCREEN\n40 41\nCOUNTRY 037\nSCREEN\n4A = 255\n")


if __name__ == "__main__":
    main()
