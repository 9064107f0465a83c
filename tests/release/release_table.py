#!/usr/bin/python3
"""Checks the documented table of what a release holds against a release.

    release_table.py DOCUMENT.md RELEASE_DIR VERSION

The table is the first of DOCUMENT's tables headed "| file | what it is |".
Every file in RELEASE_DIR must match a name in the table's first column, and
every name there must match a file. In the names, <version> stands for
VERSION, <package> and <installer or ZIP> for a .deb, installer or ZIP of the
release, and <…> for any name.
"""
import pathlib
import re
import sys

PLACEHOLDERS = {
    "<package>": r"[^/]+\.(?:deb|exe|zip)",
    "<installer or ZIP>": r"[^/]+\.(?:exe|zip)",
    "<…>": r"[^/]+",
}


def names(document):
    lines = document.read_text(encoding="utf-8").splitlines()
    start = next((i for i, line in enumerate(lines) if line.replace(" ", "") == "|file|whatitis|"), None)
    if start is None:
        sys.exit(f"FAIL: {document} has no table headed | file | what it is |")
    for line in lines[start + 2:]:
        if not line.startswith("|"):
            break
        yield from re.findall(r"`([^`]+)`", line.split("|")[1])


def pattern(name, version):
    parts = re.split(r"(<version>|<package>|<installer or ZIP>|<…>)", name)
    regex = "".join(re.escape(version) if p == "<version>" else PLACEHOLDERS.get(p, re.escape(p)) for p in parts)
    return re.compile(regex + r"\Z")


def main(argv):
    if len(argv) != 4:
        print(__doc__.strip().splitlines()[2].strip(), file=sys.stderr)
        return 2
    document, release, version = pathlib.Path(argv[1]), pathlib.Path(argv[2]), argv[3]
    table = {name: pattern(name, version) for name in names(document)}
    files = sorted(p.relative_to(release).as_posix() for p in release.rglob("*") if p.is_file())
    faults = [f"{file}: in the release, and not in {document.name}'s table"
              for file in files if not any(p.match(file) for p in table.values())]
    faults += [f"{name}: in {document.name}'s table, and not in the release"
               for name, p in table.items() if not any(p.match(file) for file in files)]
    for fault in faults:
        print(f"FAIL: {fault}", file=sys.stderr)
    if faults:
        return 1
    print(f"{document.name}'s table names all {len(files)} files of the release, and nothing else")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
