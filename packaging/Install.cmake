# Run by `cmake --install`: the desktop entry and the thumbnailer name the
# installed programs by their full path under the prefix given at install
# time, and the MIME type for .x models goes beside them. The desktop
# databases are brought up to date where their tools are present, unless
# the install is staged for a package (below).
cmake_policy(VERSION 3.25)
set(VOREL_BIN "${CMAKE_INSTALL_PREFIX}/bin")
set(share "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/share")
foreach(entry "vorel.desktop;applications" "vorel.thumbnailer;thumbnailers")
  list(GET entry 0 name)
  list(GET entry 1 folder)
  file(READ "${VOREL_PACKAGING}/${name}.in" text)
  string(CONFIGURE "${text}" text @ONLY)
  message(STATUS "Installing: ${share}/${folder}/${name}")
  file(WRITE "${share}/${folder}/${name}" "${text}")
endforeach()
message(STATUS "Installing: ${share}/mime/packages/vorel.xml")
file(MAKE_DIRECTORY "${share}/mime/packages")
file(COPY_FILE "${VOREL_PACKAGING}/vorel-mime.xml" "${share}/mime/packages/vorel.xml")

# Into a staging folder (DESTDIR, as a package is made) the caches are not
# written: the system's own are brought up to date by the triggers of the
# packages that own them, and a package must not ship them.
if(DEFINED ENV{DESTDIR} AND NOT "$ENV{DESTDIR}" STREQUAL "")
  return()
endif()
find_program(UPDATE_MIME update-mime-database)
if(UPDATE_MIME)
  execute_process(COMMAND "${UPDATE_MIME}" "${share}/mime" RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(WARNING "update-mime-database ${share}/mime failed: ${result}")
  endif()
endif()
find_program(UPDATE_DESKTOP update-desktop-database)
if(UPDATE_DESKTOP)
  execute_process(COMMAND "${UPDATE_DESKTOP}" "${share}/applications")
endif()
