# `cpack -G DEB` (or plain `cpack`) in the build folder makes keswin-hash_<version>_<arch>.deb of the install rules.
set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "keswin-hash")
set(CPACK_PACKAGE_VERSION "${KESWIN_VERSION_TEXT}")
set(CPACK_PACKAGE_VENDOR "Keswin")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "identify a file by its dates, size and digests")
# Wrapped by hand: each line becomes one line of the package's long description.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
    "Keswin Hash is a small desktop program that identifies one file: its name,"
    "full path, created, last accessed and last modified date-times, size, and its"
    "CRC-32, MD5, SHA-1 and SHA-256 digests, each with a button that copies it."
    "A labelled report of every row, or of the ticked rows, can be copied at once."
    "keswin-check checks files against their published digests: every file a"
    "checksum list names, a file against the digests found beside it or pasted,"
    "or two files against each other. keswin-sum prints and checks digests on"
    "the command line.")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Keswin Hash maintainers <hash@keswin.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION "utils")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${KESWIN_HOME_PAGE}")
# Depends come from the libraries the program links (dpkg-shlibdeps). Qt's X11 platform plugin, loaded at run time
# and so unseen there, ships in libqt6gui6 itself on Debian 12, which the program links: nothing to add by hand.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The Wayland platform plugin: without it a Wayland session runs the window through XWayland. xdg-open, through
# which the About window and the bulletin reminder reach the browser: without it they open nothing.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, xdg-utils")

# A source archive is the tracked tree, never the build folders beside it.
set(CPACK_SOURCE_GENERATOR "TGZ")
set(CPACK_SOURCE_IGNORE_FILES "/[.]git/" "/build[^/]*/" "/[.]cache/")

include(CPack)
