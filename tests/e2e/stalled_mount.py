#!/usr/bin/python3
"""A FUSE file system that stands in for a network share that stopped answering.

    stalled_mount.py MOUNTPOINT LOG [deaf]

The folder lists one file, stalled.bin, and a look at that name (its lookup, which comes as getattr) never answers.
The kernel can still end the wait of a program that is being killed, as NFS and SMB waits can be ended: the request
then fails with EINTR. Deaf, the share ignores even that, as a dead sshfs does: the caller's thread, and so its
process, cannot end, whatever the program does, until this server is killed. Each look at the name is logged to LOG
as "looked at stalled.bin", and "mounted" once the folder answers. Runs in the foreground until killed.
"""
import errno
import stat
import sys
import time

import fusepy

STALLED = "/stalled.bin"


class StalledShare(fusepy.Operations):
    def __init__(self, log, deaf):
        self.log = log
        self.deaf = deaf

    def note(self, line):
        with open(self.log, "a") as log:
            log.write(line + "\n")

    def init(self, path):
        self.note("mounted")

    def getattr(self, path, fh=None):
        if path == "/":
            return dict(st_mode=stat.S_IFDIR | 0o755, st_nlink=2)
        if path == STALLED:
            self.note("looked at stalled.bin")
            # fuse_interrupted() tells whether the kernel has given up the request for the caller.
            while self.deaf or not fusepy._libfuse.fuse_interrupted():
                time.sleep(0.05)
            raise fusepy.FuseOSError(errno.EINTR)
        raise fusepy.FuseOSError(errno.ENOENT)

    def readdir(self, path, fh):
        return [".", "..", STALLED[1:]]


if __name__ == "__main__":
    share = StalledShare(sys.argv[2], sys.argv[3:] == ["deaf"])
    fusepy.FUSE(share, sys.argv[1], foreground=True, nothreads=False, intr=True)
