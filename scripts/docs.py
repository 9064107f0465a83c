#!/usr/bin/env python3
"""Keeps the Markdown documents true to the code.

    docs.py write BOARD_CHECK   rewrites the generated blocks
    docs.py check BOARD_CHECK   fails where a document and the code differ

BOARD_CHECK is a board-check built for this machine. A generated block stands
between "<!-- generated: NAME -->" and "<!-- end -->"; its text comes from the
one place that holds the fact: board-check's --help, the installer's exit
codes in packaging/windows.cmake, its switches in packaging/windows/switches.txt,
the build options in cmake/options.cmake. check also fails on a relative link
or anchor that leads nowhere, on a make command on the README's first screen
that the Makefile lacks, on a switch of that list that switches.nsh, which reads
them, does not name, or one it names that the list lacks, on an oldest Windows that cmake/oldest-windows.cmake does not name, and on the
program's version typed into a document instead of <version>.
"""
import pathlib
import re
import subprocess
import sys

PROJECT = pathlib.Path(__file__).resolve().parent.parent
FIRST_SCREEN_LINES = 60
BLOCK = re.compile(r"(<!-- generated: (?P<name>[^>]+?) -->\n)(?P<body>.*?)(<!-- end -->)", re.S)
# What each installer exit status means; the numbers are packaging/windows.cmake's.
INSTALLER_EXITS = [
    ("0", "installed"),
    ("1", "cancelled by the user"),
    ("2", "stopped by an error while installing"),
    ("WINDOWS_REFUSED", "refused this Windows (32-bit Windows or a Windows too old for this program): nothing installed"),
    ("BOARD_REFUSED", "refused the board DLL (`/BOARDDLL`, or the one in the folder): it does not fit this program; "
                      "nothing installed or changed"),
    ("USAGE", "refused its command line (a switch it does not know, or one given twice): nothing installed"),
]


def documents():
    listed = subprocess.run(["git", "ls-files", "*.md"], cwd=PROJECT, capture_output=True, text=True).stdout.split()
    found = {p for p in listed if (PROJECT / p).is_file()}
    found |= {str(p.relative_to(PROJECT)) for p in [PROJECT / "README.md", *PROJECT.glob("docs/*.md")]}
    return sorted(found)


def installer_exits():
    text = (PROJECT / "packaging/windows.cmake").read_text(encoding="utf-8")
    codes = dict(re.findall(r"set\(POWERMONITOR_INSTALLER_EXIT_(\w+) (\d+) ", text))
    rows = ["| status | what happened |", "|---|---|"]
    for code, meaning in INSTALLER_EXITS:
        rows.append(f"| {codes[code] if code in codes else code} | {meaning} |")
    return "\n".join(rows) + "\n"


def switches():
    """The switches of switches.txt: (switch, taken by, usage name, what it does)."""
    text = (PROJECT / "packaging/windows/switches.txt").read_text(encoding="utf-8")
    return [line.split(" | ", 3) for line in text.splitlines() if line and not line.startswith("#")]


def switch_table():
    rows = ["| switch | taken by | what it does |", "|---|---|---|"]
    for switch, takers, _, does in switches():
        rows.append(f"| `{switch}` | {takers} | {does} |")
    return "\n".join(rows) + "\n"


def board_check_help(board_check):
    result = subprocess.run([board_check, "--help"], capture_output=True, text=True, check=True)
    return "```text\n" + result.stdout + "```\n"


def build_options():
    text = (PROJECT / "cmake/options.cmake").read_text(encoding="utf-8")
    declared = re.findall(r'(?:set\((\w+) "[^"]*" CACHE \w+|option\((\w+))\s+"((?:[^"\\]|\\.)*)"', text)
    rows = ["| option | what it does |", "|---|---|"]
    for set_name, option_name, doc in declared:
        rows.append(f"| `{set_name or option_name}` | {' '.join(doc.split())} |")
    return "\n".join(rows) + "\n"


def generated(name, board_check):
    makers = {"installer exit status": installer_exits, "build options": build_options,
              "installer switches": switch_table,
              "board-check --help": lambda: board_check_help(board_check)}
    if name not in makers:
        raise SystemExit(f"docs.py: no generator for the block '{name}'")
    return makers[name]()


def slug(heading):
    heading = re.sub(r"`", "", heading.strip().lower())
    heading = re.sub(r"[^\w\- ]", "", heading)
    return heading.replace(" ", "-")


def anchors(path):
    found, in_code = set(), False
    for line in path.read_text(encoding="utf-8").splitlines():
        if line.startswith("```"):
            in_code = not in_code
        elif not in_code and re.match(r"#{1,6} ", line):
            base = slug(line.lstrip("#"))
            name, n = base, 1
            while name in found:
                name, n = f"{base}-{n}", n + 1
            found.add(name)
    return found


def check_links(path, faults):
    text = re.sub(r"```.*?```", "", path.read_text(encoding="utf-8"), flags=re.S)
    text = re.sub(r"`[^`\n]*`", "", text)
    for target in re.findall(r"\]\(([^)\s]+)\)", text):
        if re.match(r"[a-z]+:", target):
            continue
        file, _, anchor = target.partition("#")
        linked = (path.parent / file).resolve() if file else path
        if not linked.exists():
            faults.append(f"{path.relative_to(PROJECT)}: the link {target} leads to no file")
        elif anchor and linked.suffix == ".md" and anchor not in anchors(linked):
            faults.append(f"{path.relative_to(PROJECT)}: the link {target} leads to no heading of {linked.name}")


def check_first_screen(faults):
    readme = (PROJECT / "README.md").read_text(encoding="utf-8").splitlines()[:FIRST_SCREEN_LINES]
    makefile = (PROJECT / "Makefile").read_text(encoding="utf-8")
    targets = set(re.findall(r"^([a-z][\w-]*):", makefile, re.M))
    for line in readme:
        for target in re.findall(r"^\s*make ([a-z][\w-]*)", line):
            if target not in targets:
                faults.append(f"README.md's first screen shows make {target}, which the Makefile lacks")


def check_switches(faults):
    nsh = (PROJECT / "packaging/windows/switches.nsh").read_text(encoding="utf-8")
    named = set(re.findall(r'"(/[A-Z]+=?|_\?=)"', nsh))
    listed = {switch for switch, *_ in switches()}
    if named != listed:
        faults.append(f"packaging/windows/switches.nsh names the switches {sorted(named)}, "
                      f"and switches.txt lists {sorted(listed)}")


def check_oldest_windows(faults):
    cmake = (PROJECT / "cmake/oldest-windows.cmake").read_text(encoding="utf-8")
    oldest = re.findall(r'POWERMONITOR_OLDEST_WINDOWS "([^"]+)"\)\s+set\(POWERMONITOR_OLDEST_WINDOWS_BUILD (\d+)\)', cmake)
    guide = (PROJECT / "docs/windows.md").read_text(encoding="utf-8")
    if len(oldest) != 2:
        faults.append("cmake/oldest-windows.cmake: not two oldest Windows to compare with")
    for name, build in oldest:
        if f"{name} (build {build})" not in guide:
            faults.append(f"docs/windows.md does not name the oldest Windows as \"{name} (build {build})\"")


def check_version(names, faults):
    cmake = (PROJECT / "CMakeLists.txt").read_text(encoding="utf-8")
    version = re.search(r"project\(\w+\s+VERSION\s+([\d.]+)", cmake).group(1)
    for name in names:
        text = (PROJECT / name).read_text(encoding="utf-8")
        if re.search(r"(?<![\d.])" + re.escape(version) + r"(?![\d.])", text):
            faults.append(f"{name} types the version {version}: write <version>, or let a tool print it")


def main(argv):
    if len(argv) != 3 or argv[1] not in ("write", "check"):
        print(__doc__.strip().splitlines()[2].strip(), file=sys.stderr)
        return 2
    mode, board_check = argv[1], argv[2]
    faults, names = [], documents()
    for name in names:
        path = PROJECT / name
        text = path.read_text(encoding="utf-8")
        renewed = BLOCK.sub(lambda m: m.group(1) + generated(m.group("name"), board_check) + m.group(4), text)
        if mode == "write" and renewed != text:
            path.write_text(renewed, encoding="utf-8")
            print(f"docs.py: wrote {name}")
        elif mode == "check" and renewed != text:
            faults.append(f"{name}: a generated block is not what its source says now: run make docs")
        check_links(path, faults)
    if mode == "check":
        check_first_screen(faults)
        check_switches(faults)
        check_oldest_windows(faults)
        check_version(names, faults)
    for fault in faults:
        print(f"FAIL: {fault}", file=sys.stderr)
    if not faults and mode == "check":
        print(f"docs.py: {len(names)} documents checked: links, anchors, generated blocks and facts agree")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
