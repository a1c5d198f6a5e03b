# The Debian package, made by CPack from the install rules (scripts/package.sh builds it with
# the install prefix /usr). Its dependencies come from dpkg-shlibdeps; the names listed here
# are what the program loads at run time without linking to it.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME 3dvorlan)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The 3D-Vorlan team")
set(CPACK_PACKAGE_CONTACT "The 3D-Vorlan team <team@3dvorlan.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION [=[3D-Vorlan builds and shows small 3D objects made of triangles and quads.
Each polygon has a name, corners typed in as whole numbers and either a
colour or a 24-bit BMP texture. The object is drawn lit and with its shadow
over a green ground; press-and-hold buttons and an automatic tumbling mode
turn, move and size it. Objects are kept in .3do files.
.
The package holds the program with its manual, sample objects, the desktop
entry and icons, and the companion programs for converting objects and
making thumbnails where they are built.]=])
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's platform plugins, Mesa's GL drivers (the view draws through them, also in software),
# Mesa's EGL vendor library (pictures are drawn with no display through it; libegl1 only
# recommends it) and the font the layout is measured for. Qt's SVG image and icon plugins
# are in libqt6svg6, which dpkg-shlibdeps names already (the program links Qt Svg); naming
# it here too would list it twice, which scripts/package.sh refuses.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "qt6-qpa-plugins, libgl1-mesa-dri, libegl-mesa0, fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Programs stripped, man pages and the changelog compressed, as Debian's policy asks.
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/DebianStaging.cmake)
include(CPack)

# What the package holds, so that scripts/package.sh builds that alone and not the tests and
# benchmarks. A program or generated file missing from this list is not built, and CPack's
# install step then stops on it.
add_custom_target(vorlan_package)
foreach(target 3dvorlan 3dvorlan-convert 3dvorlan-convert-qt 3dvorlan-thumbnailer vorlan_manual
               vorlan_desktop_files vorlan_convert_completion)
  if(TARGET ${target})
    add_dependencies(vorlan_package ${target})
  endif()
endforeach()
