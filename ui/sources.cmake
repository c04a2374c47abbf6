target_sources(v2core PRIVATE
  ui/codepage.h ui/codepage.cpp
  ui/logfile.h ui/logfile.cpp
  ui/loglines.h ui/loglines.cpp
  ui/timefmt.h ui/timefmt.cpp)
target_sources(v2ui PRIVATE
  ui/unit1.h ui/unit1.cpp
  ui/application.h ui/application.cpp
  ui/memo.h ui/memo.cpp
  ui/opendialog.h ui/opendialog.cpp
  ui/artwork.h ui/artwork.cpp
  ui/controls.h
  ui/formlistener.h
  ui/hints.cpp)
