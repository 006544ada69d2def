#!/usr/bin/env python3
"""Generate data/country.lst, the host code page and file-transfer table file.

Every table in country.lst is derived from code-page facts only: glibc's iconv
tables for the EBCDIC host code pages (IBM037, IBM273, ... IBM1149) and for the
PC code pages (CP1252, IBM437, IBM850), cross-checked against Python's codecs
where Python has the same code page.  The keyboard tables come from the X
keyboard configuration read through libxkbcommon (see country_keyboards.py).
The script needs Linux with glibc, libxkbcommon and xkeyboard-config.

    python3 tools/gen_country_lst.py            # (re)write data/country.lst
    python3 tools/gen_country_lst.py --check    # exit 1 if data/country.lst is stale

What goes into the file
-----------------------
* BASE SCREEN: for each host byte of code page 037, the Windows-1252 byte that
  displays the same character; control characters (C0, C1, DEL) and characters
  Windows-1252 lacks display as 00, except the 3270's DUP (host 1C) and FIELD
  MARK (host 1E), which the keyboard types as display 8E and 8F.
* BASE TRANSFER tables, one per PC code page: for each PC byte, the byte the
  host's file-transfer program expects.  That program converts with a fixed
  EBCDIC-to-ASCII table (HOST_TO_ASCII below), so a PC character is sent as
  HOST_TO_ASCII[h], h being the code page 037 byte of the same character.
* One COUNTRY block per host code page, holding "hh = dd" pairs for every host
  byte whose display byte differs from code page 037.

Every run re-reads the produced text with a small reader of the file grammar
and checks it against the code pages (see self_check); a failed check stops the
script before anything is written.  The output depends only on the tables of
the glibc in use, so it is the same on every run.
"""

from __future__ import annotations

import argparse
import ctypes
import dataclasses
import os
import sys
import tempfile
import unicodedata
from pathlib import Path

import country_keyboards as kb

REPO_ROOT = Path(__file__).resolve().parent.parent
DEFAULT_OUTPUT = REPO_ROOT / "data" / "country.lst"

# The reader takes at most this many bytes of the file.
MAX_FILE_BYTES = 65535

# Names of blocks, PC code pages and countries are stored in 32-byte fields
# (31 characters and a terminating NUL).
MAX_NAME_CHARS = 31

DISPLAY_CHARSET = "CP1252"  # the display code is Windows-1252
HOST_BASE_CHARSET = "IBM037"  # BASE SCREEN and TRANSFER are built for 037


@dataclasses.dataclass(frozen=True)
class HostCodePage:
    number: int  # IBM code page (CCSID) number, written on the CODEPAGE line
    charset: int  # IBM graphic character set (GCSGID) number
    name: str  # first block name: what users type in the session option
    regions: str  # for the comment in front of the block
    more_names: tuple[str, ...] = ()  # further OR names (names older session files carry)

    @property
    def iconv_name(self) -> str:
        return f"IBM{self.number:03d}"

    @property
    def alias(self) -> str:
        return f"{self.number:03d}"


# Character set 697 is the Latin-1 set of the country extended code pages;
# 695 is the same set with the euro sign in place of the currency sign.
HOST_CODE_PAGES = (
    HostCodePage(37, 697, "USA/Canada 037",
                 "USA, Canada, Netherlands, Portugal, Brazil, Australia, New Zealand",
                 ("United States",)),
    HostCodePage(273, 697, "Germany/Austria 273", "Germany, Austria"),
    HostCodePage(277, 697, "Denmark/Norway 277", "Denmark, Norway"),
    HostCodePage(278, 697, "Finland/Sweden 278", "Finland, Sweden"),
    HostCodePage(280, 697, "Italy 280", "Italy"),
    HostCodePage(284, 697, "Spain/Latin America 284", "Spain, Spanish-speaking Latin America"),
    HostCodePage(285, 697, "United Kingdom 285", "United Kingdom, Ireland"),
    HostCodePage(297, 697, "France 297", "France"),
    HostCodePage(500, 697, "International 500", "Belgium, Switzerland, international Latin-1"),
    HostCodePage(871, 697, "Iceland 871", "Iceland"),
    HostCodePage(1047, 697, "Open Systems 1047", "Latin-1 open systems (z/OS UNIX, C)"),
    HostCodePage(1140, 695, "USA/Canada euro 1140", "037 with the euro sign"),
    HostCodePage(1141, 695, "Germany/Austria euro 1141", "273 with the euro sign"),
    HostCodePage(1142, 695, "Denmark/Norway euro 1142", "277 with the euro sign"),
    HostCodePage(1143, 695, "Finland/Sweden euro 1143", "278 with the euro sign"),
    HostCodePage(1144, 695, "Italy euro 1144", "280 with the euro sign"),
    HostCodePage(1145, 695, "Spain/Latin America euro 1145", "284 with the euro sign"),
    HostCodePage(1146, 695, "United Kingdom euro 1146", "285 with the euro sign"),
    HostCodePage(1147, 695, "France euro 1147", "297 with the euro sign"),
    HostCodePage(1148, 695, "International euro 1148", "500 with the euro sign"),
    HostCodePage(1149, 695, "Iceland euro 1149", "871 with the euro sign"),
)

# The euro code pages 1140-1149 are their older twins with the euro sign in
# place of the currency sign; the header of the file lists where glibc's two
# tables of a twin pair disagree beyond that.
EURO_TWINS = {1140 + i: base for i, base in
              enumerate((37, 273, 277, 278, 280, 284, 285, 297, 500, 871))}


@dataclasses.dataclass(frozen=True)
class PcCodePage:
    name: str  # TRANSFER name; names starting with "DOS" select the DOS conversion
    iconv_name: str
    python_codec: str


PC_CODE_PAGES = (
    PcCodePage("ANSI 1252", "CP1252", "cp1252"),
    PcCodePage("DOS 437", "IBM437", "cp437"),
    PcCodePage("DOS (US 437)", "IBM437", "cp437"),  # the name older session files carry
    PcCodePage("DOS 850", "IBM850", "cp850"),
)

# Python codecs for the host code pages Python also knows, used to cross-check
# what glibc's iconv returns.
PYTHON_HOST_CODECS = {37: "cp037", 273: "cp273", 500: "cp500", 1140: "cp1140"}

# The host file-transfer program's fixed EBCDIC-to-ASCII table: entry h is the
# byte it uses for host byte h (row = high nibble of h).
HOST_TO_ASCII_ROWS = """
00 01 02 03 9C 09 86 7F 97 8D 8E 0B 0C 0D 0E 0F
10 11 12 13 9D 85 08 87 18 19 92 8F 1C 1D 1E 1F
80 81 82 83 84 0A 17 1B 88 89 8A 8B 8C 05 06 07
90 91 16 93 94 95 96 04 98 99 9A 9B 14 15 9E 1A
20 A0 A1 A2 A3 A4 A5 A6 A7 A8 5B 2E 3C 28 2B 5D
26 A9 AA AB AC AD AE AF B0 B1 21 24 2A 29 3B 5E
2D 2F B2 B3 B4 B5 B6 B7 B8 B9 7C 2C 25 5F 3E 3F
BA BB BC BD BE BF C0 C1 C2 60 3A 23 40 27 3D 22
C3 61 62 63 64 65 66 67 68 69 C4 C5 C6 C7 C8 C9
CA 6A 6B 6C 6D 6E 6F 70 71 72 CB CC CD CE CF D0
D1 7E 73 74 75 76 77 78 79 7A D2 D3 D4 D5 D6 D7
D8 D9 DA DB DC DD DE DF E0 E1 E2 E3 E4 E5 E6 E7
7B 41 42 43 44 45 46 47 48 49 E8 E9 EA EB EC ED
7D 4A 4B 4C 4D 4E 4F 50 51 52 EE EF F0 F1 F2 F3
5C 9F 53 54 55 56 57 58 59 5A F4 F5 F6 F7 F8 F9
30 31 32 33 34 35 36 37 38 39 FA FB FC FD FE FF
"""
HOST_TO_ASCII = tuple(int(v, 16) for v in HOST_TO_ASCII_ROWS.split())

# Characters that Windows-1252 lacks but that are the same IBM graphic as a
# character it has.  glibc maps the overline of code page 285 (byte A1) to
# U+203E but the same byte of its euro twin 1146 to U+00AF, and maps the
# overline of 273 (byte BC) to U+00AF where Python's cp273 gives U+203E: IBM's
# overline is the macron of Latin-1.  Showing it as the Windows-1252 macron
# keeps it visible and typeable; self_check makes sure no code page has both.
DISPLAY_EQUIVALENTS = {"\u203e": "\u00af"}

KEYWORDS = ("BASE", "SCREEN", "TRANSFER", "KEYSCANCODES", "KEYLAYOUT", "KEYSCANMODS",
            "KEYESCAPES", "COUNTRY", "OR", "CODEPAGE", "END")
KEYBOARD_KEYWORDS = ("KEYSCANCODES", "KEYLAYOUT", "KEYSCANMODS", "KEYESCAPES")
NAME_KEYWORDS = ("TRANSFER", "COUNTRY", "OR")  # the rest of the line is a name


class GenerationError(Exception):
    """The code pages or the produced file are not what the file must hold."""


def require(condition: bool, message: str) -> None:
    if not condition:
        raise GenerationError(message)


# --------------------------------------------------------------------------
# Code pages from glibc's iconv

class _Iconv:
    """Single-byte decoding through glibc's iconv(3), one byte at a time."""

    def __init__(self) -> None:
        libc = ctypes.CDLL(None, use_errno=True)
        if not hasattr(libc, "gnu_get_libc_version"):
            raise GenerationError("glibc's iconv is needed (this is not a glibc system)")
        self._open = libc.iconv_open
        self._open.restype = ctypes.c_void_p
        self._open.argtypes = [ctypes.c_char_p, ctypes.c_char_p]
        self._conv = libc.iconv
        self._conv.restype = ctypes.c_size_t
        self._conv.argtypes = [ctypes.c_void_p,
                               ctypes.POINTER(ctypes.c_char_p), ctypes.POINTER(ctypes.c_size_t),
                               ctypes.POINTER(ctypes.c_char_p), ctypes.POINTER(ctypes.c_size_t)]
        self._close = libc.iconv_close
        self._close.argtypes = [ctypes.c_void_p]

    def decode_page(self, charset: str) -> tuple[str | None, ...]:
        """The character of each byte 00-FF of `charset`, None where undefined."""
        failed = ctypes.c_void_p(-1).value
        cd = self._open(b"UTF-32LE", charset.encode("ascii"))
        if cd == failed:
            raise GenerationError(f"iconv does not know {charset}: "
                                  f"{os.strerror(ctypes.get_errno())}")
        try:
            return tuple(self._decode_byte(cd, b) for b in range(256))
        finally:
            self._close(cd)

    def _decode_byte(self, cd: int, byte: int) -> str | None:
        self._conv(cd, None, None, None, None)  # back to the initial state
        inbuf = ctypes.create_string_buffer(bytes([byte]), 1)
        outbuf = ctypes.create_string_buffer(16)
        inptr = ctypes.c_char_p(ctypes.addressof(inbuf))
        outptr = ctypes.c_char_p(ctypes.addressof(outbuf))
        inleft = ctypes.c_size_t(1)
        outleft = ctypes.c_size_t(len(outbuf))
        result = self._conv(cd, ctypes.byref(inptr), ctypes.byref(inleft),
                            ctypes.byref(outptr), ctypes.byref(outleft))
        if result == ctypes.c_size_t(-1).value:
            return None
        text = outbuf.raw[:len(outbuf) - outleft.value].decode("utf-32-le")
        require(len(text) == 1, f"byte {byte:02X} decodes to {len(text)} characters")
        return text


def _python_page(codec: str) -> tuple[str | None, ...]:
    page = []
    for b in range(256):
        try:
            page.append(bytes([b]).decode(codec))
        except UnicodeDecodeError:
            page.append(None)
    return tuple(page)


@dataclasses.dataclass(frozen=True)
class CodePages:
    host: dict[int, tuple[str, ...]]  # host code page number -> character of each byte
    pc: dict[str, tuple[str | None, ...]]  # TRANSFER name -> character of each PC byte
    display: tuple[str | None, ...]  # Windows-1252


def load_code_pages() -> CodePages:
    iconv = _Iconv()
    host = {}
    for cp in HOST_CODE_PAGES:
        page = iconv.decode_page(cp.iconv_name)
        require(None not in page, f"{cp.iconv_name} leaves bytes undefined")
        require(len(set(page)) == 256, f"{cp.iconv_name} maps two bytes to one character")
        host[cp.number] = page
    pc = {p.name: iconv.decode_page(p.iconv_name) for p in PC_CODE_PAGES}
    display = iconv.decode_page(DISPLAY_CHARSET)
    pages = CodePages(host, pc, display)
    _cross_check_with_python(pages)
    return pages


def _cross_check_with_python(pages: CodePages) -> None:
    """glibc and Python must agree, up to DISPLAY_EQUIVALENTS."""
    checks = [(f"IBM{n:03d}", pages.host[n], codec) for n, codec in PYTHON_HOST_CODECS.items()]
    checks += [(p.iconv_name, pages.pc[p.name], p.python_codec) for p in PC_CODE_PAGES]
    checks.append((DISPLAY_CHARSET, pages.display, "cp1252"))
    for charset, glibc_page, codec in checks:
        python_page = _python_page(codec)
        for b in range(256):
            require(same_graphic(glibc_page[b]) == same_graphic(python_page[b]),
                    f"{charset} byte {b:02X}: glibc gives {glibc_page[b]!r}, "
                    f"Python {codec} gives {python_page[b]!r}")


# --------------------------------------------------------------------------
# Tables

def same_graphic(ch: str | None) -> str | None:
    """The character as the display code knows it (see DISPLAY_EQUIVALENTS)."""
    return DISPLAY_EQUIVALENTS.get(ch, ch)  # type: ignore[arg-type]


def is_control(ch: str | None) -> bool:
    return ch is None or unicodedata.category(ch) == "Cc"


def display_byte_of(pages: CodePages) -> dict[str, int]:
    """Character -> Windows-1252 byte, for the characters it can display."""
    return {ch: b for b, ch in enumerate(pages.display) if not is_control(ch)}


# The 3270 data stream's DUP (0x1C) and FIELD MARK (0x1E) are control codes
# in every EBCDIC code page, yet an operator types them into fields and the
# host must receive them: they display as 8E and 8F, two Windows-1252 bytes
# none of the host code pages uses.
SCREEN_CONTROLS = {0x1C: 0x8E, 0x1E: 0x8F}


def screen_table(host_page: tuple[str, ...], display_byte: dict[str, int]) -> list[int]:
    """Display byte for each host byte; 00 for controls (other than DUP and
    FIELD MARK) and for characters the display code lacks."""
    table = []
    for h, ch in enumerate(host_page):
        if h in SCREEN_CONTROLS and is_control(ch):
            table.append(SCREEN_CONTROLS[h])
        elif is_control(ch):
            table.append(0)
        else:
            table.append(display_byte.get(same_graphic(ch), 0))
    return table


def transfer_table(pc_page: tuple[str | None, ...], host_page: tuple[str, ...]) -> list[int]:
    """For each PC byte, the byte the host file-transfer program expects.

    A PC character that code page 037 has is sent as HOST_TO_ASCII of its 037
    byte.  The PC bytes left over (undefined, or characters 037 lacks) below 80
    go as themselves; those from 80 up receive, in ascending order, the host
    bytes no other PC byte uses, in ascending order.  That makes the table a
    one-to-one mapping, so the reverse table restores every byte.
    """
    host_byte = {ch: h for h, ch in enumerate(host_page)}
    table: list[int | None] = [None] * 256
    for c, ch in enumerate(pc_page):
        if ch in host_byte:
            table[c] = HOST_TO_ASCII[host_byte[ch]]
    for c in range(0x80):
        if table[c] is None:
            table[c] = c
    unused = sorted(set(range(256)) - set(v for v in table if v is not None))
    leftover = [c for c in range(256) if table[c] is None]
    require(len(unused) == len(leftover),
            "PC bytes without a host counterpart cannot all be given distinct bytes")
    for c, v in zip(leftover, unused):
        table[c] = v
    return table  # type: ignore[return-value]


def country_pairs(host_page: tuple[str, ...], base_screen: list[int],
                  display_byte: dict[str, int]) -> list[tuple[int, int]]:
    """(host byte, display byte) for every host byte that shows differently
    from the base table."""
    table = screen_table(host_page, display_byte)
    return [(h, d) for h, d in enumerate(table) if d != base_screen[h]]


# --------------------------------------------------------------------------
# Writing the file

def value_lines(values: list[int]) -> list[str]:
    return [" ".join(f"{v:02X}" for v in values[i:i + 16]) for i in range(0, len(values), 16)]


def twin_notes(pages: CodePages) -> list[str]:
    notes = []
    for euro, old in EURO_TWINS.items():
        euro_page, old_page = pages.host[euro], pages.host[old]
        differ = [h for h in range(256) if euro_page[h] != "\u20ac"
                  and same_graphic(euro_page[h]) != same_graphic(old_page[h])]
        if differ:
            where = ", ".join(f"{h:02X}" for h in differ)
            notes.append(f"*   {old:03d} and {euro}: host bytes {where}")
    return notes


def header_lines(pages: CodePages) -> list[str]:
    lines = """\
* country.lst - host code pages and the tables built from them
*
* GENERATED FILE, do not edit: written by tools/gen_country_lst.py from the
* code-page tables of glibc's iconv and the X keyboard configuration.
* Change the script and run it again;
* "python3 tools/gen_country_lst.py --check" tells whether this copy is current.
*
* Format
*   Lines end in CR LF.  A line starting with "*" is a comment and empty lines
*   are skipped.  Along a line, a run of letters and digits is either a
*   keyword (BASE SCREEN TRANSFER KEYSCANCODES KEYLAYOUT KEYSCANMODS
*   KEYESCAPES COUNTRY OR CODEPAGE END) or a value: two characters are
*   hexadecimal, three characters decimal.  "=" and "," separate values and
*   any other character ends the line.
*
*   BASE            starts the base part.
*   SCREEN          (base part) 256 values, from host byte 00 upwards: the
*                   display byte (Windows-1252) of each byte of host code
*                   page 037.  Control characters display as 00.
*   TRANSFER name   (base part) 256 values for the PC code page "name", from
*                   PC byte 00 upwards: the byte the host's file-transfer
*                   program expects for that PC character.
*   COUNTRY name    starts the block of one host code page, OR name gives it
*                   another name.  A name is the rest of its line.
*   CODEPAGE n m    the host code page number and its IBM character set.
*   SCREEN          (block) lines "hh = dd": host byte hh displays as dd
*                   instead of the base value.  The file-transfer table
*                   follows these pairs.
*   END             ends the file.
*
*   KEYSCANCODES    (base part) 256 values, from virtual-key code 00
*                   upwards: the key index of the key (FF: not used).
*   KEYLAYOUT       (block) lines "kk = aa, bb, cc": key index kk types aa,
*                   with Shift bb, with AltGr (and Ctrl) cc; 00 leaves the
*                   keyboard map's word of that column as it is.
*   KEYSCANMODS     (block) lines "vv = ww": virtual-key code vv is read as ww.
*   KEYESCAPES      (block) lines "kk cc dd f1, f2 .. = r1, r2 .. =": the key
*                   kk in column cc types the dead character dd; a following
*                   fN makes rN instead (at most 7 a line, as a list of 8
*                   would end at its eighth value; further lines with the
*                   same dead character go on with its list).
*
* How the tables are made
*   Display: a host character shows as the Windows-1252 byte of the same
*   character, or 00 when it is a control character or Windows-1252 lacks it;
*   the 3270 controls DUP (1C) and FIELD MARK (1E) show as 8E and 8F.
*   The overline (U+203E) shows as the macron (AF): it is the same IBM
*   character, which glibc maps to U+00AF in most code pages.
*   Transfer: the host's file-transfer program converts with a fixed
*   EBCDIC-to-ASCII table, so a PC character goes as that table's byte for
*   the code page 037 byte of the same character.  PC bytes without a
*   counterpart in 037 (ANSI 1252: 80-9F; DOS: line drawing, Greek and
*   mathematical characters) get the bytes no other PC byte uses, both taken
*   in ascending order, so each of these tables is one-to-one.""".splitlines()
    notes = twin_notes(pages)
    if notes:
        lines += ["*", "* Where glibc's tables of a code page and of its euro twin disagree beyond",
                  "* the euro sign, each block follows its own table:"] + notes
    return lines


def base_part(pages: CodePages) -> list[str]:
    base_page = pages.host[37]
    lines = ["BASE", "*", "* Host code page 037 to Windows-1252; row n holds host bytes n0-nF.",
             "SCREEN"]
    lines += value_lines(screen_table(base_page, display_byte_of(pages)))
    for pc in PC_CODE_PAGES:
        lines += ["*", f"* PC code page {pc.iconv_name} to the host file-transfer program's "
                       "ASCII; row n holds PC bytes n0-nF.",
                  f"TRANSFER {pc.name}"]
        lines += value_lines(transfer_table(pages.pc[pc.name], base_page))
    lines += ["*", "* Virtual-key code to key index (FF: not used); row n holds codes n0-nF.",
              "KEYSCANCODES"]
    lines += value_lines(kb.scan_code_table())
    return lines


def block_keyboard(cp: HostCodePage) -> kb.KeyboardLayout:
    return kb.LAYOUTS[EURO_TWINS.get(cp.number, cp.number)]


def typeable_bytes(cp: HostCodePage, pages: CodePages) -> dict[str, int]:
    """Character -> display byte, for what a key of this block may type: the
    display code has it and so does the block's host code page."""
    host = {same_graphic(ch) for ch in pages.host[cp.number]}
    return {ch: b for ch, b in display_byte_of(pages).items() if ch in host}


def keyboard_tables(cp: HostCodePage, pages: CodePages, xkb: kb.Xkb) -> kb.LayoutTables:
    return kb.layout_tables(xkb.keymap(block_keyboard(cp).xkb), typeable_bytes(cp, pages))


def country_block(cp: HostCodePage, pages: CodePages, xkb: kb.Xkb) -> list[str]:
    base_screen = screen_table(pages.host[37], display_byte_of(pages))
    pairs = country_pairs(pages.host[cp.number], base_screen, display_byte_of(pages))
    lines = ["*", f"* Code page {cp.number:03d}, character set {cp.charset}: {cp.regions}.",
             f"COUNTRY {cp.name}",
             f"OR {cp.alias}",
             *[f"OR {name}" for name in cp.more_names],
             f"CODEPAGE {cp.number:03d} {cp.charset}",
             "SCREEN"]
    lines += [f"{h:02X} = {d:02X}" for h, d in pairs]
    lines += kb.keyboard_lines(block_keyboard(cp), keyboard_tables(cp, pages, xkb))
    return lines


def render(pages: CodePages, xkb: kb.Xkb) -> bytes:
    lines = header_lines(pages)
    lines += ["*"] + base_part(pages)
    for cp in HOST_CODE_PAGES:
        lines += country_block(cp, pages, xkb)
    lines += ["*", "END"]
    text = "".join(line + "\r\n" for line in lines)
    return text.encode("ascii")


# --------------------------------------------------------------------------
# Reading the file back

@dataclasses.dataclass
class Block:
    names: list[str]
    codepage: tuple[int, ...] | None = None
    has_screen: bool = False
    pairs: list[tuple[int, int]] = dataclasses.field(default_factory=list)
    keyboard: dict[str, list[list[int]]] = dataclasses.field(default_factory=dict)


@dataclasses.dataclass
class ParsedFile:
    base_screen: list[int] | None = None
    transfers: dict[str, list[int]] = dataclasses.field(default_factory=dict)
    base_keyboard: dict[str, list[int]] = dataclasses.field(default_factory=dict)
    blocks: list[Block] = dataclasses.field(default_factory=list)


def split_lines(data: bytes) -> list[str]:
    """Lines of the file; every line must end in CR LF."""
    require(data.endswith(b"\r\n"), "the file does not end in CR LF")
    text = data.decode("ascii")
    lines = text[:-2].split("\r\n")
    for number, line in enumerate(lines, 1):
        require("\r" not in line and "\n" not in line, f"line {number}: stray CR or LF")
    return lines


def tokenize(line: str) -> list[tuple[str, str]]:
    """('keyword', KEYWORD), ('value', WORD) or ('name', rest of line) tokens.

    Strict where the grammar is lenient: a line that starts with blanks, a
    word of a length that would be ignored, or a name with trailing blanks is
    an error, since the file is meant to hold none of these.
    """
    if not line or line[0] == "*":
        return []
    require(line[0] not in " \t", f"line starts with a blank: {line!r}")
    tokens: list[tuple[str, str]] = []
    i = 0
    while i < len(line):
        c = line[i]
        if c in " \t=,":
            i += 1
            continue
        if not (c.isascii() and c.isalnum()):
            raise GenerationError(f"unexpected {c!r} ends the line early: {line!r}")
        j = i
        while j < len(line) and line[j].isascii() and line[j].isalnum():
            j += 1
        word = line[i:j].upper()
        i = j
        if word in KEYWORDS:
            tokens.append(("keyword", word))
            if word in NAME_KEYWORDS:
                name = line[i:].lstrip(" \t")
                require(name != "" and name == name.rstrip(" \t"), f"bad name: {line!r}")
                tokens.append(("name", name))
                return tokens
        else:
            tokens.append(("value", word))
    return tokens


def value_of(word: str, after_codepage: bool) -> int:
    if len(word) == 2 and all(c in "0123456789ABCDEF" for c in word):
        return int(word, 16)
    if len(word) == 3 and word.isdigit():
        value = int(word)
        require(after_codepage or value <= 255, f"value {word} is not a byte")
        return value
    if len(word) in (4, 5) and word.isdigit() and after_codepage:
        return int(word)
    raise GenerationError(f"{word!r} would be ignored or misread by the reader")


def parse_country_file(data: bytes) -> ParsedFile:
    parsed = ParsedFile()
    in_base = False
    block: Block | None = None
    section: str | None = None  # SCREEN, TRANSFER, a keyboard keyword, CODEPAGE
    target: list[int] | None = None  # where base values go
    ended = False
    for line in split_lines(data):
        require(not ended, "text after END")
        tokens = tokenize(line)
        values: list[int] = []
        for i, (kind, word) in enumerate(tokens):
            if kind == "name":
                continue
            if kind == "value":
                values.append(value_of(word, section == "CODEPAGE"))
                continue
            require(not values, f"values before a keyword on one line: {line!r}")
            if word == "END":
                ended = True
            elif word == "BASE":
                require(not in_base and block is None and parsed.base_screen is None,
                        "BASE is not the first section")
                in_base, section, target = True, None, None
            elif word == "COUNTRY":
                in_base = False
                block = Block(names=[tokens[i + 1][1]])
                parsed.blocks.append(block)
                section, target = None, None
            elif word == "OR":
                require(block is not None, "OR outside a COUNTRY block")
                block.names.append(tokens[i + 1][1])  # type: ignore[union-attr]
            elif word == "CODEPAGE":
                require(block is not None and block.codepage is None, "misplaced CODEPAGE")
                section = "CODEPAGE"
            elif word == "SCREEN":
                section = "SCREEN"
                if in_base:
                    require(parsed.base_screen is None, "second BASE SCREEN")
                    parsed.base_screen = target = []
                else:
                    require(block is not None and not block.has_screen, "misplaced SCREEN")
                    block.has_screen = True  # type: ignore[union-attr]
            elif word == "TRANSFER":
                require(in_base, "TRANSFER values in a block are ignored by the reader")
                name = tokens[i + 1][1]
                require(name not in parsed.transfers, f"second TRANSFER {name}")
                section = "TRANSFER"
                parsed.transfers[name] = target = []
            elif word in KEYBOARD_KEYWORDS:
                section = word
                if in_base:
                    require(word == "KEYSCANCODES", f"{word} takes no values in the base part")
                    parsed.base_keyboard[word] = target = []
                else:
                    require(block is not None, f"{word} outside a block")
                    block.keyboard.setdefault(word, [])  # type: ignore[union-attr]
        if ended or not values:
            continue
        if section == "CODEPAGE":
            require(len(values) in (1, 2), f"CODEPAGE takes one or two numbers: {line!r}")
            block.codepage = tuple(values)  # type: ignore[union-attr]
            section = None
        elif in_base:
            require(target is not None, f"base values outside a section: {line!r}")
            target.extend(values)  # type: ignore[union-attr]
        elif block is not None and section == "SCREEN":
            require(len(values) == 2, f"a SCREEN line holds one pair: {line!r}")
            block.pairs.append((values[0], values[1]))
        elif block is not None and section in KEYBOARD_KEYWORDS:
            block.keyboard[section].append(values)
        else:
            raise GenerationError(f"values the reader ignores: {line!r}")
    require(ended, "no END")
    return parsed


# --------------------------------------------------------------------------
# Checking what was written

def apply_pairs(base: list[int], pairs: list[tuple[int, int]]) -> list[int]:
    table = list(base)
    for h, d in pairs:
        table[h] = d
    return table


def self_check(data: bytes, pages: CodePages, xkb: kb.Xkb) -> None:
    require(len(data) <= MAX_FILE_BYTES,
            f"{len(data)} bytes; the reader takes at most {MAX_FILE_BYTES}")
    parsed = parse_country_file(data)
    display_byte = display_byte_of(pages)

    # Every table has exactly 256 byte values.
    tables = {"BASE SCREEN": parsed.base_screen or []}
    tables.update({f"TRANSFER {n}": t for n, t in parsed.transfers.items()})
    for what, table in tables.items():
        require(len(table) == 256, f"{what} has {len(table)} values")
        require(all(0 <= v <= 255 for v in table), f"{what} holds a value above FF")
    base_screen = parsed.base_screen

    # The blocks: names, code page numbers, one SCREEN section each.
    require([b.names[0] for b in parsed.blocks] == [cp.name for cp in HOST_CODE_PAGES],
            "the COUNTRY blocks are not the expected ones")
    all_names = [n for b in parsed.blocks for n in b.names]
    require(len(all_names) == len(set(all_names)), "a block name is used twice")
    for name in all_names + list(parsed.transfers):
        require(len(name) <= MAX_NAME_CHARS, f"name {name!r} is longer than {MAX_NAME_CHARS}")

    for cp, block in zip(HOST_CODE_PAGES, parsed.blocks):
        where = f"COUNTRY {cp.name}"
        require(block.names == [cp.name, cp.alias, *cp.more_names],
                f"{where}: names {block.names}")
        require(block.codepage == (cp.number, cp.charset), f"{where}: CODEPAGE {block.codepage}")
        require(block.has_screen, f"{where}: no SCREEN line")
        hosts = [h for h, _ in block.pairs]
        require(len(hosts) == len(set(hosts)), f"{where}: a host byte is patched twice")
        # A pair with display byte 00 would also make the reader send host
        # byte hh for PC byte 00 during file transfer.
        require(all(d != 0 for _, d in block.pairs), f"{where}: a pair displays as 00")

        # Each host byte shows as the display byte of its character, and
        # as 00 when it is a control or the display code lacks it.
        screen = apply_pairs(base_screen, block.pairs)
        page = pages.host[cp.number]
        for h, ch in enumerate(page):
            if h in SCREEN_CONTROLS and is_control(ch):
                want = SCREEN_CONTROLS[h]
            else:
                want = 0 if is_control(ch) else display_byte.get(same_graphic(ch), 0)
            require(screen[h] == want, f"{where}: host {h:02X} ({ch!r}) displays as "
                                       f"{screen[h]:02X}, not {want:02X}")

        # Display -> host -> display round-trips: no two host bytes share a
        # non-zero display byte.
        shown = [d for d in screen if d != 0]
        require(len(shown) == len(set(shown)), f"{where}: two host bytes display alike")

        # File transfer with the ANSI table patched by this block's pairs, the
        # way the reader does it, sends each PC character this code page has
        # as HOST_TO_ASCII of its byte in this code page.
        ansi = list(parsed.transfers["ANSI 1252"])
        for h, d in block.pairs:
            ansi[d] = HOST_TO_ASCII[h]
        host_byte = {same_graphic(ch): h for h, ch in enumerate(page)}
        for c, ch in enumerate(pages.pc["ANSI 1252"]):
            if ch is not None and ch in host_byte:
                require(ansi[c] == HOST_TO_ASCII[host_byte[ch]],
                        f"{where}: ANSI 1252 byte {c:02X} ({ch!r}) is sent as {ansi[c]:02X}")

    # Keyboard: the base scan-code table, and each block's keyboard sections.
    require(parsed.base_keyboard.get("KEYSCANCODES") == kb.scan_code_table(),
            "BASE KEYSCANCODES is not the virtual-key table")
    for cp, block in zip(HOST_CODE_PAGES, parsed.blocks):
        try:
            kb.check_layout(keyboard_tables(cp, pages, xkb), block.keyboard,
                            f"COUNTRY {cp.name}")
        except RuntimeError as e:
            raise GenerationError(str(e)) from e

    # The base screen table is code page 037's.
    require(base_screen == screen_table(pages.host[37], display_byte),
            "BASE SCREEN is not code page 037")

    # Transfer tables: each PC character that 037 has goes as HOST_TO_ASCII
    # of its 037 byte; controls 00-1F and 7F go as themselves; each table is
    # one-to-one so that the reverse table restores every byte.
    require(list(parsed.transfers) == [p.name for p in PC_CODE_PAGES],
            f"TRANSFER tables {list(parsed.transfers)}")
    host_byte_037 = {ch: h for h, ch in enumerate(pages.host[37])}
    for pc in PC_CODE_PAGES:
        table = parsed.transfers[pc.name]
        where = f"TRANSFER {pc.name}"
        require(len(set(table)) == 256, f"{where} is not one-to-one")
        for c, ch in enumerate(pages.pc[pc.name]):
            if ch in host_byte_037:
                want = HOST_TO_ASCII[host_byte_037[ch]]
                require(table[c] == want, f"{where}: byte {c:02X} ({ch!r}) is sent as "
                                          f"{table[c]:02X}, not {want:02X}")
            elif c < 0x80:
                require(table[c] == c, f"{where}: byte {c:02X} has no counterpart, "
                                       f"is sent as {table[c]:02X}")
        for c in list(range(0x20)) + [0x7F]:
            require(table[c] == c, f"{where}: control {c:02X} is sent as {table[c]:02X}")


# --------------------------------------------------------------------------

def generate() -> bytes:
    pages = load_code_pages()
    try:
        xkb = kb.Xkb()
    except (OSError, RuntimeError) as e:
        raise GenerationError(f"the keyboard tables need libxkbcommon: {e}") from e
    try:
        data = render(pages, xkb)
    except RuntimeError as e:
        raise GenerationError(str(e)) from e
    self_check(data, pages, xkb)
    return data


def write_atomically(path: Path, data: bytes) -> None:
    path.parent.mkdir(parents=True, exist_ok=True)
    fd, tmp = tempfile.mkstemp(prefix=path.name + ".", dir=path.parent)
    try:
        with os.fdopen(fd, "wb") as f:
            f.write(data)
        os.chmod(tmp, 0o644)
        os.replace(tmp, path)
    except BaseException:
        os.unlink(tmp)
        raise


def main(argv: list[str] | None = None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--check", action="store_true",
                        help="do not write; exit 1 if the file differs from what would be written")
    parser.add_argument("--output", type=Path, default=DEFAULT_OUTPUT,
                        help=f"file to write or check (default: {DEFAULT_OUTPUT})")
    args = parser.parse_args(argv)
    try:
        data = generate()
    except GenerationError as e:
        print(f"gen_country_lst: {e}", file=sys.stderr)
        return 2
    if args.check:
        try:
            current = args.output.read_bytes()
        except FileNotFoundError:
            current = None
        if current != data:
            state = "is missing" if current is None else "is out of date"
            print(f"gen_country_lst: {args.output} {state}; "
                  "run python3 tools/gen_country_lst.py", file=sys.stderr)
            return 1
        return 0
    write_atomically(args.output, data)
    return 0


if __name__ == "__main__":
    sys.exit(main())
