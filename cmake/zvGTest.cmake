# GoogleTest: the system package natively; for the cross build, Debian's
# googletest sources are compiled with the cross compiler.
if(CMAKE_CROSSCOMPILING)
    set(ZV_GTEST_SRC /usr/src/googletest CACHE PATH "GoogleTest sources")
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
    add_subdirectory(${ZV_GTEST_SRC} ${CMAKE_BINARY_DIR}/_googletest EXCLUDE_FROM_ALL SYSTEM)
    # googletest defines the GTest:: aliases itself.
else()
    find_package(GTest REQUIRED)
endif()
include(GoogleTest)
