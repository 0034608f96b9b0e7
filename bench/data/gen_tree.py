#!/usr/bin/env python3
"""Create a synthetic disk folder tree for the scan benchmarks.

usage: gen_tree.py DEST N [--seed 42] [--dry-run]

DEST (which must not exist) receives exactly N regular files in nested folders (up to 8 levels
below DEST): music, photo, document, video, software, source-code and backup folders with
blanks, dots, non-ASCII letters and & < > " ' in names, hidden files and folders, and some empty
folders. File sizes run from 0 B to about 12 GB, some above 4 GiB; the files are sparse, so the
tree costs almost no disk. Times run from 1985 to 2025. The same N and seed always give the same
tree. Prints the tree's counts; --dry-run prints them without creating anything.
"""

import argparse
import gc
import os
import sys
import time

from tree_model import GB, build_tree


def tree_counts(root):
    """The figures printed after a run, in a fixed order (benchmark notes quote them)."""
    counts = dict(files=0, dirs=0, empty_dirs=0, hidden=0, non_ascii=0, special_xml=0,
                  over_4GiB=0, zero_bytes=0, max_depth=0, max_fanout=0, name_bytes=0,
                  rock_names=0)
    total_bytes = 0
    pending = [(root, 0)]
    while pending:
        node, depth = pending.pop()
        counts["max_depth"] = max(counts["max_depth"], depth)
        if node is not root:
            name = node.name
            counts["hidden"] += name.startswith(".")
            counts["non_ascii"] += not name.isascii()
            counts["special_xml"] += any(special in name for special in "&<>\"'")
            counts["rock_names"] += "rock" in name.lower()
            counts["name_bytes"] += len(name.encode())
        if node.children is None:
            counts["files"] += 1
            total_bytes += node.size
            counts["over_4GiB"] += node.size > 4 * GB
            counts["zero_bytes"] += node.size == 0
        else:
            counts["dirs"] += node is not root
            counts["empty_dirs"] += not node.children
            counts["max_fanout"] = max(counts["max_fanout"], len(node.children))
            pending.extend((child, depth + 1) for child in node.children)
    counts["apparent_GiB"] = round(total_bytes / GB, 1)
    return counts


def create_on_disk(root, destination):
    """Creates the tree below destination (which stands for the root node). Folder times are
    set last, deepest first, because creating an entry in a folder changes the folder's time."""
    os.mkdir(destination)
    folders = []
    pending = [(root, destination)]
    create = os.O_WRONLY | os.O_CREAT | os.O_EXCL
    while pending:
        node, path = pending.pop()
        folders.append((path, node.mtime))
        for child in node.children:
            child_path = os.path.join(path, child.name)
            if child.children is not None:
                os.mkdir(child_path)
                pending.append((child, child_path))
                continue
            fd = os.open(child_path, create, 0o644)
            try:
                if child.size:
                    os.ftruncate(fd, child.size)      # sparse: no blocks allocated
                nanoseconds = child.mtime * 10 ** 9
                os.utime(fd, ns=(nanoseconds, nanoseconds))
            finally:
                os.close(fd)
    for path, mtime in reversed(folders):
        os.utime(path, (mtime, mtime))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("dest")
    parser.add_argument("nfiles", type=int)
    parser.add_argument("--seed", type=int, default=42)
    parser.add_argument("--dry-run", action="store_true", help="only print the tree's counts")
    arguments = parser.parse_args()
    if not arguments.dry_run and os.path.exists(arguments.dest):
        sys.exit(f"{arguments.dest} exists; remove it first")
    # The tree holds no reference cycles: the cycle collector would only walk its objects
    # again and again while they are made, about a fifth of the time.
    gc.disable()
    started = time.time()
    root_name = os.path.basename(os.path.abspath(arguments.dest))
    root = build_tree(arguments.nfiles, arguments.seed, folders_count=False, root_name=root_name)
    built = time.time()
    if not arguments.dry_run:
        create_on_disk(root, arguments.dest)
    created = time.time()
    print(" ".join(f"{key}={value}" for key, value in tree_counts(root).items()))
    print(f"model {built - started:.1f}s, create {created - built:.1f}s", file=sys.stderr)


if __name__ == "__main__":
    main()
