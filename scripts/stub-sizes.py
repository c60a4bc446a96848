#!/usr/bin/env python3
"""Prints the size of a Windows image, each of its sections, and the largest
functions the linker's map file shows (the biggest first).
  stub-sizes.py IMAGE.exe IMAGE.map [COUNT]"""
import re
import struct
import subprocess
import sys


def sections(path):
    data = open(path, 'rb').read()
    pe = struct.unpack_from('<I', data, 0x3C)[0]
    count = struct.unpack_from('<H', data, pe + 6)[0]
    optional = struct.unpack_from('<H', data, pe + 20)[0]
    table = pe + 24 + optional
    result = []
    for i in range(count):
        name, vsize, _, rawsize = struct.unpack_from('<8sIII', data, table + 40 * i)
        result.append((name.rstrip(b'\0').decode('ascii', 'replace'), vsize, rawsize))
    return len(data), result


def functions(map_path):
    """(size, symbol) of every .text$symbol input section kept in the image."""
    text = open(map_path, encoding='latin-1').read()
    start = text.find('Linker script and memory map')
    text = text[start:] if start >= 0 else text
    found = []
    pending = None
    for line in text.splitlines():
        m = re.match(r'^ \.text\$(\S+)(?:\s+0x([0-9a-f]+)\s+0x([0-9a-f]+))?', line)
        if m:
            if m.group(2):
                found.append((int(m.group(3), 16), m.group(1)))
                pending = None
            else:
                pending = m.group(1)
            continue
        if pending:
            m = re.match(r'^\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)', line)
            if m:
                found.append((int(m.group(2), 16), pending))
            pending = None
    return sorted(found, reverse=True)


def demangle(names):
    try:
        out = subprocess.run(['c++filt', '-_'] if names and names[0].startswith('__') else ['c++filt'],
                             input='\n'.join(names), capture_output=True, text=True, check=True).stdout
        return out.splitlines()
    except (OSError, subprocess.CalledProcessError):
        return names


def main():
    image, map_path = sys.argv[1], sys.argv[2]
    count = int(sys.argv[3]) if len(sys.argv) > 3 else 10
    size, table = sections(image)
    print(f'{image}: {size} bytes')
    print(f'  {"section":10} {"in memory":>10} {"in file":>10}')
    for name, vsize, rawsize in table:
        print(f'  {name:10} {vsize:10} {rawsize:10}')
    largest = functions(map_path)[:count]
    print(f'  the {len(largest)} largest functions (bytes):')
    for (fsize, _), name in zip(largest, demangle([n for _, n in largest])):
        print(f'  {fsize:8}  {name[:110]}')


main()
