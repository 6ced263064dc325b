# Run by CPack on the staged install, before it makes the Debian package.
# Debian keeps games in /usr/games, so the package's program goes there; it
# still finds its pictures and track in ../share/baubles, /usr/share/baubles.
set(usr "${CPACK_TEMPORARY_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}")
if(NOT EXISTS "${usr}/bin/baubles")
  message(FATAL_ERROR "the staged install has no ${usr}/bin/baubles")
endif()
file(MAKE_DIRECTORY "${usr}/games")
file(RENAME "${usr}/bin/baubles" "${usr}/games/baubles")
file(GLOB left "${usr}/bin/*")
if(NOT left)
  file(REMOVE_RECURSE "${usr}/bin")
endif()
