# The typed C++ facade, talvex/control.h, written at build time by a small program that reads the
# type library, so that new methods appear in it without an edit. talvex_facade carries it in the
# build tree; installed, it sits with the headers and talvex::control reaches it.
add_executable(talvex_facade_gen tools/facade/generate_facade.cc)
target_link_libraries(talvex_facade_gen PRIVATE talvex_control)
set(TALVEX_FACADE_HEADER ${CMAKE_BINARY_DIR}/generated/talvex/control.h)
add_custom_command(OUTPUT ${TALVEX_FACADE_HEADER}
                   COMMAND talvex_facade_gen ${TALVEX_FACADE_HEADER}
                   DEPENDS talvex_facade_gen
                   COMMENT "Writing the typed facade from the type library")
add_custom_target(talvex_facade_header ALL DEPENDS ${TALVEX_FACADE_HEADER})
add_library(talvex_facade INTERFACE)
target_include_directories(talvex_facade INTERFACE $<BUILD_INTERFACE:${CMAKE_BINARY_DIR}/generated>)
target_link_libraries(talvex_facade INTERFACE talvex_control)
add_dependencies(talvex_facade talvex_facade_header)
