# The Windows package: `cmake --install <build> --prefix <folder>` lays out a folder that a
# user copies to a Windows desk and starts as it is: km8-station.exe, the Qt DLLs and
# plugins it loads, libpq with OpenSSL and Qt's PostgreSQL driver for the plant database,
# the compiler's runtime DLLs (MinGW) and Qt's Ukrainian translation, which the station
# looks for in translations\ beside itself.
install(TARGETS km8-station RUNTIME DESTINATION .)

foreach(module Core Gui Widgets Sql PrintSupport)
  install(FILES $<TARGET_FILE:Qt6::${module}> DESTINATION .)
endforeach()

# What the station loads at run time: the platform, the SQLite and ODBC drivers (text and
# Access exports), JPEG for the chart's pictures (BMP is in Gui) and the native style.
set(km8_plugins
    Qt6::QWindowsIntegrationPlugin platforms
    Qt6::QSQLiteDriverPlugin sqldrivers
    Qt6::QODBCDriverPlugin sqldrivers
    Qt6::QJpegPlugin imageformats
    Qt6::QWindowsVistaStylePlugin styles)
while(km8_plugins)
  list(POP_FRONT km8_plugins plugin folder)
  if(TARGET ${plugin})
    install(FILES $<TARGET_FILE:${plugin}> DESTINATION ${folder})
  else()
    message(WARNING "The Windows package will lack ${plugin}: this Qt does not provide it")
  endif()
endwhile()

# The plant database's client, as scripts/build-libpq-windows.sh builds it (the station
# calls libpq itself), and the set-up script for the server's administrator.
install(FILES ${PROJECT_SOURCE_DIR}/sql/km8-plant-setup.sql ${PROJECT_SOURCE_DIR}/sql/km8-plant-tables.sql
        DESTINATION sql)
if(KM8_LIBPQ_WINDOWS)
  foreach(dll libpq.dll libssl-3-x64.dll libcrypto-3-x64.dll)
    install(FILES "${KM8_LIBPQ_WINDOWS}/bin/${dll}" DESTINATION .)
  endforeach()
else()
  message(WARNING "The Windows package will lack libpq: the plant database cannot be fed")
endif()

if(MINGW)
  foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                    OUTPUT_VARIABLE found OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${found}" OR NOT EXISTS "${found}")
      # Not in the compiler's own folders: beside Qt's DLLs, where the Qt build put it.
      get_target_property(qt_core Qt6::Core IMPORTED_LOCATION_RELEASE)
      get_filename_component(qt_bin "${qt_core}" DIRECTORY)
      set(found "${qt_bin}/${dll}")
    endif()
    if(EXISTS "${found}")
      install(FILES "${found}" DESTINATION .)
    else()
      message(WARNING "The Windows package will lack ${dll}: not found")
    endif()
  endforeach()
endif()

# Translations are the same files on every platform: the target Qt's own, or the build
# machine's (Debian's qt6-translations-l10n) for a cross build.
find_file(KM8_QTBASE_UK_QM qtbase_uk.qm
          HINTS "${QT6_INSTALL_PREFIX}/${QT6_INSTALL_TRANSLATIONS}"
          PATHS /usr/share/qt6/translations
          NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(KM8_QTBASE_UK_QM)
  install(FILES "${KM8_QTBASE_UK_QM}" DESTINATION translations)
else()
  message(WARNING "The Windows package will lack qtbase_uk.qm: Qt's own buttons stay English")
endif()
