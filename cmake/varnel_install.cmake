# Install rules: the C header, the design layer's C++ headers (Linux), the library (with its
# import libraries on Windows), the varnel command, the samples, the docs and the C# declarations;
# a CMake package (find_package(Varnel CONFIG) gives Varnel::varnel) and a pkg-config file. `cmake --install BUILD --strip` strips what it installs.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(VARNEL_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Varnel)

set_target_properties(varnel PROPERTIES EXPORT_NAME varnel)
install(TARGETS varnel EXPORT VarnelTargets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
if(WIN32)
  # The MSVC import library beside the mingw one (both made by llvm-dlltool from the .def).
  install(FILES ${VARNEL_MSVC_IMPORT_LIB} DESTINATION ${CMAKE_INSTALL_LIBDIR})
endif()
install(FILES include/varnel.h ${PROJECT_BINARY_DIR}/include/varnel_version.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
if(NOT WIN32)
  # The design layer's C++ interface, which libvarnel.so exports (varnel.dll does not): its
  # headers and the records and search types they take from calc/, under include/varnel/ so that
  # design/ and calc/ stay out of the include root. Varnel::varnel and varnel.pc put
  # include/varnel on the include path: a host writes #include <design/critical_spans.h>.
  install(FILES design/critical_spans.h design/strain_section.h design/design_api.h
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/varnel/design)
  install(FILES calc/control_search.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/varnel/calc)
  install(FILES calc/records/records.h calc/records/sequence.h
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/varnel/calc/records)
  set_property(TARGET varnel APPEND PROPERTY INTERFACE_INCLUDE_DIRECTORIES
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}/varnel>)
  set(VARNEL_PC_DESIGN_CFLAGS " -I\${includedir}/varnel")
endif()
# The C# declarations of the exports, beside csharp.md that tells how to use them.
install(FILES bindings/csharp/Varnel.cs DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs)

install(EXPORT VarnelTargets NAMESPACE Varnel:: DESTINATION ${VARNEL_CMAKE_DIR})
configure_package_config_file(cmake/VarnelConfig.cmake.in
  ${PROJECT_BINARY_DIR}/VarnelConfig.cmake INSTALL_DESTINATION ${VARNEL_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/VarnelConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/VarnelConfig.cmake
  ${PROJECT_BINARY_DIR}/VarnelConfigVersion.cmake DESTINATION ${VARNEL_CMAKE_DIR})

# From lib/pkgconfig (or lib/<triplet>/pkgconfig) back up to the prefix.
string(REGEX REPLACE "[^/]+" ".." VARNEL_PC_TO_PREFIX "${CMAKE_INSTALL_LIBDIR}/pkgconfig")
configure_file(cmake/varnel.pc.in ${PROJECT_BINARY_DIR}/varnel.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/varnel.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

install(DIRECTORY samples/ DESTINATION ${CMAKE_INSTALL_DATADIR}/varnel/samples
  FILES_MATCHING PATTERN "*.dbf" PATTERN "*.csv" PATTERN "README.md")
# The docs keep the tree's layout, so that the README's links (docs/linking.md, CHANGELOG.md)
# and the pages' links to each other work where they are installed; docs/README.md then does
# not overwrite the README either.
install(FILES README.md CHANGELOG.md LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(DIRECTORY docs/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs FILES_MATCHING PATTERN "*.md"
  PATTERN "*.png")
# The samples' description beside the docs as well, where their links look for it.
install(FILES samples/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR}/samples)
