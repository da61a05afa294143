#!/usr/bin/env python3
"""keswin-sum against the tools whose lists its new algorithms share: b3sum for BLAKE3, xxhsum for XXH32, XXH64,
XXH3 and XXH128, rhash for CRC-32C, b2sum -l and b3sum --length for BLAKE2b and BLAKE3 at other lengths. Each
writes what the other reads: our lines equal theirs byte for byte, we check their lists, they check ours, and one
changed digit is FAILED on both sides. The files' sizes straddle the algorithms' block and chunk boundaries. Then a
list mixing digests of shared lengths is checked entry by entry.
Usage: other_tools.py KESWIN_SUM"""
import hashlib
import os
import subprocess
import sys
import tempfile
import zlib

KESWIN = os.path.abspath(sys.argv[1])
# Our algorithm, their command for untagged lines, their command for tagged ones (None: they write none).
TOOLS = [
    ("blake3", ["b3sum"], None),
    ("xxh32", ["xxhsum", "-H0"], ["xxhsum", "-H0", "--tag"]),
    ("xxh64", ["xxhsum", "-H1"], ["xxhsum", "-H1", "--tag"]),
    ("xxh128", ["xxhsum", "-H2"], ["xxhsum", "-H2", "--tag"]),
    ("xxh3", None, ["xxhsum", "-H3"]),  # xxhsum writes XXH3 tagged only
    ("crc32c", ["rhash", "--crc32c", "--simple"], ["rhash", "--crc32c", "--bsd"]),
]
# BLAKE3's 64-byte blocks and 1 KiB chunks, xxHash's stripes and blocks, and the reads' own buffers: one byte short
# of each boundary, on it, and one past.
SIZES = [0, 1, 1023, 1024, 1025, 65535, 65536, 65537, 1048575, 1048576, 1048577]
failures = []


def run(command, cwd):
    done = subprocess.run(command, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=120)
    return done.stdout, done.returncode


def check(name, condition, detail=""):
    if not condition:
        failures.append(name)
        print(f"FAIL {name}\n    {detail}")


def flipped(listing):
    """The list with the last hex digit of its first line changed."""
    first, _, rest = listing.partition(b"\n")
    if b") = " in first:
        at = len(first) - 1
    else:
        at = first.index(b" ") - 1
    digit = b"0" if first[at:at + 1] != b"0" else b"1"
    return first[:at] + digit + first[at + 1:] + b"\n" + rest


def crc32c(data):
    """Bitwise, from the polynomial: an oracle independent of rhash and of ours."""
    crc = 0xFFFFFFFF
    for byte in data:
        crc ^= byte
        for _ in range(8):
            crc = (crc >> 1) ^ (0x82F63B78 if crc & 1 else 0)
    return f"{crc ^ 0xFFFFFFFF:08x}".encode()


def theirs_hex(command, name, work):
    """The digest another tool gives a file, from its line in either form."""
    line, _ = run(command + [name], work)
    line = line.strip()
    return line.rsplit(b" = ", 1)[1] if b") = " in line else line.split(b" ", 1)[0]


def mixed_lengths(work, files):
    """Untagged lines of every algorithm that shares a length, mixed in one list, each entry checked by the
    algorithm its digest matches; one wrong entry of each length fails alone."""
    small = [name for name in sorted(files) if len(files[name]) <= 65537]
    makers = [
        ("md5", lambda name: hashlib.md5(files[name]).hexdigest().encode()),
        ("xxh128", lambda name: theirs_hex(["xxhsum", "-H2"], name, work)),
        ("xxh3", lambda name: theirs_hex(["xxhsum", "-H3"], name, work)),
        ("xxh64", lambda name: theirs_hex(["xxhsum", "-H1"], name, work)),
        ("crc32", lambda name: f"{zlib.crc32(files[name]):08x}".encode()),
        ("crc32c", lambda name: crc32c(files[name])),
        ("xxh32", lambda name: theirs_hex(["xxhsum", "-H0"], name, work)),
    ]
    lines = []
    for i, name in enumerate(small):
        algorithm, make = makers[i % len(makers)]
        lines.append(make(name) + b"  " + name.encode())
    wrong = {}
    for digits in (32, 16, 8):
        at = next(i for i, line in enumerate(lines) if line.index(b" ") == digits and i not in wrong.values())
        wrong[digits] = at
        first = b"0" if lines[at][:1] != b"0" else b"1"
        lines[at] = first + lines[at][1:]
    listing = os.path.join(work, "mixed-lengths")
    with open(listing, "wb") as f:
        f.write(b"\n".join(lines) + b"\n")
    failed = sorted(small[at].encode() + b": FAILED" for at in wrong.values())
    output, status = run([KESWIN, "-c", listing], work)
    got_failed = sorted(line for line in output.splitlines() if line.endswith(b": FAILED"))
    check("keswin-sum -c, a list of mixed algorithms of shared lengths",
          status == 1 and got_failed == failed and output.count(b": OK\n") == len(lines) - len(wrong),
          f"{status} {output!r}")


# The lengths in bits: the smallest, the common ones, the largest short of the default, and the default.
BITS = [8, 128, 160, 256, 384, 504, 512]


def lengths(work):
    """-l against b2sum -l and b3sum --length: equal lines, each side checks the other's list, one changed digit
    FAILED on both sides; all lengths and algorithms of a file from one run."""
    names = []
    for size in SIZES:
        names.append(f"size {size}")
        with open(os.path.join(work, names[-1]), "wb") as f:
            f.write(os.urandom(size))
    for bits in BITS:
        sides = [("blake2b", ["b2sum", "-l", str(bits)], ["b2sum", "-l", str(bits), "--tag"], ["b2sum", "-c"]),
                 ("blake3", ["b3sum", "--length", str(bits // 8)], None, ["b3sum", "-c"])]
        for algorithm, untagged, tagged, their_check in sides:
            for form, theirs in (("untagged", untagged), ("tagged", tagged)):
                if theirs is None:
                    continue
                ours_args = [KESWIN, "-a", algorithm, "-l", str(bits)] + (["--untagged"] if form == "untagged" else [])
                ours, status = run(ours_args + names, work)
                expected, _ = run(theirs + names, work)
                label = f"{algorithm} -l {bits} {form}"
                check(f"{label} lines", status == 0 and ours == expected, f"{ours[:300]!r}\n    {expected[:300]!r}")
                listing = os.path.join(work, f"list-{algorithm}-{bits}-{form}")
                for who, text in (("theirs", expected), ("ours", ours)):
                    with open(listing, "wb") as f:
                        f.write(text)
                    # Each reads untagged lines at their own length, whatever -l says.
                    checkers = [[KESWIN, "-a", algorithm, "-c"], [KESWIN, "-a", algorithm, "-l", str(bits), "-c"]]
                    checkers += [[KESWIN, "-c"]] if algorithm == "blake2b" and form == "tagged" else []
                    # b3sum -c reads 32-byte digests alone.
                    checkers += [their_check] if algorithm == "blake2b" or bits == 256 else []
                    for checker in checkers:
                        output, status = run(checker + [listing], work)
                        check(f"{' '.join(checker)} {who} {label}",
                              status == 0 and output.count(b": OK\n") == len(names), f"{status} {output!r}")
                        with open(listing, "wb") as f:
                            f.write(flipped(text))
                        output, status = run(checker + [listing], work)
                        check(f"{' '.join(checker)} {who} {label}, one digit changed",
                              status == 1 and output.count(b": FAILED\n") == 1, f"{status} {output!r}")
                        with open(listing, "wb") as f:
                            f.write(text)
    # Every length and algorithm of a file in one read: the same lines as each alone.
    together, status = run([KESWIN, "-a", "sha256,blake2b,blake3", "-l", "384"] + names[-3:], work)
    apart = b"".join(run([KESWIN, "-a", algorithm, "-l", "384", name], work)[0]
                     for name in names[-3:] for algorithm in ("blake2b", "blake3"))
    check("-a sha256,blake2b,blake3 -l 384", status == 0 and
          [line for line in together.split(b"\n") if not line.startswith(b"SHA256")] == apart.split(b"\n"),
          f"{together!r}")


def xxh3_untagged(work, names):
    """Untagged XXH3 lines say they are XXH3, "XXH3_HEX  NAME", as xxhsum -H3 writes them from 0.8.2: our -c reads
    them with and without -a, beside XXH64's bare digests of the same length, and xxhsum -c never takes them for
    XXH64 (0.8.1 reads no untagged XXH3 line at all, and says so)."""
    theirs, _ = run(["xxhsum", "-H3"] + names, work)
    if not theirs.startswith(b"XXH3_"):  # before 0.8.2 xxhsum -H3 writes tagged lines only: the same digests
        theirs = b"".join(b"XXH3_%s  %s\n" % (line.rsplit(b" = ", 1)[1], line[6:line.rindex(b") = ")])
                          for line in theirs.splitlines())
    ours, status = run([KESWIN, "-a", "xxh3", "--untagged"] + names, work)
    check("xxh3 untagged lines", status == 0 and ours == theirs, f"{ours!r}\n    {theirs!r}")
    listing = os.path.join(work, "list-xxh3-untagged")
    xxh64, _ = run(["xxhsum", "-H1"] + names, work)
    for label, text, wrong in (("ours", ours, 0), ("one digit changed", flipped(ours), 1),
                               ("with XXH64 lines", ours + xxh64, 0)):
        with open(listing, "wb") as f:
            f.write(text)
        checkers = [[KESWIN, "-c"]] + ([[KESWIN, "-a", "xxh3", "-c"]] if text != ours + xxh64 else [])
        for checker in checkers:
            output, status = run(checker + [listing], work)
            check(f"{' '.join(checker)} xxh3 untagged, {label}",
                  status == (1 if wrong else 0) and output.count(b": FAILED\n") == wrong and
                  output.count(b": OK\n") == text.count(b"\n") - wrong, f"{status} {output!r}")
    with open(listing, "wb") as f:
        f.write(ours)
    output, status = run(["xxhsum", "-c", listing], work)
    check("xxhsum -c ours, xxh3 untagged", b"FAILED" not in output and
          (status == 0) == (output.count(b": OK\n") == len(names)), f"{status} {output!r}")


def main():
    with tempfile.TemporaryDirectory() as work:
        files = {"empty": b"", "one": b"a", "chunks": os.urandom(3 * 1024 * 1024 + 17), "with space": b"x" * 1025}
        files.update({f"size-{size}": os.urandom(size) for size in SIZES})
        for name, data in files.items():
            with open(os.path.join(work, name), "wb") as f:
                f.write(data)
        names = sorted(files)
        for algorithm, untagged, tagged in TOOLS:
            for form, theirs in (("untagged", untagged), ("tagged", tagged)):
                if theirs is None:
                    continue
                ours_args = [KESWIN, "-a", algorithm] + (["--untagged"] if form == "untagged" else [])
                ours, status = run(ours_args + names, work)
                expected, _ = run(theirs + names, work)
                check(f"{algorithm} {form} lines", status == 0 and ours == expected, f"{ours!r}\n    {expected!r}")
                listing = os.path.join(work, f"list-{algorithm}-{form}")
                for who, text in (("theirs", expected), ("ours", ours)):
                    with open(listing, "wb") as f:
                        f.write(text)
                    for checker in ([KESWIN, "-c"], [theirs[0], "-c"]):
                        _, status = run(checker + [listing], work)
                        check(f"{checker[0]} -c {who} {algorithm} {form}", status == 0, f"status {status}")
                    with open(listing, "wb") as f:
                        f.write(flipped(text))
                    output, status = run([KESWIN, "-c", listing], work)
                    check(f"keswin-sum -c {who} {algorithm} {form}, one digit changed",
                          status == 1 and output.count(b": FAILED\n") == 1, f"{status} {output!r}")
        xxh3_untagged(work, names)
        mixed_lengths(work, files)
        lengths(work)
    print(f"{len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
