# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Quenby Works
# The Debian package, built by scripts/package with CPack: fernwick_<version>_amd64.deb.
set(CPACK_PACKAGE_NAME fernwick)
set(CPACK_PACKAGE_VERSION ${FERNWICK_VERSION_TEXT})
set(CPACK_PACKAGE_VENDOR "Quenby Works")
set(CPACK_PACKAGE_CONTACT "Quenby Works <fernwick@quenbyworks.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop disk cleaner")
# Lines of at most 80 columns, as Debian's tools show them.
set(CPACK_PACKAGE_DESCRIPTION
  "Fernwick finds files you no longer need (temporary files, backup copies,
editor leftovers, check-disk fragments, core dumps and caches, and any pattern
or folder name you choose), kept as named profiles, lists them and gets rid
of the ones you select. Cleanings can be scheduled with cron; they then run
without a window, write a log and tell the desktop what they did.")
set(CPACK_PACKAGE_INSTALL_DIRECTORY fernwick)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)

# The first packaging of this version; its changelog is changelog.Debian.
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.quenbyworks.com/fernwick/")
# The dependencies are those of the shared libraries the program links (dpkg-shlibdeps).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads its display connection as a plug-in, which no linked library names: without it the
# wizard cannot open a window.
set(CPACK_DEBIAN_PACKAGE_DEPENDS qt6-qpa-plugins)
# Scheduled cleanings are run by cron; the program works without it. On a Wayland desktop
# Qt's Wayland plug-in opens the windows natively instead of through XWayland.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "cron, qt6-wayland")

include(CPack)
