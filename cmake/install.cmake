# What `cmake --install` puts under its prefix, and the Debian package that CPack builds
# from the same rules (`cpack -G DEB` in the build folder). Everything is placed relative
# to the prefix, and the program finds its data folder from its own folder, so any prefix
# works:
#
#   bin/kantrel731, bin/kantrel731-record
#   share/Marvix/Kantrel 731 USB/731config.ini, 731config.lng
#   share/applications/kantrel731.desktop
#   share/icons/hicolor/<size>/apps/kantrel731.png
#   share/metainfo/<component id>.metainfo.xml
#   share/man/man1/kantrel731.1.gz, kantrel731-record.1.gz
#   share/doc/kantrel731/copyright, changelog.gz
#
# The project's web address is not settled yet: kantrel731.example.org stands for it.

set(KANTREL_HOMEPAGE "https://kantrel731.example.org/")
set(KANTREL_APPSTREAM_ID "org.example.kantrel731")
set(KANTREL_MAINTAINER "The kantrel731 developers <kantrel731@example.org>")
set(KANTREL_GENERATED "${CMAKE_BINARY_DIR}/install")

# The programs.
set(KANTREL_PROGRAMS kantrel731)
if(TARGET kantrel731-record)
  list(APPEND KANTREL_PROGRAMS kantrel731-record)
  install(TARGETS kantrel731-record RUNTIME DESTINATION bin)
endif()

install(FILES data/731config.ini data/731config.lng DESTINATION "${KANTREL_DATA_SUBDIR}")

# The desktop entry names the prefix, so it is written when installing (see the script).
install(CODE "
  set(KANTREL_DESKTOP_TEMPLATE \"${CMAKE_SOURCE_DIR}/data/kantrel731.desktop.in\")
  set(KANTREL_DESKTOP_OUTPUT \"${KANTREL_GENERATED}/kantrel731.desktop\")
  set(KANTREL_DATA_SUBDIR \"${KANTREL_DATA_SUBDIR}\")
  include(\"${CMAKE_SOURCE_DIR}/cmake/desktop_entry.cmake\")
")
install(FILES "${KANTREL_GENERATED}/kantrel731.desktop" DESTINATION share/applications)

# The window's own 64-pixel icon and smaller sizes made from it.
install(FILES src/ui/resources/icon.png DESTINATION share/icons/hicolor/64x64/apps RENAME kantrel731.png)
foreach(size 16 24 32 48)
  install(FILES data/icons/kantrel731-${size}.png DESTINATION share/icons/hicolor/${size}x${size}/apps
    RENAME kantrel731.png)
endforeach()

# AppStream metainfo.
set(KANTREL_APPSTREAM_BINARIES "")
foreach(program ${KANTREL_PROGRAMS})
  string(APPEND KANTREL_APPSTREAM_BINARIES "    <binary>${program}</binary>\n")
endforeach()
configure_file(data/kantrel731.metainfo.xml.in "${KANTREL_GENERATED}/${KANTREL_APPSTREAM_ID}.metainfo.xml" @ONLY)
install(FILES "${KANTREL_GENERATED}/${KANTREL_APPSTREAM_ID}.metainfo.xml" DESTINATION share/metainfo)

# Man pages and the Debian changelog, compressed as Debian wants them.
find_program(KANTREL_GZIP gzip REQUIRED)
set(KANTREL_COMPRESSED "")
macro(kantrel_compressed source)
  get_filename_component(name "${source}" NAME)
  add_custom_command(OUTPUT "${source}.gz"
    COMMAND "${KANTREL_GZIP}" -9nkf "${source}"
    DEPENDS "${source}" VERBATIM)
  list(APPEND KANTREL_COMPRESSED "${source}.gz")
endmacro()
foreach(program ${KANTREL_PROGRAMS})
  configure_file(docs/man/${program}.1.in "${KANTREL_GENERATED}/man/${program}.1" @ONLY)
  kantrel_compressed("${KANTREL_GENERATED}/man/${program}.1")
  install(FILES "${KANTREL_GENERATED}/man/${program}.1.gz" DESTINATION share/man/man1)
endforeach()
execute_process(COMMAND date -u -R -d "${KANTREL_RELEASE_DATE} 12:00"
  OUTPUT_VARIABLE KANTREL_CHANGELOG_DATE OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
configure_file(data/debian/changelog.in "${KANTREL_GENERATED}/doc/changelog" @ONLY)
kantrel_compressed("${KANTREL_GENERATED}/doc/changelog")
add_custom_target(kantrel_install_files ALL DEPENDS ${KANTREL_COMPRESSED})
install(FILES "${KANTREL_GENERATED}/doc/changelog.gz" data/debian/copyright DESTINATION share/doc/kantrel731)

# The Debian package. Its dependencies come from dpkg-shlibdeps on the installed programs.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kantrel731)
set(CPACK_PACKAGE_VENDOR "The kantrel731 developers")
set(CPACK_PACKAGE_CONTACT "${KANTREL_MAINTAINER}")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "measuring program for the Tensolog USB instrument")
# The long description, wrapped for 80-column terminals; CPack puts the summary first.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "kantrel731 is the desktop program for the Tensolog, a USB measuring instrument"
  "that delivers one raw reading per millisecond. It reads the instrument's"
  "identity and calibration and shows the live mean and four peaks ten times a"
  "second. It records data sets one at a time, with the key on the instrument or"
  "continuously, lists and charts them, saves and loads TAB-separated files and"
  "hands them to a spreadsheet through the clipboard. Values can be typed into"
  "the window that has the focus, and an external program can be started for"
  "each data set."
  ""
  "kantrel731-record records data sets without a window, for automated test"
  "benches. A simulated instrument is built in, to try the program without one.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${KANTREL_HOMEPAGE}")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
include(CPack)
