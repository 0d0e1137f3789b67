# What a desktop and a distribution expect beside the programs: manual
# pages, bash completion, AppStream metadata, the license and the changelog,
# and the CPack set-up that makes the Debian package:
#   cpack -G DEB      (in a Release build folder; or scripts/package)

set(TARNWICK_APP_ID io.github.tarnwick.Tarnwick)
set(TARNWICK_HOMEPAGE "https://tarnwick.github.io" CACHE STRING "The project's home page")
set(_pkg ${PROJECT_SOURCE_DIR}/packaging)
set(_pkg_out ${PROJECT_BINARY_DIR}/packaging)

# The newest changelog entry is the release: its version must be the
# project's, and its date and author date the manuals and sign the package.
file(STRINGS ${_pkg}/changelog _changelog)
list(GET _changelog 0 _entry)
string(REGEX MATCH "^tarnwick \\(([^)]+)\\)" _ "${_entry}")
if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "packaging/changelog: the newest entry is version '${CMAKE_MATCH_1}', "
                      "the project is ${PROJECT_VERSION}: add an entry for this version")
endif()
foreach(_line IN LISTS _changelog)
  if(_line MATCHES "^ -- (.+ <[^>]+>)  [A-Z][a-z][a-z], ([0-9][0-9]) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) ")
    set(TARNWICK_MAINTAINER "${CMAKE_MATCH_1}")
    set(_months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
    list(FIND _months "${CMAKE_MATCH_3}" _month)
    math(EXPR _month "${_month} + 1" OUTPUT_FORMAT DECIMAL)
    string(LENGTH "${_month}" _digits)
    if(_digits EQUAL 1)
      set(_month "0${_month}")
    endif()
    set(TARNWICK_RELEASE_DATE "${CMAKE_MATCH_4}-${_month}-${CMAKE_MATCH_2}")
    break()
  endif()
endforeach()
if(NOT TARNWICK_RELEASE_DATE)
  message(FATAL_ERROR "packaging/changelog: no ' -- NAME <ADDRESS>  DATE' line ends the newest entry")
endif()

# Manual pages and the changelog, compressed as Debian keeps them (-n: no
# time stamp, so the same sources give the same bytes).
set(_pages tarnwick-cli.1)
if(TARNWICK_UI)
  list(APPEND _pages tarnwick.1)
endif()
set(_compressed)
foreach(_page IN LISTS _pages)
  configure_file(${_pkg}/${_page}.in ${_pkg_out}/${_page} @ONLY)
  list(APPEND _compressed ${_page})
endforeach()
configure_file(${_pkg}/changelog ${_pkg_out}/changelog COPYONLY)
list(APPEND _compressed changelog)
set(_compressed_out)
foreach(_file IN LISTS _compressed)
  add_custom_command(OUTPUT ${_pkg_out}/${_file}.gz
    COMMAND gzip -9 -n -c ${_file} > ${_file}.gz
    DEPENDS ${_pkg_out}/${_file}
    WORKING_DIRECTORY ${_pkg_out}
    VERBATIM)
  list(APPEND _compressed_out ${_pkg_out}/${_file}.gz)
endforeach()
add_custom_target(tarnwick_packaging_files ALL DEPENDS ${_compressed_out})

foreach(_page IN LISTS _pages)
  install(FILES ${_pkg_out}/${_page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
install(FILES ${_pkg}/tarnwick-cli.bash-completion
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME tarnwick-cli)
# Debian's names: the license as the copyright file, the changelog of a
# package that is its own upstream as changelog.gz.
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tarnwick RENAME copyright)
install(FILES ${_pkg_out}/changelog.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tarnwick)

if(TARNWICK_UI)
  configure_file(${_pkg}/${TARNWICK_APP_ID}.metainfo.xml.in ${_pkg_out}/${TARNWICK_APP_ID}.metainfo.xml @ONLY)
  install(FILES ${_pkg_out}/${TARNWICK_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
endif()

# The Debian package.
find_program(DPKG_PROGRAM dpkg)
if(DPKG_PROGRAM)
  execute_process(COMMAND ${DPKG_PROGRAM} --print-architecture
                  OUTPUT_VARIABLE TARNWICK_DEB_ARCH OUTPUT_STRIP_TRAILING_WHITESPACE)
else()
  set(TARNWICK_DEB_ARCH amd64)
endif()
set(TARNWICK_DEB_FILE ${PROJECT_BINARY_DIR}/tarnwick_${PROJECT_VERSION}_${TARNWICK_DEB_ARCH}.deb)

# Beside the shared libraries that dpkg-shlibdeps finds, what is loaded at
# run time: the run group of scripts/debian-packages.txt.
execute_process(COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/setup --list run
                OUTPUT_VARIABLE _run_packages RESULT_VARIABLE _listed OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT _listed EQUAL 0)
  message(FATAL_ERROR "scripts/setup --list run failed")
endif()
string(REPLACE "\n" ", " _run_packages "${_run_packages}")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarnwick)
set(CPACK_PACKAGE_VENDOR "The Tarnwick developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "browse and hear a game's voiced talk lines")
set(CPACK_PACKAGE_DESCRIPTION
    "Tarnwick reads an installed game's own packed data and lets you browse and\n"
    "hear its voiced talk lines: the talk list with check boxes, capture groups\n"
    "from your capture list, and a walk through the marked lines with the\n"
    "speaker's face picture, the text, the voice clip and background music.\n"
    "\n"
    "The command-line companion tarnwick-cli lists, extracts and exports the\n"
    "game's entries, talk lines and voice clips.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME tarnwick_${PROJECT_VERSION}_${TARNWICK_DEB_ARCH}.deb)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${TARNWICK_DEB_ARCH})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TARNWICK_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${TARNWICK_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "${_run_packages}")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
include(CPack)
