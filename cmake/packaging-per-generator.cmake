# Read by cpack for each generator: the components that go in its package.
if(CPACK_GENERATOR STREQUAL "DEB")
    set(CPACK_COMPONENTS_ALL vorbex vorbex_package_docs vorbex_debian)
elseif(CPACK_GENERATOR STREQUAL "TGZ")
    set(CPACK_COMPONENTS_ALL vorbex vorbex_archive_docs)
endif()
# The archives unpack into a folder of their own, vorbex-VERSION-SYSTEM/.
if(CPACK_GENERATOR STREQUAL "TGZ" OR CPACK_GENERATOR STREQUAL "ZIP")
    set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
endif()
