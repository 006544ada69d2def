# The key dispatcher with the attention keys, cursor movement, field editing,
# typing and word wrap (portable core).
add_library(cedar_keyboard STATIC
  ${CMAKE_CURRENT_LIST_DIR}/attention_keys.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cursor_moves.cpp
  ${CMAKE_CURRENT_LIST_DIR}/field_editing.cpp
  ${CMAKE_CURRENT_LIST_DIR}/key_dispatcher.cpp
  ${CMAKE_CURRENT_LIST_DIR}/key_recording.cpp
  ${CMAKE_CURRENT_LIST_DIR}/keyboard_settings.cpp
  ${CMAKE_CURRENT_LIST_DIR}/keyboard_state.cpp
  ${CMAKE_CURRENT_LIST_DIR}/text_input.cpp
  ${CMAKE_CURRENT_LIST_DIR}/typing.cpp
  ${CMAKE_CURRENT_LIST_DIR}/word_wrap.cpp)
target_include_directories(cedar_keyboard PUBLIC ${CMAKE_SOURCE_DIR}/src)
target_link_libraries(cedar_keyboard PUBLIC cedar_keyword cedar_screen cedar_host cedar_sessionfile)
cedar_target(cedar_keyboard)
