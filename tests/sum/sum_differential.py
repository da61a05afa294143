#!/usr/bin/env python3
"""keswin-sum against the machine's own tools: the same generated cases through `cksum -a ALG` (GNU coreutils) and
keswin-sum, standard output, standard error (after the program's name) and exit status compared byte for byte. The
algorithms coreutils lacks (crc32, sha3-256, sha3-512) are compared with Python's zlib and hashlib; SFV lists with
those `rhash --sfv` writes. Usage: sum_differential.py KESWIN_SUM"""
import hashlib
import os
import resource
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import zlib

KESWIN = os.path.abspath(sys.argv[1])
GNU = shutil.which("cksum")
GNU_ALGORITHMS = ["md5", "sha1", "sha224", "sha256", "sha384", "sha512", "blake2b"]
TAGS = {"md5": "MD5", "sha1": "SHA1", "sha224": "SHA224", "sha256": "SHA256", "sha384": "SHA384",
        "sha512": "SHA512", "blake2b": "BLAKE2b", "crc32": "CRC32", "sha3-256": "SHA3-256", "sha3-512": "SHA3-512"}

failures = []
passes = 0


def run(program, args, cwd, stdin=b"", env_extra=None, user=None, stdout=subprocess.PIPE, ignore_sigpipe=False):
    env = dict(os.environ, LC_ALL="C.UTF-8")
    env.update(env_extra or {})
    command = [program] + args
    if user is not None and os.geteuid() == 0:  # root reads anything: the unreadable cases run as nobody
        command = ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups", "--"] + command
    preexec = (lambda: signal.signal(signal.SIGPIPE, signal.SIG_IGN)) if ignore_sigpipe else None
    done = subprocess.run(command, cwd=cwd, input=stdin, stdout=stdout, stderr=subprocess.PIPE, env=env,
                          timeout=120, preexec_fn=preexec)
    return done.stdout, done.stderr, done.returncode


def normalised(stderr, program):
    # Messages start with the program's name as it was called, and the usage hint names it again.
    return stderr.replace(program.encode(), b"PROG")


def check(name, condition, detail=""):
    global passes
    if condition:
        passes += 1
    else:
        failures.append(name)
        print(f"FAIL {name}\n    {detail}")


# Where our words knowingly differ from GNU's: an algorithm it lacks.
REWORDED = [(b"--length is only supported with --algorithm=blake2b\n",
             b"--length is only supported with --algorithm=blake2b or blake3\n")]


def same(name, args, cwd, stdin=b"", user=None, stdout=subprocess.PIPE, ignore_sigpipe=False, stderr_lines=None,
         env=None):
    """Both programs, the same arguments: the same output, messages and status."""
    ours = run(KESWIN, args, cwd, stdin, env, user=user, stdout=stdout, ignore_sigpipe=ignore_sigpipe)
    theirs = run(GNU, args, cwd, stdin, env, user=user, stdout=stdout, ignore_sigpipe=ignore_sigpipe)
    ours_err = normalised(ours[1], KESWIN)
    theirs_err = normalised(theirs[1], GNU)
    for gnu_words, our_words in REWORDED:
        theirs_err = theirs_err.replace(gnu_words, our_words)
    if stderr_lines is not None:
        ours_err = b"\n".join(ours_err.split(b"\n")[:stderr_lines])
        theirs_err = b"\n".join(theirs_err.split(b"\n")[:stderr_lines])
    check(name, (ours[0], ours_err, ours[2]) == (theirs[0], theirs_err, theirs[2]),
          f"args {args!r}\n    ours:   {ours[0]!r} {ours_err!r} {ours[2]}\n    theirs: {theirs[0]!r} "
          f"{theirs_err!r} {theirs[2]}")
    return theirs


def write(folder, name, data, mode=0o644):
    path = os.path.join(folder, name)
    with open(path, "wb") as f:
        f.write(data)
    os.chmod(path, mode)
    return name


ODD_NAMES = [b"plain.txt", b"back\\slash", b"line\nfeed", b"carriage\rreturn", b"all\\three\n\r", b" lead and trail ",
             b"\xff\xfe not utf-8", b"caf\xc3\xa9", b"-dash", b"<b>markup<b> & 'quote'", b"colon: here",
             b"a) = b", b"*star", b"#hash", b"tab\there", b"x"]


def main():
    work = tempfile.mkdtemp(prefix="keswin-sum-diff-")
    os.chmod(work, 0o755)
    try:
        cases(work)
    finally:
        subprocess.run(["chmod", "-R", "u+rwx", work])
        shutil.rmtree(work)
    print(f"{passes} passed, {len(failures)} failed")
    sys.exit(1 if failures else 0)


def own_choices(work):
    """What keswin-sum does where cksum is no guide: the one-algorithm tools' answers where they have one, else our
    own words, exactly."""
    def ours_and(program, args, ours_args=None):
        ours = run(KESWIN, ours_args if ours_args is not None else args, work)
        path = shutil.which(program)
        theirs = run(path, args, work)
        return (ours[0], normalised(ours[1], KESWIN), ours[2]), (theirs[0], normalised(theirs[1], path), theirs[2])

    write(work, "sha256.sums", run(GNU, ["-a", "sha256", "--untagged", "x", "big"], work)[0])
    # --tag makes no sense when checking: refused in sha256sum's words, whatever the order; --untagged after it wins.
    for args in (["-c", "--tag", "sha256.sums"], ["--tag", "-c", "sha256.sums"], ["-c", "--tag", "-z", "sha256.sums"]):
        ours, theirs = ours_and("sha256sum", args, ["-a", "sha256"] + args)
        check(f"-a sha256 {' '.join(args)}", ours == theirs, f"ours {ours!r}\n    theirs {theirs!r}")
    out, _, status = run(KESWIN, ["-a", "sha256", "-c", "--tag", "--untagged", "sha256.sums"], work)
    check("-c --tag --untagged", (out, status) == (b"x: OK\nbig: OK\n", 0), repr((out, status)))
    # A name given twice in -a: that, not the list of every algorithm.
    out, err, status = run(KESWIN, ["-a", "blake3,md5,blake3", "x"], work)
    check("-a blake3,md5,blake3", (out, normalised(err, KESWIN), status) == (
        b"", "PROG: algorithm \u2018blake3\u2019 is named twice in \u2018blake3,md5,blake3\u2019\n"
             "Try 'PROG --help' for more information.\n".encode(), 1), repr((out, err, status)))

    # Single-space "HEX NAME" lines without -a, as the one-algorithm tools read them, wrong digits too; eight digits
    # stay SFV's.
    for program, algorithm in (("sha256sum", "sha256"), ("md5sum", "md5"), ("sha1sum", "sha1"), ("b2sum", "blake2b")):
        lines = run(GNU, ["-a", algorithm, "--untagged", "x", "big"], work)[0].replace(b"  ", b" ")
        bad = b"0" + lines[1:] if lines[:1] != b"0" else b"1" + lines[1:]
        for name, text in (("intact", lines), ("one wrong", bad), ("tab", lines.replace(b" ", b"\t", 1))):
            write(work, "single.sums", text)
            ours, theirs = ours_and(program, ["-c", "single.sums"])
            check(f"single space, {algorithm}, {name}, without -a", ours == theirs,
                  f"ours {ours!r}\n    theirs {theirs!r}")

    # A tagged line cut short is improperly formatted, never SFV's "NAME CRC" for a file named "SHA256 (x) =".
    good = run(GNU, ["-a", "md5", "x"], work)[0]
    write(work, "cut.sums", good + b"SHA256 (x) = 092f7eb0\n" + good)
    same("tagged line cut to eight digits", ["-c", "-w", "cut.sums"], work)
    # Without -a the word in -w's warning is CRC until a line's tag names an algorithm, known or not, and that
    # algorithm's after it, whatever the lines after it are.
    md5_hex = good.rstrip(b"\n").rsplit(b" = ", 1)[1]
    write(work, "words.sums", b"junk\nSHA1 (x) = 12\nmore junk\nMD4 (x) = 00\n" + good + b"x\nSHA1-160 (x) = 1\n"
          b"BLAKE2b-7 (x) = 1\nx\nSHA256 (x  = " + md5_hex + b"\nx\nSHA512(x\nx\n")
    same("-w's words without -a", ["-c", "-w", "words.sums"], work)
    write(work, "cut.sums", good + b"XXH64 (x) = 092f7eb0\n")
    out, err, status = run(KESWIN, ["-c", "-w", "cut.sums"], work)
    check("XXH64 line cut to eight digits", (out, status) == (b"x: OK\n", 0) and normalised(err, KESWIN) ==
          b"PROG: cut.sums: 2: improperly formatted XXH64 checksum line\n"
          b"PROG: WARNING: 1 line is improperly formatted\n", repr((out, err, status)))


def cases(work):
    wb = os.fsencode(work)
    files = []
    for i, name in enumerate(ODD_NAMES):
        with open(os.path.join(wb, name), "wb") as f:
            f.write(os.urandom(i * 997))
        files.append(os.fsdecode(name))
    write(work, "empty", b"")
    write(work, "big", os.urandom(3 * 1024 * 1024 + 7))
    write(work, "unreadable", b"secret", 0o000)
    os.mkdir(os.path.join(work, "folder"))
    files += ["empty", "big"]
    # getopt would take "-dash" for options: past "--" it is a file.
    file_args = ["--"] + files

    # ---- making sums ----
    for algorithm in GNU_ALGORITHMS:
        for extra in ([], ["--untagged"], ["-z"], ["--untagged", "-z"], ["--tag"]):
            same(f"sums {algorithm} {extra}", ["-a", algorithm] + extra + file_args, work)
        same(f"sums {algorithm} stdin", ["-a", algorithm], work, stdin=b"from standard input\n")
        same(f"sums {algorithm} dash twice", ["-a", algorithm, "-", "x", "-"], work, stdin=b"once")
        same(f"sums {algorithm} missing and folder", ["-a", algorithm, "x", "missing", "folder", "x", "."], work)
        same(f"sums {algorithm} unreadable as nobody", ["-a", algorithm, "x", "unreadable", "x"], work, user="nobody")
    same("sums /dev/null", ["-a", "md5", "/dev/null"], work)
    # Names in messages, quoted for a shell: bytes above 127 are escaped in the C locale, shown in a UTF-8 one.
    odd_missing = ["caf\udcc3\udca9 gone", "\udcff", "it's", "a'b c", "#x", "x#", "~", "{", "}", "a=b", "tab\tx",
                   "new\nline", "a\\b", ""]
    for locale in ("C", "C.UTF-8"):
        same(f"missing names, LC_ALL={locale}", ["-a", "md5", "--"] + odd_missing, work, env={"LC_ALL": locale})
        same(f"unknown algorithm, LC_ALL={locale}", ["-a", "md4"], work, env={"LC_ALL": locale}, stderr_lines=1)

    # Names in messages, every character of a table of code points (and broken UTF-8) in a name, in C.UTF-8: shown
    # as they are or escaped exactly as md5sum does it, message for message.
    points = (list(range(0x80, 0x10000)) + list(range(0x1F000, 0x20000)) + list(range(0xE0000, 0xE0200)) +
              list(range(0xF0000, 0xF0100)) + list(range(0x10FF00, 0x110000)))
    names = [b"a" + chr(p).encode("utf-8", "surrogatepass") + b"b" for p in points]
    broken = [b"a\xe2\x80b", b"a\xf0\x9fb", b"\xc0\x80", b"\xc1\xbf", b"\xe0\x80\x80", b"\xf4\x90\x80\x80",
              b"\xf5\x80\x80\x80", b"\xf8\x88\x80\x80\x80", b"\xe2\x80", b"\x80", b"a\xc3", b"\xe2\x80\x8d\xff"]
    names += broken
    labels = [f"U+{p:04X}" for p in points] + [repr(b) for b in broken]
    md5sum = shutil.which("md5sum")
    differing = []
    for start in range(0, len(names), 8192):
        chunk = [os.fsdecode(n) for n in names[start:start + 8192]]
        said = [[line.split(b": ", 1)[1] for line in run(program, prefix + ["--"] + chunk, work)[1].split(b"\n")
                 if line] for program, prefix in ((KESWIN, ["-a", "md5"]), (md5sum, []))]
        differing += [(label, ours, theirs) for label, ours, theirs in zip(labels[start:], said[0], said[1])
                      if ours != theirs]
        check(f"names in messages from {labels[start]}: one message each", len(said[0]) == len(said[1]) ==
              len(chunk), f"{len(said[0])} {len(said[1])} {len(chunk)}")
    check("names in messages: every code point quoted as md5sum quotes it", not differing, repr(differing[:20]))

    # ---- one language: untranslated, every message is English, the system's words included ----
    # The German locale is built into the work folder (no root needed); without its sources the case is skipped.
    locales = os.path.join(work, "locales")
    os.mkdir(locales)
    built = shutil.which("localedef") and subprocess.run(
        ["localedef", "-i", "de_DE", "-f", "UTF-8", os.path.join(locales, "de_DE.UTF-8")],
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode in (0, 1)
    german = {"LC_ALL": "de_DE.UTF-8", "LOCPATH": locales}
    if built and b"Verzeichnis" in run(shutil.which("md5sum"), ["folder"], work, env_extra=german)[1]:
        for args in (["-a", "md5", "folder", "missing", "x", "unreadable"], ["-a", "md5", "-c", "missing.sums"],
                     ["-a", "md5", "-c", "folder"], ["-a", "md5", "-c", "-"]):
            stdin = b"MD5 (folder) = " + b"0" * 32 + b"\nMD5 (unreadable) = " + b"0" * 32 + b"\n"
            ours = run(KESWIN, args, work, stdin, german, user="nobody")
            theirs = run(GNU, args, work, stdin, {"LC_ALL": "C.UTF-8"}, user="nobody")
            check(f"messages in English under de_DE.UTF-8 {args}",
                  (ours[0], normalised(ours[1], KESWIN), ours[2]) == (theirs[0], normalised(theirs[1], GNU), theirs[2]),
                  f"ours {ours!r}\n    theirs {theirs!r}")
    else:
        print("SKIP messages under de_DE.UTF-8: the locale could not be built (localedef and the locales package)")

    # ---- usage errors ----
    usage = [["--bogus"], ["-q"], ["-a"], ["-a", "md5", "--status"], ["-a", "md5", "--quiet"],
             ["-a", "md5", "--strict"], ["-a", "md5", "--warn"], ["-a", "md5", "--ignore-missing"],
             ["-a", "md5", "-c", "-z", "x"], ["-a", "md5", "--chec", "/dev/null"], ["--algo=md5", "x"],
             ["-a", "md5", "-w"], ["-b", "x"], ["-t", "x"], ["-a", "md5", "-b", "x"], ["-b", "--bogus"],
             ["--bogus", "-t"], ["-b", "--help"], ["-tb", "--version"], ["-a", "md5", "-c", "-t", "/dev/null"],
             ["-a", "md5", "--debug", "x"], ["--deb", "-a", "md5", "x"], ["-a", "md5", "--debug", "-c", "/dev/null"],
             ["-a", "md5", "--debug=1", "x"]]
    for args in usage:
        same(f"usage {args}", args, work)
    # The list of valid names differs (ours has crc32 and the SHA-3 pair): the first line and the status only.
    same("usage unknown algorithm", ["-a", "md4", "x"], work, stderr_lines=1)

    # ---- checking ----
    for algorithm in GNU_ALGORITHMS:
        tagged = run(GNU, ["-a", algorithm] + file_args, work)[0]
        untagged = run(GNU, ["-a", algorithm, "--untagged"] + file_args, work)[0]
        write(work, "tagged.sums", tagged)
        write(work, "untagged.sums", untagged)
        lines = tagged.split(b"\n")
        digest_length = len(lines[0].rsplit(b" = ", 1)[1])
        good = lines[0].rsplit(b" = ", 1)[1]
        bad = bytes(reversed(good))
        tag = TAGS[algorithm].encode()
        malformed = [b"", b"# comment", b"   ", b"junk", tag + b" (x) = " + good[:-1], tag + b" (x) = " + good + b"0",
                     tag + b" (x) = " + good[:-1] + b"g", tag + b" (x) = " + good + b" ", b"MD4 (x) = " + good,
                     tag + b" (x) " + good, tag + b" (x = " + good, b"\\" + tag + b" (a\\tb) = " + good,
                     good + b"  ", good + b"\tx", tag + b" (x) = " + good + b"\r",
                     good + b"  x\r", b"\\" + good + b"  n\\nl", b"; sfv comment", tag.lower() + b" (x) = " + good,
                     tag + b"(x)=" + good, tag + b"  (x) = " + good, b"  " + tag + b" (x) = " + good,
                     tag + b" (missing) = " + good, tag + b" (folder) = " + good, tag + b" (x) = " + bad,
                     tag + b" (x) = " + good.upper()]
        if algorithm != "blake2b":
            # GNU's BLAKE2b takes any shorter length from the hex; ours computes the 512-bit one only.
            malformed.insert(12, good[:-2] + b"  x")
        write(work, "mixed.sums", b"\n".join(malformed + lines))
        write(work, "mixed-crlf.sums", b"\r\n".join(lines))
        write(work, "no-final-newline.sums", tagged.rstrip(b"\n"))
        write(work, "only-missing.sums", tag + b" (missing) = " + good + b"\n" + tag + b" (gone) = " + good + b"\n")
        # A name that runs through a file is not missing: --ignore-missing still reports it.
        write(work, "through-a-file.sums", tag + b" (missing) = " + good + b"\n" + tag + b" (x/inside) = " + good + b"\n")
        write(work, "only-junk.sums", b"junk\nmore junk\n")
        write(work, "single-space.sums", good + b" x\n" + good + b"  x\n")
        write(work, "two-space-first.sums", good + b"  x\n" + good + b" x\n")
        write(work, "dash.sums", tag + b" (-) = " + good + b"\n")
        options = [[], ["--quiet"], ["--status"], ["--strict"], ["--warn"], ["--ignore-missing"],
                   ["--quiet", "--warn", "--strict"], ["--status", "--ignore-missing"], ["-w", "--ignore-missing"]]
        for listing in ["tagged.sums", "untagged.sums", "mixed.sums", "mixed-crlf.sums", "no-final-newline.sums",
                        "only-missing.sums", "through-a-file.sums", "only-junk.sums", "single-space.sums", "two-space-first.sums",
                        "missing.sums", "folder"]:
            for extra in options:
                same(f"check {algorithm} {listing} {extra}", ["-a", algorithm, "-c"] + extra + [listing], work)
        same(f"check {algorithm} two lists", ["-a", algorithm, "-c", "tagged.sums", "only-junk.sums"], work)
        same(f"check {algorithm} list on stdin", ["-a", algorithm, "-c"], work, stdin=tagged)
        same(f"check {algorithm} dash list", ["-a", algorithm, "-c", "-"], work, stdin=b"\n".join(malformed))
        same(f"check {algorithm} dash entry", ["-a", algorithm, "-c", "dash.sums"], work, stdin=b"not x")
        same(f"check {algorithm} dash entry from stdin list", ["-a", algorithm, "-c", "-w"], work,
             stdin=tag + b" (-) = " + good + b"\n")
        same(f"check {algorithm} unreadable as nobody", ["-a", algorithm, "-c", "-"], work, user="nobody",
             stdin=tag + b" (unreadable) = " + good + b"\n" + tag + b" (x) = " + good + b"\n")
        # Without -a, GNU's cksum reads tagged lines only, of any algorithm (ours reads the others too).
        # Ours also takes ";" lines for comments, as in SFV lists.
        write(work, "tagged-mixed.sums", b"\n".join(line for line in malformed + lines
                                                     if not line.lstrip(b" \\").startswith((good[:2], b";"))))
        same(f"check tagged {algorithm} without -a", ["-c", "--warn", "tagged-mixed.sums"], work)
        check(f"length {algorithm}", digest_length > 0)

    # ---- lists of b2sum and sha512sum, read without -a: 128 digits are tried as every algorithm of that length ----
    for tool in ("b2sum", "sha512sum", "sha256sum", "md5sum"):
        program = shutil.which(tool)
        listing = run(program, file_args, work)[0]
        wrong = run(program, ["x"], work)[0].replace(b"  x", b"  big")
        write(work, "tool.sums", listing + wrong + listing.split(b"\n")[0] + b"\n")
        for extra in ([], ["--quiet"], ["--strict"]):
            ours = run(KESWIN, ["-c"] + extra + ["tool.sums"], work)
            theirs = run(program, ["-c"] + extra + ["tool.sums"], work)
            ours = (ours[0], normalised(ours[1], KESWIN), ours[2])
            theirs = (theirs[0], normalised(theirs[1], program), theirs[2])
            check(f"{tool} list without -a {extra}", ours == theirs, f"ours {ours!r}\n    theirs {theirs!r}")
    # A length no algorithm here has (b2sum -l 96) is unsupported: said so, counted as not understood, never FAILED.
    write(work, "b96.sums", run(shutil.which("b2sum"), ["-l", "96", "x", "big"], work)[0] +
          run(GNU, ["-a", "md5", "--untagged", "x"], work)[0])
    out, err, status = run(KESWIN, ["-c", "b96.sums"], work)
    check("b2sum -l 96 list without -a", (out, status) == (b"x: OK\n", 0) and normalised(err, KESWIN) ==
          b"PROG: b96.sums: 1: unsupported digest length: 24 hex digits\n"
          b"PROG: b96.sums: 2: unsupported digest length: 24 hex digits\n"
          b"PROG: WARNING: 2 lines are improperly formatted\n", repr((out, err, status)))
    # --status says nothing of them either; --quiet still does, as it still names FAILED files.
    out, err, status = run(KESWIN, ["-c", "--status", "b96.sums"], work)
    check("b2sum -l 96 list, --status", (out, err, status) == (b"", b"", 0), repr((out, err, status)))
    out, err, status = run(KESWIN, ["-c", "--quiet", "b96.sums"], work)
    check("b2sum -l 96 list, --quiet", out == b"" and status == 0 and err.count(b"unsupported digest length") == 2,
          repr((out, err, status)))
    out, err, status = run(KESWIN, ["-c", "--status"], work, stdin=b"51  x\n" + run(GNU, ["-a", "md5", "--untagged",
                                                                                       "x"], work)[0])
    check("one byte's digest, --status", (out, err, status) == (b"", b"", 0), repr((out, err, status)))
    own_choices(work)
    # BLAKE2b at other lengths (b2sum -l N) is checked as GNU checks it: tagged lines with or without -a, untagged
    # ones with -a blake2b whatever -l says (a line gives its own length), one wrong digit FAILED, a length that is
    # not a whole number of bytes or is past 512 bits improperly formatted.
    for bits in (8, 128, 160, 256, 384, 504):
        b2sum = shutil.which("b2sum")
        tagged_list = run(b2sum, ["-l", str(bits), "--tag", "x", "big"], work)[0]
        untagged_list = run(b2sum, ["-l", str(bits), "x", "big"], work)[0]
        wrong = bytearray(tagged_list)
        wrong[tagged_list.index(b"\n") - 1] ^= 1
        write(work, "b2-tagged.sums", tagged_list + run(GNU, ["-a", "md5", "x"], work)[0] + bytes(wrong) +
              b"BLAKE2b-%d (x) = %s\n" % (bits + 4, b"0" * ((bits + 4) // 4)) +
              b"BLAKE2b-520 (x) = " + b"0" * 130 + b"\n")
        write(work, "b2-untagged.sums", untagged_list)
        for args in (["-c", "--warn", "b2-tagged.sums"], ["-a", "blake2b", "-c", "b2-tagged.sums"],
                     ["-a", "blake2b", "-c", "b2-untagged.sums"], ["-a", "blake2b", "-l", "256", "-c",
                                                                   "b2-untagged.sums"]):
            same(f"b2sum -l {bits}: {' '.join(args)}", args, work)
        # Without -a, 64 digits may be BLAKE2b-256 (with SHA-256, SHA3-256 and BLAKE3, all from one read); other
        # lengths keep the algorithms of theirs.
        # A list named for BLAKE2b is read as b2sum's at the length of its lines, however many digits: intact files
        # OK, one changed digit FAILED; no other name changes anything.
        wrong = bytearray(untagged_list)
        wrong[0] = ord("0") if wrong[0] != ord("0") else ord("1")
        for name in ("B2SUMS", "b2sums.txt", "x.b2", "X.B2", "B2SUM"):
            for text, expected in ((untagged_list, (b"x: OK\nbig: OK\n", b"", 0)),
                                   (bytes(wrong), (b"x: FAILED\nbig: OK\n",
                                                   b"PROG: WARNING: 1 computed checksum did NOT match\n", 1))):
                write(work, name, text)
                out, err, status = run(KESWIN, ["-c", name], work)
                check(f"b2sum -l {bits} list named {name} without -a", (out, normalised(err, KESWIN), status) ==
                      expected, repr((out, err, status)))
        out, err, status = run(KESWIN, ["-c", "b2-untagged.sums"], work)
        if bits not in (256, 512):
            check(f"b2sum -l {bits} list named for no algorithm, without -a", status == 1 and b": OK" not in out,
                  repr((out, err, status)))
        if bits == 256:
            check("b2sum -l 256 list without -a", (out, err, status) == (b"x: OK\nbig: OK\n", b"", 0),
                  repr((out, err, status)))

    # -l as GNU takes it: its words and status for a length that is no number, not a whole number of bytes, past 512
    # bits or without blake2b; 0 for the algorithm's own; the last one given wins; lines tagged with the length.
    for length in ("7", "600", "520", "abc", "-8", "", "0x10", "99999999999999999999999", "1024", "513"):
        for algorithm in ("blake2b", "sha256"):
            same(f"-a {algorithm} -l {length!r}", ["-a", algorithm, "-l", length, "x"], work)
    for args in (["-l", "256", "x"], ["-a", "sha256", "-l", "256", "x"], ["-a", "blake2b", "-l", "0", "x"],
                 ["-a", "blake2b", "-l", "016", "x"], ["-a", "blake2b", "-l", " +16", "x"],
                 ["-a", "blake2b", "-l", "16", "-l", "0", "x"], ["-a", "blake2b", "--length=384", "x", "big"],
                 ["-a", "blake2b", "-l", "512", "--untagged", "x"], ["-a", "blake2b", "-l", "7", "--bogus", "x"],
                 ["-a", "blake2b", "-l", "160", "--untagged", "-z", "x"], ["-a", "blake2b", "-l", "8", "-", "x"]):
        same(f"length: {' '.join(args)}", args, work, stdin=b"from standard input")

    # ---- the length a tag may carry, names and digests cut at a NUL, the empty name ----
    for algorithm in GNU_ALGORITHMS:
        tagged = run(GNU, ["-a", algorithm, "x"], work)[0]
        good = tagged.rstrip(b"\n").rsplit(b" = ", 1)[1]
        tag = TAGS[algorithm].encode()
        bits = len(good) * 4
        decimal = str(bits).encode()
        lengths = [decimal, b"+" + decimal, b" " + decimal, b"\t" + decimal, b"\v" + decimal, b"%x" % bits,
                   b"0x%x" % bits, b"0X0%X" % bits, b"0%o" % bits, b"0" + decimal, decimal + b"0", b"-" + decimal,
                   b"--" + decimal, b"++" + decimal, b"+ " + decimal, b"- " + decimal, decimal + b"x",
                   decimal + b".0", b"", b"0x", b"0", b"0b" + bin(bits)[2:].encode(), str(bits * 2).encode(),
                   str(bits // 2).encode(), str(2 ** 64 + bits).encode(), b"9" * 30, decimal + b" " + decimal]
        lines = [tag + b"-" + length + b" (x) = " + good for length in lengths]
        lines += [tag + b"-" + decimal + gap + b"(x)" + equals + good for gap in (b"", b" ", b"  ", b"\t", b" \t")
                  for equals in (b"=", b" = ", b"\t=\t")]
        lines += [b"\\" + tag + b"-" + decimal + b" (x) = " + good, b" \t" + tag + b"-" + decimal + b" (x) = " + good,
                  tag + b" -" + decimal + b" (x) = " + good, tag + b"-" + decimal + b" (x) = " + bytes(reversed(good)),
                  b"MD5-128 (x) = " + good, b"SHA1-160 (x) = " + good, b"BLAKE2b-512 (x) = " + good]
        nul = [good + b" ", good + b"  ", good + b"   ", good, good + b"\t", good + b" \0", good + b"  \0x",
               good + b" *", good + b"  x\0y", good[:10] + b"\0" + good[11:] + b"  x", b"\\" + good + b"  x\0y",
               tag + b" (x\0y) = " + good, tag + b" (\0x) = " + good, tag + b" (x) = " + good + b"\0junk",
               tag + b" (x) = " + good[:10] + b"\0" + good[11:], b"\\" + tag + b" (x\0y) = " + good,
               tag[:1] + b"\0" + tag[1:] + b" (x) = " + good, b"\0" + tag + b" (x) = " + good,
               tag + b" (x) = " + good + b"\r\0", tag + b" (x) = " + good + b"\0\r"]
        for number, line in enumerate(lines + nul):
            write(work, "one.sums", line + b"\n")
            # Without -a GNU's cksum reads tagged lines only; ours reads the others by their length.
            untagged = line.lstrip(b"\\").startswith(good[:10])
            for extra in ([["-a", algorithm]] if untagged else [[], ["-a", algorithm]]):
                same(f"line {algorithm} {number} {line!r} {extra}", extra + ["-c", "--warn", "one.sums"], work)
        # "HEX " is read in the single-space form, which may not follow the two-space one.
        for order in ([good + b"  x", good + b" "], [good + b" ", good + b"  x"], [good + b" x", good + b" "]):
            write(work, "two.sums", b"\n".join(order) + b"\n")
            same(f"empty name {algorithm} {order!r}", ["-a", algorithm, "-c", "two.sums"], work)

    # ---- lines of any length: a name too long to open is reported as such ----
    md5_x = run(GNU, ["-a", "md5", "--untagged", "x"], work)[0].split(b" ")[0]
    long_name = b"./" * 35000 + b"x"
    for number, listing in enumerate([b"j" * 70000 + b"\n", b"MD5 (" + long_name + b") = " + md5_x + b"\n",
                                      b"MD5 (x) = " + md5_x + b"\n" + b"j" * 200000 + b"\nMD5 (x) = " + md5_x,
                                      md5_x + b"  " + long_name + b"\nMD5 (x) = " + md5_x + b"\n",
                                      b"MD5 (" + long_name + b") = " + md5_x[:-1] + b"\n"]):
        write(work, "long.sums", listing)
        for extra in ([], ["--warn"], ["--strict"], ["--ignore-missing"], ["--status"]):
            same(f"long line {number} {extra}", ["-a", "md5", "-c"] + extra + ["long.sums"], work)

    # ---- a list without line ends is never held whole: 512 MiB of one line costs a few MiB ----
    # (GNU's reader holds the whole line, so there is nothing to compare with.)
    endless = subprocess.Popen(["head", "-c", str(512 << 20), "/dev/zero"], stdout=subprocess.PIPE)
    before = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss
    done = subprocess.run([KESWIN, "-a", "md5", "-c", "-"], cwd=work, stdin=endless.stdout, capture_output=True,
                          timeout=120, env=dict(os.environ, LC_ALL="C.UTF-8"))
    endless.wait()
    peak_kib = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss
    check("one endless line, memory held", peak_kib < 200 * 1024 or peak_kib == before,
          f"peak resident {peak_kib} KiB")
    check("one endless line, improperly formatted",
          done.returncode == 1 and done.stderr.endswith(b": no properly formatted checksum lines found\n"),
          f"{done.stderr!r} {done.returncode}")

    # ---- standard streams closed by the caller: no descriptor of ours may stand in for them ----
    for redirect, args in [("<&-", ["-a", "md5", "x"]), ("<&-", ["-a", "md5", "-"]), ("<&-", ["-a", "md5", "-c"]),
                           ("<&-", ["-a", "md5", "-c", "tagged.sums"]), (">&-", ["-a", "md5", "x"]),
                           (">&-", ["-a", "md5", "-c", "tagged.sums"]), (">&-", ["-a", "md5", "-c", "--status",
                                                                               "tagged.sums"])]:
        answers = []
        for program in (KESWIN, GNU):
            done = subprocess.run(["bash", "-c", f'exec "$@" {redirect}', "closing", program] + args, cwd=work,
                                  stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=120,
                                  env=dict(os.environ, LC_ALL="C.UTF-8"))
            answers.append((done.stdout, normalised(done.stderr, program), done.returncode))
        check(f"closed {redirect} {args}", answers[0] == answers[1], f"ours {answers[0]!r}\n    theirs {answers[1]!r}")

    # ---- write errors ----
    with open("/dev/full", "wb") as full:
        same("sums to a full disk", ["-a", "md5", "x"], work, stdout=full)
        same("check to a full disk", ["-a", "md5", "-c", "tagged.sums"], work, stdout=full)
    # After a failed write every file and list is still read and reported; the write error comes last.
    write(work, "pipe.sums", run(GNU, ["-a", "md5", "x", "empty"], work)[0] + b"MD5 (missing) = " + b"0" * 32 + b"\n")
    for args in (["-a", "md5"] + file_args, ["-a", "md5", "x", "missing", "x"],
                 ["-a", "md5", "-c", "pipe.sums", "missing.sums", "pipe.sums"]):
        for ignore in (False, True):
            results = []
            for program in (KESWIN, GNU):
                reader, writer = os.pipe()
                os.close(reader)
                env = dict(os.environ, LC_ALL="C.UTF-8")
                preexec = (lambda: signal.signal(signal.SIGPIPE, signal.SIG_IGN)) if ignore else None
                done = subprocess.run([program] + args, cwd=work, stdout=writer,
                                      stderr=subprocess.PIPE, env=env, preexec_fn=preexec, timeout=60)
                os.close(writer)
                results.append((normalised(done.stderr, program), done.returncode))
            check(f"closed pipe, SIGPIPE {'ignored' if ignore else 'default'} {args[2:5]}", results[0] == results[1],
                  repr(results))

    # ---- our own output file among the files read: read as it stands, never blamed on another program ----
    own = os.path.join(work, "own-output")
    os.mkdir(own)
    write(own, "a", b"first\n")
    write(own, "b", b"second\n" * 5000)
    results = []
    for program in (KESWIN, GNU):
        for _ in range(2):  # the second time the list is there, emptied by the shell, and read
            done = subprocess.run(["sh", "-c", f'"$0" -a sha256 SHA256SUMS a b > SHA256SUMS', program], cwd=own,
                                  stderr=subprocess.PIPE, timeout=60)
        with open(os.path.join(own, "SHA256SUMS"), "rb") as listed:
            results.append((listed.read(), normalised(done.stderr, program), done.returncode))
    check("own output among the files read", results[0] == results[1], repr(results))
    # Standard error, or a descriptor the shell leaves open for writing, sent to a file that is also read: ours
    # too, read as it stands. Messages land in the file read, so only its line's name and the status are compared.
    for redirect, name in (("2> ERRS", "ERRS"), ("3>> a", "a")):
        results = []
        for program in (KESWIN, GNU):
            write(own, "ERRS", b"")
            done = subprocess.run(["sh", "-c", f'"$0" -a md5 --untagged a {name} gone {redirect}', program],
                                  cwd=own, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=60)
            names = [line.split(b"  ", 1)[-1] for line in done.stdout.splitlines()]
            results.append((names, done.returncode))
        check(f"own writer among the files read: {redirect}", results[0] == results[1], repr(results))

    # ---- the same non-regular file named twice: read one after the other, in order ----
    piped = b"piped data\n" * 20000
    for args in (["-", "/dev/stdin"], ["/dev/stdin", "-"], ["-", "/proc/self/fd/0", "-"], ["-", "-"]):
        same(f"standard input named twice: {' '.join(args)}", ["-a", "md5"] + args, work, stdin=piped)
    write(work, "sa", b"between\n")
    stdin_list = (hashlib.md5(piped).hexdigest() + "  /dev/stdin\n" + hashlib.md5(b"between\n").hexdigest() +
                  "  sa\n" + hashlib.md5(b"").hexdigest() + "  /dev/stdin\n").encode()
    write(work, "stdin.md5", stdin_list)
    same("check list naming standard input twice", ["-a", "md5", "-c", "stdin.md5"], work, stdin=piped)

    # ---- a FIFO is read ----
    fifo = os.path.join(work, "fifo")
    os.mkfifo(fifo)
    outputs = []
    for program in (KESWIN, GNU):
        writer = threading.Thread(target=lambda: open(fifo, "wb").write(b"through a pipe" * 1000))
        writer.start()
        outputs.append(run(program, ["-a", "sha256", "fifo"], work))
        writer.join()
    check("FIFO", outputs[0] == outputs[1], repr(outputs))

    # ---- each file's lines leave when the file is done: a reader has them while a later file is still awaited ----
    def streamed(program, args, ignore_sigpipe=False, close_after_first=False):
        """The first line, whether it came before the FIFO was fed, then the rest, the messages and the status."""
        fed = threading.Event()

        def feed():
            with open(fifo, "wb") as f:
                fed.wait(10)
                f.write(b"late data")

        feeder = threading.Thread(target=feed)
        feeder.start()
        preexec = (lambda: signal.signal(signal.SIGPIPE, signal.SIG_IGN)) if ignore_sigpipe else None
        process = subprocess.Popen([program] + args, cwd=work, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                   env=dict(os.environ, LC_ALL="C.UTF-8"), preexec_fn=preexec)
        early = select.select([process.stdout], [], [], 3)[0] != []
        first = process.stdout.readline() if early else b""
        if close_after_first:
            process.stdout.close()  # as `| head -1` does
        fed.set()
        rest = b"" if close_after_first else process.stdout.read()
        error = process.stderr.read()
        process.wait(60)
        feeder.join()
        return early, first, rest, normalised(error, program), process.returncode

    for args in (["-a", "md5", "x", "fifo", "missing", "x"], ["-a", "md5", "-c", "fifo-last.sums"]):
        for ignore in (False, True):
            for close in (False, True):
                write(work, "fifo-last.sums", run(GNU, ["-a", "md5", "x", "empty"], work)[0].replace(b"empty",
                                                                                                  b"fifo"))
                results = [streamed(program, args, ignore, close) for program in (KESWIN, GNU)]
                check(f"streamed {args} SIGPIPE {'ignored' if ignore else 'default'}"
                      f"{', reader gone after line 1' if close else ''}",
                      results[0] == results[1] and results[1][0], f"ours {results[0]!r}\n    theirs {results[1]!r}")

    # A FIFO named twice is opened twice, one after the other: each opening waits for a writer of its own. The
    # writer gives the first reader time to see its end before it opens the FIFO again.
    rounds = [b"first writer\n" * 3000, b"second writer\n" * 3000]

    def two_writers():
        # Gives up on a reader that never comes, so that a program reading the FIFO once cannot hang the test.
        for data in rounds:
            deadline = time.monotonic() + 20
            while True:
                try:
                    descriptor = os.open(fifo, os.O_WRONLY | os.O_NONBLOCK)
                    break
                except OSError:
                    if time.monotonic() > deadline:
                        return
                    time.sleep(0.01)
            os.set_blocking(descriptor, True)
            try:
                os.write(descriptor, data)
            except OSError:
                pass
            os.close(descriptor)
            time.sleep(0.5)

    write(work, "fa", b"between\n")
    fifo_list = (hashlib.md5(rounds[0]).hexdigest() + "  fifo\n" + hashlib.md5(b"between\n").hexdigest() +
                 "  fa\n" + hashlib.md5(rounds[1]).hexdigest() + "  fifo\n").encode()
    write(work, "fifo.md5", fifo_list)
    for args in (["fifo", "fifo"], ["-c", "fifo.md5"]):
        outputs = []
        for program in (KESWIN, GNU):
            writer = threading.Thread(target=two_writers)
            writer.start()
            outputs.append(run(program, ["-a", "md5"] + args, work))
            writer.join()
        check(f"FIFO named twice: {' '.join(args)}", outputs[0] == outputs[1], repr(outputs))

    def read_terminal(master, wait):
        """Everything shown on a pseudo-terminal, then closes it; without wait, only what is there already."""
        shown = b""
        while wait or select.select([master], [], [], 0)[0]:
            try:
                chunk = os.read(master, 65536)
            except OSError:
                break
            if not chunk:
                break
            shown += chunk
        os.close(master)
        return shown

    # ---- --progress: one line rewritten in place on a terminal, then cleared; nothing when not a terminal ----
    def slow_writer():
        with open(fifo, "wb") as f:
            for _ in range(12):
                f.write(b"x" * 65536)
                f.flush()
                time.sleep(0.1)

    for on_terminal in (True, False):
        master, follower = os.openpty() if on_terminal else os.pipe()
        writer = threading.Thread(target=slow_writer)
        writer.start()
        done = subprocess.run([KESWIN, "--progress", "-a", "md5", "fifo"], cwd=work, stdout=subprocess.PIPE,
                              stderr=follower, timeout=60)
        writer.join()
        os.close(follower)
        shown = read_terminal(master, wait=True)
        expected = (b"MD5 (fifo) = " + hashlib.md5(b"x" * 65536 * 12).hexdigest().encode() + b"\n", 0)
        check(f"progress, {'a terminal' if on_terminal else 'a pipe'}: output unchanged",
              (done.stdout, done.returncode) == expected, repr((done.stdout, done.returncode)))
        if on_terminal:
            check("progress on a terminal", b"KiB/s" in shown and shown.endswith(b"\r\x1b[K"), repr(shown))
        else:
            check("no progress on a pipe", shown == b"", repr(shown))

    # ---- -c --progress with a list from a FIFO: the list is read once, and the progress line has no total ----
    md5_line = run(GNU, ["-a", "md5", "x"], work)[0]

    def progress_run(args, feed):
        master, follower = os.openpty()
        writer = threading.Thread(target=feed, daemon=True)
        writer.start()
        try:
            done = subprocess.run([KESWIN, "--progress", "-a", "md5", "-c"] + args, cwd=work,
                                  stdout=subprocess.PIPE, stderr=follower, timeout=20)
            outcome = (done.stdout, done.returncode)
        except subprocess.TimeoutExpired:
            outcome = ("hung", None)
        writer.join(5)
        os.close(follower)
        return outcome, read_terminal(master, wait=False)

    def quick_list():  # as `echo LINE > fifo` writes it: at once, then gone
        try:
            with open(fifo, "wb") as f:
                f.write(md5_line)
        except BrokenPipeError:
            pass

    def slow_list():
        with open(fifo, "wb") as f:
            time.sleep(0.8)
            f.write(md5_line.replace(b"(x)", b"(big)"))

    outcome, shown = progress_run(["fifo"], quick_list)
    check("check a FIFO list with --progress", outcome == (b"x: OK\n", 0), repr(outcome))
    outcome, shown = progress_run(["pipe.sums", "fifo"], slow_list)
    check("check a regular and a FIFO list with --progress", outcome[0] != "hung" and outcome[0].startswith(
        b"x: OK\nempty: OK\n") and outcome[0].endswith(b"big: FAILED\n"), repr(outcome))
    check("progress with a FIFO list: bytes and speed, no total", b"/s" in shown and b" of " not in shown,
          repr(shown))

    # ---- what coreutils lacks, against Python ----
    python_digests = {"crc32": lambda d: zlib.crc32(d).to_bytes(4, "big").hex(),
                      "sha3-256": lambda d: hashlib.sha3_256(d).hexdigest(),
                      "sha3-512": lambda d: hashlib.sha3_512(d).hexdigest(),
                      "blake2b": lambda d: hashlib.blake2b(d).hexdigest(),
                      "md5": lambda d: hashlib.md5(d).hexdigest()}
    plain = [f for f in files if "\\" not in f and "\n" not in f and "\r" not in f]
    for algorithm, digest in python_digests.items():
        out = run(KESWIN, ["-a", algorithm, "--"] + plain, work)[0]
        expected = b"".join(f"{TAGS[algorithm]} (".encode() + os.fsencode(f) + b") = " +
                            digest(open(os.path.join(work, f), "rb").read()).encode() + b"\n" for f in plain)
        check(f"{algorithm} against Python", out == expected, f"{out!r}\n    {expected!r}")
        write(work, "ours.sums", run(KESWIN, ["-a", algorithm] + file_args, work)[0])
        out, err, status = run(KESWIN, ["-a", algorithm, "-c", "--quiet", "ours.sums"], work)
        check(f"{algorithm} checks its own list", (out, err, status) == (b"", b"", 0), repr((out, err, status)))
    default = run(KESWIN, ["x", "big"], work)[0]
    expected = b"".join(f"{TAGS[a]} ({f}) = ".encode() + python_digests.get(a, lambda d: hashlib.new(a, d).hexdigest())(
        open(os.path.join(work, f), "rb").read()).encode() + b"\n" for f in ["x", "big"]
        for a in ["crc32", "md5", "sha1", "sha256"])
    check("the default four, in order", default == expected, f"{default!r}\n    {expected!r}")
    several = run(KESWIN, ["-a", "sha3-512,crc32,md5", "x"], work)[0]
    check("algorithms in the order given", [l.split(b" ")[0] for l in several.splitlines()] ==
          [b"SHA3-512", b"CRC32", b"MD5"], repr(several))
    out, err, status = run(KESWIN, ["-a", "md5,sha1", "--untagged", "x"], work)
    check("--untagged with two algorithms is a usage error", status == 1 and out == b"" and b"--help" in err,
          repr((out, err, status)))

    # ---- SFV by rhash ----
    if shutil.which("rhash"):
        sfv_files = [f for f in plain if not f.startswith((";", " ", "#"))]
        write(work, "rhash.sfv", subprocess.run(["rhash", "--sfv", "--"] + sfv_files, cwd=work,
                                                stdout=subprocess.PIPE, check=True).stdout)
        out, err, status = run(KESWIN, ["-c", "rhash.sfv"], work)
        expected = b"".join(os.fsencode(f) + b": OK\n" for f in sfv_files)
        check("rhash SFV checks OK", (out, err, status) == (expected, b"", 0), repr((out, err, status)))
        with open(os.path.join(work, "x"), "r+b") as f:
            data = f.read()
            f.seek(0)
            f.write(bytes([data[0] ^ 1]) + data[1:])
        out, err, status = run(KESWIN, ["-c", "--quiet", "rhash.sfv"], work)
        check("rhash SFV, one file corrupted", (out, status) == (b"x: FAILED\n", 1) and b"1 computed checksum did NOT"
              in err, repr((out, err, status)))
    else:
        print("SKIP SFV: rhash is not installed")

    # ---- a file that changes while it is read: never a digest, never OK ----
    growing = os.path.join(work, "growing")
    start = os.urandom(64 * 1024 * 1024)
    with open(growing, "wb") as f:
        f.write(start)
    write(work, "growing.sums", b"MD5 (growing) = " + hashlib.md5(start).hexdigest().encode() + b"\n")
    for args in (["-a", "md5", "growing"], ["-a", "md5", "-c", "growing.sums"]):
        stop = threading.Event()

        def append():
            with open(growing, "ab") as f:
                while not stop.is_set():
                    f.write(b"more")
                    f.flush()
                    time.sleep(0.001)

        appender = threading.Thread(target=append)
        appender.start()
        out, err, status = run(KESWIN, args, work)
        stop.set()
        appender.join()
        check(f"changed while read: {args}", status == 1 and b"= " not in out and b": OK" not in out and
              err.endswith((b": growing: file changed as it was read\n",
                            b": growing: file is open for writing by another program\n") if "-c" not in args else
                           b"WARNING: 1 listed file could not be read\n"), repr((out, err, status)))


main()
