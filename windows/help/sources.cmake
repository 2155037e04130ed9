target_sources(kalvero_windows PRIVATE
  help/help_text.cpp
  help/help_text.h
  help/help_window.cpp
  help/help_window.h
)
