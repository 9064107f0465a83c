#!/usr/bin/python3
"""Prints the build folder that a configure preset of CMakePresets.json names,
so that the Makefile never retypes one:  preset-dir.py PRESET"""
import json
import pathlib
import sys


def binary_dir(presets, name):
    """The preset's binaryDir, else the first of its parents', as CMake takes it."""
    preset = presets[name]
    if "binaryDir" in preset:
        return preset["binaryDir"]
    parents = preset.get("inherits", [])
    for parent in [parents] if isinstance(parents, str) else parents:
        found = binary_dir(presets, parent)
        if found is not None:
            return found
    return None


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: preset-dir.py PRESET")
    source = pathlib.Path(__file__).resolve().parent.parent
    presets = {p["name"]: p for p in json.loads((source / "CMakePresets.json").read_text())["configurePresets"]}
    name = sys.argv[1]
    if name not in presets:
        sys.exit(f"preset-dir.py: no configure preset '{name}' (presets: {', '.join(sorted(presets))})")
    folder = binary_dir(presets, name)
    if folder is None:
        sys.exit(f"preset-dir.py: preset '{name}' names no binaryDir")
    folder = folder.replace("${sourceDir}", str(source)).replace("${presetName}", name)
    print(pathlib.Path(folder).relative_to(source) if folder.startswith(str(source)) else folder)


if __name__ == "__main__":
    main()
