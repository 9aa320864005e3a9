#!/usr/bin/env python3
"""Packs the payload of a run-mode test installer.

    modes_payload.py <sample payload folder> <finish program> <archive> [damaged]

The archive holds the sample payload and the finish program as Marker.exe.
With "damaged", a last entry follows whose stored bytes no longer match its
checksum: the installer extracts everything else, then fails on it.
"""
import os
import shutil
import subprocess
import sys

INTACT = b'the last entry of the payload, intact\n'
DAMAGED = b'the last entry of the payload, broken\n'


def main():
    if len(sys.argv) not in (4, 5) or sys.argv[4:] not in ([], ['damaged']):
        sys.exit(__doc__)
    payload, program, archive = sys.argv[1:4]
    damaged = len(sys.argv) == 5
    stage = archive + '.d'
    shutil.rmtree(stage, ignore_errors=True)
    shutil.copytree(payload, stage)
    shutil.copyfile(program, os.path.join(stage, 'Marker.exe'))
    if damaged:
        with open(os.path.join(stage, 'zz_last.bin'), 'wb') as f:
            f.write(INTACT)
    pack = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'scripts', 'rar4pack.py')
    subprocess.run([sys.executable, pack, stage, archive], check=True)
    shutil.rmtree(stage)
    if damaged:
        with open(archive, 'rb') as f:
            data = f.read()
        if data.count(INTACT) != 1:
            sys.exit('modes_payload: the last entry is not in the archive once')
        with open(archive, 'wb') as f:
            f.write(data.replace(INTACT, DAMAGED))


if __name__ == '__main__':
    main()
