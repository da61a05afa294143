#!/usr/bin/env python3
"""keswin-sum against the tools whose lists its new algorithms share: b3sum for BLAKE3, xxhsum for XXH32, XXH64,
XXH3 and XXH128, b2sum -l and b3sum --length for BLAKE2b and BLAKE3 at other lengths. Each writes what the other reads: our lines equal theirs byte for byte, we check their lists, they
check ours, and one changed digit is FAILED on both sides. Usage: other_tools.py KESWIN_SUM"""
import os
import subprocess
import sys
import tempfile

KESWIN = os.path.abspath(sys.argv[1])
# Our algorithm, their command for untagged lines, their command for tagged ones (None: they write none).
TOOLS = [
    ("blake3", ["b3sum"], None),
    ("xxh32", ["xxhsum", "-H0"], ["xxhsum", "-H0", "--tag"]),
    ("xxh64", ["xxhsum", "-H1"], ["xxhsum", "-H1", "--tag"]),
    ("xxh128", ["xxhsum", "-H2"], ["xxhsum", "-H2", "--tag"]),
    ("xxh3", None, ["xxhsum", "-H3"]),  # xxhsum writes XXH3 tagged only
]
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
    if first.startswith(b"XXH") or b") = " in first:
        at = len(first) - 1
    else:
        at = first.index(b" ") - 1
    digit = b"0" if first[at:at + 1] != b"0" else b"1"
    return first[:at] + digit + first[at + 1:] + b"\n" + rest


# Sizes about BLAKE2b's 128-byte blocks and BLAKE3's 1 KiB chunks and 64 KiB subtrees, and the lengths in bits.
SIZES = [0, 1, 1023, 1024, 1025, 65535, 65536, 65537, 2 ** 20 - 1, 2 ** 20, 2 ** 20 + 1]
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
                    checkers = [[KESWIN, "-a", algorithm, "-c"]] if algorithm == "blake2b" else []
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


def main():
    with tempfile.TemporaryDirectory() as work:
        files = {"empty": b"", "one": b"a", "chunks": os.urandom(3 * 1024 * 1024 + 17), "with space": b"x" * 1025}
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
        lengths(work)
    print(f"{len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
