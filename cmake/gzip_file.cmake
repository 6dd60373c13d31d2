# cmake -DINPUT=FILE -DOUTPUT=FILE.gz -P gzip_file.cmake
#
# Compresses one file at the highest level, without the file's name and
# time in the header, so that the same page gives the same bytes.
find_program(GZIP gzip REQUIRED)
get_filename_component(folder ${OUTPUT} DIRECTORY)
file(MAKE_DIRECTORY ${folder})
execute_process(COMMAND ${GZIP} -9 -n -c ${INPUT}
  OUTPUT_FILE ${OUTPUT}.part
  RESULT_VARIABLE gzip_result)
if(NOT gzip_result EQUAL 0)
  file(REMOVE ${OUTPUT}.part)
  message(FATAL_ERROR "gzip ${INPUT} failed: ${gzip_result}")
endif()
file(RENAME ${OUTPUT}.part ${OUTPUT})
