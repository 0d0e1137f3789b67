# One place for the warning set, applied to every target of the project.
function(tarnwick_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion -Wno-missing-field-initializers)
  # GCC 12 at -O3 (a Release build) reports these falsely inside libstdc++'s
  # inlined std::string, std::vector and std::equal code (known GCC 12
  # regressions, gone in GCC 13). The other build types keep them.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_GREATER_EQUAL 12
     AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${target} PRIVATE $<$<CONFIG:Release>:-Wno-restrict -Wno-stringop-overflow -Wno-stringop-overread>)
  endif()
  if(TARNWICK_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
