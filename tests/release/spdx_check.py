#!/usr/bin/python3
"""Checks a release file's bill of materials.

    spdx_check.py DOCUMENT.spdx.json RELEASE_FILE

The document must be valid against spdx-2.3.schema.json beside this script
(Debian's python3-jsonschema), its licence expressions must parse
(python3-license-expression) with the SPDX licence and exception lists that
Debian's node-spdx-license-ids and node-spdx-exceptions hold, every element a relationship names must exist,
and it must list each file RELEASE_FILE holds, as dpkg-deb, unzip or 7-Zip
unpack it, with that file's SHA-1 and SHA-256, contained by one package.
Prints what it found; exits 1 on the first fault.
"""
import hashlib
import json
import pathlib
import subprocess
import sys
import tempfile

import jsonschema
from license_expression import ExpressionError, LicenseSymbol, Licensing

HERE = pathlib.Path(__file__).resolve().parent
LICENSE_IDS = pathlib.Path("/usr/share/nodejs/spdx-license-ids")
EXCEPTION_IDS = pathlib.Path("/usr/share/nodejs/spdx-exceptions/index.json")


def fail(message):
    print(f"FAIL: {message}", file=sys.stderr)
    sys.exit(1)


def spdx_licensing(refs):
    """The SPDX licences and exceptions as Debian's lists hold them, and the
    document's own LicenseRefs, for python3-license-expression's parser."""
    ids = set()
    for name in ("index.json", "deprecated.json"):
        ids.update(json.loads((LICENSE_IDS / name).read_text()))
    symbols = [LicenseSymbol(i) for i in sorted(ids | refs)]
    symbols += [LicenseSymbol(e, is_exception=True) for e in sorted(json.loads(EXCEPTION_IDS.read_text()))]
    return Licensing(symbols)


def check_expression(licensing, expression, where):
    if expression in ("NONE", "NOASSERTION"):
        return
    try:
        licensing.parse(expression, validate=True, strict=True)
    except ExpressionError as error:
        fail(f"{where}: '{expression}' is no SPDX licence expression of known licences: {error}")


def unpacked(path):
    """The files of a release file, by name, unpacked with the system's tools."""
    name = path.name
    files = {}
    with tempfile.TemporaryDirectory() as work:
        if name.endswith(".deb"):
            subprocess.run(["dpkg-deb", "-x", str(path), work], check=True)
        elif name.endswith(".zip"):
            subprocess.run(["unzip", "-q", str(path), "-d", work], check=True)
        else:
            subprocess.run(["7zz", "x", "-y", "-aou", f"-o{work}", str(path)], check=True, capture_output=True)
        for file in pathlib.Path(work).rglob("*"):
            if file.is_file() and not file.is_symlink():
                data = file.read_bytes()
                files["./" + file.relative_to(work).as_posix()] = (hashlib.sha1(data).hexdigest(),
                                                                   hashlib.sha256(data).hexdigest())
    return files


def main(argv):
    if len(argv) != 3:
        print(__doc__.strip().splitlines()[2].strip(), file=sys.stderr)
        return 2
    document_path, release_file = pathlib.Path(argv[1]), pathlib.Path(argv[2])
    document = json.loads(document_path.read_text(encoding="utf-8"))
    schema = json.loads((HERE / "spdx-2.3.schema.json").read_text(encoding="utf-8"))
    validator = jsonschema.Draft7Validator(schema, format_checker=jsonschema.FormatChecker())
    errors = sorted(validator.iter_errors(document), key=lambda e: list(e.path))
    for error in errors[:10]:
        print(f"  at {'/'.join(map(str, error.path)) or '(top)'}: {error.message}", file=sys.stderr)
    if errors:
        fail(f"{document_path.name} is not a valid SPDX 2.3 document ({len(errors)} faults)")

    elements = [document["SPDXID"]] + [e["SPDXID"] for e in document.get("packages", []) + document.get("files", [])]
    duplicates = {e for e in elements if elements.count(e) > 1}
    if duplicates:
        fail(f"{document_path.name}: SPDXIDs used twice: {sorted(duplicates)}")
    known = set(elements) | {"NONE", "NOASSERTION"}
    for relationship in document.get("relationships", []):
        for side in ("spdxElementId", "relatedSpdxElement"):
            if relationship[side] not in known:
                fail(f"{document_path.name}: a relationship names {relationship[side]}, which the document lacks")

    licensing = spdx_licensing({info["licenseId"] for info in document.get("hasExtractedLicensingInfos", [])})
    for element in document.get("packages", []) + document.get("files", []):
        for field in ("licenseConcluded", "licenseDeclared"):
            if field in element:
                check_expression(licensing, element[field], f"{element['SPDXID']} {field}")

    digest = hashlib.sha256(release_file.read_bytes()).hexdigest()
    described = {r["relatedSpdxElement"] for r in document["relationships"]
                 if r["spdxElementId"] == "SPDXRef-DOCUMENT" and r["relationshipType"] == "DESCRIBES"}
    described_packages = [p for p in document["packages"] if p["SPDXID"] in described]
    if not any({"algorithm": "SHA256", "checksumValue": digest} in p.get("checksums", []) for p in described_packages):
        fail(f"{document_path.name} does not describe {release_file.name} by its sha256 {digest}")

    listed = {f["fileName"]: f for f in document["files"]}
    holds = unpacked(release_file)
    for name in sorted(set(holds) - set(listed)):
        fail(f"{document_path.name} does not list {name}, which {release_file.name} holds")
    for name in sorted(set(listed) - set(holds)):
        fail(f"{document_path.name} lists {name}, which {release_file.name} does not hold")
    containers = {}
    for r in document["relationships"]:
        if r["relationshipType"] == "CONTAINS" and r["relatedSpdxElement"].startswith("SPDXRef-File-"):
            containers.setdefault(r["relatedSpdxElement"], []).append(r["spdxElementId"])
    for name, entry in listed.items():
        sha1, sha256 = holds[name]
        sums = {c["algorithm"]: c["checksumValue"] for c in entry["checksums"]}
        if sums.get("SHA1") != sha1 or sums.get("SHA256") != sha256:
            fail(f"{document_path.name} gives {name} other digests than {release_file.name} has")
        if len(containers.get(entry["SPDXID"], [])) != 1:
            fail(f"{document_path.name}: {name} is contained by {containers.get(entry['SPDXID'], [])}, not one package")
    names = sorted(f"{p['name']} {p.get('versionInfo', '')} ({p.get('licenseConcluded', 'NOASSERTION')})"
                   for p in document["packages"] if p["SPDXID"] not in described)
    print(f"{document_path.name}: valid SPDX 2.3; {len(listed)} files with their digests; "
          f"{len(names)} components: " + "; ".join(names))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
