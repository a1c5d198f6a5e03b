# Run by CPack on its staging folder before the package is made, doing what Debian's own
# package tools do there: programs lose their symbols and the compiler's notes, man pages
# and the changelog are compressed with gzip -9n (no name or time stamp, so the package is
# the same on every build).
file(GLOB_RECURSE staged LIST_DIRECTORIES false "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*")
foreach(file IN LISTS staged)
  if(IS_SYMLINK "${file}")
    continue()
  endif()
  file(READ "${file}" magic LIMIT 4 HEX)
  if(magic STREQUAL "7f454c46")
    set(command strip --remove-section=.comment --remove-section=.note --strip-unneeded)
  elseif(file MATCHES "/share/man/man[^/]*/[^/]*[^z]$|/share/doc/[^/]*/changelog$")
    set(command gzip -9nf)
  else()
    continue()
  endif()
  execute_process(COMMAND ${command} "${file}" RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "${command} failed on ${file}")
  endif()
endforeach()
