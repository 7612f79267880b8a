# Windows build: the real installer, a GUI-subsystem x64 program with a static runtime.
enable_language(RC)
add_executable(folioinst WIN32 ${PRODUCT_SOURCES} ${PRODUCT_ENTRY})
target_include_directories(folioinst PRIVATE ${CMAKE_SOURCE_DIR})
target_link_options(folioinst PRIVATE -municode -static -static-libgcc -static-libstdc++)
target_link_libraries(folioinst PRIVATE winspool advapi32 version shell32 user32)
