# System libraries that are no known DLLs are never imported when a program loads: the loader
# would look for them in the executable's folder first, and anyone who can write beside the
# unpacked tool could put one there before main() restricts the search. Each name below is made a
# target of its own, so that `target_link_libraries(x version)` anywhere links a delay-load import
# library instead: the DLL is loaded at its first call, from System32 only (the hook in
# src/common/libraries.cpp). tests/app/import_table_test.cpp keeps tavrelo.exe's import table to
# the known DLLs. comdlg32, a known DLL, is delay-loaded for what it costs: only the file dialogs
# need it, and loading it brings the print spooler's libraries into every start (6 MiB).
set(TAVRELO_DELAY_LOADED version winhttp dbghelp comdlg32 userenv)

# Writes folder/<library file> for the delay-load import library of the system DLL name, exporting
# what the toolchain's import library does, and sets out to its path.
function(tavrelo_write_delay_library name folder library_file out)
  # The delay-load library exports what the toolchain's import library does.
  execute_process(COMMAND "${CMAKE_C_COMPILER}" -print-file-name=lib${name}.a
                  OUTPUT_VARIABLE import_library OUTPUT_STRIP_TRAILING_WHITESPACE)
  execute_process(COMMAND "${CMAKE_NM}" -g "${import_library}" OUTPUT_VARIABLE symbols RESULT_VARIABLE failed)
  string(REGEX MATCHALL " I __imp_[^\r\n]+" exports "${symbols}")
  list(TRANSFORM exports REPLACE "^ I __imp_" "")
  list(REMOVE_DUPLICATES exports)
  if(failed OR NOT exports)
    message(FATAL_ERROR "No exports of ${name} found in ${import_library}")
  endif()
  list(JOIN exports "\n" lines)
  file(WRITE "${folder}/${name}.def" "LIBRARY ${name}.dll\nEXPORTS\n${lines}\n")
  execute_process(COMMAND "${CMAKE_DLLTOOL}" --input-def "${folder}/${name}.def"
                          --output-delaylib "${folder}/${library_file}"
                  RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "${CMAKE_DLLTOOL} could not write the delay-load library of ${name}")
  endif()
  set(${out} "${folder}/${library_file}" PARENT_SCOPE)
endfunction()

foreach(name IN LISTS TAVRELO_DELAY_LOADED)
  add_library(${name} INTERFACE IMPORTED GLOBAL)
  if(MSVC)
    set_target_properties(${name} PROPERTIES INTERFACE_LINK_LIBRARIES "${name}.lib;delayimp.lib"
                                             INTERFACE_LINK_OPTIONS "/DELAYLOAD:${name}.dll")
    continue()
  endif()
  tavrelo_write_delay_library(${name} "${CMAKE_BINARY_DIR}/delay-load" "lib${name}-delay.a" library)
  set_target_properties(${name} PROPERTIES INTERFACE_LINK_LIBRARIES "${library}")
endforeach()

# The console program starts with the rights of whoever runs it and does most of its work without
# windows, shell or COM: every system library but kernel32, advapi32, ntdll and the C runtime is
# loaded at its first call there. TAVRELO_CONSOLE_DELAY_FOLDER holds import libraries named as the
# toolchain's, so that a target searching it first links them in their place.
set(TAVRELO_CONSOLE_DELAY_LOADED user32 gdi32 comctl32 shell32 shlwapi ole32 oleaut32)
set(TAVRELO_CONSOLE_DELAY_FOLDER "${CMAKE_BINARY_DIR}/delay-load/console")
if(NOT MSVC)
  foreach(name IN LISTS TAVRELO_CONSOLE_DELAY_LOADED)
    tavrelo_write_delay_library(${name} "${TAVRELO_CONSOLE_DELAY_FOLDER}" "lib${name}.a" library)
  endforeach()
endif()
