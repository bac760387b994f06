#!/usr/bin/env python3
"""Checks that the units under src/ depend downwards only.

The units, lowest first: core, data, image, platform, graphics, audio, input, state, script,
shell, game. A file in src/<unit>/ may include "<other>/..." only for a unit at or below its own
(its own included), and a unit's CMakeLists.txt may link only libraries of such units. SDL
headers belong to src/platform alone, OpenAL, Ogg and Vorbis headers to src/audio alone. Files
under tools/ and tests/ may use any unit and are not checked.

  check_layering.py ROOT          checks the tree at ROOT: one line per fault, status 1 if any
  check_layering.py --self-check  checks that the checker finds each kind of fault
"""

import os
import re
import sys
import tempfile

ORDER = ["core", "data", "image", "platform", "graphics", "audio", "input", "state", "script", "shell", "game"]

# System headers that only one unit may include: the libraries behind them are that unit's.
OWNED_HEADERS = [
    (re.compile(r"SDL"), "platform"),
    (re.compile(r"AL/"), "audio"),
    (re.compile(r"(ogg|vorbis)/"), "audio"),
]

SOURCE_SUFFIXES = (".h", ".hpp", ".cpp", ".cc", ".inc")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.MULTILINE)
ADD_LIBRARY = re.compile(r"\badd_library\(\s*([A-Za-z0-9_]+)")
LINK = re.compile(r"\btarget_link_libraries\(([^)]*)\)", re.DOTALL)


def rank(unit):
    return ORDER.index(unit) if unit in ORDER else None


def check(root):
    faults = []
    src = os.path.join(root, "src")
    units = sorted(d for d in os.listdir(src) if os.path.isdir(os.path.join(src, d)))
    for unit in units:
        if rank(unit) is None:
            faults.append(f"src/{unit}: a unit that has no place in the order {', '.join(ORDER)}")

    library_unit = {}
    for unit in units:
        cmake = os.path.join(src, unit, "CMakeLists.txt")
        if os.path.exists(cmake):
            with open(cmake, encoding="utf-8") as f:
                for name in ADD_LIBRARY.findall(f.read()):
                    library_unit[name] = unit

    for unit in units:
        own = rank(unit)
        if own is None:
            continue
        folder = os.path.join(src, unit)
        for dirpath, _, files in os.walk(folder):
            for name in sorted(files):
                if not name.endswith(SOURCE_SUFFIXES):
                    continue
                path = os.path.join(dirpath, name)
                shown = os.path.relpath(path, root)
                with open(path, encoding="utf-8", errors="replace") as f:
                    text = f.read()
                for match in INCLUDE.finditer(text):
                    kind, header = match.group(1), match.group(2)
                    line = text.count("\n", 0, match.start()) + 1
                    if kind == '"' and "/" in header:
                        other = header.split("/", 1)[0]
                        other_rank = rank(other)
                        if other_rank is None:
                            faults.append(f'{shown}:{line}: includes "{header}" of no known unit')
                        elif other_rank > own:
                            faults.append(f'{shown}:{line}: {unit} includes "{header}" of {other}, a unit above it')
                    elif kind == "<":
                        for pattern, owner in OWNED_HEADERS:
                            if pattern.match(header) and owner != unit:
                                faults.append(f"{shown}:{line}: includes <{header}>, which only src/{owner} may")

        cmake = os.path.join(folder, "CMakeLists.txt")
        if not os.path.exists(cmake):
            continue
        with open(cmake, encoding="utf-8") as f:
            text = f.read()
        for match in LINK.finditer(text):
            words = match.group(1).split()
            if not words or library_unit.get(words[0]) != unit:
                continue
            for word in words[1:]:
                other = library_unit.get(word)
                if other is not None and rank(other) > own:
                    faults.append(f"src/{unit}/CMakeLists.txt: {words[0]} links {word} of {other}, a unit above it")
    return faults


def self_check():
    """Each kind of fault in a small tree is found, and the same tree without them passes."""

    def faults_of(files):
        with tempfile.TemporaryDirectory(prefix="layering.") as root:
            for path, text in files.items():
                full = os.path.join(root, path)
                os.makedirs(os.path.dirname(full), exist_ok=True)
                with open(full, "w", encoding="utf-8") as f:
                    f.write(text)
            return check(root)

    clean = {
        "src/core/log.h": "#pragma once\n",
        "src/core/CMakeLists.txt": "add_library(tf_core STATIC log.cpp)\n",
        "src/graphics/graphics.cpp": '#include "graphics/graphics.h"\n#include "core/log.h"\n#include <GL/gl.h>\n',
        "src/graphics/graphics.h": "#pragma once\n",
        "src/graphics/CMakeLists.txt": "add_library(tf_graphics STATIC graphics.cpp)\n"
        "target_link_libraries(tf_graphics PRIVATE tf_core)\n",
        "src/platform/platform.cpp": "#include <SDL.h>\n",
        "tools/x/x.cpp": '#include "game/game.h"\n',
    }
    expectations = [
        ({}, 0),
        ({"src/core/log.cpp": '#include <string>\n\n#include "graphics/graphics.h"\n'}, 1),
        ({"src/graphics/window.cpp": "#include <SDL2/SDL.h>\n"}, 1),
        ({"src/core/CMakeLists.txt": "add_library(tf_core STATIC log.cpp)\n"
                                     "target_link_libraries(tf_core PUBLIC\n  tf_graphics)\n"}, 1),
        ({"src/sound/sound.cpp": "\n"}, 1),
        ({"src/graphics/graphics.cpp": '#include "gfx/graphics.h"\n'}, 1),
    ]
    ok = True
    for change, wanted in expectations:
        files = dict(clean)
        files.update(change)
        found = faults_of(files)
        if len(found) != wanted:
            ok = False
            print(f"self-check: {sorted(change)} gave {len(found)} faults, not {wanted}: {found}")
    return ok


def main(argv):
    if len(argv) == 2 and argv[1] == "--self-check":
        return 0 if self_check() else 1
    if len(argv) != 2:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    faults = check(argv[1])
    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
