#!/usr/bin/python3
"""Finds and checks the Debian source package of one Windows build's Qt.

    windows_qt_sources.py ARCH SOURCES_DIR

Prints the names of its files in SOURCES_DIR, one a line, the .dsc first: the
.dsc checked against the sha256 that scripts/windows-qt-archives.txt pins for
ARCH, and each tarball it lists against the digest it gives. Exits 1, saying
why, when one is missing or differs. Needs Debian's python3-debian.
"""
import hashlib
import pathlib
import sys

from debian.deb822 import Dsc

ARCHIVES = pathlib.Path(__file__).resolve().parent / "windows-qt-archives.txt"


class SourceError(Exception):
    pass


def archive_row(arch):
    """The list's row for ARCH: arch, archive, sha256, package, version, triple, dsc sha256."""
    for line in ARCHIVES.read_text(encoding="utf-8").splitlines():
        fields = line.split()
        if fields and fields[0] == arch:
            if len(fields) != 7:
                raise SourceError(f"{ARCHIVES.name}: a row of 7 fields expected: {line}")
            return fields
    raise SourceError(f"{ARCHIVES.name} names no Qt for {arch}")


def sha256(path):
    digest = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            digest.update(block)
    return digest.hexdigest()


def source_files(arch, sources):
    """The .dsc and the files it lists, as paths, each checked."""
    _arch, _archive, _sha256, package, version, _triple, dsc_sha256 = archive_row(arch)
    dsc = pathlib.Path(sources) / f"{package}_{version.split(':')[-1]}.dsc"
    if not dsc.is_file():
        raise SourceError(f"no {dsc.name} in {sources}: the folder holds Debian's {package} {version} source package")
    if sha256(dsc) != dsc_sha256:
        raise SourceError(f"{dsc} is not the one {ARCHIVES.name} pins (sha256 {dsc_sha256})")
    with open(dsc, encoding="utf-8") as f:
        listed = Dsc(f).get("Checksums-Sha256")
    if not listed:
        raise SourceError(f"{dsc.name} lists no Checksums-Sha256")
    files = [dsc]
    for entry in listed:
        name = pathlib.PurePath(entry["name"])
        path = dsc.parent / name
        if name.name != entry["name"] or not path.is_file():
            raise SourceError(f"{dsc.name} lists {entry['name']}, which is not in {sources}")
        if sha256(path) != entry["sha256"]:
            raise SourceError(f"{name} does not match the sha256 {dsc.name} gives it")
        files.append(path)
    return files


def main(argv):
    if len(argv) != 3:
        print(__doc__.strip().splitlines()[2].strip(), file=sys.stderr)
        return 2
    try:
        for path in source_files(argv[1], argv[2]):
            print(path.name)
    except SourceError as error:
        print(f"windows_qt_sources.py: {error}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
