#!/usr/bin/env python3
"""Checks the rules of the source layout over src/ and assets/ (the
README's layout section states them):
- the seam: a file whose name does not end in Win32 (.h or .cpp) includes
  neither a system header of Windows nor a XxxWin32.h header;
- the layers: saver, player -> assets -> platform, image, formats ->
  runtime; the runtime includes nothing outside itself, platform, image and
  formats include none of each other, and neither the saver nor the player
  includes the other;
- no include cycle between modules (Xxx.h, XxxInternal.h, Xxx.cpp,
  XxxHost.cpp, XxxWin32.h and XxxWin32.cpp make the module Xxx), apart from
  the runtime's Basic and Errors, which call each other by design;
- no raw error pair: MonSetError, MonWarn and MonRaise get named pairs or
  categories of runtime/Errors.h, never a number.
Prints each breach and exits 1 when there is one.
Usage: CheckLayout.py REPOSITORY_DIR"""
import os
import re
import sys

WINDOWS_HEADERS = {"windows.h", "shellapi.h", "commctrl.h", "commdlg.h", "objbase.h", "vfw.h",
                   "mmsystem.h", "shlwapi.h", "winuser.h", "wingdi.h"}
LAYER = {"runtime": 0, "platform": 1, "image": 1, "formats": 1, "assets": 2, "saver": 3, "player": 3}
ALLOWED_CYCLES = [{"runtime/Basic", "runtime/Errors"}]
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)
RAW_PAIR = re.compile(r"\b(MonSetError|MonWarn|MonRaise)\(\s*-?\d")


def module_of(path):
    folder, name = path.split("/")[-2:]
    return folder + "/" + re.sub(r"(Host|Win32|Internal)?\.(h|cpp)$", "", name)


def sources(repository):
    """(path, name as included) of every source file: src/X/Y.h is
    included as X/Y.h, assets/Y.h as assets/Y.h."""
    for top, base in (("src", "src"), ("assets", ".")):
        for folder, _, files in os.walk(os.path.join(repository, top)):
            for name in sorted(files):
                if name.endswith((".h", ".cpp")):
                    path = os.path.join(folder, name)
                    yield path, os.path.relpath(path, os.path.join(repository, base)).replace(os.sep, "/")


def main(repository):
    breaches = []
    graph = {}
    for path, rel in sources(repository):
        name = os.path.basename(path)
        text = open(path, encoding="utf-8", errors="replace").read()
        win32 = re.search(r"Win32\.(h|cpp)$", name) is not None
        module = module_of(rel)
        layer = rel.split("/")[0]
        for kind, header in INCLUDE.findall(text):
            if kind == "<":
                if not win32 and header.lower() in WINDOWS_HEADERS:
                    breaches.append(f"{rel}: a portable file includes <{header}>")
                continue
            if not win32 and re.search(r"Win32\.h$", header):
                breaches.append(f"{rel}: a portable file includes {header}")
            target_layer = header.split("/")[0]
            if layer in LAYER and target_layer in LAYER and target_layer != layer and \
                    LAYER[target_layer] >= LAYER[layer]:
                breaches.append(f"{rel}: {layer} includes {header}")
            target = module_of(header) if "/" in header else None
            if target and target != module:
                graph.setdefault(module, set()).add(target)
        for line_no, line in enumerate(text.splitlines(), 1):
            if RAW_PAIR.search(line):
                breaches.append(f"{rel}:{line_no}: a raw error pair: {line.strip()}")
    for cycle in strongly_connected(graph):
        if set(cycle) not in ALLOWED_CYCLES:
            breaches.append("include cycle: " + " <-> ".join(sorted(cycle)))
    for b in breaches:
        print(b)
    print(f"layout: {len(breaches)} breaches")
    return 1 if breaches else 0


def strongly_connected(graph):
    index, low, stack, on_stack, found = {}, {}, [], set(), []

    def visit(v):
        index[v] = low[v] = len(index)
        stack.append(v)
        on_stack.add(v)
        for w in graph.get(v, ()):
            if w not in index:
                visit(w)
                low[v] = min(low[v], low[w])
            elif w in on_stack:
                low[v] = min(low[v], index[w])
        if low[v] == index[v]:
            component = []
            while True:
                w = stack.pop()
                on_stack.discard(w)
                component.append(w)
                if w == v:
                    break
            if len(component) > 1:
                found.append(component)

    for v in list(graph):
        if v not in index:
            visit(v)
    return found


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
