# fast_float (Debian's libfast-float-dev, header-only) reads decimal numbers on every build. A
# cross compiler (mingw, emscripten) must not see the host's /usr/include, so it gets a copy of
# the fast_float folder alone.
add_library(varnel_fast_float INTERFACE)
if(CMAKE_CROSSCOMPILING)
  set(varnel_fast_float_root ${PROJECT_BINARY_DIR}/fast_float_headers)
  file(COPY /usr/include/fast_float DESTINATION ${varnel_fast_float_root})
  target_include_directories(varnel_fast_float SYSTEM INTERFACE ${varnel_fast_float_root})
elseif(NOT EXISTS /usr/include/fast_float/fast_float.h)
  message(FATAL_ERROR "fast_float is missing: scripts/install_deps.sh installs libfast-float-dev")
endif()
