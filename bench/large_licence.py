#!/usr/bin/env python3
"""A long licence for the licence page benchmark and the wizard tests: the
sample's RTF header once, then its body (everything from the first \\pard up
to the document's closing brace) again and again until the document is at
least SIZE bytes long (default 6,200,000: some 38,000 paragraphs), then the
closing brace. The sample's \\'xx escapes are written as the code page 1251
bytes they stand for, as many an editor saves them: nearly every byte is a
character of the text (some 5.9 million).

    large_licence.py SAMPLE.rtf OUTPUT.rtf [SIZE]
"""
import re
import sys


def main():
    if len(sys.argv) not in (3, 4):
        sys.exit(__doc__)
    source, target = sys.argv[1], sys.argv[2]
    size = int(sys.argv[3]) if len(sys.argv) == 4 else 6200000
    text = open(source, 'rb').read()
    text = re.sub(rb"\\'([0-9a-fA-F]{2})", lambda m: bytes([int(m.group(1), 16)]), text)
    start = text.index(b'\\pard')
    end = text.rindex(b'}')
    header, body = text[:start], text[start:end]
    parts = [header]
    length = len(header)
    while length < size:
        parts.append(body)
        length += len(body)
    parts.append(b'}\n')
    with open(target, 'wb') as out:
        out.write(b''.join(parts))


if __name__ == '__main__':
    main()
