# FILAMORPH_SOURCE_COMMIT: "git describe --always --dirty" of the source tree
# at configure time, or "unknown" when it is not a git checkout (a tarball) or
# git is missing. Results record it, so it is fixed when the build is configured.
find_package(Git QUIET)
set(FILAMORPH_SOURCE_COMMIT "unknown")
if(GIT_FOUND)
  execute_process(COMMAND ${GIT_EXECUTABLE} describe --always --dirty
                  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                  RESULT_VARIABLE describe_result
                  OUTPUT_VARIABLE describe_output
                  OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(describe_result EQUAL 0 AND describe_output)
    set(FILAMORPH_SOURCE_COMMIT "${describe_output}")
  endif()
endif()
message(STATUS "Filamorph ${PROJECT_VERSION}, source commit ${FILAMORPH_SOURCE_COMMIT}")
