# quenlith_add_windows_resources(target): gives a Windows program its resources — the
# manifest (type 24, id 1) that selects version 6 of the common controls, the icon group 1
# and the version record 1.3.0.0. Does nothing on other platforms.
set(QUENLITH_WINDOWS_RESOURCE_DIR "${CMAKE_CURRENT_LIST_DIR}/../packaging/windows")
set(QUENLITH_ICON_DIR "${CMAKE_CURRENT_LIST_DIR}/../app/icons")
cmake_path(NORMAL_PATH QUENLITH_WINDOWS_RESOURCE_DIR)
cmake_path(NORMAL_PATH QUENLITH_ICON_DIR)

function(quenlith_add_windows_resources target)
  if(NOT WIN32)
    return()
  endif()
  set(script "${QUENLITH_WINDOWS_RESOURCE_DIR}/quenlith.rc")
  target_sources(${target} PRIVATE "${script}")
  # The script names its files without folders; the resource compiler finds them here.
  set_property(SOURCE "${script}" TARGET_DIRECTORY ${target} APPEND PROPERTY
    INCLUDE_DIRECTORIES "${QUENLITH_WINDOWS_RESOURCE_DIR}" "${QUENLITH_ICON_DIR}")
  set_property(SOURCE "${script}" TARGET_DIRECTORY ${target} APPEND PROPERTY
    OBJECT_DEPENDS "${QUENLITH_WINDOWS_RESOURCE_DIR}/quenlith.manifest"
                   "${QUENLITH_WINDOWS_RESOURCE_DIR}/quenlith-anycpu.manifest"
                   "${QUENLITH_ICON_DIR}/quenlith.ico")
  # The manifest names the x86 processor; other processors would be refused the common
  # controls it asks for, so their builds take the copy that names any processor.
  if(NOT CMAKE_SIZEOF_VOID_P EQUAL 4)
    set_property(SOURCE "${script}" TARGET_DIRECTORY ${target} APPEND PROPERTY
      COMPILE_DEFINITIONS QUENLITH_MANIFEST_ANY_CPU)
  endif()
  if(MSVC)
    # The script carries the manifest; the linker must not add a second one.
    target_link_options(${target} PRIVATE /MANIFEST:NO)
  endif()
endfunction()
