# Run by `cmake --install`: writes the desktop entry for the prefix being
# installed to, the one place where the program's path is known.
# In: CORVANTA_APP_ID, CORVANTA_DESKTOP_TEMPLATE, CORVANTA_DESKTOP_FILE (its
# name, in the build folder).
set(CORVANTA_EXEC "${CMAKE_INSTALL_PREFIX}/bin/corvanta")
if(CORVANTA_EXEC MATCHES "[^A-Za-z0-9_./+,:=@-]")
  # Quoted, with the escapes of the desktop entry format: inside the quotes
  # a backslash, quote, backquote or dollar takes a backslash, which the
  # format's string escape doubles; a percent sign is doubled.
  string(REPLACE "\\" "\\\\\\\\" CORVANTA_EXEC "${CORVANTA_EXEC}")
  string(REPLACE "\"" "\\\\\"" CORVANTA_EXEC "${CORVANTA_EXEC}")
  string(REPLACE "`" "\\\\`" CORVANTA_EXEC "${CORVANTA_EXEC}")
  string(REPLACE "$" "\\\\$" CORVANTA_EXEC "${CORVANTA_EXEC}")
  string(REPLACE "%" "%%" CORVANTA_EXEC "${CORVANTA_EXEC}")
  set(CORVANTA_EXEC "\"${CORVANTA_EXEC}\"")
endif()
# Staged in a folder of this install's own: installs from one build tree
# into several prefixes may run at once, and must not share a file.
get_filename_component(staging "${CORVANTA_DESKTOP_FILE}" DIRECTORY)
get_filename_component(entry "${CORVANTA_DESKTOP_FILE}" NAME)
string(RANDOM LENGTH 16 token)
set(staging "${staging}/desktop-entry-${token}")
configure_file("${CORVANTA_DESKTOP_TEMPLATE}" "${staging}/${entry}" @ONLY)
file(INSTALL "${staging}/${entry}" DESTINATION "${CMAKE_INSTALL_PREFIX}/share/applications")
file(REMOVE_RECURSE "${staging}")
