#!/usr/bin/env python3
"""Checks that the include graph of src/ follows the layers: a core folder includes only
itself and lower core layers, no core file includes a window or command-line header, and
the windows and the command-line tool do not include each other. Exit 1 with a list of
offending includes."""
import os
import re
import sys

# Lowest first. Folders of equal rank must not include each other.
CORE_RANK = {"common": 0, "settings": 1, "app": 2, "editor": 3, "link": 3, "loader": 4, "sms": 4}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def allowed(src_tree, src_folder, target):
    parts = target.split("/")
    if len(parts) < 2 or parts[0] not in ("core", "gui", "cli"):
        return True  # a header beside the file, or a library's
    tree = parts[0]
    if src_tree == "core":
        if tree != "core":
            return False
        folder = parts[1]
        if folder == src_folder:
            return True
        if folder not in CORE_RANK or src_folder not in CORE_RANK:
            return False
        return CORE_RANK[folder] < CORE_RANK[src_folder]
    if src_tree == "gui":
        return tree in ("core", "gui")
    if src_tree == "cli":
        return tree in ("core", "cli")
    return True


def main():
    src = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "src")
    problems = []
    for root, _, files in os.walk(src):
        rel = os.path.relpath(root, src).split(os.sep)
        if rel[0] not in ("core", "gui", "cli"):
            continue
        src_tree = rel[0]
        src_folder = rel[1] if len(rel) > 1 else ""
        if src_tree == "core" and files and src_folder not in CORE_RANK and any(
                f.endswith((".h", ".cpp")) for f in files):
            problems.append(f"{root}: core folder without a layer in check_layers.py")
        for name in files:
            if not name.endswith((".h", ".cpp")):
                continue
            path = os.path.join(root, name)
            with open(path, encoding="utf-8") as f:
                for target in INCLUDE.findall(f.read()):
                    if not allowed(src_tree, src_folder, target):
                        problems.append(f"{os.path.relpath(path, src)} includes {target}")
    for p in problems:
        print(p)
    print(f"{len(problems)} include(s) across the layers")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
