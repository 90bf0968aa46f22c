# The library: the calculations, the table reader and the loaders as static libraries of their
# own (tests and tools use them directly), and the module that exports them: varnel.dll on
# Windows (32- or 64-bit), libvarnel.so on Linux.

add_library(varnel_calc STATIC
  calc/coefficients.cpp
  calc/conductor_load.cpp
  calc/state_equation.cpp
  calc/span_curve.cpp
  calc/catenary_state.cpp
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

include(${CMAKE_CURRENT_LIST_DIR}/varnel_fast_float.cmake)

# The design data libraries: loaders over a library passed in, reading tables through dbf/.
add_library(varnel_libraries STATIC
  libraries/field_text.cpp
  libraries/weather/weather_area_loader.cpp
  libraries/components/component_loaders.cpp)
target_include_directories(varnel_libraries PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(varnel_libraries PUBLIC varnel_dbf PRIVATE varnel_warnings varnel_fast_float)
set_target_properties(varnel_libraries PROPERTIES POSITION_INDEPENDENT_CODE ON)

# Strain-section design over the calculation core's C++ interface: critical spans, the ruling
# span, section sags and stringing tables. Never exported from varnel.dll.
add_library(varnel_design STATIC
  design/catenary_section.cpp
  design/condition_roles.cpp
  design/critical_spans.cpp
  design/input_checks.cpp
  design/line_profile.cpp
  design/profile_clearances.cpp
  design/profile_sections.cpp
  design/profile_solve.cpp
  design/profile_towers.cpp
  design/strain_section.cpp
  design/wind_rules.cpp)
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

if(NOT WIN32 AND NOT EMSCRIPTEN)
  # The native library carries the design layer's C++ entry points too (design/design_api.h),
  # included as <design/...> from the source tree as from an installed prefix.
  target_link_libraries(varnel PRIVATE "$<LINK_LIBRARY:WHOLE_ARCHIVE,varnel_design>")
  target_include_directories(varnel PUBLIC $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>)
endif()

if(WIN32)
  # exports/varnel.def is the one list of exports, in GNU ld's form for the 32-bit DLL: each
  # stdcall symbol Name@N exported as the plain Name. The 64-bit DLL and the MSVC import
  # libraries need the names in other forms, derived from it here so the lists cannot drift.
  set(varnel_def ${PROJECT_SOURCE_DIR}/exports/varnel.def)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${varnel_def})
  file(STRINGS ${varnel_def} def_lines REGEX "==")
  set(plain_names "")
  set(stdcall_names "")
  foreach(line IN LISTS def_lines)
    if(NOT line MATCHES "^[ \t]*([A-Za-z_][A-Za-z0-9_]*)@([0-9]+)[ \t]*==[ \t]*([A-Za-z_][A-Za-z0-9_]*)[ \t]*$")
      message(FATAL_ERROR "varnel.def: not a \"Name@N == Name\" line: ${line}")
    endif()
    if(NOT CMAKE_MATCH_1 STREQUAL CMAKE_MATCH_3)
      message(FATAL_ERROR "varnel.def: ${CMAKE_MATCH_1} exported as ${CMAKE_MATCH_3}")
    endif()
    string(APPEND plain_names "    ${CMAKE_MATCH_1}\n")
    string(APPEND stdcall_names "    ${CMAKE_MATCH_1}@${CMAKE_MATCH_2}\n")
  endforeach()

  # The version resource, in both DLLs.
  configure_file(exports/varnel.rc.in ${PROJECT_BINARY_DIR}/varnel.rc @ONLY)
  target_sources(varnel PRIVATE ${PROJECT_BINARY_DIR}/varnel.rc)

  if(VARNEL_WIN32)
    # No dllexport attributes (they would bring the decorated names back) and no --kill-at (it
    # breaks the import library for C++ callers).
    target_sources(varnel PRIVATE ${varnel_def})
    target_link_options(varnel PRIVATE -Wl,--disable-stdcall-fixup)
    # llvm-dlltool wants the decorated names alone: -k then imports each by its plain name.
    set(msvc_def_names "${stdcall_names}")
    set(dlltool_machine i386)
    set(dlltool_kill_at -k)
  else()
    # x64 has one calling convention and decorates nothing: the plain names serve both.
    file(CONFIGURE OUTPUT ${PROJECT_BINARY_DIR}/exports/varnel_x64.def
         CONTENT "LIBRARY varnel.dll\nEXPORTS\n${plain_names}")
    target_sources(varnel PRIVATE ${PROJECT_BINARY_DIR}/exports/varnel_x64.def)
    set(msvc_def_names "${plain_names}")
    set(dlltool_machine i386:x86-64)
    set(dlltool_kill_at "")
  endif()
  set_target_properties(varnel PROPERTIES PREFIX "")

  # varnel.lib for MSVC-style linkers (link.exe, lld-link), beside mingw's libvarnel.dll.a.
  find_program(VARNEL_DLLTOOL NAMES llvm-dlltool-14 llvm-dlltool REQUIRED)
  set(msvc_def ${PROJECT_BINARY_DIR}/exports/varnel_msvc.def)
  file(CONFIGURE OUTPUT ${msvc_def} CONTENT "LIBRARY varnel.dll\nEXPORTS\n${msvc_def_names}")
  set(VARNEL_MSVC_IMPORT_LIB ${CMAKE_ARCHIVE_OUTPUT_DIRECTORY}/varnel.lib)
  add_custom_command(OUTPUT ${VARNEL_MSVC_IMPORT_LIB}
    COMMAND ${VARNEL_DLLTOOL} -m ${dlltool_machine} ${dlltool_kill_at} -d ${msvc_def}
            -l ${VARNEL_MSVC_IMPORT_LIB}
    DEPENDS ${msvc_def}
    COMMENT "MSVC import library varnel.lib (${dlltool_machine})"
    VERBATIM)
  add_custom_target(varnel_msvc_import_lib ALL DEPENDS ${VARNEL_MSVC_IMPORT_LIB})

  # mingw's libvarnel.dll.a is made the same way, replacing the one GNU ld writes: ld leaves the
  # SAFESEH mark (@feat.00) off the two members that hold the import directory and the DLL's
  # name, so a 32-bit lld-link or link.exe refuses the library unless given /safeseh:no. The
  # short import members llvm-dlltool writes hold no code, and GNU ld reads them as well.
  add_custom_command(TARGET varnel POST_BUILD
    COMMAND ${VARNEL_DLLTOOL} -m ${dlltool_machine} ${dlltool_kill_at} -d ${msvc_def}
            -l $<TARGET_LINKER_FILE:varnel>
    VERBATIM)
elseif(NOT (VARNEL_SANITIZE AND CMAKE_CXX_COMPILER_ID MATCHES "Clang") AND NOT VARNEL_BUILD_FUZZ)
  # Every symbol resolved when the library is linked, not when it is loaded. Not so under clang's
  # sanitizers or libFuzzer's coverage: clang links their runtimes into the executable only, and
  # the library takes them from there (GCC's sanitizers link a shared runtime into both).
  target_link_options(varnel PRIVATE -Wl,--no-undefined)
endif()

# The version, from project() alone.
configure_file(${PROJECT_SOURCE_DIR}/include/varnel_version.h.in
               ${PROJECT_BINARY_DIR}/include/varnel_version.h @ONLY)
target_include_directories(varnel PUBLIC $<BUILD_INTERFACE:${PROJECT_BINARY_DIR}/include>)
