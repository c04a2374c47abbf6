target_sources(v2core PRIVATE
  settings/strtoint.h settings/strtoint.cpp
  settings/image.h settings/image.cpp
  settings/session.h settings/session.cpp
  settings/settingsfile.h settings/settingsfile.cpp)
target_sources(v2ui PRIVATE
  settings/controls.cpp
  settings/transfer.cpp
  settings/filemenu.cpp)
