# Windows builds: the UTF-8 manifest every program carries, and, when cross-compiling, what the
# build machine lends: Wine to run programs, GoogleTest sources, header-only packages.

# Programs take their arguments and file names as UTF-8 (the "A" system calls and the C
# library follow the active code page, UTF-8 from Windows 10 1903 on).
configure_file(${CMAKE_CURRENT_LIST_DIR}/utf8.rc.in ${CMAKE_BINARY_DIR}/utf8.rc @ONLY)
add_library(quillmark_utf8_manifest INTERFACE)
target_sources(quillmark_utf8_manifest INTERFACE ${CMAKE_BINARY_DIR}/utf8.rc)

if(NOT CMAKE_CROSSCOMPILING)
    return()
endif()

# Programs and tests run under Wine through a wrapper that owns a prefix inside the build.
if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
    find_program(QUILLMARK_WINE NAMES wine REQUIRED)
    find_program(QUILLMARK_WINEBOOT NAMES wineboot REQUIRED)
    find_program(QUILLMARK_WINESERVER NAMES wineserver REQUIRED)
    set(QUILLMARK_WINEPREFIX ${CMAKE_BINARY_DIR}/wine-prefix)
    configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.in ${CMAKE_BINARY_DIR}/wine-run @ONLY
        FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
        WORLD_READ WORLD_EXECUTE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)
endif()

# Header-only packages installed for the build machine serve the target too, but their
# include folder is /usr/include, whose C library headers must never reach the cross
# compiler. Their package files are copied into a folder of their own, beside links to just
# their headers, so find_package gives a folder holding those headers alone.
set(host_prefix ${CMAKE_BINARY_DIR}/host-headers)
foreach(package FastFloat nlohmann_json)
    find_file(${package}_host_config ${package}Config.cmake
        PATHS /usr/lib/cmake/${package} /usr/share/cmake/${package}
        NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
    if(NOT ${package}_host_config)
        message(FATAL_ERROR "${package} is not installed on the build machine")
    endif()
    get_filename_component(config_dir ${${package}_host_config} DIRECTORY)
    file(COPY ${config_dir} DESTINATION ${host_prefix}/lib/cmake)
    set(${package}_DIR ${host_prefix}/lib/cmake/${package} CACHE PATH "" FORCE)
endforeach()
file(MAKE_DIRECTORY ${host_prefix}/include)
foreach(header_dir fast_float nlohmann)
    if(NOT EXISTS ${host_prefix}/include/${header_dir})
        file(CREATE_LINK /usr/include/${header_dir} ${host_prefix}/include/${header_dir} SYMBOLIC)
    endif()
endforeach()

# No GoogleTest libraries exist for the target: build Debian's sources with the project.
if(BUILD_TESTING)
    set(QUILLMARK_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(${QUILLMARK_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()
