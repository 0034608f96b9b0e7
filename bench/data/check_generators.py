#!/usr/bin/env python3
"""Check that the generators here write exactly what the reference generators write.

usage: check_generators.py REFERENCE_DIR

REFERENCE_DIR holds the reference gen_tree.py and gen_catalog.py. Both pairs run on small data
sets with several seeds and options; catalogs must be the same bytes (compared with cmp), trees
the same entries (relative path, type, mode, size of files, modification time in
nanoseconds), and the printed counts the same. Exits 77 (skipped) when REFERENCE_DIR does not
hold the reference generators, 1 on any difference.
"""

import os
import shutil
import stat
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
SKIPPED = 77

# (entries, options): several seeds, a disk name with every character that needs escaping,
# line breaks, and sizes around the points where the top level changes (100 entries).
CATALOG_CASES = [
    (3000, ["--seed", "1", "--disk", "Disc1"]),
    (4000, ["--seed", "2", "--disk", "Disc2", "--newlines"]),
    (2500, []),
    (3500, ["--seed", "17", "--disk", 'Tom & Jerry <"best">']),
    (5000, ["--seed", "99", "--newlines"]),
    (101, ["--seed", "5"]),
    (7, ["--seed", "6"]),
]
TREE_CASES = [
    (2000, ["--seed", "1"]),
    (3000, []),
    (100, ["--seed", "4"]),
]


def run(script, arguments):
    """Runs a generator; its printed counts (stdout) are part of what must agree."""
    done = subprocess.run([sys.executable, script] + arguments, capture_output=True, text=True)
    if done.returncode != 0:
        raise RuntimeError(f"{' '.join([script] + arguments)} failed with {done.returncode}:\n"
                           f"{done.stderr}")
    return done.stdout


def tree_listing(top):
    """Every entry below top and top itself: what a scan of the tree would see."""
    entries = []
    for folder, subfolders, files in os.walk(top):
        for name in subfolders + files:
            entries.append(describe(top, os.path.join(folder, name)))
    entries.append(describe(top, top))
    return sorted(entries)


def describe(top, path):
    info = os.lstat(path)
    is_folder = stat.S_ISDIR(info.st_mode)
    # A folder's own size depends on the file system, not on the generator.
    size = "-" if is_folder else str(info.st_size)
    kind = "folder" if is_folder else "file" if stat.S_ISREG(info.st_mode) else "other"
    return (os.path.relpath(path, top), kind, oct(stat.S_IMODE(info.st_mode)), size,
            info.st_mtime_ns)


def first_difference(expected, actual):
    for index, (want, got) in enumerate(zip(expected, actual)):
        if want != got:
            return f"entry {index}: reference {want}, ours {got}"
    return f"reference has {len(expected)} entries, ours {len(actual)}"


def check_catalogs(reference, work):
    failures = []
    for entries, options in CATALOG_CASES:
        label = f"gen_catalog.py {entries} {' '.join(options)}"
        expected_file = os.path.join(work, "reference.xml")
        actual_file = os.path.join(work, "ours.xml")
        expected_counts = run(os.path.join(reference, "gen_catalog.py"),
                              [expected_file, str(entries)] + options)
        actual_counts = run(os.path.join(HERE, "gen_catalog.py"),
                            [actual_file, str(entries)] + options)
        compared = subprocess.run(["cmp", expected_file, actual_file], capture_output=True,
                                  text=True)
        if compared.returncode != 0:
            failures.append(f"{label}: files differ: {compared.stdout.strip()}"
                            f"{compared.stderr.strip()}")
        elif expected_counts != actual_counts:
            failures.append(f"{label}: counts differ: {expected_counts!r} / {actual_counts!r}")
        else:
            print(f"same: {label} ({os.path.getsize(actual_file)} bytes)")
    return failures


def check_trees(reference, work):
    failures = []
    for files, options in TREE_CASES:
        label = f"gen_tree.py {files} {' '.join(options)}"
        # Same folder name on both sides: the root's name is the destination's.
        expected_tree = os.path.join(work, "reference", "Tree")
        actual_tree = os.path.join(work, "ours", "Tree")
        for tree in (expected_tree, actual_tree):
            shutil.rmtree(os.path.dirname(tree), ignore_errors=True)
            os.makedirs(os.path.dirname(tree))
        expected_counts = run(os.path.join(reference, "gen_tree.py"),
                              [expected_tree, str(files)] + options)
        actual_counts = run(os.path.join(HERE, "gen_tree.py"), [actual_tree, str(files)] + options)
        expected = tree_listing(expected_tree)
        actual = tree_listing(actual_tree)
        if expected != actual:
            failures.append(f"{label}: trees differ: {first_difference(expected, actual)}")
        elif expected_counts != actual_counts:
            failures.append(f"{label}: counts differ: {expected_counts!r} / {actual_counts!r}")
        else:
            print(f"same: {label} ({len(actual)} entries)")
    return failures


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    reference = sys.argv[1]
    missing = [name for name in ("gen_tree.py", "gen_catalog.py")
               if not os.path.isfile(os.path.join(reference, name))]
    if missing:
        print(f"SKIPPED: no reference generators ({', '.join(missing)}) in {reference}; "
              "configure with -DVELLUMARK_REFERENCE_GENERATORS=FOLDER to point at them")
        return SKIPPED
    with tempfile.TemporaryDirectory(prefix="vellumark-generators-") as work:
        failures = check_catalogs(reference, work) + check_trees(reference, work)
    for failure in failures:
        print(f"DIFFERENT: {failure}")
    cases = len(CATALOG_CASES) + len(TREE_CASES)
    print(f"{cases - len(failures)} of {cases} data sets the same as the reference's")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
