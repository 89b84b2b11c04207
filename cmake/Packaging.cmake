# cpack in a build tree: on Windows a zip that holds Zintrax.dll (for the host's VST 2.x folder),
# the Zintrax.vst3 bundle (for C:\Program Files\Common Files\VST3) and CLAP\Zintrax.clap (for
# C:\Program Files\Common Files\CLAP), elsewhere a Debian package of the plug-in in /usr/lib/vst,
# its VST3 bundle in /usr/lib/vst3, its CLAP file in /usr/lib/clap, its LV2 bundle in
# /usr/lib/lv2, zintrax-host and zintrax-validate in /usr/bin, and the desktop entry "Zintrax"
# (zintrax-host play with the editor) with its icon.
set(CPACK_PACKAGE_NAME Zintrax)
set(CPACK_PACKAGE_VENDOR Merrowlake)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "VST 2.x, VST3, CLAP and LV2 effect: acoustic feedback between an instrument and its loudspeaker cabinet")
set(CPACK_PACKAGE_CONTACT "Zintrax developers <zintrax@merrowlake.invalid>")
set(CPACK_STRIP_FILES ON)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
elseif(TARGET zintrax-host AND TARGET Zintrax)
  # The package holds its own component, so that the developers' tools installed beside the
  # plug-in by `cmake --install` stay out of it.
  install(TARGETS Zintrax LIBRARY DESTINATION lib/vst COMPONENT package)
  install(TARGETS zintrax-host RUNTIME DESTINATION bin COMPONENT package)
  if(TARGET zintrax-validate)
    install(TARGETS zintrax-validate RUNTIME DESTINATION bin COMPONENT package)
  endif()
  install(FILES ${PROJECT_SOURCE_DIR}/resources/zintrax.desktop DESTINATION share/applications
          COMPONENT package)
  install(FILES ${PROJECT_SOURCE_DIR}/resources/zintrax.png
          DESTINATION share/icons/hicolor/128x128/apps COMPONENT package)
  if(TARGET Zintrax_lv2)
    install(TARGETS Zintrax_lv2 LIBRARY DESTINATION lib/lv2/Zintrax.lv2 COMPONENT package)
    if(TARGET Zintrax_lv2_ui)
      install(TARGETS Zintrax_lv2_ui LIBRARY DESTINATION lib/lv2/Zintrax.lv2 COMPONENT package)
    endif()
    install(DIRECTORY ${ZINTRAX_LV2_BUNDLE}/ DESTINATION lib/lv2/Zintrax.lv2 COMPONENT package
            FILES_MATCHING PATTERN "*.ttl")
  endif()
  if(TARGET Zintrax_vst3)
    install(TARGETS Zintrax_vst3 LIBRARY DESTINATION ${ZINTRAX_VST3_INSTALL_FOLDER}
            COMPONENT package)
  endif()
  if(TARGET Zintrax_clap)
    install(TARGETS Zintrax_clap LIBRARY DESTINATION lib/clap COMPONENT package)
  endif()
  set(CPACK_GENERATOR DEB)
  set(CPACK_COMPONENTS_ALL package)
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_PACKAGE_NAME zintrax)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION sound)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # zintrax-host play loads JACK's library when it runs; a server is JACK's or PipeWire's.
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libjack-jackd2-0 | libjack0")
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS "jackd2 | pipewire-jack")
else()
  return()
endif()

include(CPack)
