include(GoogleTest)

# cardhold_add_test(<name> SOURCES <files...> LIBS <targets...> [GUI])
# GUI tests get their own main that creates a QApplication, and run offscreen.
function(cardhold_add_test name)
    cmake_parse_arguments(ARG "GUI" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock)
    target_compile_definitions(${name} PRIVATE
        CARDHOLD_TEST_DATA_DIR="${PROJECT_SOURCE_DIR}/tests/data"
        CARDHOLD_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
        CARDHOLD_BINARY_DIR="${PROJECT_BINARY_DIR}")
    if(ARG_GUI)
        target_link_libraries(${name} PRIVATE cardhold_test_gui_main Qt6::Widgets)
    else()
        target_link_libraries(${name} PRIVATE GTest::gtest_main)
    endif()
    gtest_discover_tests(${name}
        DISCOVERY_MODE PRE_TEST
        DISCOVERY_TIMEOUT 60
        PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;CARDHOLD_TEST_TMP=${PROJECT_BINARY_DIR}/test-tmp")
endfunction()
