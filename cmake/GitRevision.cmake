# FERNBEACON_GIT_REVISION: the commit the source tree was configured from, or empty when the
# tree is not a git checkout of its own (a release tarball unpacked inside another repository
# must not report that repository's commit).
set(FERNBEACON_GIT_REVISION "")
find_package(Git QUIET)
if(Git_FOUND)
    execute_process(COMMAND ${GIT_EXECUTABLE} rev-parse --show-toplevel --short=12 HEAD
        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
        RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_QUIET
        OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(status EQUAL 0)
        string(REPLACE "\n" ";" output "${output}")
        list(GET output 0 toplevel)
        file(REAL_PATH "${toplevel}" toplevel)
        file(REAL_PATH "${PROJECT_SOURCE_DIR}" source)
        if(toplevel STREQUAL source)
            list(GET output 1 FERNBEACON_GIT_REVISION)
        endif()
    endif()
endif()
