# Writes the gzipped manual page of one program from its own --help, so the page never drifts from
# the program. A program with subcommands gets each subcommand's --help as a section of its own.
# cmake -DPROGRAM=... -DNAME=... -DVERSION=... -DSUMMARY=... -DOUTPUT=....1.gz -P make_man_page.cmake
foreach(var PROGRAM NAME VERSION SUMMARY OUTPUT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "make_man_page: ${var} is not set")
  endif()
endforeach()
find_program(HELP2MAN help2man REQUIRED)
find_program(GZIP gzip REQUIRED)

execute_process(COMMAND ${PROGRAM} --help OUTPUT_VARIABLE help RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "make_man_page: ${PROGRAM} --help failed")
endif()

# The subcommands are the words that open the lines under "Subcommands:", up to the next blank line.
set(subcommands "")
string(REPLACE "\n" ";" lines "${help}")
set(in_list FALSE)
foreach(line IN LISTS lines)
  if(line STREQUAL "Subcommands:")
    set(in_list TRUE)
  elseif(in_list AND line MATCHES "^  ([a-z][a-z-]*) ")
    list(APPEND subcommands ${CMAKE_MATCH_1})
  elseif(in_list AND line STREQUAL "")
    set(in_list FALSE)
  endif()
endforeach()

# Each subcommand's help as preformatted text: roff must not read a backslash or a line's leading
# dot or quote as its own.
set(include_text "")
if(subcommands)
  set(include_text "[COMMANDS]\n")
  foreach(sub IN LISTS subcommands)
    execute_process(COMMAND ${PROGRAM} ${sub} --help OUTPUT_VARIABLE sub_help RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "make_man_page: ${PROGRAM} ${sub} --help failed")
    endif()
    # The exit statuses are the program's own section already.
    string(REGEX REPLACE "\n*Exit status:.*$" "\n" sub_help "${sub_help}")
    string(REPLACE "\\" "\\e" sub_help "${sub_help}")
    string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" sub_help "${sub_help}")
    string(APPEND include_text ".SS ${sub}\n.nf\n${sub_help}.fi\n")
  endforeach()
endif()

get_filename_component(out_dir ${OUTPUT} DIRECTORY)
set(page ${out_dir}/${NAME}.1)
set(include_file ${out_dir}/${NAME}.h2m)
set(include_option "")
if(include_text)
  file(WRITE ${include_file} "${include_text}")
  set(include_option --include=${include_file})
endif()
execute_process(
  COMMAND ${HELP2MAN} --no-info --no-discard-stderr --section=1 --version-string=${VERSION}
          --name=${SUMMARY} ${include_option} --output=${page} ${PROGRAM}
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "make_man_page: help2man failed for ${PROGRAM}")
endif()
# -n: no name or time stamp in the header, so the same page makes the same bytes.
execute_process(COMMAND ${GZIP} -9nf ${page} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "make_man_page: gzip failed for ${page}")
endif()
