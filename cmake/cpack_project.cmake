# Read by cpack before it packs (CPACK_PROJECT_CONFIG_FILE). Every entry is
# stamped with $SOURCE_DATE_EPOCH, by default the sources' last commit time
# (cmake/packaging.cmake). A zip entry holds its time in local time as well:
# UTC, wherever the zip is made.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
    set(ENV{SOURCE_DATE_EPOCH} "${CPACK_OBEY_SOURCE_DATE_EPOCH}")
endif()
set(ENV{TZ} UTC0)
