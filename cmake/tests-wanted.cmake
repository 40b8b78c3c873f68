# Whether to build the tests: VORBEX_TESTS.
#
# They follow CTest's BUILD_TESTING. Asked for (BUILD_TESTING=ON on the
# command line or in a preset), they need GoogleTest and the configure fails
# with a plain message without it. Not asked for, they are built when this is
# the top-level project and GoogleTest is there, and skipped with a note when
# it is not, so that a plain build and install works on a machine without it.
if(DEFINED CACHE{BUILD_TESTING})
    set(VORBEX_TESTS ${BUILD_TESTING})
    if(VORBEX_TESTS)
        find_package(GTest QUIET)
        if(NOT GTest_FOUND)
            message(FATAL_ERROR
                "The tests need GoogleTest, which was not found. Install it "
                "(on Debian: apt-get install libgtest-dev) or configure with -DBUILD_TESTING=OFF.")
        endif()
    endif()
elseif(PROJECT_IS_TOP_LEVEL)
    find_package(GTest QUIET)
    set(VORBEX_TESTS ${GTest_FOUND})
    if(NOT GTest_FOUND)
        message(STATUS "GoogleTest not found: building without the tests "
                       "(on Debian: apt-get install libgtest-dev)")
    endif()
else()
    set(VORBEX_TESTS OFF)
endif()
