# Linux build: the product runs against winsim, the simulated Windows machine.
# 16-bit wchar_t makes WCHAR, L"..." and every byte count match Windows.
add_compile_options(-fshort-wchar)

if(FOLIO_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()

add_subdirectory(winsim)

add_library(folioscope_product STATIC ${PRODUCT_SOURCES} ${PRODUCT_ENTRY})
target_include_directories(folioscope_product PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(folioscope_product PUBLIC winsim)

# The command-line program: winsim's main loads a machine, calls wWinMain, saves it.
add_executable(folioinst ${CMAKE_SOURCE_DIR}/winsim/src/main.cpp)
target_link_libraries(folioinst PRIVATE folioscope_product winsim)

enable_testing()
add_subdirectory(tests)
