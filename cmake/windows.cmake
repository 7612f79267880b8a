# Windows build: the real installer, a GUI-subsystem x64 program with a static runtime, and
# the product files it places.
enable_language(RC)

# Only DLLs that Windows always takes from the system directory are linked; the spooler
# client and the version library are loaded at run time (app/windows/system_dlls.cpp), so
# a new call into them that is not forwarded there fails to link instead of importing them.
set(CMAKE_C_STANDARD_LIBRARIES "-lkernel32 -luser32 -ladvapi32 -lshell32")
set(CMAKE_CXX_STANDARD_LIBRARIES "${CMAKE_C_STANDARD_LIBRARIES}")

# Small, self-contained binaries: the runtime is linked in, so nothing needs a DLL beyond
# Windows' own; code without exceptions or RTTI keeps the C++ runtime's unwinder, demangler
# and printf out; unused sections are dropped and symbols stripped.
function(folio_windows_binary target)
    target_compile_options(${target} PRIVATE
        $<$<COMPILE_LANGUAGE:C,CXX>:-Os -ffunction-sections -fdata-sections>
        $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions -fno-rtti>)
    target_link_options(${target} PRIVATE
        -static -static-libgcc -static-libstdc++ -Wl,--gc-sections -s)
endfunction()

add_executable(folioinst WIN32 ${PRODUCT_SOURCES} ${PRODUCT_ENTRY}
    ${CMAKE_SOURCE_DIR}/app/windows/system_dlls.cpp ${CMAKE_SOURCE_DIR}/app/folioinst.rc)
target_include_directories(folioinst PRIVATE ${CMAKE_SOURCE_DIR})
# -municode: the C runtime starts the program through wWinMain with a wide command line.
target_compile_options(folioinst PRIVATE $<$<COMPILE_LANGUAGE:CXX>:-municode>)
target_link_options(folioinst PRIVATE -municode)
folio_windows_binary(folioinst)

# The resource script names the manifest by a path relative to itself.
set_property(SOURCE ${CMAKE_SOURCE_DIR}/app/folioinst.rc APPEND PROPERTY OBJECT_DEPENDS
    ${CMAKE_SOURCE_DIR}/app/folioinst.manifest ${CMAKE_SOURCE_DIR}/app/resource.h)

add_subdirectory(product)
add_subdirectory(tests/wine/checks)
add_subdirectory(tools/bench)

# The shipped folder (`make dist`): the installer and the files it places in Setup/, the
# tray companion one level up, where the installer looks for it.
install(TARGETS folioinst RUNTIME DESTINATION Setup)

# The conformance battery and the stub DLLs it installs, for the tier-2 comparison.
add_subdirectory(tests/conformance)
