# Registry and program launcher
target_sources(kalvero_platform PRIVATE
  no_registry.cpp
  no_registry.h
  program_launcher.cpp
  program_launcher.h
)
