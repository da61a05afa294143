#!/usr/bin/env python3
"""keswin-sum against the tools whose lists its new algorithms share: b3sum for BLAKE3, xxhsum for XXH32, XXH64,
XXH3 and XXH128. Each writes what the other reads: our lines equal theirs byte for byte, we check their lists, they
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
    print(f"{len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
