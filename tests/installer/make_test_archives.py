#!/usr/bin/env python3
"""Makes the extraction tests' RAR 5 archives with Debian's rar tool.

    make_test_archives.py <folder> [<rar tool>]

Writes into <folder>:
  rar5_cyrillic.rar  stored (-m0): plain.txt (6 bytes), Документы/readme.txt
                     (22 bytes) and Документы/Отчёты/data.bin (70,000 bytes of
                     pseudo-random data), with their folders
  rar5_solid.rar     solid, normal compression: 300 text files of Latin and
                     Cyrillic words in nested folders, and a few of
                     pseudo-random bytes
  rar5_deep.rar      stored: deep.txt (5 bytes) 1,119 characters deep, below
                     eleven folders of 100 characters (00vvv...v to 10vvv...v),
                     with its folders
  rar5_too_deep.rar  stored: before.txt, then deep.txt 2,028 characters deep,
                     below twenty folders of 100 characters (00www...w to
                     19www...w), then after.txt, and the folders

The contents and times are always the same, so the files' CRCs are too.
"""
import hashlib
import os
import random
import shutil
import subprocess
import sys
import tempfile

RAR = 'rar'

# 2024-05-14 12:00:00 UTC, for every file and folder.
STAMP = 1715688000

WORDS = ('заявка клиент договор срок оплата поставка отдел склад счёт акт журнал отчёт '
         'request client contract payment delivery department stock invoice report period '
         'и в на с по для от до из не что как это при или the of and to in for with on by').split()
FOLDERS = ['Справка', 'Шаблоны', 'Документы', 'Отчёты']


def random_bytes(seed, size):
    """Pseudo-random bytes that never change: SHA-256 of the seed and a counter."""
    out = bytearray()
    counter = 0
    while len(out) < size:
        out += hashlib.sha256(b'%s:%d' % (seed, counter)).digest()
        counter += 1
    return bytes(out[:size])


def write(root, name, data):
    path = os.path.join(root, name)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, 'wb') as f:
        f.write(data)


def pack(tree, archive, switches, names):
    for folder, dirs, files in os.walk(tree):
        for name in dirs + files:
            os.utime(os.path.join(folder, name), (STAMP, STAMP))
    if os.path.exists(archive):
        os.remove(archive)
    # Names are read as UTF-8 and stored as Unicode.
    env = dict(os.environ, LC_ALL='C.UTF-8')
    subprocess.run([RAR, 'a', '-ma5', '-r', '-idq'] + switches + [archive] + names,
                   cwd=tree, env=env, check=True, stdout=subprocess.DEVNULL)


def cyrillic(tree, archive):
    write(tree, 'plain.txt', b'plain\n')
    write(tree, 'Документы/readme.txt', 'Привет, мир\r\n'.encode('utf-8'))
    write(tree, 'Документы/Отчёты/data.bin', random_bytes(b'data.bin', 70000))
    pack(tree, archive, ['-m0'], ['plain.txt', 'Документы'])


def solid(tree, archive):
    rng = random.Random(20261209)
    for n in range(300):
        folder = '/'.join(FOLDERS[:1 + n % len(FOLDERS)])
        words = [WORDS[rng.randrange(len(WORDS))] for _ in range(rng.randint(20, 1500))]
        lines = [' '.join(words[i:i + 12]) for i in range(0, len(words), 12)]
        write(tree, '%s/text_%03d.txt' % (folder, n), '\r\n'.join(lines).encode('utf-8'))
    for n in range(4):
        write(tree, 'data_%d.bin' % n, random_bytes(b'solid:%d' % n, 20000 + 15000 * n))
    pack(tree, archive, ['-m3', '-s'], sorted(os.listdir(tree)))


def deep_folder(count, letter):
    """count folders of 100 characters each, one inside the other."""
    return '/'.join('%02d' % n + letter * 98 for n in range(count))


def deep(tree, archive):
    write(tree, deep_folder(11, 'v') + '/deep.txt', b'deep\n')
    pack(tree, archive, ['-m0'], ['00' + 'v' * 98])


def too_deep(tree, archive):
    write(tree, 'before.txt', b'before\n')
    write(tree, deep_folder(20, 'w') + '/deep.txt', b'deep\n')
    write(tree, 'after.txt', b'after\n')
    pack(tree, archive, ['-m0'], ['before.txt', '00' + 'w' * 98, 'after.txt'])


def main():
    global RAR
    out = os.path.abspath(sys.argv[1])
    if len(sys.argv) > 2:
        RAR = sys.argv[2]
    os.makedirs(out, exist_ok=True)
    for name, make in (('rar5_cyrillic.rar', cyrillic), ('rar5_solid.rar', solid), ('rar5_deep.rar', deep),
                       ('rar5_too_deep.rar', too_deep)):
        tree = tempfile.mkdtemp(prefix='test_archives_')
        try:
            make(tree, os.path.join(out, name))
        finally:
            shutil.rmtree(tree)


if __name__ == '__main__':
    main()
