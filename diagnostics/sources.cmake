target_sources(v2core PRIVATE
  diagnostics/telemetry.h diagnostics/telemetry.cpp)
target_sources(v2ui PRIVATE
  diagnostics/chart.h diagnostics/chart.cpp
  diagnostics/panel.cpp)
