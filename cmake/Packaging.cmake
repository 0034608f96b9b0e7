# What an installed Vellumark brings beside its programs (manual pages, the bash completion of
# vellumark-cli, the Debian documents), and the Debian package CPack builds from the installed
# tree: `cpack -G DEB` in the build folder, or `bash tools/package.sh` for the whole road.

add_subdirectory(${PROJECT_SOURCE_DIR}/man ${PROJECT_BINARY_DIR}/man)

if(TARGET vellumark-cli)
  install(FILES ${PROJECT_SOURCE_DIR}/completion/vellumark-cli DESTINATION share/bash-completion/completions)
endif()

# The newest entry of the Debian changelog names the package version: upstream version, then
# the Debian revision.
set(debian_folder ${PROJECT_SOURCE_DIR}/data/debian)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${debian_folder}/changelog)
file(STRINGS ${debian_folder}/changelog newest_entry LIMIT_COUNT 1)
if(NOT newest_entry MATCHES "^vellumark \\(([^)-]+)-([^)]+)\\)")
  message(FATAL_ERROR "data/debian/changelog must begin with an entry \"vellumark (VERSION-REVISION) ...\"")
endif()
if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "data/debian/changelog: its newest entry is for ${CMAKE_MATCH_1}; add one for ${PROJECT_VERSION}")
endif()
set(debian_revision ${CMAKE_MATCH_2})

# Debian wants both documents in share/doc/<package>, the changelog compressed at the
# highest level and without a time stamp.
add_custom_command(OUTPUT changelog.Debian.gz
  COMMAND gzip -9nc < ${debian_folder}/changelog > changelog.Debian.gz
  DEPENDS ${debian_folder}/changelog
  VERBATIM)
add_custom_target(vellumark_debian_changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/changelog.Debian.gz)
install(FILES ${debian_folder}/copyright ${PROJECT_BINARY_DIR}/changelog.Debian.gz DESTINATION share/doc/vellumark)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vellumark)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Vellumark developers")
set(CPACK_PACKAGE_CONTACT "The Vellumark developers <support@vellumark.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "catalog organizer for CD and DVD collections, drives and folders")
set(CPACK_PACKAGE_DESCRIPTION
  "Vellumark records the whole file tree of a disc, a drive or a folder (names,
paths, sizes, times, extensions) into a catalog, so that you can browse,
describe, search and export the contents while the medium sits on the shelf.
Catalogs are plain XML files kept in a folder library whose sub-folders are
groups.

The package holds the Qt desktop program, vellumark, and the command-line
tool vellumark-cli, which does the same work for scripts and machines without
a display.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${debian_revision})
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://vellumark.org)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Wayland sessions run the program natively with Qt's Wayland plugin; the help page and the
# links open through xdg-open.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)

include(CPack)
