# The command line: the same conversations with the unit, for scripts and terminals.  A front
# end of its own beside the window; it links the widget-free core, and the report's PDF.
add_executable(virelan2-cli
  ${CMAKE_CURRENT_LIST_DIR}/main.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cli.h ${CMAKE_CURRENT_LIST_DIR}/cli.cpp
  ${CMAKE_CURRENT_LIST_DIR}/report.h ${CMAKE_CURRENT_LIST_DIR}/report.cpp
  ${CMAKE_CURRENT_LIST_DIR}/console.h ${CMAKE_CURRENT_LIST_DIR}/console.cpp)
target_link_libraries(virelan2-cli PRIVATE v2core v2report)
target_compile_definitions(virelan2-cli PRIVATE VIRELAN2_VERSION="${PROJECT_VERSION}")
