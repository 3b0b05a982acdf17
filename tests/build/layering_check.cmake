# cmake -DSOURCE=<project root> -DWORK=<scratch folder> -P layering_check.cmake
# The check must pass a clean layering and stop one where a logic library reaches widgets.
foreach(bad OFF ON)
  file(REMOVE_RECURSE ${WORK}/${bad})
  execute_process(
    COMMAND ${CMAKE_COMMAND} -S ${SOURCE}/tests/build/layering -B ${WORK}/${bad}
            -DOWB_BAD=${bad} -DOWB_LAYERING=${SOURCE}/cmake/OwbLayering.cmake
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(bad AND rc EQUAL 0)
    message(FATAL_ERROR "a logic library linking Qt6::Widgets through a helper was accepted")
  endif()
  if(bad AND NOT err MATCHES "owb_logic -> helper -> Qt6::Widgets")
    message(FATAL_ERROR "the failure does not name the path to the widgets:\n${err}")
  endif()
  if(NOT bad AND NOT rc EQUAL 0)
    message(FATAL_ERROR "a clean layering was refused:\n${err}")
  endif()
endforeach()
