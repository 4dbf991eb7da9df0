# Builds the package of this tree into a directory of its own and has lintian check it: the test
# fails on any error or warning. Run with -DCPACK=... -DLINTIAN=... -DCONFIG=<CPackConfig.cmake>
# -DWORK=<directory>.
file(REMOVE_RECURSE "${WORK}")
execute_process(COMMAND "${CPACK}" -G DEB --config "${CONFIG}" -B "${WORK}"
                RESULT_VARIABLE built OUTPUT_VARIABLE log ERROR_VARIABLE log)
file(GLOB packages "${WORK}/*.deb")
list(LENGTH packages count)
if(NOT built EQUAL 0 OR NOT count EQUAL 1)
    message(FATAL_ERROR "cpack did not build one package:\n${log}")
endif()

execute_process(COMMAND "${LINTIAN}" --fail-on error,warning --display-info ${packages}
                RESULT_VARIABLE checked OUTPUT_VARIABLE tags ERROR_VARIABLE errors)
message("${tags}")
if(NOT checked EQUAL 0 OR tags MATCHES "(^|\n)[EW]: ")
    message(FATAL_ERROR "lintian rejects the package:\n${tags}${errors}")
endif()
