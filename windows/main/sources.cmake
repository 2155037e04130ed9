target_sources(kalvero_windows PRIVATE
  main/main_window.cpp
  main/main_window.h
  main/placement.cpp
  main/placement.h
  main/run_input_guard.cpp
  main/run_input_guard.h
  main/window_run_progress.cpp
  main/window_run_progress.h
  main/wrapping_controls.cpp
  main/wrapping_controls.h
)
