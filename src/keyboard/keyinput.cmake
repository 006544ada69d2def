# Keyboard input: physical keys, the country file's keyboard tables and the
# keyboard map to key words, with the lock check (portable core).
add_library(cedar_keyinput STATIC
  ${CMAKE_CURRENT_LIST_DIR}/key_input.cpp
  ${CMAKE_CURRENT_LIST_DIR}/key_submit.cpp
  ${CMAKE_CURRENT_LIST_DIR}/scan_codes.cpp)
target_link_libraries(cedar_keyinput PUBLIC cedar_keyboard cedar_keyfiles)
cedar_target(cedar_keyinput)
