# Installation layout and the Debian package (scripts/package, or
# "cpack -G DEB" in a build folder): the client under /opt/velmar-erp, a
# launcher on the PATH, the desktop entry, AppStream data and the icons in
# the hicolor theme, rendered here from the project's own SVG.

set(VELMAR_APP_ID "com.velmar.VelmarERP")
# X11 class of the main window (the executable's name), for StartupWMClass.
set(VELMAR_WM_CLASS "VelmarERP")
set(VELMAR_INSTALL_DIR "opt/velmar-erp")
set(VELMAR_MAINTAINER "Velmar ERP client developers <erp-client@velmar.example>")
set(VELMAR_RELEASE_DATE "2026-12-10")
set(VELMAR_CHANGELOG_DATE "Thu, 10 Dec 2026 00:00:00 +0000")
set(VELMAR_PUBLISHER_KEYRING "" CACHE FILEPATH
    "Public key (binary OpenPGP) that signs the client's packages; the updater checks new versions with it")
set(VELMAR_INSTALL_PATH "/${VELMAR_INSTALL_DIR}")

set(packaging ${PROJECT_SOURCE_DIR}/packaging)
set(staged ${CMAKE_BINARY_DIR}/packaging)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

configure_file(${packaging}/velmar-erp.desktop.in ${staged}/${VELMAR_APP_ID}.desktop @ONLY)
configure_file(${packaging}/velmar-erp.metainfo.xml.in ${staged}/${VELMAR_APP_ID}.metainfo.xml @ONLY)
configure_file(${packaging}/velmar-erp.1.in ${staged}/velmar-erp.1 @ONLY)
configure_file(${packaging}/changelog.in ${staged}/changelog @ONLY)
configure_file(${packaging}/velmar-erp-install.in ${staged}/velmar-erp-install @ONLY)
configure_file(${packaging}/com.velmar.erp.update.policy.in ${staged}/com.velmar.erp.update.policy @ONLY)
# The copyright file carries the licence text indented, as Debian's format wants.
file(READ ${PROJECT_SOURCE_DIR}/LICENSE license)
string(REGEX REPLACE "^MIT License\n\n" "" license "${license}")
string(REGEX REPLACE "\n$" "" license "${license}")
string(REGEX REPLACE "\n\n" "\n.\n" license "${license}")
string(REGEX REPLACE "\n" "\n " license "${license}")
set(VELMAR_LICENSE_TEXT " ${license}")
configure_file(${packaging}/copyright.in ${staged}/copyright @ONLY)

# Compressed without names or times, so the package is the same at every build.
find_program(VELMAR_GZIP gzip REQUIRED)
set(compressed ${staged}/changelog.gz ${staged}/velmar-erp.1.gz)
add_custom_command(OUTPUT ${compressed}
  COMMAND ${VELMAR_GZIP} -9nc ${staged}/changelog > ${staged}/changelog.gz
  COMMAND ${VELMAR_GZIP} -9nc ${staged}/velmar-erp.1 > ${staged}/velmar-erp.1.gz
  DEPENDS ${staged}/changelog ${staged}/velmar-erp.1
  VERBATIM)

set(VELMAR_ICON_SIZES 16 24 32 48 64 128 256)
find_program(VELMAR_RSVG_CONVERT rsvg-convert)
set(icons)
if(VELMAR_RSVG_CONVERT)
  foreach(size IN LISTS VELMAR_ICON_SIZES)
    set(icon ${staged}/icons/${size}x${size}/${VELMAR_APP_ID}.png)
    add_custom_command(OUTPUT ${icon}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${staged}/icons/${size}x${size}
      COMMAND ${VELMAR_RSVG_CONVERT} -w ${size} -h ${size} -f png -o ${icon} ${packaging}/velmar-erp.svg
      DEPENDS ${packaging}/velmar-erp.svg
      VERBATIM)
    list(APPEND icons ${icon})
  endforeach()
else()
  message(STATUS "rsvg-convert (librsvg2-bin) not found: the icons are not rendered and the package cannot be made")
endif()
add_custom_target(velmar_packaging_files ALL DEPENDS ${compressed} ${icons})

if(TARGET VelmarERP)
  install(TARGETS VelmarERP Update RUNTIME DESTINATION ${VELMAR_INSTALL_DIR})
endif()
# The updater installs through pkexec and this helper, and trusts packages
# signed with the publisher's key only. Without the key it refuses every
# package and says why.
install(PROGRAMS ${staged}/velmar-erp-install DESTINATION ${VELMAR_INSTALL_DIR})
install(FILES ${staged}/com.velmar.erp.update.policy DESTINATION usr/share/polkit-1/actions)
if(VELMAR_PUBLISHER_KEYRING)
  install(FILES ${VELMAR_PUBLISHER_KEYRING} DESTINATION ${VELMAR_INSTALL_DIR}
          RENAME velmar-erp-archive-keyring.gpg)
endif()
install(FILES ${packaging}/system-install DESTINATION ${VELMAR_INSTALL_DIR})
install(PROGRAMS ${packaging}/velmar-erp.sh DESTINATION usr/bin RENAME velmar-erp)
install(FILES ${staged}/${VELMAR_APP_ID}.desktop DESTINATION usr/share/applications)
install(FILES ${staged}/${VELMAR_APP_ID}.metainfo.xml DESTINATION usr/share/metainfo)
install(FILES ${packaging}/velmar-erp.svg DESTINATION usr/share/icons/hicolor/scalable/apps RENAME ${VELMAR_APP_ID}.svg)
foreach(size IN LISTS VELMAR_ICON_SIZES)
  if(VELMAR_RSVG_CONVERT)
    install(FILES ${staged}/icons/${size}x${size}/${VELMAR_APP_ID}.png
            DESTINATION usr/share/icons/hicolor/${size}x${size}/apps)
  endif()
endforeach()
install(FILES ${staged}/velmar-erp.1.gz DESTINATION usr/share/man/man1)
install(FILES ${staged}/copyright ${staged}/changelog.gz DESTINATION usr/share/doc/velmar-erp)
install(FILES ${packaging}/lintian-overrides DESTINATION usr/share/lintian/overrides RENAME velmar-erp)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velmar-erp)
set(CPACK_PACKAGE_VERSION ${VELMAR_CLIENT_VERSION})
set(CPACK_PACKAGE_VENDOR "Velmar ERP client developers")
set(CPACK_PACKAGE_CONTACT "${VELMAR_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop client of the Velmar real-estate ERP service")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "A tabbed browser shell around an embedded Chromium engine (Qt WebEngine)\n"
    "that opens the hosted Velmar real-estate ERP service. Each user keeps\n"
    "settings and cache in ~/.local/share/VelmarERP.")
set(CPACK_PACKAGING_INSTALL_PREFIX "/")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The engine's helper process (libqt6webenginecore6-bin) comes in through the
# engine library's symbols file, so the computed list is complete.
# Chinese input: IBus's module comes with the toolkit, fcitx5's does not.
# The updater checks signatures with gpgv and asks for the administrator
# through pkexec.
# The transfer library is loaded at run time, so the computed list cannot see
# it: its package is named here (7.85 for a thread-safe set-up and the
# protocol option by name).
get_target_property(curl_location CURL::libcurl LOCATION)
file(REAL_PATH "${curl_location}" curl_file)
execute_process(COMMAND dpkg-query -S "${curl_file}" OUTPUT_VARIABLE curl_owner ERROR_QUIET)
string(REGEX MATCH "^[^:,]+" curl_package "${curl_owner}")
if(NOT curl_package)
  set(curl_package libcurl4)
endif()
set(CPACK_DEBIAN_PACKAGE_DEPENDS "gpgv, pkexec, ${curl_package} (>= 7.85.0)")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk, qt6-translations-l10n, fcitx5-frontend-qt6")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
include(CPack)
