#!/usr/bin/env python3
"""Packs a folder into a RAR 4 archive with the stored method (no compression).

    rar4pack.py <folder> [<folder>...] <archive>
    rar4pack.py --manifest <listing> <folder> [<folder>...]

Entries are named relative to the folder with backslashes, folders before
their contents, in name order, so the same folder always gives the same bytes.
Further folders are laid over the first: their entries join it in the same
order, and a file of a later folder replaces one of the same name.
Names outside ASCII carry the format's Unicode name field. A file named
.gitkeep only keeps an otherwise empty folder in version control: it is not
packed, its folder is.

--manifest writes the listing of what the archive would be made of (every
entry's name, size and modification time) into <listing>, and leaves the file
untouched when it already holds that listing: a build that packs whenever the
listing file is newer than the archive then packs again after a file is
deleted, renamed or replaced by one with an older time, and only then.
"""
import os
import sys
import time
import zlib

BLOCK_MAIN, BLOCK_FILE, BLOCK_END = 0x73, 0x74, 0x7B
FLAG_LONG_BLOCK, FLAG_SKIP_IF_UNKNOWN = 0x8000, 0x4000
FLAG_UNICODE_NAME, FLAG_FOLDER = 0x0200, 0x00E0
HOST_WINDOWS, UNPACK_VERSION, METHOD_STORED = 2, 20, 0x30
ATTR_ARCHIVE, ATTR_DIRECTORY = 0x20, 0x10
PLACEHOLDER = '.gitkeep'


def u16(v):
    return (v & 0xFFFF).to_bytes(2, 'little')


def u32(v):
    return (v & 0xFFFFFFFF).to_bytes(4, 'little')


def block(kind, flags, body):
    header = bytes([kind]) + u16(flags) + u16(7 + len(body)) + body
    return u16(zlib.crc32(header)) + header


def dos_time(seconds):
    t = max(seconds, 315532800)  # not before 1980
    lt = time.localtime(t)
    return ((lt.tm_year - 1980) << 25 | lt.tm_mon << 21 | lt.tm_mday << 16 |
            lt.tm_hour << 11 | lt.tm_min << 5 | lt.tm_sec // 2)


def name_field(name):
    """The ASCII name, or an ASCII stand-in, a NUL and the Unicode encoding
    (high byte 0, then every unit as two bytes: operation 2)."""
    if all(0 < ord(c) < 0x80 for c in name):
        return name.encode('ascii'), False
    units = name.encode('utf-16-le')
    stand_in = bytes(ord(c) if 0 < ord(c) < 0x80 else 0x5F for c in name)
    encoded = bytearray([0])
    for i in range(0, len(units), 2):
        if (i // 2) % 4 == 0:
            count = min(4, (len(units) - i) // 2)
            encoded.append(sum(2 << (6 - 2 * k) for k in range(count)))
        encoded += units[i:i + 2]
    return stand_in + b'\0' + bytes(encoded), True


def entry(name, data, folder, mtime):
    field, unicode_name = name_field(name)
    flags = FLAG_LONG_BLOCK | (FLAG_UNICODE_NAME if unicode_name else 0) | (FLAG_FOLDER if folder else 0)
    body = (u32(len(data)) + u32(len(data)) + bytes([HOST_WINDOWS]) +
            u32(0 if folder else zlib.crc32(data)) + u32(dos_time(mtime)) +
            bytes([UNPACK_VERSION, METHOD_STORED]) + u16(len(field)) +
            u32(ATTR_DIRECTORY if folder else ATTR_ARCHIVE) + field)
    return block(BLOCK_FILE, flags, body) + data


def walk_all(roots, parts=()):
    """The entries of the folders laid over each other: (relative name, path,
    is folder), a folder before its contents, names in order."""
    found = {}
    for root in roots:
        here = os.path.join(root, *parts)
        if not os.path.isdir(here):
            continue
        for name in os.listdir(here):
            if name == PLACEHOLDER:
                continue
            path = os.path.join(here, name)
            if os.path.isdir(path):
                found.setdefault(name, path)
            else:
                found[name] = path
    for name in sorted(found):
        path = found[name]
        rel = parts + (name,)
        if os.path.isdir(path):
            yield '\\'.join(rel), path, True
            yield from walk_all(roots, rel)
        else:
            yield '\\'.join(rel), path, False


def write_manifest(listing, roots):
    lines = []
    for rel, path, is_folder in walk_all(roots):
        st = os.stat(path)
        lines.append('%s\t%s\t%d\n' % (rel, 'folder' if is_folder else st.st_size, st.st_mtime_ns))
    text = ''.join(lines).encode('utf-8', 'surrogateescape')
    try:
        with open(listing, 'rb') as f:
            if f.read() == text:
                return
    except OSError:
        pass
    os.makedirs(os.path.dirname(os.path.abspath(listing)), exist_ok=True)
    with open(listing + '.tmp', 'wb') as f:
        f.write(text)
    os.replace(listing + '.tmp', listing)


def main():
    args = sys.argv[1:]
    manifest = None
    if args[:1] == ['--manifest'] and len(args) >= 3:
        manifest, folders = args[1], args[2:]
    elif len(args) >= 2 and not args[0].startswith('--'):
        folders, archive = args[:-1], args[-1]
    else:
        sys.exit('usage: rar4pack.py <folder> [<folder>...] <archive>\n'
                 '       rar4pack.py --manifest <listing> <folder> [<folder>...]')
    for folder in folders:
        if not os.path.isdir(folder):
            sys.exit('rar4pack: no folder ' + folder)
    if manifest:
        write_manifest(manifest, folders)
        return
    out = bytearray(b'Rar!\x1A\x07\x00')
    out += block(BLOCK_MAIN, 0, bytes(6))
    for rel, path, is_folder in walk_all(folders):
        data = b'' if is_folder else open(path, 'rb').read()
        out += entry(rel, data, is_folder, int(os.path.getmtime(path)))
    out += block(BLOCK_END, FLAG_SKIP_IF_UNKNOWN, b'')
    os.makedirs(os.path.dirname(os.path.abspath(archive)), exist_ok=True)
    with open(archive + '.tmp', 'wb') as f:
        f.write(out)
    os.replace(archive + '.tmp', archive)


if __name__ == '__main__':
    main()
