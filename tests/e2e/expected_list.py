#!/usr/bin/env python3
"""Writes the list a program directory's tree must give, computed on its own
terms: each folder's files sorted by the bytes of their names, then its
subfolders the same way, depth first; host paths with the given separator and
root, one CR LF line each after the two header lines.

usage: expected_list.py PROGRAM_DIR ROOT_AS_WRITTEN SEPARATOR ENCODING [CLICKS]
"""
import os
import sys


def walk(folder, relative, lines, separator):
    entries = sorted(os.listdir(os.fsencode(folder)))
    files = [e for e in entries if not os.path.isdir(os.path.join(os.fsencode(folder), e))]
    folders = [e for e in entries if os.path.isdir(os.path.join(os.fsencode(folder), e))]
    for name in files:
        lines.append(relative + [name])
    for name in folders:
        walk(os.path.join(os.fsencode(folder), name), relative + [name], lines, separator)


def main():
    program_dir, root, separator, encoding = sys.argv[1:5]
    clicks = int(sys.argv[5]) if len(sys.argv) > 5 else 1
    files = []
    walk(os.path.join(program_dir, "ROFS"), [], files, separator)
    sep = separator.encode()
    root_bytes = root.encode(encoding)
    out = b"rofsname=CG33.smg\r\nrofssize=0x40000000\r\n"
    body = b""
    for parts in files:
        names = [os.fsdecode(p).encode(encoding, "replace") for p in parts]
        image = b"".join(sep + n for n in names)
        body += b"file=" + root_bytes + image + b"    " + image + b"\r\n"
    sys.stdout.buffer.write(out + body * clicks)


main()
