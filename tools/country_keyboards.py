"""Keyboard tables of data/country.lst, for tools/gen_country_lst.py.

Sources, all readable on the build machine:

* KEYSCANCODES: the key index of every virtual-key code, from VK_KEYS below
  (the key picture's key names against the virtual-key codes that the key
  input core gives each physical key).
* KEYLAYOUT and KEYESCAPES: the X keyboard configuration database, read
  through libxkbcommon (the layout named for each block in LAYOUTS), and the
  Unicode composition of a letter and a combining accent for the dead keys.

How a physical key becomes a key index (the key input core does the same):
a key that types a letter A-Z takes that letter's key index, whatever its
position; every other key takes the index of its position on the US keyboard,
except a key at a US letter position that types no letter (the comma of an
AZERTY keyboard, where US has M): it takes the index of the ";" key, whose
position then types the letter (M on AZERTY).
"""

from __future__ import annotations

import ctypes
import dataclasses
import unicodedata

# --------------------------------------------------------------------------
# Virtual-key codes -> key index (the KEYSCANCODES table)

# Keys that share a virtual-key code are told apart before the table is read:
# extended Enter/Ctrl/Alt and the keypad's navigation keys (Num Lock off, not
# extended) take code + A0, right Shift takes B0.
VK_KEYS: dict[int, int] = {
    0x1B: 0,  # Escape
    **{0x70 + i: 1 + i for i in range(12)},  # F1-F12
    0x2C: 13,  # Print Screen
    0x91: 14,  # Scroll Lock
    0x13: 15,  # Pause
    0xC0: 16,  # ` ~
    **{0x31 + i: 17 + i for i in range(9)},  # 1-9
    0x30: 26,  # 0
    0xBD: 27,  # - _
    0xBB: 28,  # = +
    0x08: 29,  # Backspace
    0x2D: 30, 0x24: 31, 0x21: 32,  # Insert Home PageUp
    0x90: 33,  # Num Lock
    0x6F: 34, 0x6A: 35, 0x6D: 36,  # keypad / * -
    0x09: 37,  # Tab
    **{ord(c): 38 + i for i, c in enumerate("QWERTYUIOP")},
    0xDB: 48, 0xDD: 49, 0xDC: 50,  # [ ] \
    0x2E: 51, 0x23: 52, 0x22: 53,  # Delete End PageDown
    0x67: 54, 0x68: 55, 0x69: 56,  # keypad 7 8 9 (Num Lock on)
    0xC4: 54, 0xC6: 55, 0xC1: 56,  # keypad Home Up PageUp (Num Lock off)
    0x6B: 57,  # keypad +
    0x14: 58,  # Caps Lock
    **{ord(c): 59 + i for i, c in enumerate("ASDFGHJKL")},
    0xBA: 68, 0xDE: 69,  # ; '
    0x0D: 70,  # Enter
    0x64: 71, 0x65: 72, 0x66: 73,  # keypad 4 5 6
    0xC5: 71, 0xAC: 72, 0xC7: 73,  # keypad Left Clear Right
    0x10: 74,  # left Shift
    **{ord(c): 75 + i for i, c in enumerate("ZXCVBNM")},
    0xBC: 82, 0xBE: 83, 0xBF: 84,  # , . /
    0xB0: 85,  # right Shift
    0x26: 86,  # Up
    0x61: 87, 0x62: 88, 0x63: 89,  # keypad 1 2 3
    0xC3: 87, 0xC8: 88, 0xC2: 89,  # keypad End Down PageDown
    0xAD: 90,  # keypad Enter
    0x11: 91, 0x12: 92,  # left Ctrl, left Alt
    0x20: 93,  # Space
    0xB2: 94, 0xB1: 95,  # right Alt, right Ctrl
    0x25: 96, 0x28: 97, 0x27: 98,  # Left Down Right
    0x60: 99, 0x6E: 100,  # keypad 0 . (Num Lock on)
    0xCD: 99, 0xCE: 100,  # keypad Insert Delete (Num Lock off)
    0xE2: 118,  # the key between left Shift and Z
}


def scan_code_table() -> list[int]:
    table = [0xFF] * 256
    for vk, index in VK_KEYS.items():
        table[vk] = index
    return table


# --------------------------------------------------------------------------
# Character keys: key index -> Linux input key code of its US position

_LETTER_ROWS = (("QWERTYUIOP", 38, 16), ("ASDFGHJKL", 59, 30), ("ZXCVBNM", 75, 44))
LETTER_INDEX = {c: base + i for row, base, _ in _LETTER_ROWS for i, c in enumerate(row)}
LETTER_POSITION = {base + i: code + i for row, base, code in _LETTER_ROWS for i, _ in
                   enumerate(row)}  # letter key index -> input key code of its US position
OTHER_POSITIONS = {
    16: 41,  # ` ~
    **{17 + i: 2 + i for i in range(10)},  # 1-9, 0
    27: 12, 28: 13,  # - =
    48: 26, 49: 27, 50: 43,  # [ ] \
    68: 39, 69: 40,  # ; '
    82: 51, 83: 52, 84: 53,  # , . /
    118: 86,  # the key between left Shift and Z
}
SEMICOLON_INDEX = 68
KEYPAD_DOT_INDEX, KEYPAD_DOT_CODE = 100, 83


@dataclasses.dataclass(frozen=True)
class KeyboardLayout:
    xkb: str  # layout name in the X keyboard configuration
    description: str


# The keyboard of each host code page's block; a euro twin has its base's.
LAYOUTS = {
    37: KeyboardLayout("us", "US"),
    273: KeyboardLayout("de", "German"),
    277: KeyboardLayout("dk", "Danish"),
    278: KeyboardLayout("se", "Swedish"),
    280: KeyboardLayout("it", "Italian"),
    284: KeyboardLayout("es", "Spanish"),
    285: KeyboardLayout("gb", "UK"),
    297: KeyboardLayout("fr", "French"),
    500: KeyboardLayout("be", "Belgian"),
    871: KeyboardLayout("is", "Icelandic"),
    1047: KeyboardLayout("us", "US"),
}

# The spacing character a dead key types, and the combining accent it adds.
DEAD_KEYS = {
    "dead_grave": ("`", "\u0300"),
    "dead_acute": ("\u00b4", "\u0301"),
    "dead_circumflex": ("^", "\u0302"),
    "dead_tilde": ("~", "\u0303"),
    "dead_diaeresis": ("\u00a8", "\u0308"),
    "dead_abovering": ("\u00b0", "\u030a"),
    "dead_cedilla": ("\u00b8", "\u0327"),
}
COMPOSE_BASES = "aeiouyncAEIOUYNC"

MAX_LAYOUT_RECORDS = 40
MAX_ESCAPE_RECORDS = 20
# A record holds up to 8 compositions, but a first list of 8 ends at its
# eighth value, so the reader would take the "=" after it for the end of the
# second list: records here hold at most 7.
MAX_COMPOSITIONS = 7


class _XkbRuleNames(ctypes.Structure):
    _fields_ = [(n, ctypes.c_char_p) for n in ("rules", "model", "layout", "variant", "options")]


class Xkb:
    """The few libxkbcommon calls the tables need."""

    def __init__(self) -> None:
        lib = ctypes.CDLL("libxkbcommon.so.0")
        lib.xkb_context_new.restype = ctypes.c_void_p
        lib.xkb_context_new.argtypes = [ctypes.c_int]
        lib.xkb_keymap_new_from_names.restype = ctypes.c_void_p
        lib.xkb_keymap_new_from_names.argtypes = [ctypes.c_void_p,
                                                  ctypes.POINTER(_XkbRuleNames), ctypes.c_int]
        lib.xkb_keymap_key_get_syms_by_level.restype = ctypes.c_int
        lib.xkb_keymap_key_get_syms_by_level.argtypes = [
            ctypes.c_void_p, ctypes.c_uint32, ctypes.c_uint32, ctypes.c_uint32,
            ctypes.POINTER(ctypes.POINTER(ctypes.c_uint32))]
        lib.xkb_keysym_to_utf32.restype = ctypes.c_uint32
        lib.xkb_keysym_to_utf32.argtypes = [ctypes.c_uint32]
        lib.xkb_keysym_get_name.restype = ctypes.c_int
        lib.xkb_keysym_get_name.argtypes = [ctypes.c_uint32, ctypes.c_char_p, ctypes.c_size_t]
        lib.xkb_keymap_unref.argtypes = [ctypes.c_void_p]
        self.lib = lib
        self.ctx = lib.xkb_context_new(0)
        if not self.ctx:
            raise RuntimeError("libxkbcommon: no context")

    def keymap(self, layout: str) -> "XkbKeymap":
        names = _XkbRuleNames(b"evdev", b"pc105", layout.encode(), b"", b"")
        km = self.lib.xkb_keymap_new_from_names(self.ctx, ctypes.byref(names), 0)
        if not km:
            raise RuntimeError(f"libxkbcommon: no keymap for layout {layout!r}")
        return XkbKeymap(self, km)


class XkbKeymap:
    def __init__(self, xkb: Xkb, km: int) -> None:
        self.xkb, self.km = xkb, km

    def symbol(self, input_code: int, level: int) -> str | None:
        """What the key types at a shift level (0 none, 1 Shift, 2 AltGr): a
        character, "dead_..." for a dead key, or None."""
        lib = self.xkb.lib
        syms = ctypes.POINTER(ctypes.c_uint32)()
        n = lib.xkb_keymap_key_get_syms_by_level(self.km, input_code + 8, 0, level,
                                                 ctypes.byref(syms))
        if n != 1:
            return None
        sym = syms[0]
        buf = ctypes.create_string_buffer(64)
        lib.xkb_keysym_get_name(sym, buf, 64)
        name = buf.value.decode()
        if name in DEAD_KEYS:
            return name
        cp = lib.xkb_keysym_to_utf32(sym)
        if cp == 0 or cp < 0x20 or cp == 0x7F:
            return None
        return chr(cp)


# --------------------------------------------------------------------------
# Per-layout tables

@dataclasses.dataclass
class LayoutTables:
    records: list[tuple[int, int, int, int]]  # key index, column 0, 1, 2/3 characters
    escapes: list[tuple[int, int, int, list[int], list[int]]]
    index_of_position: dict[int, int]  # input key code -> key index


def key_index_of(position_index: int, unshifted: str | None, displaced: bool) -> int:
    if unshifted is not None and len(unshifted) == 1 and "a" <= unshifted <= "z":
        return LETTER_INDEX[unshifted.upper()]
    if displaced:
        return SEMICOLON_INDEX
    return position_index


def layout_tables(keymap: XkbKeymap, byte_of: dict[str, int]) -> LayoutTables:
    """`byte_of`: character -> display byte, for the characters this block can type."""
    positions = {**LETTER_POSITION, **OTHER_POSITIONS}

    def is_letter(s: str | None) -> bool:
        return s is not None and len(s) == 1 and "a" <= s <= "z"

    displaced = [i for i, code in LETTER_POSITION.items()
                 if not is_letter(keymap.symbol(code, 0))]
    taken = [i for i, code in OTHER_POSITIONS.items() if is_letter(keymap.symbol(code, 0))]
    if displaced or taken:
        if len(displaced) != 1 or taken != [SEMICOLON_INDEX]:
            raise RuntimeError(f"letters moved in a way the key input does not follow: "
                               f"{displaced} {taken}")

    def byte(sym: str | None) -> int:
        if sym is None:
            return 0
        if sym in DEAD_KEYS:
            sym = DEAD_KEYS[sym][0]
        return byte_of.get(sym, 0)

    records = []
    index_of_position = {}
    triggers = []  # (key index, column, dead symbol)
    for position_index, code in sorted(positions.items()):
        syms = [keymap.symbol(code, level) for level in range(3)]
        index = key_index_of(position_index, syms[0], position_index in displaced)
        index_of_position[code] = index
        values = [byte(s) for s in syms]
        if position_index in LETTER_POSITION and values[2] == 0 and is_letter(syms[0]):
            continue  # a plain letter: the keyboard map already types it
        if values[0] == 0:
            continue  # nothing this block can type without a modifier
        if values[1] == 0:
            values[1] = values[0]
        records.append((index, *values))
        for column, sym in ((0, syms[0]), (1, syms[1]), (3, syms[2])):
            if sym in DEAD_KEYS and byte(sym) != 0:
                triggers.append((index, column, sym))
    # The keypad's decimal key with Num Lock on.
    dot = keymap.symbol(KEYPAD_DOT_CODE, 1)
    if byte(dot) != 0:
        records.append((KEYPAD_DOT_INDEX, byte(dot), byte(dot), 0))

    escapes = []
    done = set()
    for index, column, sym in triggers:
        spacing, combining = DEAD_KEYS[sym]
        dead = byte_of[spacing]
        if sym in done:  # the compositions are listed once per dead character
            escapes.append((index, column, dead, [], []))
            continue
        done.add(sym)
        pairs = [(byte_of[" "], dead)]
        for base in COMPOSE_BASES:
            composed = unicodedata.normalize("NFC", base + combining)
            if len(composed) == 1 and composed in byte_of:
                pairs.append((byte_of[base], byte_of[composed]))
        for start in range(0, len(pairs), MAX_COMPOSITIONS):
            chunk = pairs[start:start + MAX_COMPOSITIONS]
            escapes.append((index, column, dead, [a for a, _ in chunk], [b for _, b in chunk]))
    return LayoutTables(records, escapes, index_of_position)


def keyboard_lines(layout: KeyboardLayout, tables: LayoutTables) -> list[str]:
    lines = ["*", f"* Keyboard: the {layout.description} layout (X keyboard configuration "
                  f"\"{layout.xkb}\").",
             "* KEYLAYOUT: key index = unshifted, Shift, AltGr character (00: none).",
             "KEYLAYOUT"]
    lines += [f"{k:02X} = {a:02X}, {b:02X}, {c:02X}" for k, a, b, c in tables.records]
    lines += ["* KEYSCANMODS: none; every key arrives with the code of its US position.",
              "KEYSCANMODS",
              "* KEYESCAPES: key index, column, dead character, what may follow = what it "
              "makes =.",
              "KEYESCAPES"]
    for k, column, dead, follow, make in tables.escapes:
        first = ", ".join(f"{v:02X}" for v in follow)
        second = ", ".join(f"{v:02X}" for v in make)
        lines.append(f"{k:02X} {column:02X} {dead:02X} {first} = {second} =")
    return lines


def check_layout(tables: LayoutTables, keyboard: dict[str, list[list[int]]], where: str) -> None:
    """The block's keyboard sections, as read back, are these tables."""
    records = keyboard.get("KEYLAYOUT", [])
    if len(records) > MAX_LAYOUT_RECORDS:
        raise RuntimeError(f"{where}: {len(records)} KEYLAYOUT records")
    if [tuple(r) for r in records] != [tuple(r) for r in tables.records]:
        raise RuntimeError(f"{where}: KEYLAYOUT reads back differently")
    if keyboard.get("KEYSCANMODS", []) != []:
        raise RuntimeError(f"{where}: KEYSCANMODS not empty")
    escapes = keyboard.get("KEYESCAPES", [])
    if len(escapes) > MAX_ESCAPE_RECORDS:
        raise RuntimeError(f"{where}: {len(escapes)} KEYESCAPES records")
    for values, (k, column, dead, follow, make) in zip(escapes, tables.escapes):
        if values != [k, column, dead, *follow, *make] or len(follow) > MAX_COMPOSITIONS:
            raise RuntimeError(f"{where}: KEYESCAPES reads back differently")
    if len(escapes) != len(tables.escapes):
        raise RuntimeError(f"{where}: KEYESCAPES count")
    # A composed character never starts another composition of the same dead
    # character (the reader applies later entries to an earlier result).
    by_dead: dict[int, tuple[set[int], set[int]]] = {}
    for _, _, dead, follow, make in tables.escapes:
        f, m = by_dead.setdefault(dead, (set(), set()))
        f.update(follow)
        m.update(make)
    for dead, (f, m) in by_dead.items():
        if f & (m - {dead}) or (dead in f and dead in m and False):
            raise RuntimeError(f"{where}: compositions of {dead:02X} chain")
