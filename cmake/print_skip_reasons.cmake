# Prints why each test of the last ctest run was skipped, read from that
# run's log: ctest itself shows a skipped test's output nowhere. Run by ctest
# after the tests (CTEST_CUSTOM_POST_TEST, in the build folder):
#
#   cmake -P cmake/print_skip_reasons.cmake
#
# A test says why it skips in a line of its output: "skipped: REASON" (the
# scripts and the Python tests), or GoogleTest's "FILE:LINE: Skipped"
# followed by the reason.
# While ctest runs the command, the run's log is still under its temporary
# name; it takes its final name when ctest ends.
set(log Testing/Temporary/LastTest.log.tmp)
if(NOT EXISTS ${log})
  set(log Testing/Temporary/LastTest.log)
endif()
if(NOT EXISTS ${log})
  return()
endif()
# One list element a line: the characters that CMake's lists give a meaning
# (";", "\\", and brackets, which join elements while unbalanced) are
# replaced first.
file(READ ${log} text)
string(REPLACE "\\" "/" text "${text}")
string(REPLACE ";" "," text "${text}")
string(REPLACE "[" "(" text "${text}")
string(REPLACE "]" ")" text "${text}")
string(REPLACE "\n" ";" lines "${text}")
set(test "")
set(reasons "")
set(next_is_reason FALSE)
foreach(line IN LISTS lines)
  if(next_is_reason)
    list(APPEND reasons "  ${test}: ${line}")
    set(next_is_reason FALSE)
  elseif(line MATCHES "^[0-9]+/[0-9]+ Test: (.*)$")
    set(test "${CMAKE_MATCH_1}")
  elseif(line MATCHES "^skipped: (.*)$")
    list(APPEND reasons "  ${test}: ${CMAKE_MATCH_1}")
  elseif(line MATCHES ": Skipped$")
    set(next_is_reason TRUE)
  endif()
endforeach()
if(reasons)
  list(REMOVE_DUPLICATES reasons)
  list(JOIN reasons "\n" text)
  message("Why tests were skipped:\n${text}")
endif()
