# Run by `cmake --install`: writes the desktop entry for the prefix being
# installed to, the one place where the program's path is known.
# In: CORVANTA_APP_ID, CORVANTA_DESKTOP_TEMPLATE, CORVANTA_DESKTOP_FILE (in
# the build folder).
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
configure_file("${CORVANTA_DESKTOP_TEMPLATE}" "${CORVANTA_DESKTOP_FILE}" @ONLY)
file(INSTALL "${CORVANTA_DESKTOP_FILE}" DESTINATION "${CMAKE_INSTALL_PREFIX}/share/applications")
