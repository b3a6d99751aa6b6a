# Run by `cmake --install` (and so by CPack): writes the desktop entry for the prefix that
# is being installed to, so that the same build installs correctly under any prefix. The
# entry starts the program in its data folder, where it keeps its settings in the
# per-user folder.
#   KANTREL_DESKTOP_TEMPLATE  data/kantrel731.desktop.in
#   KANTREL_DESKTOP_OUTPUT    the file to write, installed next
#   KANTREL_DATA_SUBDIR       the data folder below the prefix
if(CMAKE_INSTALL_PREFIX MATCHES "[\"`$\\\\%]")
  message(FATAL_ERROR "The desktop entry cannot name a prefix with \" ` $ \\ or %: ${CMAKE_INSTALL_PREFIX}")
endif()
set(KANTREL_DESKTOP_EXEC "${CMAKE_INSTALL_PREFIX}/bin/kantrel731")
if(KANTREL_DESKTOP_EXEC MATCHES "[^A-Za-z0-9/._+,:@-]")
  set(KANTREL_DESKTOP_EXEC "\"${KANTREL_DESKTOP_EXEC}\"")
endif()
set(KANTREL_DESKTOP_DATA "${CMAKE_INSTALL_PREFIX}/${KANTREL_DATA_SUBDIR}")
configure_file("${KANTREL_DESKTOP_TEMPLATE}" "${KANTREL_DESKTOP_OUTPUT}" @ONLY)
