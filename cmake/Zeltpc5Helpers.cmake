# zeltpc5_add_library(name SOURCES ... LIBS ...): one static, position-independent
# library per source folder; the component module and the tests link them.
function(zeltpc5_add_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/include)
    target_link_libraries(${name} PUBLIC ${ARG_LIBS})
endfunction()

# zeltpc5_add_tests(target SOURCES ... LIBS ...): one GoogleTest executable whose
# every case becomes a CTest test. Widget tests need no display: offscreen.
function(zeltpc5_add_tests target)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${target} ${ARG_SOURCES})
    target_link_libraries(${target} PRIVATE ${ARG_LIBS} zeltpc5_testmain GTest::gtest GTest::gmock)
    # Every test prints Qt values readably when an expectation fails.
    target_compile_options(${target} PRIVATE -include ${PROJECT_SOURCE_DIR}/tests/support/printers.h)
    gtest_discover_tests(${target}
        PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;ZELTPC5_CLASS_REGISTRY=${CMAKE_CURRENT_BINARY_DIR}/${target}-classes.ini"
        DISCOVERY_TIMEOUT 60)
endfunction()
