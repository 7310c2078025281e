# Run at the end of `cmake --install`: writes corvanta.json at the root of the
# install prefix from what the install put there so far
# (CMAKE_INSTALL_MANIFEST_FILES). Given CORVANTA_MANIFEST_ID,
# CORVANTA_MANIFEST_VERSION and CORVANTA_MANIFEST_FOLDERS (the folders that
# belong to the application as a whole, relative to the prefix).
#
#   {"id": "...", "version": "...", "installed": ["bin/ITU/", "bin/corvanta", ...]}
#
# A folder entry ends in "/"; every other entry is one file.

set(prefix "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
set(entries "corvanta.json")
foreach(folder IN LISTS CORVANTA_MANIFEST_FOLDERS)
  list(APPEND entries "${folder}/")
endforeach()
foreach(path IN LISTS CMAKE_INSTALL_MANIFEST_FILES)
  file(RELATIVE_PATH relative "${prefix}" "${path}")
  string(REGEX REPLACE "^(\\./)+" "" relative "${relative}")
  set(within_folder FALSE)
  foreach(folder IN LISTS CORVANTA_MANIFEST_FOLDERS)
    string(FIND "${relative}" "${folder}/" at)
    if(at EQUAL 0)
      set(within_folder TRUE)
    endif()
  endforeach()
  if(NOT within_folder)
    list(APPEND entries "${relative}")
  endif()
endforeach()
list(REMOVE_DUPLICATES entries)
list(SORT entries)

set(quoted "")
foreach(entry IN LISTS entries)
  string(REPLACE "\\" "\\\\" entry "${entry}")
  string(REPLACE "\"" "\\\"" entry "${entry}")
  list(APPEND quoted "\"${entry}\"")
endforeach()
list(JOIN quoted ", " installed)

set(manifest "${prefix}/corvanta.json")
message(STATUS "Installing: ${manifest}")
file(WRITE "${manifest}"
  "{\"id\": \"${CORVANTA_MANIFEST_ID}\", \"version\": \"${CORVANTA_MANIFEST_VERSION}\",\n"
  " \"installed\": [${installed}]}\n")
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${manifest}")
