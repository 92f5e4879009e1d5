#!/usr/bin/env python3
"""Makes the fuzzers' seed corpora in fuzz/corpus/<target>/.

Tapes and archives are built here byte by byte; snapshots are saved by orvo-run from machines it
booted. The files are committed; run this again only to change them:

    python3 scripts/make-fuzz-corpus.py [--orvo-run build/orvo-run] [--rom-dir ../shared/roms]
"""
import argparse
import io
import os
import shutil
import struct
import subprocess
import tempfile
import zlib
import zipfile
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
CORPUS = os.path.join(ROOT, "fuzz", "corpus")


def w16(v):
    return struct.pack("<H", v & 0xFFFF)


def w24(v):
    return struct.pack("<I", v)[:3]


def w32(v):
    return struct.pack("<I", v)


def checksummed(flag, body):
    """A ROM tape block: flag byte, body, XOR of both."""
    x = flag
    for b in body:
        x ^= b
    return bytes([flag]) + bytes(body) + bytes([x])


def rom_header(kind, name, length, param1, param2):
    """The 17 bytes of a ROM header block (without flag and checksum)."""
    return bytes([kind]) + name.ljust(10)[:10].encode() + w16(length) + w16(param1) + w16(param2)


# 10 PRINT "ORVO": line number (big-endian), length, tokens, ENTER.
BASIC_LINE = bytes([0x00, 0x0A]) + w16(8) + bytes([0xF5, 0x22]) + b"ORVO" + bytes([0x22, 0x0D])
CODE = bytes([0x3E, 0x02, 0xD3, 0xFE, 0xC9, 0x00, 0xFF, 0x55])  # LD A,2 / OUT (0xFE),A / RET ...


def tap_block(block):
    return w16(len(block)) + block


def basic_blocks():
    return [checksummed(0x00, rom_header(0, "orvo", len(BASIC_LINE), 10, len(BASIC_LINE))),
            checksummed(0xFF, BASIC_LINE)]


def code_blocks():
    return [checksummed(0x00, rom_header(3, "code", len(CODE), 0x8000, 0x8000)),
            checksummed(0xFF, CODE)]


def taps():
    return {
        "basic.tap": b"".join(tap_block(b) for b in basic_blocks()),
        "basic_and_code.tap": b"".join(tap_block(b) for b in basic_blocks() + code_blocks()),
        # A headerless block, a block with a wrong checksum and a last block cut short.
        "odd_blocks.tap": tap_block(checksummed(0xFF, CODE)) + tap_block(b"\xFF\x01\x02\x00") +
        w16(40) + checksummed(0xFF, CODE),
    }


TZX_HEADER = b"ZXTape!\x1A" + bytes([1, 20])


def tzx_standard(block, pause=1000):
    return b"\x10" + w16(pause) + w16(len(block)) + block


def tzx_text(tag, text):
    return bytes([tag, len(text)]) + text.encode()


def tzx_generalized():
    """An ID 0x19 block: a pilot of 2 symbols run-length coded, then 16 data bits of 2 symbols."""
    pause, totp, npp, asp, totd, npd, asd = 100, 2, 2, 2, 16, 2, 2
    body = w16(pause) + w32(totp) + bytes([npp, asp]) + w32(totd) + bytes([npd, asd])
    body += bytes([0]) + w16(2168) + w16(0)          # pilot symbol 0: one pulse, edge
    body += bytes([0]) + w16(667) + w16(735)         # pilot symbol 1: the sync pair
    body += bytes([0]) + w16(100) + bytes([1]) + w16(1)  # 100 pilot pulses, one sync
    body += bytes([0]) + w16(855) + w16(855)         # data symbol 0
    body += bytes([0]) + w16(1710) + w16(1710)       # data symbol 1
    body += bytes([0xA5, 0x0F])                      # 16 one-bit symbols
    return b"\x19" + w32(len(body)) + body


def tzx_csw():
    """An ID 0x18 block: RLE pulses at 44100 Hz."""
    pulses = bytes([20, 20, 10, 10, 0]) + w32(300) + bytes([5])
    body = w16(50) + w24(44100) + bytes([1]) + w32(6) + pulses
    return b"\x18" + w32(len(body)) + body


def tzxs():
    header, data = basic_blocks()
    code_header, code = code_blocks()
    turbo = (b"\x11" + w16(2168) + w16(667) + w16(735) + w16(855) + w16(1710) + w16(3223) +
             bytes([8]) + w16(500) + w24(len(code)) + code)
    pure_data = b"\x14" + w16(855) + w16(1710) + bytes([6]) + w16(200) + w24(len(CODE)) + CODE
    direct = b"\x15" + w16(79) + w16(100) + bytes([5]) + w24(4) + bytes([0xF0, 0x0F, 0xAA, 0x80])
    archive_info = [(0x00, "Orvo seeds"), (0x02, "Orvo"), (0x03, "2026"), (0xFF, "made by hand")]
    archive = bytes([len(archive_info)])
    for ident, text in archive_info:
        archive += bytes([ident, len(text)]) + text.encode()
    select = bytes([2]) + w16(1) + bytes([4]) + b"load" + w16(2) + bytes([4]) + b"skip"
    return {
        "standard.tzx": TZX_HEADER + tzx_standard(header) + tzx_standard(data),
        "many_blocks.tzx": TZX_HEADER + tzx_text(0x30, "seed") + b"\x32" + w16(len(archive)) +
        archive + b"\x33" + bytes([2, 0, 1, 1, 0, 3, 0]) + tzx_standard(code_header) + turbo +
        b"\x12" + w16(2168) + w16(50) + b"\x13" + bytes([3]) + w16(667) + w16(735) + w16(400) +
        pure_data + b"\x20" + w16(100) + b"\x2B" + w32(1) + bytes([1]) + direct +
        b"\x20" + w16(0),
        "flow.tzx": TZX_HEADER + b"\x21" + bytes([5]) + b"group" + b"\x24" + w16(3) + b"\x12" +
        w16(1000) + w16(4) + b"\x25" + b"\x22" + b"\x26" + w16(2) + w16(3) + w16(4) + b"\x23" +
        w16(4) + b"\x12" + w16(500) + w16(2) + b"\x27" + b"\x12" + w16(700) + w16(2) + b"\x27" +
        b"\x28" + w16(len(select)) + select + b"\x31" + bytes([2, 3]) + b"msg" +
        b"\x35" + b"Orvo custom info" + w32(3) + b"abc" + b"\x5A" + b"XTape!\x1A" + bytes([1, 20]) +
        b"\x2A" + w32(0) + tzx_standard(header),
        "generalized_csw.tzx": TZX_HEADER + tzx_generalized() + tzx_csw() + tzx_standard(data, 0),
    }


def zips(tap, snapshot):
    out = {}
    buf = io.BytesIO()
    with zipfile.ZipFile(buf, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("game.tap", tap)
    out["deflated_tap.zip"] = buf.getvalue()
    buf = io.BytesIO()
    with zipfile.ZipFile(buf, "w", zipfile.ZIP_STORED) as z:
        z.writestr("readme.txt", b"not a Spectrum file\n")
        z.writestr("saved.z80", snapshot)
    out["stored_z80.zip"] = buf.getvalue()
    return out


def z80_nearest_model(z80):
    """A version 3 file naming a Pentagon (hardware 9), its blocks led by a ROM page (11)."""
    data = bytearray(z80)
    start = 32 + (data[30] | data[31] << 8)
    data[34] = 9
    rom_page = bytes([0xED, 0xED, 0xFF, 0x00] * 64 + [0xED, 0xED, 0x40, 0x00])
    return bytes(data[:start]) + w16(len(rom_page)) + bytes([11]) + rom_page + bytes(data[start:])


def z80_version1(sna):
    """A version 1 Z80 file, compressed, holding the 48K SNA's machine (PC taken off its stack)."""
    regs, ram = sna[:27], bytearray(sna[27:])
    i, hl_, de_, bc_, af_ = regs[0], regs[1:3], regs[3:5], regs[5:7], regs[7:9]
    hl, de, bc, iy, ix = regs[9:11], regs[11:13], regs[13:15], regs[15:17], regs[17:19]
    iff2, r, af, sp, im, border = regs[19], regs[20], regs[21:23], regs[23:25], regs[25], regs[26]
    sp_v = struct.unpack("<H", sp)[0]
    pc = ram[sp_v - 0x4000] | ram[sp_v - 0x4000 + 1] << 8
    sp_v = (sp_v + 2) & 0xFFFF
    flags1 = ((r >> 7) & 1) | (border & 7) << 1 | 0x20
    header = (bytes([af[1], af[0]]) + bc + hl + w16(pc) + w16(sp_v) + bytes([i, r & 0x7F, flags1]) +
              de + bc_ + de_ + hl_ + bytes([af_[1], af_[0]]) + iy + ix +
              bytes([1 if iff2 & 4 else 0, 1 if iff2 & 4 else 0, im & 3]))
    out = bytearray()
    pos = 0
    while pos < len(ram):
        run = 1
        while pos + run < len(ram) and ram[pos + run] == ram[pos] and run < 255:
            run += 1
        if run >= 5 or (ram[pos] == 0xED and run >= 2):
            out += bytes([0xED, 0xED, run, ram[pos]])
            pos += run
        else:
            out.append(ram[pos])
            # A single ED is followed by a byte that is never part of a run.
            if ram[pos] == 0xED and pos + 1 < len(ram):
                out.append(ram[pos + 1])
                pos += 1
            pos += 1
    return header + bytes(out) + bytes([0x00, 0xED, 0xED, 0x00])


def save_snapshots(orvo_run, rom_dir, tmp):
    """Boots each model to its prompt (or menu) and saves it; returns {name: bytes}."""
    saved = {}
    for model, frames, names in (("48", 300, ("48k.z80", "48k.sna", "48k.sem", "48k.snx",
                                              "48k.sp", "48k.snp", "48k.sit")),
                                 ("128", 200, ("128k.z80", "128k.sna")),
                                 ("plus3", 200, ("plus3.z80",))):
        for name in names:
            path = os.path.join(tmp, name)
            # The 48K gets a line of BASIC typed in, so its memory holds a program.
            typing = ["--type", "10 PRINT 1\n"] if model == "48" else []
            subprocess.run([orvo_run, "--model", model, "--rom-dir", rom_dir, "--frames",
                            str(frames)] + typing + ["--save", path], check=True,
                           stdout=subprocess.DEVNULL)
            with open(path, "rb") as f:
                saved[name] = f.read()
    return saved


def save_szx_and_rzx(orvo_run, rom_dir, tmp):
    """SZX snapshots of two models and two short input recordings (one with a rollback), made by
    orvo-run; returns ({name: bytes}, {name: bytes})."""
    szx, rzx = {}, {}
    for model, frames in (("48", 120), ("128", 120)):
        path = os.path.join(tmp, model + "k.szx")
        subprocess.run([orvo_run, "--model", model, "--rom-dir", rom_dir, "--frames", str(frames),
                        "--save", path], check=True, stdout=subprocess.DEVNULL)
        with open(path, "rb") as f:
            szx[model + "k.szx"] = f.read()
    for name, extra in (("keys.rzx", []), ("rollback.rzx", ["--rollback-at", "10",
                                                          "--roll-back", "20"])):
        path = os.path.join(tmp, name)
        subprocess.run([orvo_run, "--rom-dir", rom_dir, "--frames", "30", "--key", "5:P:2",
                        "--record-rzx", path] + extra, check=True, stdout=subprocess.DEVNULL)
        with open(path, "rb") as f:
            rzx[name] = f.read()
    return szx, rzx


def recordings():
    """CSW (both versions), WAV and PZX tapes of a few pulses."""
    sig = b"Compressed Square Wave\x1a"
    rle = bytes([30, 30, 30, 30, 12, 24, 0]) + w32(300) + bytes([9, 9])
    csw1 = sig + bytes([1, 1]) + w16(44100) + bytes([1, 1, 0, 0, 0]) + rle
    csw2 = (sig + bytes([2, 0]) + w32(22050) + w32(9) + bytes([2, 0, 0]) + b"fuzz".ljust(16, b"\0")
            + zlib.compress(rle))
    samples = bytes([0x80] * 8 + [0xC0] * 10 + [0x40] * 10 + [0xC0] * 20 + [0x40] * 20 + [0x80] * 8)
    wav = (b"RIFF" + w32(36 + len(samples)) + b"WAVEfmt " + w32(16) + w16(1) + w16(1) + w32(22050)
           + w32(22050) + w16(1) + w16(8) + b"data" + w32(len(samples)) + samples)
    puls = w16(0x8000 | 20) + w16(2168) + w16(667) + w16(735) + w16(0x8001) + w16(0x2345)
    data = w32(0x80000000 | 12) + w16(945) + bytes([2, 2]) + w16(855) * 2 + w16(1710) * 2 + b"\xa5\x50"
    pzx = (b"PZXT" + w32(2) + bytes([1, 0]) + b"PULS" + w32(len(puls)) + puls + b"DATA"
           + w32(len(data)) + data + b"PAUS" + w32(4) + w32(3500) + b"BRWS" + w32(4) + b"test"
           + b"STOP" + w32(2) + w16(1))
    return {"v1.csw": csw1, "v2.csw": csw2, "pulses.wav": wav, "blocks.pzx": pzx}


def zxs(sna):
    """A 48K ZXS with plain and packed pages from a 48K SNA."""
    def chunk(tag, body):
        return tag + w32(len(body)) + body + (b"\0" if len(body) & 1 else b"")
    h = sna[:27]
    regs = (h[21:23] + h[13:15] + h[11:13] + h[9:11] + h[7:9] + h[5:7] + h[3:5] + h[1:3]
            + h[17:19] + h[15:17] + w16(0x1234) + h[23:25] + bytes([h[0], h[20], h[25] & 3, 1, 1])
            + w32(100))
    ram = sna[27:]
    pages = b""
    for n, at in ((5, 0), (2, 0x4000), (0, 0x8000)):
        page = ram[at:at + 0x4000]
        packed = zlib.compress(page)[2:-4]
        pages += chunk(b"ram%d" % n, w32(12) + w32(zlib.crc32(page)) + w32(0x4000) + packed)
    body = (b"SNAP" + chunk(b"fmtz", w16(0) + w16(0x20) + w16(0) + w16(8)) + chunk(b"rZ80", regs)
            + chunk(b"r048", bytes([h[26]]) + bytes(8)) + chunk(b"tape", b"x") + pages)
    return b"RIFF" + w32(len(body)) + body


def addon_states():
    """Device state blocks for the add-on fuzzer: a first byte choosing the device (0 Multiface,
    1 Interface II, 2 µSpeech), then the block's body."""
    cart = bytes(range(256)) * 64
    packed = zlib.compress(cart, 9)
    uspeech = bytes([1, 1, 2]) + w32(143) + bytes([0xFF]) + w32(0) + w32(82) + w32(10)
    return {
        "multiface_paged": bytes([0, 1, 1]) + bytes(8192),
        "multiface_hidden": bytes([0, 1, 4]) + bytes([0x5A]) * 8192,
        "interface2": bytes([1]) + w32(len(packed)) + packed,
        "uspeech_pause": bytes([2]) + uspeech,
    }


def mdrs():
    """Microdrive cartridges: short files with and without the protect byte, one sector with a
    file header, and one that ends inside a sector."""
    header = bytes([0x01, 0xFE]) + b"cartridge " + bytes([0, 0, 0])
    data = bytes([0x06, 0x00]) + b"run       " + bytes(516)
    sector = header + data
    return {
        "one_sector_protected.mdr": sector + b"\x01",
        "two_sectors.mdr": sector + bytes(543),
        "blank_sector.mdr": bytes(543) + b"\x00",
        "short_sector.mdr": sector[:300],
    }
def dsk_track(cylinder, side, size_code, sectors, extended):
    """A track block: the information block, then each sector's data. `sectors` holds
    (c, h, r, n, st1, st2, data) tuples."""
    info = bytearray(256)
    info[0:12] = b"Track-Info\r\n"
    info[0x10], info[0x11], info[0x14], info[0x15] = cylinder, side, size_code, len(sectors)
    info[0x16], info[0x17] = 0x4E, 0xE5
    data = bytearray()
    for i, (c, h, r, n, st1, st2, body) in enumerate(sectors):
        length = len(body) if extended else 128 << size_code
        info[0x18 + i * 8:0x20 + i * 8] = bytes((c, h, r, n, st1, st2)) + w16(length if extended else 0)
        data += body[:length].ljust(length, b"\0")
    block = bytes(info) + bytes(data)
    return block + bytes(-len(block) % 256)


def dsks():
    """A standard image of two tracks and an extended one with an unformatted track, a weak
    sector (three copies), a short sector, a deleted sector and interleaved IDs."""
    std_tracks = [dsk_track(c, 0, 1, [(c, 0, r, 1, 0, 0, bytes([r]) * 256) for r in (1, 2, 3)],
                            False) for c in range(2)]
    std = bytearray(256)
    std[0:34] = b"MV - CPCEMU Disk-File\r\nDisk-Info\r\n"
    std[0x30], std[0x31] = 2, 1
    std[0x32:0x34] = w16(len(std_tracks[0]))
    ext_tracks = [
        dsk_track(0, 0, 2, [(0, 0, r, 2, 0, 0, bytes([r]) * 512) for r in (1, 6, 2, 7, 3)], True),
        b"",
        dsk_track(2, 0, 2, [(2, 0, 0xC1, 1, 0x20, 0x20, bytes(range(256)) * 3),
                            (2, 0, 0xC2, 6, 0, 0, b"\x33" * 1024),
                            (2, 0, 0xC3, 2, 0, 0x40, b"\x44" * 512),
                            (0xFF, 0, 0xC4, 2, 0, 0, b"\x55" * 512)], True),
    ]
    ext = bytearray(256)
    ext[0:34] = b"EXTENDED CPC DSK File\r\nDisk-Info\r\n"
    ext[0x30], ext[0x31] = 3, 1
    for i, t in enumerate(ext_tracks):
        ext[0x34 + i] = len(t) // 256
    return {"standard.dsk": bytes(std) + b"".join(std_tracks),
            "extended.dsk": bytes(ext) + b"".join(ext_tracks)}


def scl(files):
    """An SCL file: "SINCLAIR", the count, 14-byte headers, the sectors, the byte sum."""
    out = bytearray(b"SINCLAIR") + bytes([len(files)])
    for name, kind, start, data in files:
        sectors = (len(data) + 255) // 256
        out += name.ljust(8).encode() + kind.encode() + w16(start) + w16(len(data))
        out += bytes([sectors])
    for _, _, _, data in files:
        out += data + bytes(-len(data) % 256)
    return bytes(out) + w32(sum(out))


def scls():
    """SCL files: two files, an empty list, one cut inside its data; and TRD images (the target
    reads both) of one and two tracks."""
    basic = bytes([0, 10, 5, 0, 0xF5, 0x22, 0x58, 0x22, 0x0D])
    two = scl([("boot", "B", len(basic), basic), ("code", "C", 32768, bytes(range(256)) * 3)])
    info = bytearray(256)
    info[0xE2], info[0xE3], info[0xE5], info[0xE7] = 1, 0x16, 0xF0, 0x10
    info[0xE6] = 0x09
    track0 = bytes(8 * 256) + bytes(info) + bytes(7 * 256)
    return {"two_files.scl": two, "empty.scl": scl([]), "cut.scl": two[:300],
            "one_track.trd": track0, "two_tracks.trd": track0 + bytes([0xE5]) * 4096}


def controller_sessions():
    """Register sessions for the WD1793 target: (register, value) pairs. Restore, seek to 2,
    read sector 1, write sector 3, read address, write track with a short stream, force
    interrupt."""
    def cmd(*pairs):
        return bytes(b for pair in pairs for b in pair)
    stream = [(3, 0x4E)] * 4 + [(3, 0xF5)] * 3 + [(3, v) for v in (0xFE, 2, 0, 1, 1, 0xF7)]
    stream += [(3, 0xF5)] * 3 + [(3, 0xFB)] + [(3, 0xE5)] * 256 + [(3, 0xF7)]
    return {
        "seek_read.bin": cmd((4, 0x3C), (0, 0x08), (3, 2), (0, 0x18), (2, 1), (0, 0x80),
                             *[(5, 0)] * 256, (6, 0)),
        "write_sector.bin": cmd((4, 0x3C), (2, 3), (0, 0xA0), *[(3, 0x55)] * 256, (6, 0)),
        "read_address.bin": cmd((4, 0x2C), (0, 0xC0), *[(5, 0)] * 6, (0, 0xE0), (5, 0)),
        "write_track.bin": cmd((4, 0x3C), (0, 0xF4), *stream, (7, 0x10), (0, 0xD0)),
    }


def plus3_disk_scripts():
    """Port scripts for the +3 disk controller: a disk choice byte, then (operation, value) steps
    (0 command byte, 1 data byte, 2 data read, 3 status read, 4 motor, 5 time, 7 drain): seek,
    read, write and FORMAT in the ways the +3 ROM uses them, and a FORMAT of odd sector IDs."""
    def cmd(*values):
        return b"".join(bytes([0, v]) for v in values)
    drain = bytes([7, 0])
    motor = bytes([4, 8])

    def seek(c):
        return cmd(0x0F, 0, c) + cmd(0x08) + drain

    def read(c, r, n=2):
        return cmd(0x46, 0, c, 0, r, n, r, 0x2A, 0xFF) + drain

    def write_sector(c, r, fill, n=2):
        data = b"".join(bytes([1, (fill + i) & 0xFF]) for i in range(128 << n))
        return cmd(0x45, 0, c, 0, r, n, r, 0x2A, 0xFF) + data + drain

    def format_track(n, ids):
        out = cmd(0x4D, 0, n, len(ids), 0x52, 0xE5)
        for c, h, r, size in ids:
            out += cmd(c, h, r, size)
        return out + drain
    return {
        "read_write": bytes([1]) + motor + cmd(0x07, 0) + cmd(0x08) + drain + seek(2) +
        read(2, 1) + write_sector(2, 3, 0x40) + read(2, 3) + cmd(0x4A, 0) + drain,
        "format_then_write": bytes([0]) + motor + seek(5) +
        format_track(2, [(5, 0, r, 2) for r in range(1, 10)]) + write_sector(5, 1, 7) +
        read(5, 1),
        "odd_format": bytes([2]) + motor + seek(1) +
        format_track(1, [(1, 0, (r * 7) & 0xFF, 1 if r % 3 else 3) for r in range(20)]) +
        write_sector(1, 0, 3, 1) + cmd(0x06, 4, 1, 1, 0, 1, 1, 0x2A, 0xFF) + drain,
        "timed": bytes([1]) + motor + seek(0) + cmd(0x46, 0, 0, 0, 1, 2, 1, 0x2A, 0xFF) +
        bytes([5, 200, 2, 0, 0x65, 255, 2, 0, 3, 0]) + drain + bytes([4, 0]),
    }


def write(target, files):
    folder = os.path.join(CORPUS, target)
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    for name, data in files.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


def poks():
    return {
        "two_trainers.pok": b"NInfinite lives\r\nM 8 35136 0 53\r\nZ 8 35137 0 1\r\n"
                            b"NLevel\nZ 3 49152 256 0\nY\n",
        "unterminated.pok": b"NA\nM 8 40000 1 0\n",
        "one.pok": b"NOne\nZ 0 65535 255 255\nY\n",
    }


def shader_presets():
    """Shader presets and a source with parameter lines: the shapes the preset reader takes."""
    return {
        "two_passes.glslp": b'shaders = 2\nshader0 = "a.glsl"\nfilter_linear0 = true\n'
                            b'scale_type0 = source\nscale0 = 2.0\nalias0 = FIRST\n'
                            b'shader1 = b.glsl\nscale_type_x1 = viewport\nscale_y1 = 3\n'
                            b'parameters = "GAMMA;WEIGHT"\nGAMMA = 2.4\nWEIGHT = "0.3" # comment\n',
        "one_pass.glslp": b"shaders = 1\nshader0 = x.glsl\n",
        "pragmas.glsl": b'#pragma parameter GAMMA "Target gamma" 2.4 0.1 5.0 0.1\n'
                        b'#pragma parameter WEIGHT "Weight" 0.3 0.0 1.0\n'
                        b"#pragma parameter BAD no quotes 1 2 3 4\n"
                        b"#if defined(VERTEX)\nvoid main(){}\n#endif\n",
    }


def configs():
    """orvo.ini: the default file, one with stray lines, one cut short, one out of range."""
    path = os.path.join(ROOT, "tests", "data", "orvo_default.ini")
    with open(path, "rb") as f:
        text = f.read().replace(b"@", b"/opt/orvo").replace(b"\n", b"\r\n")
    return {
        "default.ini": text,
        "stray_line.ini": text.replace(b"[Tapes]", b"# note\r\n[Tapes]", 1)
        .replace(b"Frameskip=1", b"Frameskip=1\r\nextra=1", 1),
        "cut.ini": text[: len(text) // 2],
        "out_of_range.ini": text.replace(b"Emulation Speed=100", b"Emulation Speed=-7")
        .replace(b"DrawSize=1", b"DrawSize=99"),
    }


def asm_sources():
    """Z80 sources: every directive and operand shape, and sources with errors of each kind.
    The fuzzer offers the input itself as "inc.asm" and "data.bin" to INCLUDE and INCBIN."""
    return {
        "directives.asm": b"; a little of everything\r\n"
                          b"        org #8000\r\nVALUE   equ 2+3*4\r\ncount = 1\r\n"
                          b"count = count+1\r\nstart:  ld a,(ix+VALUE)\r\n.loop:  djnz .loop\r\n"
                          b"        jr start.loop\r\n"
                          b"        db 1, #FF, $10, 0x20, &30, 40h, %101, 11b, 'x', \"str\"\r\n"
                          b"        dw start, $, -1\r\n        ds 4, 0AAh\r\n        align 8\r\n"
                          b"        if VALUE > 10\r\n        nop\r\n        else\r\n        halt\r\n"
                          b"        endif\r\n        ifdef count\r\n        ei\r\n        endif\r\n"
                          b"        incbin \"data.bin\", 1, 2\r\n        end start\r\n",
        "macros_procs.asm": b"wait    macro n\n        ld b,n\nagain:  djnz again\n        endm\n"
                            b"        macro twice, x\n        x\n        x\n        endm\n"
                            b"one     proc\nin:     wait 3\n        jr in\n        endp\n"
                            b"        twice nop : twice scf\n        rlc (iy-5),b\n"
                            b"        out (c),0\n        in f,(c)\n        ld ixh,ixl\n",
        "errors.asm": b" jp nowhere\na: nop\na: nop\n ld a,300\n ld hl,a\n db \"open\n"
                      b" if 1\nm macro\n include \"inc.asm\"\n",
        "include_loop.asm": b" include \"inc.asm\"\n nop\n",
        "expressions.asm": b"v equ (1<<4|2)&~1^3 == 19 || !0 && 5>=4\n"
                           b"w equ HIGH 1234h + LOW(1234h) * 3 MOD 7 - -2 / (1-1)\n"
                           b" ld a,'''' : ld bc,\"AB\"\n",
    }


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--orvo-run", default=os.path.join(ROOT, "build", "orvo-run"))
    parser.add_argument("--rom-dir", default=os.path.join(ROOT, "..", "shared", "roms"))
    args = parser.parse_args()

    with tempfile.TemporaryDirectory() as tmp:
        snaps = save_snapshots(args.orvo_run, args.rom_dir, tmp)
        szx, rzx = save_szx_and_rzx(args.orvo_run, args.rom_dir, tmp)
    tap_files = taps()
    write("tape_tap", tap_files)
    write("tape_tzx", tzxs())
    write("sna", {k: v for k, v in snaps.items() if k.endswith(".sna")})
    z80s = {k: v for k, v in snaps.items() if k.endswith(".z80")}
    z80s["48k_version1.z80"] = z80_version1(snaps["48k.sna"])
    z80s["pentagon_rom_page.z80"] = z80_nearest_model(snaps["128k.z80"])
    write("z80", z80s)
    write("pok", poks())
    write("mdr", mdrs())
    write("zip", zips(tap_files["basic_and_code.tap"], snaps["48k.z80"]))
    write("szx", szx)
    write("rzx", rzx)
    others = {k: v for k, v in snaps.items() if k.split(".")[1] in ("sem", "snx", "sp", "snp",
                                                                       "sit")}
    others["48k.zxs"] = zxs(snaps["48k.sna"])
    write("snapshot_other", others)
    write("tape_recording", recordings())
    write("addon_state", addon_states())
    write("dsk", dsks())
    write("scl", scls())
    write("wd1793", controller_sessions())
    write("plus3_disk", plus3_disk_scripts())
    write("shader_preset", shader_presets())
    write("config", configs())
    write("asm", asm_sources())


if __name__ == "__main__":
    main()
