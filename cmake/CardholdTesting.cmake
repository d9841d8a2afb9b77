include(GoogleTest)

# cardhold_add_test(<name> SOURCES <files...> LIBS <targets...> LABELS <labels...>
#                   [GUI | OWN_MAIN] [TIMEOUT <seconds>])
# Every test carries labels, so that `ctest -L <label>` runs one part alone, and a time-out
# after which ctest stops it (120 s unless given): longer than any wait inside a test, which
# gives up first and says what it waited for.
# GUI tests get a main that creates a QApplication, run offscreen and are labelled "ui";
# OWN_MAIN tests bring their own main and their own display.
function(cardhold_add_test name)
    cmake_parse_arguments(ARG "GUI;OWN_MAIN" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
    if(NOT ARG_LABELS)
        message(FATAL_ERROR "cardhold_add_test(${name}): LABELS missing")
    endif()
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 120)
    endif()
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock)
    target_compile_definitions(${name} PRIVATE
        CARDHOLD_TEST_DATA_DIR="${PROJECT_SOURCE_DIR}/tests/data"
        CARDHOLD_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
        CARDHOLD_BINARY_DIR="${PROJECT_BINARY_DIR}")
    set(environment "CARDHOLD_TEST_TMP=${PROJECT_BINARY_DIR}/test-tmp")
    if(ARG_GUI)
        target_link_libraries(${name} PRIVATE cardhold_test_gui_main Qt6::Widgets)
        list(APPEND ARG_LABELS ui)
    elseif(NOT ARG_OWN_MAIN)
        target_link_libraries(${name} PRIVATE GTest::gtest_main)
    endif()
    if(NOT ARG_OWN_MAIN)
        list(PREPEND environment "QT_QPA_PLATFORM=offscreen")
    endif()
    gtest_discover_tests(${name}
        DISCOVERY_MODE PRE_TEST
        DISCOVERY_TIMEOUT 60
        TEST_LIST ${name}_TESTS)
    # gtest_discover_tests flattens list-valued PROPERTIES (labels, environment), so they are
    # set from a file of our own that ctest reads after the one that lists the tests.
    set(properties_file "${CMAKE_CURRENT_BINARY_DIR}/${name}_properties.cmake")
    file(WRITE "${properties_file}"
        "foreach(test IN LISTS ${name}_TESTS)\n"
        "    set_tests_properties(\"\${test}\" PROPERTIES LABELS \"${ARG_LABELS}\"\n"
        "        TIMEOUT ${ARG_TIMEOUT} ENVIRONMENT \"${environment}\")\n"
        "endforeach()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${properties_file}")
endfunction()
