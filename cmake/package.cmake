# The Debian package, made by "cpack -G DEB" (or the package target) in the
# build folder: korvex_VERSION_ARCH.deb, its dependencies computed from the
# installed binaries by dpkg-shlibdeps.
set(CPACK_PACKAGE_NAME korvex)
set(CPACK_PACKAGE_VENDOR "The Korvex developers")
set(CPACK_PACKAGE_CONTACT "${KORVEX_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_HOMEPAGE_URL "${KORVEX_HOMEPAGE}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
# The description's first line is the summary; the rest, indented by one
# blank, is the extended description.
# The extended description; CPack puts the summary before it, indents it and
# marks the empty line as Debian's control format wants.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Korvex estimates, by a Monte Carlo method, the average solid angle that a
radiation detector (right cylinder or disc window, cuboid or rectangular
window, sphere) subtends at a source (cylinder or disc, cuboid, rectangle or
line, point) at any displacement and Euler rotation, with its error at the
99.9% confidence level, the share of emissions that hit, the crossings of
each detector face and the mean path through the detector.

The package holds the window program korvex and two command-line programs:
korvex-batch runs the datasets of a data file into a results file, and
korvex-draw draws each dataset's geometry to scale as SVG and PNG.")

include(CPack)
