#!/usr/bin/python3
"""What an Authenticode signature may change in a Windows program, DLL or
installer, and nothing more. Signing appends the signature as a certificate
table, after zero padding that aligns it on 8 bytes; it points the header's
certificate entry at it and writes the PE checksum anew. Taking the signature
off (osslsigncode remove-signature) leaves the padding and a checksum of its own.

  authenticode.py key FILE             the SHA-256 of FILE as it was before it
                                       was signed, signed or not
  authenticode.py compare THEIRS OURS  THEIRS, a signed file with its signature
                                       taken off, against OURS as built: says
                                       what differs, and exits 0 when only the
                                       checksum and padding do, 1 otherwise
"""
import hashlib
import struct
import sys

CHECKSUM_SIZE = 4


class NotPe(Exception):
    pass


def layout(data):
    """The offsets of the PE checksum and of the certificate table's entry."""
    if len(data) < 0x40 or data[:2] != b"MZ":
        raise NotPe("not a Windows program or DLL (no MZ header)")
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise NotPe("not a Windows program or DLL (no PE header)")
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    directories = optional + {0x10B: 96, 0x20B: 112}.get(magic, 0)
    if directories == optional:
        raise NotPe(f"unknown optional header 0x{magic:x}")
    security = directories + 4 * 8
    return optional + 64, security


def unsigned(data):
    """The bytes that a signature covers: FILE without its certificate table,
    its checksum or its entry, and without the zero padding at its end."""
    data = bytearray(data)
    checksum, security = layout(data)
    table, size = struct.unpack_from("<II", data, security)
    if size:
        del data[table:]
    data[checksum:checksum + CHECKSUM_SIZE] = bytes(CHECKSUM_SIZE)
    data[security:security + 8] = bytes(8)
    return bytes(data.rstrip(b"\0"))


def first_difference(a, b, checksum):
    """The first offset where A and B differ outside the checksum, or None."""
    a, b = bytearray(a), bytearray(b)
    a[checksum:checksum + CHECKSUM_SIZE] = b[checksum:checksum + CHECKSUM_SIZE] = bytes(CHECKSUM_SIZE)
    if a == b:
        return None
    chunk = 1 << 16
    start = next(o for o in range(0, len(a), chunk) if a[o:o + chunk] != b[o:o + chunk])
    return next(o for o in range(start, start + chunk) if a[o] != b[o])


def compare(theirs, ours):
    """Lines saying how THEIRS differs from OURS, and whether it is allowed."""
    checksum, security = layout(ours)
    said = []
    if theirs == ours:
        return ["byte for byte the same"], True
    length = min(len(theirs), len(ours))
    offset = first_difference(theirs[:length], ours[:length], checksum)
    if offset is not None:
        what = "the certificate table's entry" if security <= offset < security + 8 else "a byte"
        said.append(f"differs at byte {offset} (0x{offset:x}), {what}: "
                    f"0x{theirs[offset]:02x} where your build has 0x{ours[offset]:02x}")
        return said, False
    if theirs[checksum:checksum + CHECKSUM_SIZE] != ours[checksum:checksum + CHECKSUM_SIZE]:
        said.append(f"the PE checksum (bytes {checksum} to {checksum + CHECKSUM_SIZE - 1}) is "
                    f"0x{struct.unpack_from('<I', theirs, checksum)[0]:08x}, your build's "
                    f"0x{struct.unpack_from('<I', ours, checksum)[0]:08x}: signing writes it anew, "
                    "and taking the signature off writes it again")
    extra, longer = (theirs[length:], "it") if len(theirs) > len(ours) else (ours[length:], "your build")
    if extra:
        if longer == "it" and len(extra) < 8 and not extra.strip(b"\0"):
            bytes_more = "1 zero byte" if len(extra) == 1 else f"{len(extra)} zero bytes"
            said.append(f"it ends in {bytes_more} more: the padding that aligned the signature on 8 bytes")
        else:
            said.append(f"{longer} has {len(extra)} bytes more at the end, and not the zero "
                        "padding of a signature")
            return said, False
    return said, True


def main():
    try:
        if len(sys.argv) == 3 and sys.argv[1] == "key":
            with open(sys.argv[2], "rb") as f:
                print(hashlib.sha256(unsigned(f.read())).hexdigest())
            return 0
        if len(sys.argv) == 4 and sys.argv[1] == "compare":
            with open(sys.argv[2], "rb") as theirs, open(sys.argv[3], "rb") as ours:
                said, allowed = compare(theirs.read(), ours.read())
            print("\n".join(said))
            return 0 if allowed else 1
    except (OSError, NotPe, struct.error) as e:
        print(f"authenticode.py: {e}", file=sys.stderr)
        return 2
    print(__doc__.strip(), file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main())
