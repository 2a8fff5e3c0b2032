# The release: `cmake --build build --target package` writes build/tavrelo-<version>-win64.zip,
# one folder of that name holding the tool, its help file and readme.txt, to be unpacked anywhere.
# The version is the project's, as in the tool's version resource; CPack's ZIP generator packs with CMake's own archive support.

# readme.txt as Windows editors expect Japanese text: UTF-8 with its byte-order mark (kept in the
# template) and CR LF line ends.
configure_file("${PROJECT_SOURCE_DIR}/resources/package/readme.txt.in" "${CMAKE_BINARY_DIR}/package/readme.txt"
               @ONLY NEWLINE_STYLE CRLF)

install(TARGETS tavrelo tavrelo_console RUNTIME DESTINATION .)
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
