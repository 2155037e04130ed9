target_sources(kalvero_windows PRIVATE
  syntax_select/file_system_lists.cpp
  syntax_select/file_system_lists.h
  syntax_select/syntax_select_window.cpp
  syntax_select/syntax_select_window.h
)
