# The Debian packages, made by "cpack -G DEB" (or the package target) in the
# build folder, one for each install component, their dependencies computed
# from the installed binaries by dpkg-shlibdeps:
#   korvex-batch_VERSION_ARCH.deb  korvex-batch, its manual page, the examples
#                                  and the guide; no Qt, for machines without
#                                  a display; every other package needs it;
#   korvex_VERSION_ARCH.deb        the window and korvex-draw, their manual
#                                  pages and the desktop files;
#   korvex-mpi_VERSION_ARCH.deb    korvex-batch-mpi, its manual page and the
#                                  Slurm script, made only where MPI is found.
#                                  It alone pulls in Open MPI and its network
#                                  libraries.
#   python3-korvex_VERSION_ARCH.deb  the Python module korvex, made only
#                                  where pybind11 is found.
set(CPACK_PACKAGE_NAME korvex)
set(CPACK_PACKAGE_VENDOR "The Korvex developers")
set(CPACK_PACKAGE_CONTACT "${KORVEX_MAINTAINER}")
# Empty, so that each package's description below starts with its own
# summary line (CPack puts a package-wide summary before every one).
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "")
set(CPACK_PACKAGE_HOMEPAGE_URL "${KORVEX_HOMEPAGE}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL cli korvex)
if(TARGET korvex-batch-mpi)
  list(APPEND CPACK_COMPONENTS_ALL mpi)
endif()
if(TARGET _korvex)
  list(APPEND CPACK_COMPONENTS_ALL python)
endif()

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)

# A description's first line is its summary; CPack indents the rest and marks
# the empty line as Debian's control format wants.
set(korvex_about "Korvex estimates, by a Monte Carlo method, the average solid angle that a
radiation detector (right cylinder or disc window, cuboid or rectangular
window, sphere) subtends at a source (cylinder or disc, cuboid, rectangle or
line, point) at any displacement and Euler rotation, with its error at the
99.9% confidence level, the share of emissions that hit, the crossings of
each detector face and the mean path through the detector.")

set(CPACK_DEBIAN_CLI_PACKAGE_NAME korvex-batch)
set(CPACK_DEBIAN_CLI_DESCRIPTION "Monte Carlo average solid angle of a detector, command-line program
${korvex_about}

The package holds the command-line program korvex-batch, which runs the
datasets of a data file into a results file, with the examples and the
guide. It needs no display and no Qt: the package for computing nodes.")

set(CPACK_DEBIAN_KORVEX_PACKAGE_NAME korvex)
set(CPACK_DEBIAN_KORVEX_DESCRIPTION "${PROJECT_DESCRIPTION}
${korvex_about}

The package holds the window program korvex and korvex-draw, which draws
each dataset's geometry to scale as SVG and PNG; the command-line program
korvex-batch comes with the package korvex-batch.")

# The desktop package and korvex-mpi need the very version of korvex-batch
# they were built with (the documentation and examples live there);
# korvex-mpi needs mpirun to start its ranks.
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_COMPONENT_KORVEX_DEPENDS cli)
set(CPACK_COMPONENT_MPI_DEPENDS cli)
set(CPACK_DEBIAN_MPI_PACKAGE_NAME korvex-mpi)
set(CPACK_DEBIAN_MPI_PACKAGE_RECOMMENDS openmpi-bin)
set(CPACK_DEBIAN_MPI_DESCRIPTION "Monte Carlo average solid angle of a detector, spread over MPI ranks
${korvex_about}

The package holds korvex-batch-mpi, the command-line program korvex-batch
spread over the processes of an MPI job (Open MPI), on one machine or on
several machines of a cluster.")

# The extension is built for one version of the interpreter.
set(CPACK_DEBIAN_PYTHON_PACKAGE_NAME python3-korvex)
set(CPACK_DEBIAN_PYTHON_PACKAGE_SECTION python)
set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS
  "python3 (>= ${KORVEX_PYTHON_VERSION}), python3 (<< ${KORVEX_PYTHON_NEXT}), python3-numpy")
set(CPACK_DEBIAN_PYTHON_DESCRIPTION "Monte Carlo average solid angle of a detector, from Python
${korvex_about}

The package holds the Python 3 module korvex: geometries as dataclasses,
runs and sweeps over any of their values returning arrays, pandas tables and
JSON Lines, on the same engine and with the same checks as korvex-batch.")

include(CPack)
