# After an install straight into a prefix (`cmake --install build --prefix ~/.local`), the
# desktop's databases under it are brought up to date, so the ".3do" type is known, a
# double-click opens the program and its icons are found at once. Not while a package is
# staged (DESTDIR set): an installed package has its databases rebuilt by dpkg's triggers.
# A tool the machine does not have is skipped: the install itself is complete without it.
install(CODE "set(vorlan_datadir \"${CMAKE_INSTALL_DATADIR}\")")
install(CODE [[
  if("$ENV{DESTDIR}" STREQUAL "")
    cmake_path(ABSOLUTE_PATH vorlan_datadir BASE_DIRECTORY "${CMAKE_INSTALL_PREFIX}"
               OUTPUT_VARIABLE vorlan_share)
    message(STATUS "Updating the desktop's databases under ${vorlan_share}")
    foreach(step "update-mime-database|mime" "update-desktop-database|applications"
                 "gtk-update-icon-cache|-f|-t|icons/hicolor")
      string(REPLACE "|" ";" step "${step}")
      list(POP_FRONT step tool)
      list(POP_BACK step folder)
      unset(vorlan_tool)
      find_program(vorlan_tool ${tool} NO_CACHE)
      if(vorlan_tool AND IS_DIRECTORY "${vorlan_share}/${folder}")
        execute_process(COMMAND "${vorlan_tool}" ${step} "${vorlan_share}/${folder}"
                        RESULT_VARIABLE result OUTPUT_QUIET ERROR_VARIABLE errors)
        if(NOT result EQUAL 0)
          message(WARNING "${tool} ${vorlan_share}/${folder}: ${errors}")
        endif()
      endif()
    endforeach()
  endif()
]])
