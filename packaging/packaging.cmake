# Installing the tool as a desktop program: the executables, the menu entry with its icon, the
# software-centre description, and a .deb built by CPack.  Included at the end of the top-level
# CMakeLists.txt, after every target exists.
include(GNUInstallDirs)

set(VIRELAN2_APP_ID org.virelan2.virelan2)
set(_pkg ${CMAKE_CURRENT_LIST_DIR})

install(TARGETS virelan2 virelan2-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The command line's report module, where virelan2-cli looks for it: beside it on Windows,
# ../lib/virelan2 from it elsewhere.
if(WIN32)
  install(TARGETS virelan2-report LIBRARY DESTINATION ${CMAKE_INSTALL_BINDIR})
else()
  install(TARGETS virelan2-report LIBRARY DESTINATION lib/virelan2)
endif()

if(UNIX AND NOT APPLE)
  install(TARGETS unitsim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # The menu starts the tool through the launcher, in a folder the user can write "log.txt" to.
  install(PROGRAMS ${_pkg}/virelan2-launch.sh
          DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME virelan2-launch)
  install(FILES ${_pkg}/${VIRELAN2_APP_ID}.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${_pkg}/${VIRELAN2_APP_ID}.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

  # The icon files come from the very drawing the window uses, rendered at build time.
  set(_icon_sizes 16 24 32 48 64 128 256)
  set(_icon_dir ${CMAKE_BINARY_DIR}/packaging/icons)
  set(_icon_files ${_icon_dir}/virelan2.ico)
  foreach(s IN LISTS _icon_sizes)
    list(APPEND _icon_files ${_icon_dir}/${s}.png)
  endforeach()
  add_executable(makeicon ${_pkg}/makeicon.cpp ${CMAKE_SOURCE_DIR}/ui/artwork.cpp)
  target_include_directories(makeicon PRIVATE ${CMAKE_SOURCE_DIR})
  target_link_libraries(makeicon PRIVATE Qt6::Gui)
  # Offscreen, so that a build machine needs no display; a leak report from a sanitizer build
  # of this one-shot helper would only break the build.
  add_custom_command(OUTPUT ${_icon_files}
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0
            $<TARGET_FILE:makeicon> ${_icon_dir} ${_icon_sizes}
    # The same drawing for the Windows build's executables (scripts/windows-package.sh).
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0
            $<TARGET_FILE:makeicon> --ico ${_icon_dir}/virelan2.ico 16 24 32 48 256
    DEPENDS makeicon
    COMMENT "Drawing the program icon"
    VERBATIM)
  add_custom_target(virelan2-icons ALL DEPENDS ${_icon_files})
  foreach(s IN LISTS _icon_sizes)
    install(FILES ${_icon_dir}/${s}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${s}x${s}/apps
            RENAME virelan2.png)
  endforeach()
  install(FILES ${_pkg}/virelan2.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

  # The window is designed in Tahoma.  Debian has a metric-compatible face in its Wine fonts,
  # outside fontconfig's folders: links in a font folder make it visible to the tool.
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/packaging/fonts)
  foreach(f tahoma.ttf tahomabd.ttf)
    file(CREATE_LINK /usr/share/wine/fonts/${f} ${CMAKE_BINARY_DIR}/packaging/fonts/${f} SYMBOLIC)
    install(FILES ${CMAKE_BINARY_DIR}/packaging/fonts/${f}
            DESTINATION ${CMAKE_INSTALL_DATADIR}/fonts/truetype/virelan2)
  endforeach()
endif()

# Windows: the icon and the version in both executables.  The .ico comes from a Linux build's
# makeicon (VIRELAN2_ICON); the folder and the installer are made by scripts/windows-package.sh.
if(WIN32)
  include(${_pkg}/windows/resources.cmake)
endif()

# The .deb: `cpack` in the build folder.  Qt comes from the system, so the package depends on
# the Qt runtime packages the executables link, as dpkg-shlibdeps finds them.
if(UNIX AND NOT APPLE)
  set(CPACK_GENERATOR DEB)
else()
  set(CPACK_GENERATOR ZIP)
endif()
set(CPACK_PACKAGE_NAME virelan2)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Virelan2 developers")
set(CPACK_PACKAGE_CONTACT "Virelan2 developers <virelan2@example.org>"
    CACHE STRING "Maintainer of the .deb")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "service tool for the ВИРЕЛАН2 warning and evacuation control unit")
set(CPACK_PACKAGE_DESCRIPTION
"Over a serial (COM) port the tool finds the ports, opens a conversation
with the control unit of a voice warning and evacuation system, reads the
unit's settings into one window, lets the engineer change and write them
back or load factory values, uploads the two voice messages and the siren
sound from WAV files, and shows six live readings with a chart.  Everything
it does is kept in an activity log.
.
virelan2-cli does the same from the command line, for scripts: reads the
settings into a file, writes a file's settings and verifies them by reading
back, uploads the sounds and prints the readings as CSV.
.
The package includes unitsim, a simulated control unit on a pseudo-terminal.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What the linker does not show: the faces the window and the unit picture are drawn in.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-wine, fonts-dejavu-core")
include(CPack)

# Builds the .deb, unpacks it into a scratch root and starts what it installed.  cpack writes
# into a scratch folder of the test's own, so the test can run beside the others.  A build for
# the sanitizers is not one to ship, so it has no such test.
if(BUILD_TESTING AND UNIX AND NOT APPLE AND NOT VIRELAN2_SANITIZE)
  add_test(NAME package COMMAND ${CMAKE_SOURCE_DIR}/scripts/package-test.sh ${CMAKE_BINARY_DIR})
  set_tests_properties(package PROPERTIES LABELS packaging TIMEOUT 600
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_LOGGING_RULES=qt.qpa.*=false")
endif()
