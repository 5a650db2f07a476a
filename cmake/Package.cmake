# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package (cpack, as scripts/package.sh runs it): what a system-wide install puts
# under /usr, Depends worked out from the binaries' libraries, and the debug symbols split off
# into a package of their own (zembra-dbgsym, a .ddeb), leaving the binaries stripped.
# A per-user install has nothing to package.
if(ZEMBRA_INSTALL_PER_USER)
    return()
endif()
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zembra)
set(CPACK_PACKAGE_VENDOR Zembra)
set(CPACK_PACKAGE_CONTACT "${ZEMBRA_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "two-source spectral morphing effect (LV2, VST3, CLAP and JACK)")
# Read here: cpack would escape its apostrophes for XML.
file(READ ${PROJECT_SOURCE_DIR}/packaging/description.txt CPACK_DEBIAN_PACKAGE_DESCRIPTION)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT) # zembra_<version>_amd64.deb
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The standalone opens libjack when it starts, so no library of JACK's shows in its links.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libjack-jackd2-0 | libjack-0.125")
# Our own maintainer scripts, which apply the controller's udev rule; they also keep cpack from
# adding calls of ldconfig, which it would for the CLAP module in /usr/lib/clap.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/packaging/debian/postinst
    ${PROJECT_SOURCE_DIR}/packaging/debian/postrm)
set(CPACK_DEBIAN_DEBUGINFO_PACKAGE ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# xz on every core: compressing the two packages is most of what a rerun of package.sh costs.
set(CPACK_THREADS 0)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
