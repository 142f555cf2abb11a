# Adds every direct sub-folder of DIR that has a CMakeLists.txt, so that each
# component keeps its tests, benchmarks and fuzz targets in its own folder.
function(kyto_add_children dir)
    file(GLOB children LIST_DIRECTORIES true ${CMAKE_SOURCE_DIR}/${dir}/*)
    list(SORT children)
    foreach(child ${children})
        if(IS_DIRECTORY ${child} AND EXISTS ${child}/CMakeLists.txt)
            add_subdirectory(${child})
        endif()
    endforeach()
endfunction()

# kyto_add_test(NAME name SOURCES ... LIBS ... [LABELS threaded e2e ...])
# One GoogleTest executable per component, run by CTest with its working
# directory in a fresh temporary folder chosen by the test itself.
function(kyto_add_test)
    cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
    add_executable(${T_NAME} ${T_SOURCES})
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
    add_dependencies(${T_NAME} kyto_data)
    add_test(NAME ${T_NAME} COMMAND ${T_NAME} WORKING_DIRECTORY ${KYTO_BIN_DIR})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 300)
    endif()
    # KYTO_LOOPBACK_ONLY: no test may send a datagram or connect anywhere but
    # 127.0.0.0/8, whatever its settings say (see link/KytoSocket.h).
    set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT}
        ENVIRONMENT "KYTO_BIN_DIR=${KYTO_BIN_DIR};QT_QPA_PLATFORM=offscreen;KYTO_LOOPBACK_ONLY=1")
    if(T_LABELS)
        set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}")
    endif()
endfunction()

# kyto_add_bench(NAME name SOURCES ... LIBS ...)
function(kyto_add_bench)
    cmake_parse_arguments(B "" "NAME" "SOURCES;LIBS" ${ARGN})
    add_executable(${B_NAME} ${B_SOURCES})
    target_link_libraries(${B_NAME} PRIVATE ${B_LIBS} benchmark::benchmark Threads::Threads)
    add_dependencies(${B_NAME} kyto_data)
endfunction()

# kyto_add_fuzzer(NAME name SOURCES ... LIBS ...): built only with KYTO_FUZZ.
function(kyto_add_fuzzer)
    cmake_parse_arguments(F "" "NAME" "SOURCES;LIBS" ${ARGN})
    add_executable(${F_NAME} ${F_SOURCES})
    target_link_libraries(${F_NAME} PRIVATE ${F_LIBS} Threads::Threads)
    target_link_options(${F_NAME} PRIVATE -fsanitize=fuzzer)
    set_property(GLOBAL APPEND PROPERTY KYTO_FUZZERS ${F_NAME})
endfunction()

# kyto_add_qtest(NAME name SOURCES ... LIBS ... [LABELS ...]): a Qt Test
# executable (window tests, offscreen), one CTest test, run like kyto_add_test.
function(kyto_add_qtest)
    cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
    add_executable(${T_NAME} ${T_SOURCES})
    set_target_properties(${T_NAME} PROPERTIES AUTOMOC ON)
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} Qt6::Test Threads::Threads)
    target_include_directories(${T_NAME} PRIVATE ${CMAKE_SOURCE_DIR}/tests/support)
    add_dependencies(${T_NAME} kyto_data)
    add_test(NAME ${T_NAME} COMMAND ${T_NAME} WORKING_DIRECTORY ${KYTO_BIN_DIR})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 300)
    endif()
    set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT}
        ENVIRONMENT "KYTO_BIN_DIR=${KYTO_BIN_DIR};QT_QPA_PLATFORM=offscreen;KYTO_LOOPBACK_ONLY=1")
    if(T_LABELS)
        set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}")
    endif()
endfunction()
