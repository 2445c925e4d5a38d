# kelm_header_library(TARGET HEADER SEARCH_DIR SUBDIR PACKAGE): makes a header-only library of
# the build machine usable where find_package did not provide TARGET. A cross build does not
# search the build machine's packages, so the headers (SEARCH_DIR/SUBDIR, holding HEADER) are
# copied into the build directory and used from there alone, never the machine's whole include
# directory.
function(kelm_header_library target header search_dir subdir package)
  if(TARGET ${target})
    return()
  endif()
  find_path(KELM_${subdir}_INCLUDE ${header} PATHS ${search_dir}
            NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  if(NOT KELM_${subdir}_INCLUDE)
    message(FATAL_ERROR "kelm: ${header} is missing (Debian: ${package})")
  endif()
  file(COPY ${KELM_${subdir}_INCLUDE}/${subdir} DESTINATION ${CMAKE_BINARY_DIR}/staged_include)
  add_library(${target} INTERFACE IMPORTED GLOBAL)
  target_include_directories(${target} INTERFACE ${CMAKE_BINARY_DIR}/staged_include)
endfunction()
