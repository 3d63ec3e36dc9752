#!/usr/bin/env python3
"""Fails when a source file includes a header of a layer above its own.

The run-time is built in layers, low to high:
  core <- loader <- interp <- commands <- net, archive, media, office
       <- services (the Qt side of both hosts), modules (the loader of the families
          above the commands, which the run-times load as modules)
       <- gui, console, webengine <- app
and bundle (the files of bundled programs) sits on core alone. A folder may include
its own headers and those of the layers below it. The subsystems on one level do
not include each other, except that services implements the service interfaces
that net and media declare. The build links the
same way (one library per layer); this check catches an include that would only
show as a link failure later, or not at all for a header-only use.
"""
import os
import re
import sys

BELOW = {
    "core": set(),
    "loader": {"core"},
    "interp": {"core", "loader"},
    "commands": {"core", "loader", "interp"},
}
RUNTIME = {"core", "loader", "interp", "commands"}
for sub in ("net", "archive", "media", "office"):
    BELOW[sub] = set(RUNTIME)
BELOW["bundle"] = {"core"}
BELOW["reference"] = {"core"}
BELOW["check"] = set(RUNTIME)
BELOW["langsvc"] = RUNTIME | {"reference", "check"}
BELOW["services"] = RUNTIME | {"net", "media"}
# The loader of the module families names them but links none of them; it includes
# the media family's service interface only (the players the module provides).
BELOW["modules"] = RUNTIME | {"media"}
SUBSYSTEMS = RUNTIME | {"net", "archive", "media", "office", "bundle", "services", "reference", "check", "modules"}
BELOW["console"] = set(SUBSYSTEMS)
BELOW["gui"] = set(SUBSYSTEMS)
BELOW["webengine"] = {"gui"}

INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z_]+)/')


def main(root):
    src = os.path.join(root, "src")
    faults = []
    for folder in sorted(os.listdir(src)):
        if folder not in BELOW:
            faults.append(f"src/{folder}/: a folder that no layer names (add it to tools/check_layers.py)")
            continue
        allowed = BELOW[folder] | {folder}
        for dirpath, _, files in os.walk(os.path.join(src, folder)):
            for name in sorted(files):
                path = os.path.join(dirpath, name)
                with open(path, encoding="utf-8", errors="replace") as f:
                    for number, line in enumerate(f, 1):
                        m = INCLUDE.match(line)
                        if m and m.group(1) in BELOW and m.group(1) not in allowed:
                            rel = os.path.relpath(path, root)
                            faults.append(f"{rel}:{number}: {folder} includes {m.group(1)}: {line.strip()}")
    for fault in faults:
        print(fault)
    print(f"layers: {len(faults)} upward includes")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.dirname(os.path.abspath(__file__)))))
