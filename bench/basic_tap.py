#!/usr/bin/env python3
"""Writes a small 48K BASIC program as a TAP file that runs itself from line 10.

    bench/basic_tap.py OUT.tap "10 PAUSE 100" "20 LPRINT 1" ...

Only the keywords the benchmark programs use are tokenised; a number in the text gets the hidden
five-byte form the ROM's editor adds.
"""
import re
import struct
import sys

KEYWORDS = {
    "GO TO": 0xEC, "LPRINT": 0xE0, "PAUSE": 0xF2, "FOR": 0xEB, "TO": 0xCC, "NEXT": 0xF3,
    "LET": 0xF1, "SIN": 0xB2, "PEEK": 0xBE, "STOP": 0xE2, "PRINT": 0xF5, "POKE": 0xF4,
    "RANDOMIZE": 0xF9, "THEN": 0xCB, "IF": 0xFA, "INT": 0xBA, "SQR": 0xBB, "RND": 0xA5, "USR": 0xC0, "BORDER": 0xE7,
}


def number_bytes(text):
    value = float(text)
    if value == int(value) and 0 <= value < 65536:
        return bytes([0x0E, 0, 0]) + struct.pack("<H", int(value)) + b"\0"
    raise ValueError("only whole numbers 0-65535: " + text)


def tokenise(body):
    out = bytearray()
    i = 0
    in_string = False
    while i < len(body):
        ch = body[i]
        if ch == '"':
            in_string = not in_string
        if not in_string:
            for word, token in KEYWORDS.items():
                if body.startswith(word, i) and not body[i - 1 : i].isalpha():
                    out.append(token)
                    i += len(word)
                    while i < len(body) and body[i] == " ":
                        i += 1
                    break
            else:
                number = re.match(r"[0-9]+", body[i:]) if not body[i - 1 : i].isalpha() else None
                if number:
                    out += number.group(0).encode() + number_bytes(number.group(0))
                    i += len(number.group(0))
                elif ch != " ":
                    out.append(ord(ch))
                    i += 1
                else:
                    out.append(ord(ch))
                    i += 1
            continue
        out.append(ord(ch))
        i += 1
    return bytes(out)


def program(lines):
    out = bytearray()
    for line in lines:
        number, body = line.split(" ", 1)
        text = tokenise(body) + b"\r"
        out += struct.pack(">H", int(number)) + struct.pack("<H", len(text)) + text
    return bytes(out)


def block(flag, data):
    body = bytes([flag]) + data
    checksum = 0
    for b in body:
        checksum ^= b
    body += bytes([checksum])
    return struct.pack("<H", len(body)) + body


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    prog = program(sys.argv[2:])
    header = bytes([0]) + b"bench     " + struct.pack("<HHH", len(prog), 10, len(prog))
    with open(sys.argv[1], "wb") as f:
        f.write(block(0x00, header) + block(0xFF, prog))


if __name__ == "__main__":
    main()
