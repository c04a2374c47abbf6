# The command line: the same conversations with the unit, for scripts and terminals.  A front
# end of its own beside the window; it links only the widget-free core.
add_executable(virelan2-cli
  ${CMAKE_CURRENT_LIST_DIR}/main.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cli.h ${CMAKE_CURRENT_LIST_DIR}/cli.cpp
  ${CMAKE_CURRENT_LIST_DIR}/console.h ${CMAKE_CURRENT_LIST_DIR}/console.cpp
  ${CMAKE_CURRENT_LIST_DIR}/common.h
  ${CMAKE_CURRENT_LIST_DIR}/diff.h ${CMAKE_CURRENT_LIST_DIR}/diff.cpp
  ${CMAKE_CURRENT_LIST_DIR}/readings.h ${CMAKE_CURRENT_LIST_DIR}/readings.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sounds.h ${CMAKE_CURRENT_LIST_DIR}/sounds.cpp)
target_link_libraries(virelan2-cli PRIVATE v2core)
target_compile_definitions(virelan2-cli PRIVATE VIRELAN2_VERSION="${PROJECT_VERSION}")
