#!/usr/bin/env python3
"""Write a synthetic catalog file with exactly M entries for the load, search and export
benchmarks.

usage: gen_catalog.py OUT M [--seed 42] [--disk MyDisc] [--newlines]

The catalog describes the same kind of disk tree gen_tree.py creates, in the catalog format as
the program saves it: one line, UTF-8, elements nested depth first,

  <?xml version="1.0" encoding="utf-8" standalone="yes" ?><fileinfo generated="Vellumark">
  <file FileName FullPath FileSize FileTime FileExt FileType Description FileNameLength
        PathNameLength SizePercentage DiskName> ... </file></fileinfo>

with the attributes in that order, each only when it has a value. The first <file> is the disk
itself (FullPath is the disk name) and M counts every <file>, the disk's included. A folder's
FileSize is the sum of its contents; SizePercentage is the entry's share of the whole disk.
FileTime is UTC. About 3 % of the entries carry a Description. --newlines starts every <file>
and </file> on a line of its own, for line-oriented tools. The same arguments always give the
same bytes.
"""

import argparse
import gc
import os
import sys
import time

from tree_model import Dice, build_tree

DESCRIPTIONS = ["Ripped from CD", "Scanned 300 dpi", "Original from camera", "final version",
                "Kopie vom alten Laptop", "do not delete!", "signed", "Entwurf", "192 kbps",
                "Canon EOS 300D, 1/250s f/8", "from grandma's album", "Rock classics",
                "Tax & insurance", "copied from \"old\" disk", "needs <review>",
                "Geschenk für Müller", "backup of backup", "DVD #3", "Season finale", "ISO image"]
DESCRIBED_SHARE = 0.03
HEADER = ('<?xml version="1.0" encoding="utf-8" standalone="yes" ?>'
          '<fileinfo generated="Vellumark">')
ENTRIES_PER_WRITE = 20000

# The program's writer escapes only these three in attribute values; '>' and "'" stay literal,
# and the files must look exactly like the program's own.
_ESCAPES = str.maketrans({"&": "&amp;", "<": "&lt;", '"': "&quot;"})


def escape(text):
    if "&" in text or "<" in text or '"' in text:
        return text.translate(_ESCAPES)
    return text


def utf8_length(text):
    return len(text) if text.isascii() else len(text.encode())


def extension_of(name):
    """What follows the last dot; nothing for ".hidden" or "name."."""
    dot = name.rfind(".")
    return name[dot + 1:] if 0 < dot < len(name) - 1 else ""


class CatalogTimes:
    """Formats seconds since 1970 as "YYYY-MM-DD HH:MM:SS" in UTC by looking the parts up
    rather than formatting each entry's: one gmtime per day seen, and tables of the hours and
    of the 3,600 minutes and seconds of an hour."""

    def __init__(self):
        self.dates = {}
        self.hours = [f"{hour:02d}:" for hour in range(24)]
        self.minutes = [f"{second // 60:02d}:{second % 60:02d}" for second in range(3600)]

    def __call__(self, seconds):
        day, second = divmod(seconds, 86400)
        date = self.dates.get(day)
        if date is None:
            date = "%04d-%02d-%02d " % time.gmtime(day * 86400)[:3]
            self.dates[day] = date
        return date + self.hours[second // 3600] + self.minutes[second % 3600]


class CatalogCounts:
    __slots__ = ("entries", "files", "dirs", "max_depth", "rock_names")

    def __init__(self):
        self.entries = self.files = self.dirs = self.max_depth = self.rock_names = 0


def write_catalog(out, root, disk, seed, newlines):
    """Writes root as a catalog to the text stream out; returns what was written.

    Descriptions come from their own generator (seed + 7), drawn once per entry in document
    order, so that they do not change the tree. Each element is written as one formatted
    string, and paths and their byte lengths are carried down from the parent rather than
    escaped and encoded again per entry: the per-entry work is what sets the speed of making
    the 100-catalog library.
    """
    descriptions = Dice(seed + 7)
    described = [f' Description="{escape(text)}"' for text in DESCRIPTIONS]
    draw, pick = descriptions.random, descriptions.pick
    line = "\n" if newlines else ""
    close = line + "</file>"
    disk_attribute = f' DiskName="{escape(disk)}"'
    total = root.size
    format_time = CatalogTimes()
    counts = CatalogCounts()
    chunks = [HEADER]

    def write_folder(folder, name, path, path_bytes, name_bytes, depth):
        children = folder.children
        size = folder.size
        chunks.append(
            f'{line}<file FileName="{name}" FullPath="{path}" FileSize="{size}" '
            f'FileTime="{format_time(folder.mtime)}" FileType="directory"'
            f'{pick(described) if draw() < DESCRIBED_SHARE else ""} '
            f'FileNameLength="{name_bytes}" PathNameLength="{path_bytes}" '
            f'SizePercentage="{(100.0 * size / total if total else 0.0):.2f}"{disk_attribute}'
            f'{">" if children else "/>"}')
        counts.dirs += 1
        if not children:
            return
        depth += 1
        counts.max_depth = max(counts.max_depth, depth)
        for child in children:
            child_name = child.name
            if "rock" in child_name.lower():
                counts.rock_names += 1
            child_bytes = len(child_name) if child_name.isascii() else len(child_name.encode())
            escaped = escape(child_name)
            child_path = f"{path}/{escaped}"
            child_path_bytes = path_bytes + 1 + child_bytes
            if child.children is not None:
                write_folder(child, escaped, child_path, child_path_bytes, child_bytes, depth)
                continue
            counts.files += 1
            extension = extension_of(child_name)
            if extension:
                extension = f' FileExt="{escape(extension)}"'
            size = child.size
            chunks.append(
                f'{line}<file FileName="{escaped}" FullPath="{child_path}" FileSize="{size}" '
                f'FileTime="{format_time(child.mtime)}"'
                f'{extension} FileType="file"'
                f'{pick(described) if draw() < DESCRIBED_SHARE else ""} '
                f'FileNameLength="{child_bytes}" PathNameLength="{child_path_bytes}" '
                f'SizePercentage="{(100.0 * size / total if total else 0.0):.2f}"'
                f'{disk_attribute}/>')
        chunks.append(close)
        if len(chunks) >= ENTRIES_PER_WRITE:
            out.write("".join(chunks))
            chunks.clear()

    root_bytes = utf8_length(root.name)
    escaped_root = escape(root.name)
    write_folder(root, escaped_root, escaped_root, root_bytes, root_bytes, 0)
    chunks.append(line + "</fileinfo>")
    out.write("".join(chunks))
    counts.entries = counts.files + counts.dirs
    return counts


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("out")
    parser.add_argument("entries", type=int)
    parser.add_argument("--seed", type=int, default=42)
    parser.add_argument("--disk", default="MyDisc")
    parser.add_argument("--newlines", action="store_true")
    arguments = parser.parse_args()
    # The tree holds no reference cycles: the cycle collector would only walk its objects
    # again and again while they are made, about a fifth of the time.
    gc.disable()
    started = time.time()
    root = build_tree(arguments.entries, arguments.seed, folders_count=True,
                      root_name=arguments.disk)
    built = time.time()
    with open(arguments.out, "w", encoding="utf-8", newline="", buffering=1 << 22) as out:
        counts = write_catalog(out, root, arguments.disk, arguments.seed, arguments.newlines)
    written = time.time()
    size = os.path.getsize(arguments.out)
    print(f"entries={counts.entries} files={counts.files} dirs={counts.dirs} bytes={size} "
          f"bytes_per_entry={size / max(counts.entries, 1):.1f} max_depth={counts.max_depth} "
          f"rock_names={counts.rock_names}")
    print(f"model {built - started:.1f}s, write {written - built:.1f}s", file=sys.stderr)
    if counts.entries != arguments.entries:
        print(f"WARNING: wrote {counts.entries} entries, asked for {arguments.entries}",
              file=sys.stderr)


if __name__ == "__main__":
    main()
