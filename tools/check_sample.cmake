# Fails unless the committed sample FastEcho file equals what
# `make_fixture sample` writes now:
#   cmake -DFIXTURE=make_fixture -DDIR=scratch -DCOMMITTED=sample/data/fastecho.cfg
#         -P tools/check_sample.cmake
file(REMOVE_RECURSE "${DIR}")
file(MAKE_DIRECTORY "${DIR}")
execute_process(COMMAND "${FIXTURE}" sample "${DIR}" RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "make_fixture sample failed: ${result}")
endif()
execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${DIR}/fastecho.cfg" "${COMMITTED}"
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${COMMITTED} differs from what `make_fixture sample` writes; "
                      "write it again with: make_fixture sample sample/data")
endif()
