# The library: the calculations, the table reader and the loaders as static libraries of their
# own (tests and tools use them directly), and the module that exports them: varnel.dll on
# 32-bit Windows, libvarnel.so on Linux.

add_library(varnel_calc STATIC
  calc/coefficients.cpp
  calc/conductor_load.cpp
  calc/state_equation.cpp
  calc/control_search.cpp
  calc/wind_loads.cpp)
target_include_directories(varnel_calc PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(varnel_calc PRIVATE varnel_warnings)
set_target_properties(varnel_calc PROPERTIES POSITION_INDEPENDENT_CODE ON)

# The DBF table reader: field names and field texts of dBASE tables. Depends on nothing else in
# the project.
add_library(varnel_dbf STATIC
  dbf/table_path.cpp
  dbf/table_format.cpp
  dbf/table_file.cpp
  dbf/dbase.cpp
  dbf/table_check.cpp)
target_include_directories(varnel_dbf PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(varnel_dbf PRIVATE varnel_warnings)
set_target_properties(varnel_dbf PROPERTIES POSITION_INDEPENDENT_CODE ON)

# The design data libraries: loaders over a library passed in, reading tables through dbf/.
add_library(varnel_libraries STATIC
  libraries/field_text.cpp
  libraries/weather/weather_area_loader.cpp
  libraries/components/component_loaders.cpp)
target_include_directories(varnel_libraries PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(varnel_libraries PUBLIC varnel_dbf PRIVATE varnel_warnings)
set_target_properties(varnel_libraries PROPERTIES POSITION_INDEPENDENT_CODE ON)

# Strain-section design over the calculation core's C++ interface: critical spans, the ruling
# span, section sags and stringing tables. Never exported from varnel.dll.
add_library(varnel_design STATIC
  design/critical_spans.cpp
  design/strain_section.cpp)
target_include_directories(varnel_design PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(varnel_design PUBLIC varnel_calc PRIVATE varnel_warnings)
set_target_properties(varnel_design PROPERTIES POSITION_INDEPENDENT_CODE ON)

add_library(varnel SHARED
  exports/calc_exports.cpp
  exports/library_exports.cpp)
target_link_libraries(varnel PRIVATE varnel_calc varnel_libraries varnel_warnings)
target_include_directories(varnel PUBLIC
  $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>)
# libvarnel.so.MAJOR is the SONAME, with the usual links to it. (varnel.dll keeps its name: the
# host loads it by that name; its version is in its version resource.)
if(NOT WIN32)
  set_target_properties(varnel PROPERTIES VERSION ${PROJECT_VERSION}
                                          SOVERSION ${PROJECT_VERSION_MAJOR})
endif()

if(NOT WIN32)
  # The native library carries the design layer's C++ entry points too (design/design_api.h).
  target_link_libraries(varnel PRIVATE "$<LINK_LIBRARY:WHOLE_ARCHIVE,varnel_design>")
endif()

if(WIN32)
  # Names come undecorated from the .def file; no dllexport attributes (they would bring the
  # decorated names back) and no --kill-at (it breaks the import library for C++ callers).
  target_sources(varnel PRIVATE exports/varnel.def ${PROJECT_BINARY_DIR}/varnel.rc)
  configure_file(exports/varnel.rc.in ${PROJECT_BINARY_DIR}/varnel.rc @ONLY)
  set_target_properties(varnel PROPERTIES PREFIX "")
  target_link_options(varnel PRIVATE -Wl,--disable-stdcall-fixup)
else()
  target_link_options(varnel PRIVATE -Wl,--no-undefined)
endif()

# The version, from project() alone.
configure_file(${PROJECT_SOURCE_DIR}/include/varnel_version.h.in
               ${PROJECT_BINARY_DIR}/include/varnel_version.h @ONLY)
target_include_directories(varnel PUBLIC $<BUILD_INTERFACE:${PROJECT_BINARY_DIR}/include>)
