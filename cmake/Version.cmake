# The one version number as the programs see it: #include <cardhold/version.h>.
configure_file("${CMAKE_CURRENT_LIST_DIR}/version.h.in"
    "${PROJECT_BINARY_DIR}/generated/include/cardhold/version.h" @ONLY)
add_library(cardhold_version INTERFACE)
target_include_directories(cardhold_version INTERFACE "${PROJECT_BINARY_DIR}/generated/include")
