#!/usr/bin/env python3
"""Writes the many-small-files payload of the installation benchmark.

    small_files_payload.py <folder>

About 2,000 files, 50-100 MB in all, in nested folders with Cyrillic names:
mostly small text files (pages, templates, scripts of a few kilobytes), some
medium ones (documents and data of 50 to 350 KB), a few of random bytes. The
same folder always gets the same names and contents. Prints the number of
files and folders and the bytes written.
"""
import os
import random
import sys

SEED = 20240514
FILE_COUNT = 2000
MEDIUM_SHARE = 0.12
RANDOM_SHARE = 0.02

TOP_FOLDERS = ['Справка', 'Шаблоны', 'Сценарии', 'Данные', 'Модули', 'Документы', 'Отчёты', 'Формы']
SUB_FOLDERS = ['Раздел', 'Глава', 'Общие', 'Архив', 'Печать', 'Импорт', 'Экспорт', 'Настройки',
               'Справочники', 'Картинки', 'Стили', 'Примеры']
FILE_STEMS = ['страница', 'шаблон', 'сценарий', 'описание', 'форма', 'отчёт', 'таблица', 'заявка',
              'page', 'template', 'script', 'readme']
EXTENSIONS = ['.htm', '.x-ini', '.js', '.txt', '.css', '.xml', '.csv', '.sql']

WORDS = ('заявка клиент договор срок оплата поставка отдел склад счёт акт журнал отчёт период '
         'сотрудник подразделение статус приоритет исполнитель комментарий вложение история '
         'request client contract payment delivery department stock invoice report period '
         'status priority owner comment attachment history the of and to in for with on by '
         'и в на с по для от до из не что как это при или').split()


def folder_tree(rng):
    """Relative folder paths, three to four levels below the top folders."""
    folders = []
    for top in TOP_FOLDERS:
        folders.append(top)
        for i in range(rng.randint(3, 5)):
            second = os.path.join(top, '%s %02d' % (rng.choice(SUB_FOLDERS), i + 1))
            folders.append(second)
            for j in range(rng.randint(1, 4)):
                third = os.path.join(second, '%s %d' % (rng.choice(SUB_FOLDERS), j + 1))
                folders.append(third)
                if rng.random() < 0.4:
                    folders.append(os.path.join(third, rng.choice(SUB_FOLDERS)))
    return sorted(set(folders))


def text_bytes(rng, size):
    words = rng.choices(WORDS, k=size // 6 + 8)
    lines = [' '.join(words[i:i + 12]) for i in range(0, len(words), 12)]
    return '\r\n'.join(lines).encode('utf-8')[:size]


def data_bytes(rng, size):
    """Records of numbers and short texts: compressible like real data."""
    out = bytearray()
    while len(out) < size:
        out += b'%06d;%s;%d;%.2f\r\n' % (len(out), rng.choice(WORDS).encode('utf-8'),
                                         rng.randint(0, 99999), rng.random() * 10000)
    return bytes(out[:size])


def main():
    root = sys.argv[1]
    rng = random.Random(SEED)
    folders = folder_tree(rng)
    for folder in folders:
        os.makedirs(os.path.join(root, folder), exist_ok=True)

    total = 0
    names = set()
    for n in range(FILE_COUNT):
        folder = rng.choice(folders)
        name = '%s_%04d%s' % (rng.choice(FILE_STEMS), n, rng.choice(EXTENSIONS))
        path = os.path.join(root, folder, name)
        names.add(path)
        kind = rng.random()
        if kind < RANDOM_SHARE:
            content = rng.randbytes(rng.randint(32 * 1024, 256 * 1024))
        elif kind < RANDOM_SHARE + MEDIUM_SHARE:
            size = rng.randint(50 * 1024, 350 * 1024)
            content = data_bytes(rng, size) if rng.random() < 0.5 else text_bytes(rng, size)
        else:
            content = text_bytes(rng, int(rng.expovariate(1 / 6000)) + 200)
        with open(path, 'wb') as f:
            f.write(content)
        total += len(content)
    print('%d files in %d folders, %d bytes' % (len(names), len(folders), total))


if __name__ == '__main__':
    main()
