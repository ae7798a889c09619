# The installers. packaging/ builds the desktop data and its install rules;
# CPack then makes, from one build tree's install, the Debian package (Linux
# build) or the zip (Windows build). `make package` runs both.
# Only the desktop editor is installed: not the browser edition, and not a
# Linux build without the SDL2 window.
if(EMSCRIPTEN OR (NOT WIN32 AND NOT KESTROVAN_BUILD_SDL))
  return()
endif()
set(KESTROVAN_APP_ID io.github.kestrovan.Kestrovan)
set(KESTROVAN_MAINTAINER "Kestrovan developers <kestrovan@users.noreply.github.com>")
if(WIN32)
  # app/ compiles this resource script into kestrovan.exe; it embeds the icon
  # and the manifest.
  set(KESTROVAN_WINDOWS_RESOURCE ${PROJECT_BINARY_DIR}/packaging/kestrovan.rc)
  set(KESTROVAN_WINDOWS_ICON ${PROJECT_BINARY_DIR}/packaging/kestrovan.ico)
  set(KESTROVAN_WINDOWS_MANIFEST ${PROJECT_SOURCE_DIR}/packaging/kestrovan.exe.manifest)
endif()
# Installed folders are world-readable whatever the umask of the build.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
add_subdirectory(packaging)

set(CPACK_PACKAGE_NAME kestrovan)
set(CPACK_PACKAGE_CONTACT ${KESTROVAN_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "tiny lathe modeller that revolves a curve into a 3D mesh")
set(CPACK_PACKAGE_DESCRIPTION
    "Kestrovan shows the four control points of a cubic Bézier profile and the
two ends of a rotation axis in one window; drag them with the mouse. Tab
revolves the profile about the axis into a closed triangle mesh and saves it
as object.3ds, a 3D Studio file that Blender and other 3D programs open.
Escape quits.")
set(CPACK_SOURCE_GENERATOR "")
if(WIN32)
  # The exe goes in as built, so the zip holds exactly what the wine tests ran.
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME kestrovan-${PROJECT_VERSION}-windows-x86_64)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  # The default preset carries debug information; the package does not.
  set(CPACK_STRIP_FILES ON)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
endif()
include(CPack)
