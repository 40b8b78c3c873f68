# Read by cpack for each generator.

# Every time stamp that cpack writes (the members of the .deb, .tar.gz and
# .zip, the ar members of the .deb and the gzip headers) is the source's
# date: cpack takes it from SOURCE_DATE_EPOCH in its environment, and the
# build tree's date (packaging.cmake) goes there unless the caller set one.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH} AND DEFINED CPACK_VORBEX_SOURCE_DATE_EPOCH)
    set(ENV{SOURCE_DATE_EPOCH} ${CPACK_VORBEX_SOURCE_DATE_EPOCH})
endif()
# A .zip holds its members' times as the local time of whoever packs, so
# the time zone would show in its bytes: cpack packs in UTC.
set(ENV{TZ} UTC0)

# The components that go in each package.
if(CPACK_GENERATOR STREQUAL "DEB")
    set(CPACK_COMPONENTS_ALL vorbex vorbex_package_docs vorbex_debian)
elseif(CPACK_GENERATOR STREQUAL "TGZ")
    set(CPACK_COMPONENTS_ALL vorbex vorbex_archive_docs)
endif()
# The archives unpack into a folder of their own, vorbex-VERSION-SYSTEM/.
if(CPACK_GENERATOR STREQUAL "TGZ" OR CPACK_GENERATOR STREQUAL "ZIP")
    set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
endif()

# A cross build's .deb is named for the machine it was built for, never for
# the one that packs it (packaging.cmake).
if(CPACK_GENERATOR STREQUAL "DEB" AND DEFINED CPACK_VORBEX_CROSS_TARGET
   AND NOT CPACK_DEBIAN_PACKAGE_ARCHITECTURE)
    message(FATAL_ERROR "No Debian architecture for ${CPACK_VORBEX_CROSS_TARGET}: install "
                        "dpkg-dev (dpkg-architecture) or set CPACK_DEBIAN_PACKAGE_ARCHITECTURE")
endif()
