# The Debian package kvornis_VERSION_ARCH.deb, made by CPack from what
# `cmake --install` puts in place (`make package` runs it in build/release).

# The package's version is the project's; the changelog's latest entry must
# name it, or the package would contradict itself.
file(STRINGS ${CMAKE_CURRENT_SOURCE_DIR}/debian/changelog kv_changelog_top LIMIT_COUNT 1)
if(NOT kv_changelog_top MATCHES "^kvornis \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "packaging/debian/changelog: the latest entry is not for ${PROJECT_VERSION}: ${kv_changelog_top}")
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kvornis)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Kvornis developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "keyword statistics digger for buyers of search advertising")
# Lines as the control file shows them (CPack indents them; an empty line
# parts paragraphs).
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION [=[
From a seed keyword Kvornis queries a keyword-statistics web service,
walks the result pages and collects every related keyword with its
monthly query count into a grid and a text list, which it cleans of
duplicates, sorts by popularity and saves.

Besides the desktop window the package holds its command-line tools:
kvornis-cli runs the window's commands from a shell; kvornis-get fetches
URLs with the program's HTTP client (https, HTTP and SOCKS proxies);
kvornis-harvest digs hundreds of seeds to a depth with parallel workers
into a project file that survives crashes, and exports XLSX, CSV or
text; kvornis-stat-sim is a local stand-in of the service to try them on.
]=])
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Kvornis developers <developers@kvornis.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)

# The libraries come from the binaries themselves (dpkg-shlibdeps). What
# they cannot show: Qt's Russian texts, loaded by name at start-up; a
# narrow font with Cyrillic letters, since the window places its controls at
# fixed pixels and a fresh system's DejaVu Sans is wide enough to clip the
# captions; and the system's certificate store, which https to the service
# is checked against. The sqlite3 shell reads a harvest's project.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-translations-l10n, fonts-dejavu-extra | fonts-liberation, ca-certificates")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "sqlite3")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "bash-completion")

# As Debian's tools would make it: stripped programs, directories 0755
# whatever the builder's umask, control files with the modes policy asks.
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
