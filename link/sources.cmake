target_sources(v2core PRIVATE
  link/channel.h link/channel.cpp
  link/portnames.h link/portnames.cpp
  link/commands.h)
target_sources(v2ui PRIVATE
  link/connection.cpp)
