#!/usr/bin/python3
"""Prints the resources of a Windows program or DLL as Windows reads them, one
"key: value" line each: the sizes in its icon group, its version strings, and
its manifest's execution level, supportedOS ids and DPI setting.
    pe_resources.py FILE.exe|FILE.dll
(Debian's python3-pefile, for /usr/bin/python3.)"""
import re
import struct
import sys

import pefile

RT_GROUP_ICON = 14
RT_MANIFEST = 24


def resource_data(pe, resource_type):
    directory = getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None)
    for entry in directory.entries if directory else []:
        if entry.id != resource_type:
            continue
        for name in entry.directory.entries:
            for language in name.directory.entries:
                rva, size = language.data.struct.OffsetToData, language.data.struct.Size
                yield pe.get_data(rva, size)


def main():
    pe = pefile.PE(sys.argv[1])
    for group in resource_data(pe, RT_GROUP_ICON):
        _, _, count = struct.unpack_from("<HHH", group)
        sizes = [group[6 + 14 * i] or 256 for i in range(count)]  # a width of 0 means 256
        print("icon:", " ".join(str(size) for size in sorted(sizes)))
    for info in getattr(pe, "FileInfo", []):
        for block in info:
            for table in getattr(block, "StringTable", []):
                for key, value in table.entries.items():
                    print(f"{key.decode()}: {value.decode()}")
    for manifest in resource_data(pe, RT_MANIFEST):
        text = manifest.decode("utf-8")
        level = re.search(r'requestedExecutionLevel\s+level="([^"]+)"', text)
        print("executionLevel:", level.group(1) if level else "none")
        print("supportedOS:", " ".join(re.findall(r'supportedOS\s+Id="([^"]+)"', text)))
        print("dpi:", "set" if re.search(r"dpiAware|dpiAwareness", text) else "none")


if __name__ == "__main__":
    main()
