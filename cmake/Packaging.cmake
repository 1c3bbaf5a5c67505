# Install rules and the Debian package (CPack DEB). The programs' own CMakeLists install
# their executables; this file installs what goes beside them under share/.
include(GNUInstallDirs)

# The staging tree cpack packs must not depend on the builder's umask.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(packaging_dir ${PROJECT_SOURCE_DIR}/packaging)
set(share_build_dir ${PROJECT_BINARY_DIR}/share)
set(share_outputs)

# Man pages and the changelog, gzipped without a time stamp so that builds are reproducible.
find_program(GZIP_PROGRAM gzip REQUIRED)
set(man_pages meridax-cli.1 meridax-meter-sim.1 meridax-budget.5)
if(MERIDAX_BUILD_APP)
  list(APPEND man_pages meridax.1)
endif()
foreach(page IN LISTS man_pages)
  set(source ${PROJECT_SOURCE_DIR}/docs/man/${page})
  set(output ${share_build_dir}/man/${page}.gz)
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${share_build_dir}/man
    COMMAND ${GZIP_PROGRAM} -n -9 -c ${source} > ${output}
    DEPENDS ${source}
    COMMENT "Compressing ${page}"
    VERBATIM)
  list(APPEND share_outputs ${output})
  # The section is the page's suffix: meridax-budget.5 goes to man5.
  string(REGEX MATCH "[0-9]$" section ${page})
  install(FILES ${output} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
endforeach()

set(changelog_output ${share_build_dir}/changelog.gz)
add_custom_command(
  OUTPUT ${changelog_output}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${share_build_dir}
  COMMAND ${GZIP_PROGRAM} -n -9 -c ${packaging_dir}/changelog > ${changelog_output}
  DEPENDS ${packaging_dir}/changelog
  VERBATIM)
list(APPEND share_outputs ${changelog_output})
install(FILES ${changelog_output} ${packaging_dir}/copyright
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
# The schema of the job exchange document, for those who read or write it with other tools.
install(FILES ${PROJECT_SOURCE_DIR}/docs/job.schema.json DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${packaging_dir}/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME meridax)

install(FILES ${packaging_dir}/completion/meridax-cli
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)

if(MERIDAX_BUILD_APP)
  install(FILES ${packaging_dir}/meridax.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  # Named after the component id, as AppStream tools look it up.
  install(FILES ${packaging_dir}/meridax.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo RENAME org.example.meridax.metainfo.xml)
  set(icon_source ${packaging_dir}/icons/meridax.svg)
  install(FILES ${icon_source} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  # The fixed sizes are rendered from the scalable icon; without the renderer only the
  # scalable one is installed.
  find_program(RSVG_CONVERT rsvg-convert)
  if(RSVG_CONVERT)
    foreach(size 48 128 256)
      set(output ${share_build_dir}/icons/${size}/meridax.png)
      add_custom_command(
        OUTPUT ${output}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${share_build_dir}/icons/${size}
        COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${output} ${icon_source}
        DEPENDS ${icon_source}
        COMMENT "Rendering the ${size} px icon"
        VERBATIM)
      list(APPEND share_outputs ${output})
      install(FILES ${output}
              DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
    endforeach()
  else()
    message(WARNING "rsvg-convert not found (librsvg2-bin): the PNG icons are not installed")
  endif()
endif()

add_custom_target(meridax_share_files ALL DEPENDS ${share_outputs})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME meridax)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# The package's version grows with every commit (1.1+N), so that apt replaces an older build;
# it is read when cpack runs, from the file the build writes (cmake/MeridaxBuildId.cmake).
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_BINARY_DIR}/PackageVersion.cmake)
set(CPACK_PACKAGE_CONTACT "MERIDAX developers <meridax@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "exporter of optical power meter readings")
# The extended description; CPack puts the summary before it and indents it as Debian's
# control file wants (an empty line becomes " .").
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "MERIDAX data exporter reads the measurement memory of a handheld optical
power and loss meter over a serial port and shows the readings (absolute
power in dBm, loss in dB against a reference) in checkable tables. The
ticked rows go to an Excel file (.xls or .xlsx), a CSV file, the clipboard
or the program's own one-line measurement file. Given a loss budget, every
reading gets a verdict (PASS, FAIL or CHECK), shown in the tables, added to
the workbook and CSV files and written as a PDF test report.

The package holds the window (meridax), a command-line tool that converts
and imports without a window (meridax-cli), and a stand-in for the meter on
a pseudo-terminal (meridax-meter-sim).")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The dependencies are computed from the binaries (dpkg-shlibdeps); the window's pictures are
# SVG, read through Qt's SVG plugins, which no binary links, and the test report is set in
# DejaVu Sans, which fontconfig finds at run time.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6, fonts-dejavu-core")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)
