#!/usr/bin/env python3
"""Checks that the include graph of src/ and tools/ follows the layers: a core or window folder
includes only itself and lower layers of its tree, no core file includes a window or
command-line header, the windows and the command-line tool do not include each other, the
simulator kvrsim includes nothing of the program (so a fault of one cannot hide in the
other), and the other tools include no command-line header. Exit 1 with a list of offending
includes."""
import os
import re
import sys

# Lowest first. Folders of equal rank must not include each other.
CORE_RANK = {"common": 0, "settings": 1, "app": 2, "pdu": 2, "editor": 3, "link": 3, "inbox": 3, "tasks": 3, "loader": 4,
             "scenario": 4, "route": 5, "gateway": 6, "fleet": 7, "service": 8}
GUI_RANK = {"common": 0, "linkwindow": 1, "editor": 2, "app": 3}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def ranked(ranks, src_folder, folder):
    if folder == src_folder:
        return True
    if folder not in ranks or src_folder not in ranks:
        return False
    return ranks[folder] < ranks[src_folder]


def allowed(src_tree, src_folder, target):
    parts = target.split("/")
    if len(parts) < 2 or parts[0] not in ("core", "gui", "cli"):
        return True  # a header beside the file, or a library's
    tree = parts[0]
    if src_tree == "core":
        return tree == "core" and ranked(CORE_RANK, src_folder, parts[1])
    if src_tree == "gui":
        return tree == "core" or (tree == "gui" and ranked(GUI_RANK, src_folder, parts[1]))
    if src_tree == "cli":
        return tree in ("core", "cli")
    if src_tree == "tools":
        return src_folder != "kvrsim" and tree in ("core", "gui")
    return True


def sources(src):
    """(tree, folder, root, files) of every source folder of src/ and of tools/ beside it."""
    tools = os.path.join(src, "..", "tools")
    for base, top in ((src, None), (tools, "tools")):
        for root, _, files in os.walk(base):
            rel = os.path.relpath(root, base).split(os.sep)
            if top:
                rel = [top] + ([] if rel == ["."] else rel)
            yield rel[0], (rel[1] if len(rel) > 1 else ""), root, files


def main():
    src = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "src")
    problems = []
    for src_tree, src_folder, root, files in sources(src):
        if src_tree not in ("core", "gui", "cli", "tools"):
            continue
        code = any(f.endswith((".h", ".cpp")) for f in files)
        for tree, ranks in (("core", CORE_RANK), ("gui", GUI_RANK)):
            if src_tree == tree and code and src_folder not in ranks:
                problems.append(f"{root}: {tree} folder without a layer in check_layers.py")
        for name in files:
            if not name.endswith((".h", ".cpp")):
                continue
            path = os.path.join(root, name)
            with open(path, encoding="utf-8") as f:
                for target in INCLUDE.findall(f.read()):
                    if not allowed(src_tree, src_folder, target):
                        problems.append(f"{os.path.relpath(path, os.path.join(src, '..'))} includes {target}")
    for p in problems:
        print(p)
    print(f"{len(problems)} include(s) across the layers")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
