target_sources(v2core PRIVATE
  sound/wav.h sound/wav.cpp)
target_sources(v2ui PRIVATE
  sound/upload.cpp)
