# Whether to build the tests: VORBEX_TESTS.
#
# They follow CTest's BUILD_TESTING. Asked for (BUILD_TESTING=ON on the
# command line or in a preset), they need GoogleTest and the configure fails
# with a plain message without it. Not asked for, they are built when this is
# the top-level project and GoogleTest is there, and skipped with a note when
# it is not, so that a plain build and install works on a machine without it.
#
# A cross build cannot link the GoogleTest built for this machine: it builds
# its own, with the same compiler, from the sources that Debian's googletest
# package installs (VORBEX_GOOGLETEST_SOURCE_DIR). That copy is built only
# for the tests and never installed.
set(VORBEX_GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH
    "GoogleTest's sources, built with the tests when cross-compiling")
if(CMAKE_CROSSCOMPILING)
    set(vorbex_gtest_hint "on Debian: apt-get install googletest, for ${VORBEX_GOOGLETEST_SOURCE_DIR}")
else()
    set(vorbex_gtest_hint "on Debian: apt-get install libgtest-dev")
endif()

# Sets GTest_FOUND, and makes GTest::gtest and GTest::gtest_main when found.
macro(vorbex_find_gtest)
    if(NOT CMAKE_CROSSCOMPILING)
        find_package(GTest QUIET)
    elseif(EXISTS "${VORBEX_GOOGLETEST_SOURCE_DIR}/CMakeLists.txt")
        set(BUILD_GMOCK OFF)
        set(INSTALL_GTEST OFF)
        # SYSTEM: its headers are outside the warnings that the tests are
        # held to, as those of an installed GoogleTest are.
        add_subdirectory("${VORBEX_GOOGLETEST_SOURCE_DIR}" "${PROJECT_BINARY_DIR}/googletest"
                         EXCLUDE_FROM_ALL SYSTEM)
        set(GTest_FOUND TRUE)
    else()
        set(GTest_FOUND FALSE)
    endif()
endmacro()

if(DEFINED CACHE{BUILD_TESTING})
    set(VORBEX_TESTS ${BUILD_TESTING})
    if(VORBEX_TESTS)
        vorbex_find_gtest()
        if(NOT GTest_FOUND)
            message(FATAL_ERROR
                "The tests need GoogleTest, which was not found. Install it "
                "(${vorbex_gtest_hint}) or configure with -DBUILD_TESTING=OFF.")
        endif()
    endif()
elseif(PROJECT_IS_TOP_LEVEL)
    vorbex_find_gtest()
    set(VORBEX_TESTS ${GTest_FOUND})
    if(NOT GTest_FOUND)
        message(STATUS "GoogleTest not found: building without the tests (${vorbex_gtest_hint})")
    endif()
else()
    set(VORBEX_TESTS OFF)
endif()
