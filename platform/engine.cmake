# PSPP engine and shut-down
target_sources(kalvero_platform PRIVATE
  child_process.cpp
  child_process.h
  local_files.cpp
  local_files.h
  logind_shutdown.cpp
  logind_shutdown.h
  pspp_engine.cpp
  pspp_engine.h
  rtf_writer.cpp
  rtf_writer.h
)
