target_sources(v2core PRIVATE
  settings/strtoint.h settings/strtoint.cpp
  settings/image.h settings/image.cpp
  settings/session.h settings/session.cpp
  settings/settingsfile.h settings/settingsfile.cpp)
target_sources(v2ui PRIVATE
  settings/controls.cpp
  settings/transfer.cpp
  settings/filemenu.cpp
  settings/reportmenu.cpp)

# The printable report: settings files laid out as a PDF.  It needs the GUI module (fonts, the
# PDF writer) but no widgets, so both the window and the command line link it.
add_library(v2report STATIC settings/report.h settings/report.cpp)
target_include_directories(v2report PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(v2report PUBLIC v2core Qt6::Gui)
target_link_libraries(v2ui PUBLIC v2report)
