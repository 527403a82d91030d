# Read by cpack before it packs (CPACK_PROJECT_CONFIG_FILE). Every entry is
# stamped with $SOURCE_DATE_EPOCH, by default the sources' last commit time
# (cmake/packaging.cmake). A zip entry holds its time in local time as well:
# UTC, wherever the zip is made.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
    set(ENV{SOURCE_DATE_EPOCH} "${CPACK_OBEY_SOURCE_DATE_EPOCH}")
endif()
set(ENV{TZ} UTC0)

# Each package its own components: the archives the programs and README.txt
# side by side (the tarball in a folder named after it,
# obeygen-VERSION-linux-x86_64/), the Debian package its /usr tree.
if(CPACK_GENERATOR STREQUAL "DEB")
    set(CPACK_COMPONENTS_ALL deb)
    set(CPACK_DEB_COMPONENT_INSTALL ON)
    set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
else()
    list(REMOVE_ITEM CPACK_COMPONENTS_ALL deb)
    if(CPACK_GENERATOR STREQUAL "TGZ")
        set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
    endif()
endif()
