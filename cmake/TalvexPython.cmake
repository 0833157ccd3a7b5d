# The Python package talvex: the pure-Python part from python/talvex and the native module
# _talvex (pybind11), assembled in build/python/talvex so that PYTHONPATH=build/python imports it.
# The module reads the type library when it is imported; its type stubs are written from it after
# each link, so a new method needs no edit here. Debian's interpreter is the one built for.
# An instrumented module cannot load into an interpreter that is not: sanitizer builds go without.
if(TALVEX_SANITIZE OR TALVEX_FUZZ)
  return()
endif()
if(EXISTS /usr/bin/python3 AND NOT Python_EXECUTABLE)
  set(Python_EXECUTABLE /usr/bin/python3)
endif()
find_package(Python 3 COMPONENTS Interpreter Development.Module)
set(PYBIND11_FINDPYTHON ON)
find_package(pybind11 CONFIG)
if(NOT pybind11_FOUND OR NOT Python_FOUND)
  message(STATUS "Python package talvex: not built (needs pybind11-dev and python3-dev)")
  return()
endif()

set(TALVEX_PYTHON_DIR ${CMAKE_BINARY_DIR}/python/talvex)
file(GLOB talvex_python_srcs CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/python/ext/*.cc)
file(GLOB talvex_python_files CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/python/talvex/*)
pybind11_add_module(talvex_python MODULE ${talvex_python_srcs})
set_target_properties(talvex_python PROPERTIES OUTPUT_NAME _talvex LIBRARY_OUTPUT_DIRECTORY ${TALVEX_PYTHON_DIR})
# The control's own symbols stay inside the module.
target_link_libraries(talvex_python PRIVATE talvex_control talvex_host -Wl,--exclude-libs,ALL)
target_compile_definitions(talvex_python PRIVATE TALVEX_VERSION="${PROJECT_VERSION}")
add_custom_command(TARGET talvex_python POST_BUILD
                   COMMAND ${CMAKE_COMMAND} -E copy ${talvex_python_files} ${TALVEX_PYTHON_DIR}
                   COMMAND ${CMAKE_COMMAND} -E env PYTHONPATH=${CMAKE_BINARY_DIR}/python PYTHONDONTWRITEBYTECODE=1
                           ${Python_EXECUTABLE} -c "import sys, talvex._talvex as t; t._write_stubs(sys.argv[1])"
                           ${TALVEX_PYTHON_DIR}/_talvex.pyi
                   COMMENT "Assembling the Python package talvex and its type stubs" VERBATIM)
# Copies of the pure-Python files are refreshed when they change, not only when the module links.
add_custom_target(talvex_python_files ALL
                  COMMAND ${CMAKE_COMMAND} -E make_directory ${TALVEX_PYTHON_DIR}
                  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${talvex_python_files} ${TALVEX_PYTHON_DIR})
add_dependencies(talvex_python talvex_python_files)

install(DIRECTORY ${TALVEX_PYTHON_DIR} DESTINATION lib/python3/dist-packages
        PATTERN "__pycache__" EXCLUDE)

add_test(NAME python.module
         COMMAND ${Python_EXECUTABLE} -m unittest discover -s ${CMAKE_SOURCE_DIR}/tests/python_module -p "test_*.py")
set_tests_properties(python.module PROPERTIES TIMEOUT 600 ENVIRONMENT
                     "TALVEX_BUILD_DIR=${CMAKE_BINARY_DIR};PYTHONPATH=${CMAKE_BINARY_DIR}/python;PYTHONDONTWRITEBYTECODE=1")
