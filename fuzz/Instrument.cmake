# Included before the libraries are added, so all of them get coverage for the fuzzer
# and the same sanitizers; fuzz/CMakeLists.txt then links the fuzzer's own main.
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  message(FATAL_ERROR "LOCKWELL_FUZZ needs clang (CXX=clang++)")
endif()
add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                    -fno-sanitize-recover=all)
add_link_options(-fsanitize=address,undefined)
