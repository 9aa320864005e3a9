#!/usr/bin/env python3
"""Makes the extraction benchmarks' payload archive with Debian's rar tool.

    bench_payload.py <archive> [<rar tool>]

About 73 MB unpacked in 312 entries: 300 text files of Latin and Cyrillic
words (20 to 235 KB) in four folders with Cyrillic names, a 400,000-line CSV,
six structured binary files (fixed-size records of numbers) and 8 MB of
pseudo-random bytes; packed as a solid RAR 5 archive, normal compression. The
same contents every time.
"""
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile

SEED = 20261209
FOLDERS = ['Документы', 'Справка', 'Шаблоны', 'Данные']
WORDS = ('заявка клиент договор срок оплата поставка отдел склад счёт акт журнал отчёт период '
         'сотрудник подразделение статус приоритет исполнитель комментарий вложение история '
         'request client contract payment delivery department stock invoice report period '
         'status priority owner comment attachment history the of and to in for with on by '
         'и в на с по для от до из не что как это при или').split()


def text_bytes(rng, size):
    words = rng.choices(WORDS, k=size // 6 + 8)
    lines = [' '.join(words[i:i + 12]) for i in range(0, len(words), 12)]
    return '\r\n'.join(lines).encode('utf-8')[:size]


def csv_bytes(rng, lines):
    rows = ['id;name;amount;price\r\n']
    for n in range(lines - 1):
        rows.append('%d;%s;%d;%.2f\r\n' % (n, rng.choice(WORDS), rng.randint(0, 99999), rng.random() * 10000))
    return ''.join(rows).encode('utf-8')


def records_bytes(rng, count):
    """Records of a counter, a small category, a measurement and a date."""
    out = bytearray()
    value = 0.0
    for n in range(count):
        value += rng.uniform(-1, 1)
        out += struct.pack('<IHdI', n, rng.randrange(16), value, 20240101 + n // 1000)
    return bytes(out)


def write(root, name, data):
    path = os.path.join(root, name)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, 'wb') as f:
        f.write(data)


def main():
    archive = os.path.abspath(sys.argv[1])
    rar = sys.argv[2] if len(sys.argv) > 2 else 'rar'
    rng = random.Random(SEED)
    tree = tempfile.mkdtemp(prefix='bench_payload_')
    try:
        for n in range(300):
            write(tree, '%s/текст_%03d.txt' % (FOLDERS[n % len(FOLDERS)], n),
                  text_bytes(rng, rng.randint(20 * 1024, 235 * 1024)))
        write(tree, 'Данные/таблица.csv', csv_bytes(rng, 400000))
        for n in range(6):
            write(tree, 'Данные/records_%d.dat' % n, records_bytes(rng, rng.randint(80000, 160000)))
        write(tree, 'random.bin', rng.randbytes(8 * 1024 * 1024))
        total = sum(os.path.getsize(os.path.join(folder, name))
                    for folder, _, files in os.walk(tree) for name in files)
        if os.path.exists(archive):
            os.remove(archive)
        os.makedirs(os.path.dirname(archive), exist_ok=True)
        # Names are read as UTF-8 and stored as Unicode.
        subprocess.run([rar, 'a', '-ma5', '-m3', '-s', '-r', '-idq', archive + '.part'] + sorted(os.listdir(tree)),
                       cwd=tree, env=dict(os.environ, LC_ALL='C.UTF-8'), check=True, stdout=subprocess.DEVNULL)
        os.replace(archive + '.part', archive)
        print('%s: %d bytes unpacked' % (archive, total))
    finally:
        shutil.rmtree(tree)


if __name__ == '__main__':
    main()
