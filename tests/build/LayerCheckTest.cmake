# Configures the project with one link injected that breaks the layers and
# expects the configure to stop with the layer message. Run with -P and
# -DSOURCE=... -DWORK=... -DFROM=... -DTO=... -DEXPECT=...
file(REMOVE_RECURSE ${WORK})
execute_process(
  COMMAND ${CMAKE_COMMAND} -S ${SOURCE} -B ${WORK} -G Ninja -DKX_BUILD_TESTS=OFF
          -DKX_BUILD_BENCH=OFF -DKX_INJECT_LINK_FROM=${FROM} -DKX_INJECT_LINK_TO=${TO}
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
file(REMOVE_RECURSE ${WORK})
if(rc EQUAL 0)
  message(FATAL_ERROR "configure accepted ${FROM} linking ${TO}")
endif()
string(REGEX REPLACE "[ \n]+" " " flat "${err}")
string(FIND "${flat}" "${EXPECT}" at)
if(at EQUAL -1)
  message(FATAL_ERROR "configure failed without the layer message \"${EXPECT}\":\n${err}")
endif()
