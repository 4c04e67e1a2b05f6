# Turns one readable UTF-8 table source into the bytes the program ships: the table's 8-bit code page,
# every line ended by CR LF (the last one too), no terminating zero.
#
# Run as: cmake -DSOURCE=<utf-8 file> -DCHARSET=<iconv name> -DOUTPUT=<file> -DEXPECTED_SIZE=<bytes>
#               -DICONV=<iconv program> -P make_lang_table.cmake
# Any deviation (an unmappable character, a stray or missing line, a stripped trailing blank) changes the size,
# so the size check fails the build rather than shipping a table the lookup would misread.

foreach(arg SOURCE CHARSET OUTPUT EXPECTED_SIZE ICONV)
  if(NOT DEFINED ${arg})
    message(FATAL_ERROR "make_lang_table.cmake: ${arg} is not set")
  endif()
endforeach()

file(READ "${SOURCE}" text)
# Whatever line ends the checkout has, the shipped text gets exactly CR LF.
string(REPLACE "\r" "" text "${text}")
if(NOT text MATCHES "\n$")
  string(APPEND text "\n")
endif()
string(REPLACE "\n" "\r\n" text "${text}")

# CR and LF are the same single bytes in UTF-8 and in every target code page, so the line ends can be fixed
# before the conversion.
set(crlf_utf8 "${OUTPUT}.utf8")
file(WRITE "${crlf_utf8}" "${text}")
execute_process(
  COMMAND "${ICONV}" -f UTF-8 -t "${CHARSET}" "${crlf_utf8}"
  OUTPUT_FILE "${OUTPUT}.tmp"
  ERROR_VARIABLE iconv_error
  RESULT_VARIABLE iconv_result)
file(REMOVE "${crlf_utf8}")
if(NOT iconv_result EQUAL 0)
  file(REMOVE "${OUTPUT}.tmp")
  message(FATAL_ERROR "${SOURCE}: iconv to ${CHARSET} failed: ${iconv_error}")
endif()

file(SIZE "${OUTPUT}.tmp" size)
if(NOT size EQUAL EXPECTED_SIZE)
  file(REMOVE "${OUTPUT}.tmp")
  message(FATAL_ERROR "${SOURCE}: converted to ${CHARSET} it takes ${size} bytes, expected ${EXPECTED_SIZE}")
endif()
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
