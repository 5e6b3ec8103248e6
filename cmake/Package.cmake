# cpack -G DEB: one Debian package of everything `cmake --install` installs (the programs and
# their man pages, the camera view module, the library, header, CMake package and pkg-config
# file, and the Python package), under /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorview)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Reads and writes Quorel codes: Quorview, Quorgen, the C++ library and the Python module")
set(CPACK_PACKAGE_CONTACT "Quorview developers <quorview@localhost>")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The package's dependencies from the libraries its programs and libraries link.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "python3-numpy")
include(CPack)
