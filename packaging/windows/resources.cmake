# The Windows resources of virelan2.exe and virelan2-cli.exe: the program's icon (the first icon
# of an executable is what Explorer, the Start menu and the window's title bar show) and the
# version the file's properties show.
enable_language(RC)

set(VIRELAN2_ICON "" CACHE FILEPATH "virelan2.ico, as makeicon --ico writes it")
if(VIRELAN2_ICON AND NOT EXISTS "${VIRELAN2_ICON}")
  message(FATAL_ERROR "VIRELAN2_ICON names ${VIRELAN2_ICON}, which does not exist")
endif()

foreach(_exe virelan2 virelan2-cli)
  if(_exe STREQUAL "virelan2")
    set(VIRELAN2_RC_DESCRIPTION "Virelan2 service tool")
  else()
    set(VIRELAN2_RC_DESCRIPTION "Virelan2 service tool, command line")
  endif()
  set(VIRELAN2_RC_FILENAME "${_exe}.exe")
  if(VIRELAN2_ICON)
    set(VIRELAN2_RC_ICON "IDI_ICON1 ICON \"${VIRELAN2_ICON}\"")
  else()
    set(VIRELAN2_RC_ICON "")
  endif()
  configure_file(${CMAKE_CURRENT_LIST_DIR}/virelan2.rc.in ${CMAKE_BINARY_DIR}/packaging/${_exe}.rc @ONLY)
  target_sources(${_exe} PRIVATE ${CMAKE_BINARY_DIR}/packaging/${_exe}.rc)
endforeach()
