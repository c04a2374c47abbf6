# The command line: the same conversations with the unit, for scripts and terminals.  A front
# end of its own beside the window; it links only the widget-free core.
add_executable(virelan2-cli
  ${CMAKE_CURRENT_LIST_DIR}/main.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cli.h ${CMAKE_CURRENT_LIST_DIR}/cli.cpp
  ${CMAKE_CURRENT_LIST_DIR}/console.h ${CMAKE_CURRENT_LIST_DIR}/console.cpp
  ${CMAKE_CURRENT_LIST_DIR}/common.h
  ${CMAKE_CURRENT_LIST_DIR}/diff.h ${CMAKE_CURRENT_LIST_DIR}/diff.cpp
  ${CMAKE_CURRENT_LIST_DIR}/readings.h ${CMAKE_CURRENT_LIST_DIR}/readings.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sounds.h ${CMAKE_CURRENT_LIST_DIR}/sounds.cpp
  ${CMAKE_CURRENT_LIST_DIR}/report.h ${CMAKE_CURRENT_LIST_DIR}/report.cpp)
target_link_libraries(virelan2-cli PRIVATE v2core)
target_compile_definitions(virelan2-cli PRIVATE VIRELAN2_VERSION="${PROJECT_VERSION}")

# `report` draws a PDF, which takes the GUI library: a module loaded for that command alone, so
# that the other commands start as light as before.  It lies beside virelan2-cli in the build
# folder and on Windows, in lib/virelan2 of an installation.
add_library(virelan2-report MODULE
  ${CMAKE_CURRENT_LIST_DIR}/reportmodule.h ${CMAKE_CURRENT_LIST_DIR}/reportmodule.cpp)
set_target_properties(virelan2-report PROPERTIES PREFIX "")
target_link_libraries(virelan2-report PRIVATE v2report)
add_dependencies(virelan2-cli virelan2-report)
