# `cpack -G DEB` in a build folder makes fernbeacon_<version>_<arch>.deb of what `cmake --install`
# installs. Build it from a Release build: the binaries are stripped here, but a Debug build
# stays unoptimised.
set(FERNBEACON_PACKAGE_MAINTAINER "Fernbeacon developers <fernbeacon@example.org>"
    CACHE STRING "The Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME fernbeacon)
set(CPACK_PACKAGE_VENDOR "Fernbeacon developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "tray menu of the running claude sessions")
set(CPACK_PACKAGE_DESCRIPTION
    "Finds every running claude process and shows, for each one, its directory, a\n\
title taken from the session's summary or first prompt, its git branch, its\n\
model, how full its context window is, how long it has run and which terminal\n\
hosts it. Choosing a session brings its terminal tab to the front; choosing a\n\
recent one opens a new tab there. The list, focus and open commands do the same\n\
from a shell.")
set(CPACK_STRIP_FILES ON)
# A native package: the version has no Debian revision and the changelog is changelog.gz.
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${FERNBEACON_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The umask of whoever builds must not reach the package's folders.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)

include(CPack)
