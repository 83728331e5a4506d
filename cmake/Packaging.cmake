# What ships beside the programs, and the Debian packages made of it all.
#
#   cmake --build build --target package
#
# writes into the build folder
#   corvafax_<version>_<arch>.deb      the client, corvafax-send, corvafax-rubrica,
#                                      kestrel-regsvr, the control library (registered
#                                      by the package's own scripts), the data, the
#                                      desktop and AppStream entries, icons, manuals
#   corvafax-dev_<version>_<arch>.deb  the control's public headers
# Packages always install under /usr, whatever prefix this tree was
# configured with for `cmake --install`.

# The AppStream id; the desktop entry keeps its name, corvafax.desktop, which
# the desktop notices name too.
set(KESTREL_APP_ID org.corvafax.corvafax)
set(KESTREL_PACKAGE_HOMEPAGE "https://git.example.org/corvafax"
    CACHE STRING "Where the project's sources are published (AppStream, copyright file)")
set(KESTREL_PACKAGE_CONTACT "Corvafax developers <corvafax@example.org>"
    CACHE STRING "Maintainer of the Debian packages")
set(KESTREL_PACKAGE_RELEASE 1)
set(KESTREL_PACKAGE_VERSION ${PROJECT_VERSION}-${KESTREL_PACKAGE_RELEASE})
set(KESTREL_RELEASE_DATE 2026-12-09)
set(KESTREL_SCREENSHOT_BASE "${KESTREL_PACKAGE_HOMEPAGE}/raw/main/docs/screenshots")

set(KESTREL_PACKAGE_PREFIX /usr)
set(KESTREL_PACKAGE_BINDIR ${KESTREL_PACKAGE_PREFIX}/${CMAKE_INSTALL_BINDIR})
# The library the maintainer scripts register; the registry names the file
# it resolves to, which an upgrade registers anew.
set(KESTREL_PACKAGE_LIBRARY ${KESTREL_PACKAGE_PREFIX}/${CMAKE_INSTALL_LIBDIR}/libKestrelOCX.so.0)
set(KESTREL_SYSTEM_REGISTRY /etc/xdg/kestrel/components.reg)

# What ships binds every symbol at load time, so its relocations can be made
# read-only (Debian's hardening: relro, which the compiler does already, and now).
foreach(shipped corvafax corvafax-send corvafax-rubrica kestrel-regsvr KestrelOCX)
  target_link_options(${shipped} PRIVATE LINKER:-z,now)
endforeach()

set(generated ${CMAKE_BINARY_DIR}/share/package)
file(MAKE_DIRECTORY ${generated})
find_program(GZIP gzip REQUIRED)
set(KESTREL_SHIPPED_FILES)

# --- Icons: every hicolor size the desktops use, drawn from the SVG at build time.
set(icon_svg ${PROJECT_SOURCE_DIR}/client/data/corvafax.svg)
find_program(KESTREL_CONVERT convert)
if(KESTREL_CONVERT)
  foreach(size 16 22 24 32 48 64 128 256)
    set(png ${generated}/icons/${size}x${size}/corvafax.png)
    add_custom_command(OUTPUT ${png}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${generated}/icons/${size}x${size}
      # Drawn at four times the size, then scaled down: smooth edges. -strip
      # leaves out the dates, so the same SVG gives the same PNG.
      COMMAND ${KESTREL_CONVERT} -background none -density 384 ${icon_svg} -resize ${size}x${size}
              -depth 8 -strip PNG32:${png}
      DEPENDS ${icon_svg}
      COMMENT "Icon ${size}x${size}"
      VERBATIM)
    list(APPEND KESTREL_SHIPPED_FILES ${png})
    install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()
else()
  message(STATUS "ImageMagick's convert not found: only the scalable icon is installed")
endif()

# --- Manual pages, compressed as Debian ships them (-n: no name or date inside).
foreach(page corvafax.1 corvafax-send.1 corvafax-rubrica.1 kestrel-regsvr.1)
  set(source ${PROJECT_SOURCE_DIR}/docs/man/${page})
  set(gz ${generated}/man/${page}.gz)
  add_custom_command(OUTPUT ${gz}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${generated}/man
    COMMAND sh -c "${GZIP} -9nc \"$1\" > \"$2\"" sh ${source} ${gz}
    DEPENDS ${source}
    COMMENT "Manual page ${page}"
    VERBATIM)
  list(APPEND KESTREL_SHIPPED_FILES ${gz})
  install(FILES ${gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

# --- AppStream: what software centres show.
configure_file(${PROJECT_SOURCE_DIR}/share/metainfo/${KESTREL_APP_ID}.metainfo.xml.in
               ${generated}/${KESTREL_APP_ID}.metainfo.xml @ONLY)
install(FILES ${generated}/${KESTREL_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# --- Debian's own files: copyright and changelog in each package's doc folder,
# the maintainer scripts that register the control.
foreach(file postinst prerm postrm changelog copyright)
  configure_file(${PROJECT_SOURCE_DIR}/share/debian/${file}.in ${generated}/debian/${file} @ONLY)
endforeach()
file(CHMOD ${generated}/debian/postinst ${generated}/debian/prerm ${generated}/debian/postrm
     PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
add_custom_command(OUTPUT ${generated}/debian/changelog.Debian.gz
  COMMAND sh -c "${GZIP} -9nc \"$1\" > \"$2\"" sh ${generated}/debian/changelog
          ${generated}/debian/changelog.Debian.gz
  DEPENDS ${generated}/debian/changelog
  VERBATIM)
list(APPEND KESTREL_SHIPPED_FILES ${generated}/debian/changelog.Debian.gz)
add_custom_target(kestrel_shipped_files ALL DEPENDS ${KESTREL_SHIPPED_FILES})

# Each package has its own doc folder; rubrica.db ships with the program.
set(KESTREL_PACKAGES runtime dev)
set(KESTREL_PACKAGE_NAME_runtime corvafax)
set(KESTREL_PACKAGE_NAME_dev corvafax-dev)
foreach(component IN LISTS KESTREL_PACKAGES)
  install(FILES ${generated}/debian/copyright ${generated}/debian/changelog.Debian.gz
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${KESTREL_PACKAGE_NAME_${component}}
          COMPONENT ${component}
          EXCLUDE_FROM_ALL)
endforeach()

# --- CPack
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME corvafax)
set(CPACK_PACKAGE_VENDOR "The Corvafax developers")
set(CPACK_PACKAGE_CONTACT ${KESTREL_PACKAGE_CONTACT})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX ${KESTREL_PACKAGE_PREFIX})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
# The install step's registration into a staged tree is left out: the
# maintainer scripts register on the target machine.
set(CPACK_COMPONENTS_ALL runtime contact-database dev)
set(CPACK_COMPONENTS_GROUPING ONE_PER_GROUP)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${KESTREL_PACKAGE_RELEASE})
set(CPACK_DEBIAN_PACKAGE_SECTION comm)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${KESTREL_PACKAGE_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Library dependencies are read from the binaries. What the programs load or
# start by name is listed here: Qt's SQLite driver (the address book and the
# history), lpadmin (the capture printer's queue), a print system for the
# capture printer, Qt's Italian words, the Secret Service client the keyring
# library opens and a keyring to hold the password, and the PostgreSQL driver
# for a shared address book.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME corvafax)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_DEPENDS "libqt6sql6-sqlite, libsecret-1-0")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_RECOMMENDS "cups, cups-client, qt6-translations-l10n, gnome-keyring")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SUGGESTS "libqt6sql6-psql")
# The control library is in the loader's path: its shlibs entry, and the
# loader's cache made again when it comes or goes.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${generated}/debian/postinst ${generated}/debian/prerm
    ${generated}/debian/postrm ${PROJECT_SOURCE_DIR}/share/debian/triggers)
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION "desktop fax client for office fax appliances
Corvafax lives in the notification area: documents printed to its capture
printer come up in its send window, and are sent as faxes through the
office's fax appliance (a HylaFAX server). It keeps an address book (a
local file or one shared on a PostgreSQL server) and the history of the
faxes sent, with their outcome.

The package also holds corvafax-send, which sends, waits for and cancels
faxes from the command line, corvafax-rubrica, and the fax control
library KestrelOCX, registered system-wide for the programs that host it.")
set(CPACK_DEBIAN_DEV_PACKAGE_NAME corvafax-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "corvafax (= ${KESTREL_PACKAGE_VERSION}), qt6-base-dev")
set(CPACK_DEBIAN_DEV_PACKAGE_SHLIBDEPS OFF)
set(CPACK_DEBIAN_DEV_DESCRIPTION "fax control KestrelOCX for Corvafax - development files
The public headers of the fax control KestrelOCX (kestrel/Corvanefax.h,
kestrel/FaxStatus.h and the headers they include), for programs that host
it. Hosts create the control by its ProgID through the component
registry; they do not link the library.")

include(CPack)
cpack_add_component_group(runtime)
cpack_add_component_group(dev)
cpack_add_component(runtime GROUP runtime)
cpack_add_component(contact-database GROUP runtime)
cpack_add_component(dev GROUP dev)
