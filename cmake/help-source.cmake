# Writes one help source, kept in UTF-8, as the help compiler takes it: in code page 932, the
# code page of a Japanese help file, its charset declaration changed to match.
# Usage: cmake -DICONV=iconv -DSOURCE=in -DTARGET=out -P help-source.cmake
file(READ "${SOURCE}" text)
string(REPLACE "charset=utf-8" "charset=Shift_JIS" text "${text}")
file(WRITE "${TARGET}.utf-8" "${text}")
execute_process(COMMAND "${ICONV}" -f UTF-8 -t CP932 "${TARGET}.utf-8"
                OUTPUT_FILE "${TARGET}" RESULT_VARIABLE result)
file(REMOVE "${TARGET}.utf-8")
if(NOT result EQUAL 0)
  file(REMOVE "${TARGET}")
  message(FATAL_ERROR "${SOURCE} holds text that code page 932 cannot represent")
endif()
