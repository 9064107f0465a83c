#!/usr/bin/python3
"""Writes the notices of the third-party code inside one Windows folder's Qt.

    qt-notices.py ARCH QT_DIR SOURCES_DIR OUT_DIR

ARCH is x64 or x86. The rows of packaging/windows/third-party/qt-parts.txt for
ARCH name the parts; their facts (name, version, licence, copyright) and the
licence texts are read from Qt's qt_attribution.json files in the Debian source
package that scripts/windows-qt-archives.txt names for ARCH, found and checked
in SOURCES_DIR by scripts/windows_qt_sources.py. Each row's features are
checked against the configured Qt in QT_DIR.

OUT_DIR receives:
  qt-parts.txt     the notice's section on the parts, one block each
  qt-parts.json    the same facts for the bill of materials
  licenses/        each licence text once, named after the first part using it
Exits 1 when a fact cannot be established: a feature off, an entry or a file
missing, a tarball that does not match its .dsc, or a Debian patch that
changes a file read here.
"""
import hashlib
import json
import pathlib
import posixpath
import re
import sys
import tarfile
import textwrap

import windows_qt_sources  # beside this script

PROJECT = pathlib.Path(__file__).resolve().parent.parent
PARTS = PROJECT / "packaging/windows/third-party/qt-parts.txt"
# Qt's own build tools use this header; its features are not the DLLs'.
BOOTSTRAP_HEADER = "qconfig-bootstrapped.h"
WRAP = 76
# SPDX identifiers Qt uses that SPDX has since replaced.
DEPRECATED = {"GPL-2.0": "GPL-2.0-only"}


def fail(message):
    print(f"qt-notices.py: {message}", file=sys.stderr)
    sys.exit(1)


def rows(path, arch, width):
    for line in path.read_text(encoding="utf-8").splitlines():
        fields = line.split()
        if fields and not fields[0].startswith("#") and fields[0] == arch:
            if len(fields) != width:
                fail(f"{path.name}: a row of {width} fields expected: {line}")
            yield fields


def patched_paths(debian_tarball):
    """Every path that one of Debian's patches changes."""
    paths = set()
    with tarfile.open(debian_tarball) as tar:
        for member in tar:
            if member.isfile() and member.name.startswith("debian/patches/"):
                for line in tar.extractfile(member).read().decode("utf-8", "replace").splitlines():
                    if line.startswith("+++ ") or line.startswith("--- "):
                        name = line[4:].split("\t")[0].strip()
                        if name != "/dev/null":
                            paths.add(name.split("/", 1)[-1])
    return paths


def qt_features(qt_dir):
    features = {}
    for header in sorted(pathlib.Path(qt_dir, "include").rglob("q*config*.h")):
        if header.name == BOOTSTRAP_HEADER:
            continue
        for match in re.finditer(r"^#define QT_FEATURE_(\w+) (-?1)$", header.read_text(encoding="utf-8", errors="replace"), re.M):
            features[match.group(1)] = match.group(2) == "1"
    if not features:
        fail(f"no configured Qt in {qt_dir}: no QT_FEATURE_ in its headers")
    return features


def check_features(row, features):
    arch, part, dll, wanted = row[0], row[1], row[2], row[3]
    if wanted == "-":
        return
    for term in wanted.split(","):
        name = term.lstrip("!")
        if name not in features:
            fail(f"{part} ({dll}): this Qt defines no feature '{name}'")
        if features[name] == term.startswith("!"):
            fail(f"{part} ({dll}): the {arch} Qt is configured with '{name}' {'on' if features[name] else 'off'}, "
                 f"and {PARTS.name} says it is {'off' if term.startswith('!') else 'on'}")


def load_entries(tar):
    """Every qt_attribution.json entry of the source, by Id, with its folder."""
    entries = {}
    for member in tar:
        if member.isfile() and member.name.endswith("/qt_attribution.json"):
            data = json.loads(tar.extractfile(member).read().decode("utf-8"), strict=False)
            for entry in data if isinstance(data, list) else [data]:
                entries.setdefault(entry["Id"], (posixpath.dirname(member.name), entry))
    return entries


def spdx_expression(entry):
    """The entry's licence as an SPDX expression. Qt writes the operators in
    either case and some names that SPDX lacks, which become LicenseRef-s."""
    expression = entry.get("LicenseId") or entry.get("License") or "NOASSERTION"
    terms = re.split(r"\s+(?:or|and|OR|AND)\s+", expression)
    operators = [m.upper() for m in re.findall(r"\s+(or|and|OR|AND)\s+", expression)]
    names = []
    for term in terms:
        if re.fullmatch(r"[A-Za-z0-9.+-]+", term):
            names.append(DEPRECATED.get(term, term))
        else:
            names.append("LicenseRef-" + re.sub(r"[^A-Za-z0-9.-]+", "-", term).strip("-"))
    return " ".join(n for pair in zip(names, operators + [""]) for n in pair if n)


def wrap(text, indent):
    return textwrap.wrap(text, WRAP, initial_indent=indent, subsequent_indent=indent,
                         break_long_words=False, break_on_hyphens=False)


def main(argv):
    if len(argv) != 5 or argv[1] not in ("x64", "x86"):
        print(__doc__.strip().splitlines()[2].strip(), file=sys.stderr)
        return 2
    arch, qt_dir, sources, out = argv[1], pathlib.Path(argv[2]), pathlib.Path(argv[3]), pathlib.Path(argv[4])
    try:
        _arch, _archive, _sha256, package, version, _triple, _dsc = windows_qt_sources.archive_row(arch)
        files = windows_qt_sources.source_files(arch, sources)
    except windows_qt_sources.SourceError as error:
        fail(str(error))
    orig = next((f for f in files if ".orig.tar." in f.name), None)
    debian = next((f for f in files if ".debian.tar." in f.name), None)
    if not orig or not debian:
        fail(f"{files[0].name} does not list one .orig and one .debian tarball")
    parts = list(rows(PARTS, arch, 5))
    features = qt_features(qt_dir)
    for row in parts:
        check_features(row, features)

    patched = patched_paths(debian)
    with tarfile.open(orig) as tar:
        entries = load_entries(tar)
        members = {m.name: m for m in tar.getmembers() if m.isfile()}
        top = next(iter(members)).split("/", 1)[0]

        def read(path):
            inside = path.split("/", 1)[1]
            if inside in patched:
                fail(f"a Debian patch of {package} {version} changes {inside}, which this script reads unpatched")
            if path not in members:
                fail(f"{orig.name} has no {path}")
            return tar.extractfile(members[path]).read().decode("utf-8", "replace")

        texts, components, notice = {}, [], []
        for _arch, part, dll, _features, also in parts:
            if part not in entries:
                fail(f"{orig.name} has no qt_attribution.json entry '{part}'")
            folder, entry = entries[part]
            read(folder + "/qt_attribution.json")
            named = entry.get("LicenseFiles") or ([entry["LicenseFile"]] if entry.get("LicenseFile") else [])
            named += [] if also == "-" else also.split(",")
            files = []
            for name in named:
                text = read(posixpath.normpath(f"{folder}/{name}"))
                key = hashlib.sha256(text.encode()).hexdigest()
                if key not in texts:
                    suffix = f"-{len(files) + 1}" if len(named) > 1 else ""
                    texts[key] = (f"{part}{suffix}.txt", text)
                files.append(texts[key][0])
            licence_id = spdx_expression(entry)
            version_text = entry.get("Version") or ""
            copyright_text = " ".join(entry.get("Copyright", "").split())
            components.append({
                "id": part, "name": entry["Name"], "version": version_text, "dll": dll,
                "license": licence_id, "license_text": entry.get("License", ""),
                "copyright": copyright_text, "homepage": entry.get("Homepage", ""),
                "license_files": files, "source_path": folder.split("/", 1)[1],
            })
            short_version = version_text if version_text and len(version_text) < 40 else ""
            notice += wrap(" ".join(filter(None, (entry["Name"], short_version, f"(in {dll})"))), "")
            notice += wrap(f"Copyright: {copyright_text}" if copyright_text else "No copyright notice.", "    ")
            licence = entry.get("License", licence_id)
            where = ", ".join("licenses\\qt\\" + name for name in files)
            notice += wrap(f"Licence: {licence}{' (' + where + ')' if where else ''}.", "    ")
            notice.append("")

    out.mkdir(parents=True, exist_ok=True)
    licenses = out / "licenses"
    licenses.mkdir(exist_ok=True)
    for old in licenses.iterdir():
        old.unlink()
    for name, text in texts.values():
        (licenses / name).write_text(text if text.endswith("\n") else text + "\n", encoding="utf-8")
    header = wrap(f"Inside the Qt DLLs, code of the projects below, as the qt_attribution.json files of "
                  f"Qt's source ({top}, in Debian's {package} {version}) list it:", "") + [""]
    (out / "qt-parts.txt").write_text("\n".join(header + notice).rstrip("\n") + "\n", encoding="utf-8")
    document = {"arch": arch, "qt_source_package": package, "qt_source_version": version, "parts": components}
    (out / "qt-parts.json").write_text(json.dumps(document, indent=2, ensure_ascii=False) + "\n", encoding="utf-8")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
