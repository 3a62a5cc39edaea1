# What a system install adds to the programs and assets: the icon, the
# manual pages, the application listing, bash completion and the package's
# documents; and the Debian package cpack writes of it all.

set(VOREL_RELEASE_DATE 2026-12-08)  # this version's release
set(VOREL_APP_ID org.vorel.vorel)   # the application's AppStream id
set(VOREL_MAINTAINER "The Vorel developers <packages@vorel.invalid>"
  CACHE STRING "the Maintainer of the Debian package")
find_program(SCDOC scdoc REQUIRED)
find_program(RSVG_CONVERT rsvg-convert REQUIRED)
find_program(GZIP gzip REQUIRED)
set(generated ${CMAKE_BINARY_DIR}/packaging)

# The icon: the drawing, and pictures of it at the usual sizes.
set(icons)
foreach(size 16 22 24 32 48 64 128 256 512)
  set(png ${generated}/icons/${size}x${size}/vorel.png)
  add_custom_command(OUTPUT ${png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${generated}/icons/${size}x${size}
    COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${CMAKE_SOURCE_DIR}/packaging/icons/vorel.svg
    DEPENDS ${CMAKE_SOURCE_DIR}/packaging/icons/vorel.svg VERBATIM)
  list(APPEND icons ${png})
  install(FILES ${png} DESTINATION share/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES packaging/icons/vorel.svg DESTINATION share/icons/hicolor/scalable/apps)

# The manual pages, from scdoc's source, compressed as Debian keeps them.
set(pages)
foreach(program vorel vorel-info vorel-xconv vorel-snapshot)
  set(page ${generated}/man/${program}.1.gz)
  add_custom_command(OUTPUT ${page}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${generated}/man
    COMMAND sh -c "'${SCDOC}' < '${CMAKE_SOURCE_DIR}/packaging/man/${program}.1.scd' | '${GZIP}' -9n > '${page}'"
    DEPENDS ${CMAKE_SOURCE_DIR}/packaging/man/${program}.1.scd VERBATIM)
  list(APPEND pages ${page})
  install(FILES ${page} DESTINATION share/man/man1)
  install(FILES packaging/vorel.bash-completion DESTINATION share/bash-completion/completions RENAME ${program})
endforeach()

# The application listing and the package's changelog.
configure_file(packaging/vorel.metainfo.xml.in ${generated}/${VOREL_APP_ID}.metainfo.xml @ONLY)
install(FILES ${generated}/${VOREL_APP_ID}.metainfo.xml DESTINATION share/metainfo)
# Its date as Debian writes it, the day of the week worked out.
string(REGEX MATCH "^([0-9]+)-([0-9]+)-([0-9]+)$" _ ${VOREL_RELEASE_DATE})
set(yearText ${CMAKE_MATCH_1})
set(monthText ${CMAKE_MATCH_2})
set(dayText ${CMAKE_MATCH_3})
# Without leading zeros, which math() would read as octal.
string(REGEX REPLACE "^0+([0-9])" "\\1" year "${yearText}")
string(REGEX REPLACE "^0+([0-9])" "\\1" month "${monthText}")
string(REGEX REPLACE "^0+([0-9])" "\\1" day "${dayText}")
set(shifts 0 3 2 5 0 3 5 1 4 6 2 4)
math(EXPR m "${month} - 1")
list(GET shifts ${m} shift)
if(month LESS 3)
  math(EXPR year "${year} - 1")
endif()
math(EXPR weekday "(${year} + ${year} / 4 - ${year} / 100 + ${year} / 400 + ${shift} + ${day}) % 7")
set(days Sun Mon Tue Wed Thu Fri Sat)
set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
list(GET days ${weekday} weekdayName)
list(GET months ${m} monthName)
set(VOREL_RELEASE_DATE_RFC2822 "${weekdayName}, ${dayText} ${monthName} ${yearText} 00:00:00 +0000")
configure_file(packaging/changelog.in ${generated}/changelog @ONLY)
add_custom_command(OUTPUT ${generated}/changelog.gz
  COMMAND sh -c "'${GZIP}' -9n < '${generated}/changelog' > '${generated}/changelog.gz'"
  DEPENDS ${generated}/changelog VERBATIM)
install(FILES ${generated}/changelog.gz packaging/copyright DESTINATION share/doc/vorel)
add_custom_target(vorel_packaging ALL DEPENDS ${icons} ${pages} ${generated}/changelog.gz)

# The Debian package: `cpack` in the build folder writes vorel_VERSION_ARCH.deb.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vorel)
set(CPACK_PACKAGE_VENDOR "The Vorel developers")
set(CPACK_PACKAGE_CONTACT "${VOREL_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "viewer of skinned, animated DirectX .x models")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Vorel opens skinned, animated 3D models stored as DirectX .x files (text,
binary or compressed) and plays their animation sets, with the camera,
skeleton, bone weights, timeline and panels of what the file holds.

Its tools say what a file holds (vorel-info), convert files between
encodings and to glTF, checked against the viewer's poses (vorel-xconv),
and draw pictures, contact sheets and videos without a display
(vorel-snapshot).")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VOREL_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The libraries' packages from the programs themselves, and the font the
# texts are drawn in.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
# Staged with DESTDIR under the final prefix, so that the desktop entry and
# thumbnailer name /usr/bin, and no cache is made in the stage.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
