target_sources(kalvero_windows PRIVATE
  progress/progress_bar.cpp
  progress/progress_bar.h
  progress/progress_window.cpp
  progress/progress_window.h
)
