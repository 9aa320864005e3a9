#!/usr/bin/env python3
"""What a setup program's configuration names, read from its x-ini document.

As a module: load(path) gives the root element, value(node, name...) the text
of an item by its path of names (the first item of a name counts, as in the
program; '' when missing), sections(node, name...) every section of the last
name, and expand(text, environment) a folder text with its environment
variables expanded as setup.exe expands them.

As a program:
  setup_config.py CONFIG NAME/NAME...   each value followed by a NUL byte,
                                        e.g. general/tgt_folder
  setup_config.py --expand TEXT         TEXT expanded with the environment that
                                        a Windows `set` printed on stdin
"""
import gzip
import re
import sys
import xml.etree.ElementTree as ET


def load(path):
    """The root element of the x-ini document; gzip layers are taken off."""
    with open(path, 'rb') as f:
        data = f.read()
    while data[:2] == b'\x1f\x8b':
        data = gzip.decompress(data)
    return ET.fromstring(data)


def child(node, name):
    if node is None:
        return None
    return next((c for c in node if c.get('n') == name), None)


def item(node, *path):
    for name in path:
        node = child(node, name)
    return node


def value(node, *path):
    found = item(node, *path)
    return '' if found is None else found.get('v', '')


def flag(node, *path):
    """An integer item as a bool: 0 and a missing item are false."""
    text = value(node, *path).strip()
    try:
        return int(text) != 0
    except ValueError:
        return False


def sections(node, *path):
    """Every section named like the last name, in the section of the others."""
    parent = item(node, *path[:-1])
    if parent is None:
        return []
    return [c for c in parent if c.tag == 'x' and c.get('n') == path[-1]]


def strings(node, *path):
    """The values of the string items directly in a section."""
    section = item(node, *path)
    return [] if section is None else [c.get('v', '') for c in section if c.tag == 's']


def parse_set(lines):
    """The environment that a Windows `set` printed, by upper-case name."""
    env = {}
    for line in lines:
        name, sep, text = line.rstrip('\r\n').partition('=')
        if sep:
            env[name.upper()] = text
    return env


def expand(text, env):
    """%NAME% replaced from env; %ProgramW6432% is the program files folder
    where it is not defined (a 32-bit system), as setup.exe takes it."""
    env = dict(env)
    env.setdefault('PROGRAMW6432', env.get('PROGRAMFILES', '%ProgramW6432%'))
    return re.sub(r'%([^%]+)%', lambda m: env.get(m.group(1).upper(), m.group(0)), text)


def main(argv):
    if len(argv) == 3 and argv[1] == '--expand':
        print(expand(argv[2], parse_set(sys.stdin)))
        return 0
    if len(argv) < 2:
        sys.stderr.write(__doc__)
        return 2
    root = load(argv[1])
    sys.stdout.write(''.join(value(root, *name.split('/')) + '\0' for name in argv[2:]))
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
