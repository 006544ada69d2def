# Sanitizer and fuzzing flags, applied to every target of the project when enabled.
add_library(cedar_sanitizers INTERFACE)
if(CEDAR_SANITIZE)
  target_compile_options(cedar_sanitizers INTERFACE -fsanitize=address,undefined
                                                    -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_link_options(cedar_sanitizers INTERFACE -fsanitize=address,undefined)
endif()
if(CEDAR_FUZZ)
  # Instrument everything for coverage; the fuzz targets add -fsanitize=fuzzer at link.
  target_compile_options(cedar_sanitizers INTERFACE -fsanitize=fuzzer-no-link,address,undefined
                                                    -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_link_options(cedar_sanitizers INTERFACE -fsanitize=address,undefined)
endif()

# Common settings for a target of ours.
function(cedar_target target)
  target_link_libraries(${target} PRIVATE cedar_warnings cedar_sanitizers)
endfunction()
