# varnel_command_harness(TARGET): gives TARGET the varnel command, run through varnelMain (the
# command's own main under another name, fuzz/varnel_command.cpp): every object of the command but
# its main, with the command's include folders, definitions and libraries, the sample tables'
# folder as VARNEL_SAMPLES_DIR, and expat to parse the SVGs it writes. Native builds only (Debian
# has no mingw build of expat).
function(varnel_command_harness target)
  # The command's objects as built for the command itself (no second compilation), but its main.
  target_sources(${target} PRIVATE
    "$<FILTER:$<TARGET_OBJECTS:varnel_tool>,EXCLUDE,/varnel_main\\.cpp\\.o(bj)?$>")
  add_dependencies(${target} varnel_tool)
  target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/fuzz/varnel_command.cpp)

  foreach(property INCLUDE_DIRECTORIES COMPILE_DEFINITIONS LINK_LIBRARIES)
    get_target_property(${property} varnel_tool ${property})
    if(NOT ${property})
      set(${property} "")
    endif()
  endforeach()
  # The command's packages are imported in its own folder's scope: imported here again.
  find_package(CLI11 CONFIG REQUIRED)
  find_package(fmt REQUIRED)
  find_package(nlohmann_json 3 REQUIRED)
  find_package(EXPAT REQUIRED)
  target_include_directories(${target} PRIVATE ${INCLUDE_DIRECTORIES})
  target_compile_definitions(${target} PRIVATE ${COMPILE_DEFINITIONS}
                             VARNEL_SAMPLES_DIR="${PROJECT_SOURCE_DIR}/samples")
  target_link_libraries(${target} PRIVATE ${LINK_LIBRARIES} EXPAT::EXPAT)
endfunction()
