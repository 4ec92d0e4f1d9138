# Build helpers shared by every folder.
#
# horlix_library(NAME SOURCES ... [LIBS ...])
#   A static library. In the native tree a second copy NAME_san is built with
#   AddressSanitizer and UndefinedBehaviorSanitizer for the sanitizer test run.
# horlix_unit_test(NAME [NATIVE_ONLY] SOURCES ... [LIBS ...])
#   A GoogleTest program. Native tree: its cases are registered one by one, and
#   the NAME_san build is registered as "san.NAME". Windows tree: NAME.exe is
#   built into bin/; the native tree registers it as "wine.NAME" when
#   HORLIX_WINDOWS_BUILD_DIR names the Windows tree (horlix_wine_test below).
#   NATIVE_ONLY: a test whose
#   reference exists only natively (glibc, say) is not built for Windows.
# horlix_tool(NAME SOURCES ... [LIBS ...])
#   A console program built in both trees (bin/NAME, bin/NAME.exe).

include_guard(GLOBAL)

set(HORLIX_SAN_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)

function(_horlix_san_libs out)
  # Libraries may be defined later in the tree, so decide at generate time.
  set(result)
  foreach(lib IN LISTS ARGN)
    if(lib MATCHES "::")
      list(APPEND result ${lib})
    else()
      list(APPEND result "$<IF:$<TARGET_EXISTS:${lib}_san>,${lib}_san,${lib}>")
    endif()
  endforeach()
  set(${out} ${result} PARENT_SCOPE)
endfunction()

function(horlix_library name)
  cmake_parse_arguments(A "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${A_SOURCES})
  target_link_libraries(${name} PUBLIC ${A_LIBS})
  if(HORLIX_SANITIZERS)
    add_library(${name}_san STATIC ${A_SOURCES})
    _horlix_san_libs(san_libs ${A_LIBS})
    target_link_libraries(${name}_san PUBLIC ${san_libs})
    target_compile_options(${name}_san PRIVATE ${HORLIX_SAN_FLAGS})
    target_link_options(${name}_san PUBLIC ${HORLIX_SAN_FLAGS})
  endif()
endfunction()

function(horlix_tool name)
  cmake_parse_arguments(A "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_LIBS})
endfunction()

function(horlix_unit_test name)
  cmake_parse_arguments(A "NATIVE_ONLY" "" "SOURCES;LIBS" ${ARGN})
  if(A_NATIVE_ONLY AND HORLIX_WINDOWS)
    return()
  endif()
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_LIBS} ${HORLIX_GTEST_MAIN})
  if(HORLIX_WINDOWS)
    return()
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 30
    PROPERTIES ENVIRONMENT "HORLIX_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
  if(HORLIX_SANITIZERS)
    add_executable(${name}_san ${A_SOURCES})
    _horlix_san_libs(san_libs ${A_LIBS})
    target_compile_options(${name}_san PRIVATE ${HORLIX_SAN_FLAGS})
    target_link_libraries(${name}_san PRIVATE ${san_libs} ${HORLIX_GTEST_MAIN})
    target_link_options(${name}_san PRIVATE ${HORLIX_SAN_FLAGS})
    add_test(NAME san.${name} COMMAND ${name}_san)
    set_tests_properties(san.${name} PROPERTIES
      ENVIRONMENT "HORLIX_SOURCE_DIR=${PROJECT_SOURCE_DIR};ASAN_OPTIONS=detect_leaks=1:abort_on_error=0;UBSAN_OPTIONS=print_stacktrace=1")
  endif()
  if(HORLIX_WINDOWS_BUILD_DIR AND NOT A_NATIVE_ONLY)
    horlix_wine_test(${name})
  endif()
endfunction()

# horlix_wine_test(NAME)
#   Registers the Windows tree's bin/NAME.exe as "wine.NAME". The Wine tests
#   share the prefix's registry (the program's key, the Run value) and the
#   display, so they run one at a time; a stray message box fails the test at
#   its timeout instead of holding the run.
function(horlix_wine_test name)
  add_test(NAME wine.${name}
    COMMAND ${PROJECT_SOURCE_DIR}/tests/wine/run.sh ${HORLIX_WINDOWS_BUILD_DIR}/bin/${name}.exe)
  set_tests_properties(wine.${name} PROPERTIES
    ENVIRONMENT "HORLIX_SOURCE_DIR=${PROJECT_SOURCE_DIR}"
    RESOURCE_LOCK horlix_wine_desktop
    TIMEOUT 300)
endfunction()
