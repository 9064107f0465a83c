#!/usr/bin/env python3
"""Fails where CTest did not run a test: one that exited with its skip code, or
one left "Not Run" (a missing program, a failed fixture), since ctest passes
a run that skipped what it could not do. Reads the JUnit files that the
Makefile's ctest runs write.

    every_test_ran.py RESULTS.xml...
"""
import sys
import xml.etree.ElementTree as ElementTree

# The tests that CI may see skipped, each with the reason. CI always has
# ../shared beside the clone, which the only tests that skip by design need
# (deploy_windows_qt_archive, deploy_windows_notices), so none may.
MAY_SKIP: dict[str, str] = {}


def not_run(path):
    for case in ElementTree.parse(path).getroot().iter("testcase"):
        if case.get("status") in ("notrun", "disabled"):
            skipped = case.find("skipped")
            why = skipped.get("message", "") if skipped is not None else ""
            output = (case.findtext("system-out") or "").strip().splitlines()
            yield case.get("name"), why, output[-1] if output else ""


def main(paths):
    if not paths:
        sys.exit(__doc__)
    unexplained = 0
    for path in paths:
        try:
            cases = list(not_run(path))
        except (OSError, ElementTree.ParseError) as error:
            print(f"every_test_ran.py: no results of ctest in {path}: {error}", file=sys.stderr)
            return 1
        for name, why, last_line in cases:
            if name in MAY_SKIP:
                print(f"{path}: {name} did not run ({why}), as it may: {MAY_SKIP[name]}")
                continue
            unexplained += 1
            print(f"{path}: {name} did not run ({why}): {last_line}", file=sys.stderr)
    if unexplained:
        print(f"every_test_ran.py: {unexplained} tests did not run; a test that cannot run here fails, "
              "or has its reason in MAY_SKIP", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
