# Key list (key.lst) and the keyboard, toolbar and keypad layout files.
add_library(cedar_keyfiles STATIC
  ${CMAKE_CURRENT_LIST_DIR}/key_list.cpp
  ${CMAKE_CURRENT_LIST_DIR}/layout_buttons.cpp
  ${CMAKE_CURRENT_LIST_DIR}/layout_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/layout_key_names.cpp
  ${CMAKE_CURRENT_LIST_DIR}/layout_keyboard.cpp)
target_link_libraries(cedar_keyfiles PUBLIC cedar_keyword cedar_screen)
cedar_target(cedar_keyfiles)
