# Warnings for the project's own targets: link against cedar_warnings.
add_library(cedar_warnings INTERFACE)
target_compile_options(cedar_warnings INTERFACE -Wall -Wextra -Werror -Wshadow -Wnon-virtual-dtor
                                                -Wold-style-cast -Wcast-align -Woverloaded-virtual)
