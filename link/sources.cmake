target_sources(v2core PRIVATE
  link/channel.h link/channel.cpp
  link/portnames.h link/portnames.cpp
  link/commands.h
  link/listener.h
  link/session.h link/session.cpp)
target_sources(v2ui PRIVATE
  link/connection.cpp)
