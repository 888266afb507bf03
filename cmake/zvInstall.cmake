# The installed tree beyond the targets themselves (which their own folders
# install): the CMake package, the pkg-config file and the Debian packaging.
include(CMakePackageConfigHelpers)

set(ZV_CMAKE_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/zvUtils)

# find_package(zvUtils CONFIG) gives zvUtils::zvutils with its include folder
# and PUBLIC compile options (-fno-operator-names, C++20).
install(EXPORT zvUtilsTargets NAMESPACE zvUtils:: FILE zvUtilsTargets.cmake
    DESTINATION ${ZV_CMAKE_PACKAGE_DIR} COMPONENT Development)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/zvUtilsConfig.cmake.in
    ${PROJECT_BINARY_DIR}/zvUtilsConfig.cmake INSTALL_DESTINATION ${ZV_CMAKE_PACKAGE_DIR})
# The binary interface may change with the major version only.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/zvUtilsConfigVersion.cmake
    COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/zvUtilsConfig.cmake ${PROJECT_BINARY_DIR}/zvUtilsConfigVersion.cmake
    DESTINATION ${ZV_CMAKE_PACKAGE_DIR} COMPONENT Development)

# pkg-config: the prefix is found from the file's own place, so the tree may
# be installed under any prefix (cmake --install --prefix) and still work.
file(RELATIVE_PATH ZV_PC_PREFIX_FROM_PCDIR ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" ZV_PC_PREFIX_FROM_PCDIR "${ZV_PC_PREFIX_FROM_PCDIR}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/zvutils.pc.in ${PROJECT_BINARY_DIR}/zvutils.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/zvutils.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
    COMPONENT Development)

# Debian packages (scripts/package): the runtime library with its zlib
# module, the development files, and the tool.
set(CPACK_PACKAGE_NAME zvutils)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "General-purpose C++20 utility library")
set(CPACK_PACKAGE_CONTACT "zvUtils developers <zvutils@localhost>")
set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL Runtime Development Tool)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(ZV_DEB_RUNTIME libzvutils${PROJECT_VERSION_MAJOR})
set(ZV_DEB_EXACT "${ZV_DEB_RUNTIME} (= ${PROJECT_VERSION}-1)")

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME ${ZV_DEB_RUNTIME})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION "General-purpose C++20 utility library (runtime)
 The shared library zvutils with libzvzlib1, the zlib module it loads at run
 time.")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libzvutils-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "${ZV_DEB_EXACT}")
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION "General-purpose C++20 utility library (development files)
 Headers, the CMake package (find_package(zvUtils CONFIG), target
 zvUtils::zvutils) and the pkg-config file (zvutils).")

# The tool's needs beyond its own library are those of the library, which
# the exact dependency brings along.
set(CPACK_DEBIAN_TOOL_PACKAGE_NAME zvutil)
set(CPACK_DEBIAN_TOOL_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_TOOL_PACKAGE_DEPENDS "${ZV_DEB_EXACT}, libc6, libstdc++6, libgcc-s1")
set(CPACK_DEBIAN_TOOL_DESCRIPTION "Command-line tool over the zvUtils library
 Inspects and converts the library's file formats, evaluates expressions,
 computes checksums and dates, and runs a short tour (zvutil demo).")
include(CPack)
