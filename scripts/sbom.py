#!/usr/bin/python3
"""Writes the bill of materials of one release file as an SPDX 2.3 document.

    sbom.py FILE VERSION WINDOWS_SOURCES OUT.spdx.json

FILE is a .deb, a Windows installer (.exe) or a ZIP of the release; VERSION the
program's; WINDOWS_SOURCES the release's file with the Qt's source. Every file
FILE holds is listed with its SHA-1 and SHA-256 (an installer as 7-Zip unpacks
it), each under the component it belongs to: the power monitor, Qt with the
code inside its DLLs (packaging/windows/third-party/<arch>/qt-parts.json) and
the Debian source it was built from, the GCC runtime, winpthreads and the NSIS
stub, with the versions of the Debian packages the build used. The document's
time is SOURCE_DATE_EPOCH's, so the same release gives the same document.
"""
import datetime
import hashlib
import io
import json
import os
import pathlib
import re
import subprocess
import sys
import tarfile
import tempfile
import uuid
import zipfile

import windows_qt_sources  # beside this script

PROJECT = pathlib.Path(__file__).resolve().parent.parent
THIRD_PARTY = PROJECT / "packaging/windows/third-party"
SUPPLIER = "Organization: Orvane9 power monitor project"
NAMESPACE = uuid.UUID("6f0c5a52-7d0e-4c55-9a53-0d0bb6e1f2a4")
# Which Debian packages gave each architecture's compiler runtime and winpthreads.
TOOLCHAIN_PACKAGES = {
    "x64": ("gcc-mingw-w64-x86-64-posix", "mingw-w64-x86-64-dev"),
    "x86": ("gcc-mingw-w64-i686-posix", "mingw-w64-i686-dev"),
}
QT_LICENCE_DECLARED = "LGPL-3.0-only OR GPL-2.0-only OR GPL-3.0-only"
QT_LICENCE_USED = "LGPL-3.0-only"


def fail(message):
    print(f"sbom.py: {message}", file=sys.stderr)
    sys.exit(1)


def digests(data):
    return [{"algorithm": "SHA1", "checksumValue": hashlib.sha1(data).hexdigest()},
            {"algorithm": "SHA256", "checksumValue": hashlib.sha256(data).hexdigest()}]


def deb_files(path):
    data = subprocess.run(["dpkg-deb", "--fsys-tarfile", str(path)], check=True, capture_output=True).stdout
    with tarfile.open(fileobj=io.BytesIO(data)) as tar:
        for member in tar:
            if member.isfile():
                yield member.name.removeprefix("./"), tar.extractfile(member).read()


def zip_files(path):
    with zipfile.ZipFile(path) as archive:
        for info in archive.infolist():
            if not info.is_dir():
                yield info.filename, archive.read(info)


def installer_files(path):
    with tempfile.TemporaryDirectory() as work:
        subprocess.run(["7zz", "x", "-y", "-aou", f"-o{work}", str(path)], check=True, capture_output=True)
        for file in sorted(pathlib.Path(work).rglob("*")):
            if file.is_file():
                yield file.relative_to(work).as_posix(), file.read_bytes()


def dpkg_version(package):
    result = subprocess.run(["dpkg-query", "-W", "-f=${Version}", package], capture_output=True, text=True)
    if result.returncode != 0 or not result.stdout:
        fail(f"the Debian package {package}, which the build used, is not installed")
    return result.stdout


def spdx_id(text):
    return "SPDXRef-" + re.sub(r"[^A-Za-z0-9.-]+", "-", text).strip("-")


def package(ident, name, version, licence_concluded, licence_declared, copyright_text="NOASSERTION", **extra):
    entry = {"SPDXID": ident, "name": name, **({"versionInfo": version} if version else {}), "supplier": extra.pop("supplier", "NOASSERTION"),
             "downloadLocation": extra.pop("download", "NOASSERTION"), "filesAnalyzed": False,
             "licenseConcluded": licence_concluded, "licenseDeclared": licence_declared,
             "copyrightText": copyright_text}
    entry.update(extra)
    return entry


def windows_components(arch, version, windows_sources, installer):
    """The packages of a Windows file, and a function that names the package
    each of its files belongs to."""
    parts = json.loads((THIRD_PARTY / arch / "qt-parts.json").read_text(encoding="utf-8"))
    _arch, _archive, _sha256, source_package, source_version, _triple, dsc_sha256 = \
        windows_qt_sources.archive_row(arch)
    qt_version = re.match(r"[0-9.]+", source_version).group(0)
    gcc_package, winpthreads_package = TOOLCHAIN_PACKAGES[arch]
    packages = [
        package("SPDXRef-Package-Qt", "Qt Base", qt_version, QT_LICENCE_USED, QT_LICENCE_DECLARED,
                "Copyright (C) The Qt Company Ltd. and other contributors.",
                supplier="Organization: The Qt Company Ltd.", homepage="https://www.qt.io/",
                primaryPackagePurpose="LIBRARY",
                sourceInfo=f"cross-built with MinGW-w64 from Debian's source package {source_package} {source_version} "
                           f"with Debian's patches applied; that source is in {windows_sources}"),
        package("SPDXRef-Package-Qt-source", source_package, source_version, "NOASSERTION", QT_LICENCE_DECLARED,
                supplier="Organization: Debian", packageFileName=f"{source_package}_{source_version.split(':')[-1]}.dsc",
                checksums=[{"algorithm": "SHA256", "checksumValue": dsc_sha256}], primaryPackagePurpose="SOURCE",
                sourceInfo=f"in {windows_sources}, published with this release"),
        package("SPDXRef-Package-GCC-runtime", "GCC runtime libraries (MinGW-w64)", dpkg_version(gcc_package),
                "GPL-3.0-or-later WITH GCC-exception-3.1", "GPL-3.0-or-later WITH GCC-exception-3.1",
                "Copyright (C) Free Software Foundation, Inc.", supplier="Organization: Debian",
                primaryPackagePurpose="LIBRARY", sourceInfo=f"from Debian's {gcc_package}"),
        package("SPDXRef-Package-winpthreads", "MinGW-w64 winpthreads", dpkg_version(winpthreads_package),
                "MIT AND BSD-3-Clause", "MIT AND BSD-3-Clause",
                "Copyright (c) 2011-2016 mingw-w64 project. Copyright (c) 2010 Lockless Inc.",
                supplier="Organization: Debian", primaryPackagePurpose="LIBRARY",
                sourceInfo=f"from Debian's {winpthreads_package}"),
    ]
    relationships = [("SPDXRef-Package-Qt", "GENERATED_FROM", "SPDXRef-Package-Qt-source")]
    if installer:
        packages.append(package("SPDXRef-Package-NSIS", "NSIS", dpkg_version("nsis"), "Zlib AND CPL-1.0",
                                "Zlib AND CPL-1.0 AND bzip2-1.0.6", "Copyright (C) 1999-2022 Contributors",
                                supplier="Organization: Debian", homepage="https://nsis.sourceforge.io/",
                                primaryPackagePurpose="INSTALL",
                                comment="the installer's stub and plug-ins, LZMA-compressed (CPL-1.0 module)"))
    extracted = {}
    for part in parts["parts"]:
        ident = spdx_id(f"Package-Qt-part-{part['id']}")
        licence = part["license"]
        for ref in re.findall(r"LicenseRef-[A-Za-z0-9.-]+", licence):
            text = "\n".join((THIRD_PARTY / arch / "licenses" / f).read_text(encoding="utf-8")
                             for f in part["license_files"]) or f"{part['license_text']}: {part['copyright']}"
            extracted.setdefault(ref, {"licenseId": ref, "name": part["license_text"], "extractedText": text})
        packages.append(package(ident, part["name"], part["version"] or "NOASSERTION", licence, licence,
                                part["copyright"] or "NOASSERTION", primaryPackagePurpose="LIBRARY",
                                sourceInfo=f"in Qt's source, {part['source_path']}",
                                **({"homepage": part["homepage"]} if part["homepage"] else {})))
        relationships.append((f"file:{part['dll']}", "STATIC_LINK", ident))
        relationships.append(("SPDXRef-Package-Qt", "CONTAINS", ident))

    def owner(name):
        # A ZIP holds the folder under one top folder of its own name.
        name = re.sub(r"^[^/]*-win(?:32|64)/", "", name)
        base = name.rsplit("/", 1)[-1]
        if (re.fullmatch(r"Qt\d\w+\.dll", base) or name.split("/")[0] in ("platforms", "styles")
                or name.startswith("licenses/qt/") or name in ("LGPL-3.0.txt", "GPL-3.0.txt")):
            return "SPDXRef-Package-Qt"
        if base.startswith(("libgcc_s", "libstdc++", "GCC-RUNTIME-LIBRARY-EXCEPTION")):
            return "SPDXRef-Package-GCC-runtime"
        if base.startswith("libwinpthread"):
            return "SPDXRef-Package-winpthreads"
        if name.startswith("$PLUGINSDIR/") and base.lower() not in ("board-check.exe",):
            return "SPDXRef-Package-NSIS"
        return "SPDXRef-Package-powermonitor"
    return packages, relationships, list(extracted.values()), owner


def main(argv):
    if len(argv) != 5:
        print(__doc__.strip().splitlines()[2].strip(), file=sys.stderr)
        return 2
    path, version, windows_sources, out = pathlib.Path(argv[1]), argv[2], argv[3], pathlib.Path(argv[4])
    name = path.name
    artefact = path.read_bytes()
    epoch = int(os.environ.get("SOURCE_DATE_EPOCH", "0"))
    created = datetime.datetime.fromtimestamp(epoch, datetime.timezone.utc).strftime("%Y-%m-%dT%H:%M:%SZ")

    if name.endswith(".deb"):
        files, arch, kind = deb_files(path), None, "Debian package"
    elif name.endswith(".zip"):
        files, kind = zip_files(path), "ZIP"
    elif name.endswith(".exe"):
        files, kind = installer_files(path), "installer"
    else:
        fail(f"{name} is not a .deb, .exe or .zip")
    if not name.endswith(".deb"):
        arch = "x64" if "-win64." in name else "x86" if "-win32." in name else fail(f"{name}: which architecture?")

    ours = "powermonitor-simulated-board" if "simulated-board" in name else "powermonitor"
    packages = [
        package("SPDXRef-Package-artefact", name, version, "NOASSERTION", "NOASSERTION", supplier=SUPPLIER,
                packageFileName=name, checksums=digests(artefact)[1:],
                primaryPackagePurpose="INSTALL" if kind != "ZIP" else "ARCHIVE",
                comment=f"the release's {kind}"),
        package("SPDXRef-Package-powermonitor", ours, version, "MIT", "MIT",
                "Copyright (c) the Orvane9 power monitor contributors", supplier=SUPPLIER,
                primaryPackagePurpose="APPLICATION",
                sourceInfo=f"built from powermonitor-{version}.tar.gz of this release"),
    ]
    relationships = [("SPDXRef-DOCUMENT", "DESCRIBES", "SPDXRef-Package-artefact"),
                     ("SPDXRef-Package-artefact", "CONTAINS", "SPDXRef-Package-powermonitor")]
    extracted = []
    owner = lambda _name: "SPDXRef-Package-powermonitor"  # noqa: E731
    if kind == "Debian package":
        # What the package needs from the system (its Qt among them) is not in it.
        control = subprocess.run(["dpkg-deb", "-f", str(path), "Depends"], check=True, capture_output=True,
                                 text=True).stdout
        for dependency in filter(None, (d.strip() for d in control.split(","))):
            needed = re.match(r"([a-z0-9.+-]+)\s*(?:\(([^)]*)\))?", dependency.split("|")[0].strip())
            ident = spdx_id(f"Package-dependency-{needed.group(1)}")
            # A version range is no version: it stays in the comment.
            packages.append(package(ident, needed.group(1), None, "NOASSERTION", "NOASSERTION",
                                    supplier="Organization: Debian", comment=f"Depends: {dependency}"))
            relationships.append(("SPDXRef-Package-artefact", "DEPENDS_ON", ident))
    if arch:
        more, links, extracted, owner = windows_components(arch, version, windows_sources, kind == "installer")
        packages += more
        relationships += [("SPDXRef-Package-artefact", "CONTAINS", p["SPDXID"]) for p in more
                          if p["SPDXID"] in ("SPDXRef-Package-Qt", "SPDXRef-Package-GCC-runtime",
                                             "SPDXRef-Package-winpthreads", "SPDXRef-Package-NSIS")]
        relationships += links

    entries, by_name = [], {}
    for index, (file_name, data) in enumerate(sorted(files), start=1):
        ident = f"SPDXRef-File-{index}"
        entries.append({"SPDXID": ident, "fileName": "./" + file_name, "checksums": digests(data),
                        "licenseConcluded": "NOASSERTION", "copyrightText": "NOASSERTION"})
        by_name.setdefault(file_name.rsplit("/", 1)[-1], ident)
        relationships.append((owner(file_name), "CONTAINS", ident))
    resolved = []
    for element, kind_of, related in relationships:
        if element.startswith("file:"):
            element = by_name.get(element[5:])
            if element is None:
                continue
        resolved.append({"spdxElementId": element, "relationshipType": kind_of, "relatedSpdxElement": related})

    document = {
        "spdxVersion": "SPDX-2.3",
        "dataLicense": "CC0-1.0",
        "SPDXID": "SPDXRef-DOCUMENT",
        "name": name,
        "documentNamespace": f"https://spdx.org/spdxdocs/{name}-{uuid.uuid5(NAMESPACE, hashlib.sha256(artefact).hexdigest())}",
        "creationInfo": {"created": created, "creators": ["Tool: powermonitor scripts/sbom.py", SUPPLIER]},
        "packages": packages,
        "files": entries,
        "relationships": resolved,
    }
    if extracted:
        document["hasExtractedLicensingInfos"] = extracted
    out.write_text(json.dumps(document, indent=2, ensure_ascii=False) + "\n", encoding="utf-8")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
