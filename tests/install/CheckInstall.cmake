# Installs the build into a scratch folder, with `cmake --install` or, when PACKAGE is set, as
# `cpack -G DEB` and `dpkg -x` make it, and checks that exactly the expected files land there.
# The package's program is run too: it must start from where the package put it.
#   cmake -DBUILD_DIR=... -DROOT=... [-DPACKAGE=ON -DCPACK=... -DVERSION=...] -P CheckInstall.cmake
file(REMOVE_RECURSE ${ROOT})
if(PACKAGE)
    file(GLOB stale ${BUILD_DIR}/package/*.deb)
    if(stale)
        file(REMOVE ${stale})
    endif()
    execute_process(COMMAND ${CPACK} -G DEB --config ${BUILD_DIR}/CPackConfig.cmake
        WORKING_DIRECTORY ${BUILD_DIR} RESULT_VARIABLE status OUTPUT_VARIABLE output
        ERROR_VARIABLE output)
    file(GLOB deb ${BUILD_DIR}/package/*.deb)
    if(NOT status EQUAL 0 OR NOT deb MATCHES "/fernbeacon_${VERSION}_[a-z0-9]+\\.deb$")
        message(FATAL_ERROR "cpack (${status}) made no fernbeacon_${VERSION}: ${deb}\n${output}")
    endif()
    execute_process(COMMAND dpkg -x ${deb} ${ROOT} RESULT_VARIABLE status)
    set(under usr/)
else()
    execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${ROOT}
        RESULT_VARIABLE status OUTPUT_QUIET)
    set(under "")
endif()
if(NOT status EQUAL 0)
    message(FATAL_ERROR "installing failed: ${status}")
endif()
set(prefix ${ROOT}/${under})

set(expected
    bin/fernbeacon
    share/applications/fernbeacon.desktop
    share/bash-completion/completions/fernbeacon
    share/doc/fernbeacon/changelog.gz
    share/doc/fernbeacon/copyright
    share/fish/vendor_completions.d/fernbeacon.fish
    share/icons/hicolor/scalable/apps/fernbeacon.svg
    share/man/man1/fernbeacon.1.gz
    share/zsh/vendor-completions/_fernbeacon)
list(TRANSFORM expected PREPEND "${under}")
file(GLOB_RECURSE installed LIST_DIRECTORIES false RELATIVE ${ROOT} ${ROOT}/*)
list(SORT installed)
if(NOT installed STREQUAL expected)
    message(FATAL_ERROR "installed files:\n  ${installed}\nexpected:\n  ${expected}")
endif()

file(STRINGS ${prefix}/share/applications/fernbeacon.desktop exec REGEX "^(Exec|Icon)=")
if(NOT exec STREQUAL "Exec=fernbeacon;Icon=fernbeacon")
    message(FATAL_ERROR "desktop entry: ${exec}")
endif()

if(PACKAGE)
    set(program ${prefix}/bin/fernbeacon)
    execute_process(COMMAND ${program} --version OUTPUT_VARIABLE version RESULT_VARIABLE status)
    if(NOT status EQUAL 0 OR NOT version MATCHES "^fernbeacon ${VERSION}( \\(git [0-9a-f]+\\))?\n$")
        message(FATAL_ERROR "--version (${status}): ${version}")
    endif()
    file(MAKE_DIRECTORY ${ROOT}/home)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=XDG_CONFIG_HOME
        --unset=CLAUDE_CONFIG_DIR HOME=${ROOT}/home ${program} list --json
        OUTPUT_VARIABLE listing RESULT_VARIABLE status)
    if(NOT status EQUAL 0 OR NOT listing MATCHES "^{\"statusTitle\": .*\"recent\": \\[\\]}\n$")
        message(FATAL_ERROR "list --json (${status}): ${listing}")
    endif()
    file(GLOB_RECURSE written LIST_DIRECTORIES true ${ROOT}/home/*)
    if(written)
        message(FATAL_ERROR "list wrote into the home: ${written}")
    endif()
endif()
file(REMOVE_RECURSE ${ROOT})
