target_sources(v2core PRIVATE
  sound/wav.h sound/wav.cpp
  sound/session.h sound/session.cpp
  sound/facts.h sound/facts.cpp
  sound/record.h sound/record.cpp)
target_sources(v2ui PRIVATE
  sound/upload.cpp)
