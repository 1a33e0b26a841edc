# Makes the release zip from the build with cpack, as the package target does,
# and checks what it holds: exactly Outfold.aex (the built module, byte for
# byte) and INSTALL.txt (which names the version and says how to install, use
# and remove the plug-in).
# Arguments: CPACK, CONFIG (CPackConfig.cmake), WORK (a scratch folder),
# MODULE (the built Outfold.aex), VERSION (the project version).
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/unpacked)

function(fail message)
  message(FATAL_ERROR "package check: ${message}")
endfunction()

execute_process(COMMAND ${CPACK} --config ${CONFIG} -B ${WORK}
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  fail("cpack failed:\n${output}")
endif()

set(zip ${WORK}/Outfold-${VERSION}-win64.zip)
if(NOT EXISTS ${zip})
  file(GLOB made ${WORK}/*.zip)
  fail("no ${zip}; cpack made: ${made}")
endif()

execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${zip} WORKING_DIRECTORY ${WORK}/unpacked
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  fail("${zip} cannot be unpacked")
endif()

file(GLOB_RECURSE entries RELATIVE ${WORK}/unpacked ${WORK}/unpacked/*)
list(SORT entries)
if(NOT entries STREQUAL "INSTALL.txt;Outfold.aex")
  fail("the zip holds [${entries}], expected [INSTALL.txt;Outfold.aex]")
endif()

execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${MODULE} ${WORK}/unpacked/Outfold.aex
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  fail("the zip's Outfold.aex is not the built module")
endif()

file(READ ${WORK}/unpacked/INSTALL.txt text)
foreach(needed "Outfold ${VERSION}" "version 22.5 or newer" "Plug-ins" "Layer > Outfold" "Delete Outfold.aex")
  string(FIND "${text}" "${needed}" at)
  if(at EQUAL -1)
    fail("INSTALL.txt does not say \"${needed}\"")
  endif()
endforeach()
message(STATUS "package check: ${zip} holds ${entries}")
