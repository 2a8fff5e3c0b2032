# The release: `cmake --build build --target package` writes build/tavrelo-<version>-win64.zip,
# one folder of that name holding the tool, its help file and readme.txt, to be unpacked anywhere.
# The version is the project's; CPack's ZIP generator packs with CMake's own archive support.

# The tool shows the version of its version resource, so the package must not carry another one.
string(REPLACE "." "," tavrelo_version_commas "${PROJECT_VERSION}")
file(READ "${PROJECT_SOURCE_DIR}/resources/version.rc" tavrelo_version_rc)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/resources/version.rc")
string(FIND "${tavrelo_version_rc}" "\"FileVersion\", \"${PROJECT_VERSION}\"" tavrelo_version_at)
if(NOT tavrelo_version_rc MATCHES "FILEVERSION ${tavrelo_version_commas}[\r\n]" OR tavrelo_version_at EQUAL -1)
  message(FATAL_ERROR "resources/version.rc must give the version of project() in CMakeLists.txt, "
                      "${PROJECT_VERSION}, as FILEVERSION ${tavrelo_version_commas} and as \"FileVersion\".")
endif()

# readme.txt as Windows editors expect Japanese text: UTF-8 with its byte-order mark (kept in the
# template) and CR LF line ends.
configure_file("${PROJECT_SOURCE_DIR}/resources/package/readme.txt.in" "${CMAKE_BINARY_DIR}/package/readme.txt"
               @ONLY NEWLINE_STYLE CRLF)

install(TARGETS tavrelo RUNTIME DESTINATION .)
install(FILES "${CMAKE_BINARY_DIR}/tavrelo.chm" "${CMAKE_BINARY_DIR}/package/readme.txt" DESTINATION .)

# The zip's name and its folder's; the tests find the zip by it.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(TAVRELO_PACKAGE_NAME "tavrelo-${PROJECT_VERSION}-win64")
else()
  set(TAVRELO_PACKAGE_NAME "tavrelo-${PROJECT_VERSION}-win32")
endif()
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME tavrelo)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_FILE_NAME "${TAVRELO_PACKAGE_NAME}")
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_PACKAGE_DIRECTORY "${CMAKE_BINARY_DIR}")
set(CPACK_VERBATIM_VARIABLES ON)
include(CPack)
