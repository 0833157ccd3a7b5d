# Installation: the static libraries, the public headers (include/talvex and the generated
# facade, nothing of src/) and the talvex host under a prefix, a CMake package
# (find_package(talvex CONFIG) gives talvex::control) and a pkg-config file.
# Included at the end of the top-level list so that every library is known; a new library or
# outside dependency needs no edit here.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# Each public header compiles on its own, with nothing but the public headers in view.
file(GLOB TALVEX_PUBLIC_HEADERS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/include/talvex/*.h)
list(APPEND TALVEX_PUBLIC_HEADERS ${TALVEX_FACADE_HEADER})
set(header_checks "")
foreach(header ${TALVEX_PUBLIC_HEADERS})
  get_filename_component(name ${header} NAME)
  file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/header-check/${name}.cc CONTENT "#include <talvex/${name}>\n")
  list(APPEND header_checks ${CMAKE_BINARY_DIR}/header-check/${name}.cc)
endforeach()
add_library(talvex_header_check OBJECT ${header_checks})
target_include_directories(talvex_header_check PRIVATE ${CMAKE_SOURCE_DIR}/include ${CMAKE_BINARY_DIR}/generated)
add_dependencies(talvex_header_check talvex_facade_header)

# Every library the control links, in an order a static link can use (users before what they use).
function(talvex_link_closure target out_libs out_outside)
  set(seen "")
  set(order "")
  set(outside "")
  function(visit t)
    get_property(done GLOBAL PROPERTY talvex_visit_${t})
    if(done)
      return()
    endif()
    set_property(GLOBAL PROPERTY talvex_visit_${t} TRUE)
    get_target_property(deps ${t} INTERFACE_LINK_LIBRARIES)
    if(deps)
      foreach(d ${deps})
        if(TARGET ${d} AND d MATCHES "^talvex_")
          visit(${d})
        elseif(NOT TARGET ${d} OR d MATCHES "::")
          set_property(GLOBAL APPEND PROPERTY talvex_outside ${d})
        endif()
      endforeach()
    endif()
    set_property(GLOBAL APPEND PROPERTY talvex_order ${t})
  endfunction()
  visit(${target})
  get_property(order GLOBAL PROPERTY talvex_order)
  get_property(outside GLOBAL PROPERTY talvex_outside)
  list(REVERSE order)
  list(REMOVE_DUPLICATES outside)
  set(${out_libs} ${order} PARENT_SCOPE)
  set(${out_outside} ${outside} PARENT_SCOPE)
endfunction()

talvex_link_closure(talvex_control TALVEX_INSTALLED_LIBS TALVEX_OUTSIDE_DEPS)

foreach(lib ${TALVEX_INSTALLED_LIBS})
  string(REGEX REPLACE "^talvex_" "" short ${lib})
  set_target_properties(${lib} PROPERTIES EXPORT_NAME ${short})
endforeach()
target_include_directories(talvex_automation INTERFACE $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
install(FILES ${TALVEX_PUBLIC_HEADERS} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/talvex)

install(TARGETS ${TALVEX_INSTALLED_LIBS} EXPORT talvexTargets ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(TARGETS talvex RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The host's manual page and its bash completion.
configure_file(${CMAKE_SOURCE_DIR}/tools/talvex/talvex.1.in ${CMAKE_BINARY_DIR}/talvex.1 @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/talvex.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_SOURCE_DIR}/tools/talvex/talvex.bash
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME talvex)
install(EXPORT talvexTargets NAMESPACE talvex:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/talvex)

# How the package finds what the libraries link: PkgConfig::X again through pkg-config with the
# module it was made from, any other Package::target through find_package(Package).
set(TALVEX_FIND_DEPENDENCIES "")
set(TALVEX_PC_REQUIRES "")
set(TALVEX_PC_LIBS "")
set(pc_modules_fmt fmt)
set(pc_modules_LibXml2 libxml-2.0)
set(pc_modules_CURL libcurl)
set(pc_modules_ZLIB zlib)
foreach(dep ${TALVEX_OUTSIDE_DEPS})
  if(dep MATCHES "^PkgConfig::(.+)$")
    set(prefix ${CMAKE_MATCH_1})
    string(APPEND TALVEX_FIND_DEPENDENCIES
           "pkg_check_modules(${prefix} REQUIRED IMPORTED_TARGET ${${prefix}_MODULE_NAME})\n")
    list(APPEND TALVEX_PC_REQUIRES ${${prefix}_MODULE_NAME})
  elseif(dep MATCHES "^([^:]+)::")
    set(package ${CMAKE_MATCH_1})
    string(APPEND TALVEX_FIND_DEPENDENCIES "find_dependency(${package})\n")
    if(pc_modules_${package})
      list(APPEND TALVEX_PC_REQUIRES ${pc_modules_${package}})
    endif()
  else()
    list(APPEND TALVEX_PC_LIBS ${dep})
  endif()
endforeach()
list(REMOVE_DUPLICATES TALVEX_PC_REQUIRES)
string(REPLACE ";" " " TALVEX_PC_REQUIRES "${TALVEX_PC_REQUIRES}")

# Both files find the prefix from where they lie, so that `cmake --install --prefix` may move it.
file(RELATIVE_PATH TALVEX_CONFIG_TO_PREFIX /p/${CMAKE_INSTALL_LIBDIR}/cmake/talvex /p)
file(RELATIVE_PATH TALVEX_PC_TO_PREFIX /p/${CMAKE_INSTALL_LIBDIR}/pkgconfig /p)
configure_file(${CMAKE_SOURCE_DIR}/cmake/talvexConfig.cmake.in ${CMAKE_BINARY_DIR}/talvexConfig.cmake @ONLY)
write_basic_package_version_file(${CMAKE_BINARY_DIR}/talvexConfigVersion.cmake COMPATIBILITY SameMinorVersion)
install(FILES ${CMAKE_BINARY_DIR}/talvexConfig.cmake ${CMAKE_BINARY_DIR}/talvexConfigVersion.cmake
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/talvex)

# pkg-config: the archives in link order, then what they need.
set(pc_libs "")
foreach(lib ${TALVEX_INSTALLED_LIBS})
  get_target_property(kind ${lib} TYPE)
  if(kind STREQUAL "STATIC_LIBRARY")
    string(APPEND pc_libs " -l${lib}")
  endif()
endforeach()
string(REPLACE ";" " " pc_outside "${TALVEX_PC_LIBS}")
# An instrumented build installs instrumented archives: their users link the sanitizer runtime.
if(TALVEX_SANITIZE)
  target_link_options(talvex_automation INTERFACE $<INSTALL_INTERFACE:-fsanitize=address,undefined>)
  string(APPEND pc_outside " -fsanitize=address,undefined")
endif()
set(TALVEX_PC_LIBS "${pc_libs} ${pc_outside}")
configure_file(${CMAKE_SOURCE_DIR}/cmake/talvex.pc.in ${CMAKE_BINARY_DIR}/talvex.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/talvex.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

add_test(NAME install.package
         COMMAND bash ${CMAKE_SOURCE_DIR}/tests/install/install_test.sh ${CMAKE_BINARY_DIR} ${CMAKE_SOURCE_DIR})
set_tests_properties(install.package PROPERTIES TIMEOUT 600)
