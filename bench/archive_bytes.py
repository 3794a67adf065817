"""Archive bytes written by hand, for the scripts that craft archives rather than have corvale
make them: the hostile archives of the tests, the fuzz seeds and the benchmarks' inputs. Each
builder writes an archive without checksum (type byte below 0x80), so that nothing has to be
computed over what it claims to restore.
"""

import struct
import zlib


def varint(v):
    """The LEB128 form of a natural number: seven bits a byte, lowest first."""
    out = bytearray()
    while v >= 0x80:
        out.append((v & 0x7F) | 0x80)
        v >>= 7
    out.append(v)
    return bytes(out)


def read_varint(data, pos):
    """(value, position after it) of the LEB128 number at data[pos]."""
    value, shift = 0, 0
    while True:
        b = data[pos]
        pos += 1
        value |= (b & 0x7F) << shift
        shift += 7
        if b < 0x80:
            return value, pos


def raw_deflate(data):
    c = zlib.compressobj(9, zlib.DEFLATED, -15)
    return c.compress(data) + c.flush()


# An entropy body in which every value is 0: one token of frequency 16384, a stream that is only
# the start state, no extra bits. It stands for any count.
ALL_ZEROS = bytes([0x01, 0x00, 0xFF, 0x7F, 0x04, 0x00, 0x00, 0x80, 0x00])
# A magnitude of a million bytes, as a varint (all groups 0x7F, then 1).
MILLION_BYTE_VALUE = b"\xFF" * 999999 + b"\x01"
# A number-text body's opening: no prefix, no suffix, period 1 with a blank between numbers.
BLANKS = bytes([0x00, 0x00, 0x01, 0x01, 0x20])


def numeric_text(text):
    """Type 3: the numeric text itself."""
    return b"\x03" + text


LINE_FEED = 0x02  # a single number's header flags: a line feed after it


def power_form(base, exponent, offset=0, flags=0):
    """Type 8: factor 1 x base^exponent + offset; a negative offset sets flags bit 4."""
    if offset < 0:
        flags |= 0x10
    magnitude = abs(offset)
    offset_bytes = magnitude.to_bytes((magnitude.bit_length() + 7) // 8, "big")
    return (bytes([0x08, flags]) + varint(base) + varint(exponent) + varint(1) + varint(len(offset_bytes))
            + offset_bytes)


def number_list(n, method, inner, flags=0):
    """Type 9: flags, count, method, deflated body."""
    return bytes([0x09, flags]) + varint(n) + bytes([method]) + raw_deflate(inner)


def number_text(n, body, flags=0):
    """Type 10: flags, count, deflated body."""
    return bytes([0x0A, flags]) + varint(n) + raw_deflate(body)


def table(rows, columns_body, columns=2):
    """Type 11: flags 0, rows, columns, separator ',', the deflated columns."""
    return bytes([0x0B, 0x00]) + varint(rows) + varint(columns) + b"," + raw_deflate(columns_body)


def dictionary_column(rows, entry):
    """A table or log column of kind 2: one entry, chosen by every row (one index byte a row)."""
    return bytes([2, 1]) + varint(len(entry)) + entry + bytes(rows)


def formula(ops):
    """Type 13: flags 0, then the formula's bytes."""
    return b"\x0D\x00" + ops


def literal(n):
    """A formula's small literal (op 0)."""
    return b"\x00" + varint(n)


def log(lines, inner):
    """Type 14: flags 0, the line count, the deflated body."""
    return bytes([0x0E, 0x00]) + varint(lines) + raw_deflate(inner)


def block_list(archives):
    """The blocks of a block list or block archive file: each archive after its length, then 0."""
    return b"".join(varint(len(a)) + a for a in archives) + b"\x00"


def block_file(archives, crc):
    """A block archive file (0x8C): the blocks, then the CRC-32 of what they restore."""
    return b"\x8C" + block_list(archives) + struct.pack(">I", crc)


# One block's archive restoring 64 MiB, the most a block may: 2^25 lines "0" joined by "\n"
# with a final line feed.
FULL_BLOCK = number_list(1 << 25, 16, ALL_ZEROS, flags=1)
