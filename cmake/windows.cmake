# Windows build: the real installer, a GUI-subsystem x64 program with a static runtime.
enable_language(RC)

add_executable(folioinst WIN32 ${PRODUCT_SOURCES} ${PRODUCT_ENTRY} ${CMAKE_SOURCE_DIR}/app/folioinst.rc)
target_include_directories(folioinst PRIVATE ${CMAKE_SOURCE_DIR})
# -municode: the C runtime starts the program through wWinMain with a wide command line.
target_compile_options(folioinst PRIVATE $<$<COMPILE_LANGUAGE:CXX>:-municode>)
# The runtime is linked in, so the program needs no DLL beyond Windows' own.
target_link_options(folioinst PRIVATE -municode -static -static-libgcc -static-libstdc++)
target_link_libraries(folioinst PRIVATE winspool advapi32 version shell32 user32)

# The resource script names the manifest by a path relative to itself.
set_property(SOURCE ${CMAKE_SOURCE_DIR}/app/folioinst.rc APPEND PROPERTY OBJECT_DEPENDS
    ${CMAKE_SOURCE_DIR}/app/folioinst.manifest ${CMAKE_SOURCE_DIR}/app/resource.h)

# The conformance battery and the stub DLLs it installs, for the tier-2 comparison.
add_subdirectory(tests/conformance)
