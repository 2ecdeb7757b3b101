# Installation: the programs, the static library with its headers, and a
# package configuration so that other projects can find_package(civ2maps).

include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(CIV2MAPS_CONFIG_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/civ2maps)

# Every program of the project that has been defined by now.
foreach(program IN ITEMS ombrel tillany civ2fert)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

install(TARGETS maplib EXPORT civ2mapsTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES
    ${PROJECT_SOURCE_DIR}/maplib/MorvelUtil.h
    ${PROJECT_SOURCE_DIR}/maplib/civ2rules.h
    ${PROJECT_SOURCE_DIR}/maplib/civ2map.h
    ${PROJECT_SOURCE_DIR}/maplib/civ2sav.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/maplib)
install(EXPORT civ2mapsTargets
  NAMESPACE civ2maps::
  DESTINATION ${CIV2MAPS_CONFIG_DIR})

configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/civ2mapsConfig.cmake.in
  ${PROJECT_BINARY_DIR}/civ2mapsConfig.cmake
  INSTALL_DESTINATION ${CIV2MAPS_CONFIG_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/civ2mapsConfigVersion.cmake
  VERSION ${PROJECT_VERSION}
  COMPATIBILITY SameMajorVersion)
install(FILES
    ${PROJECT_BINARY_DIR}/civ2mapsConfig.cmake
    ${PROJECT_BINARY_DIR}/civ2mapsConfigVersion.cmake
  DESTINATION ${CIV2MAPS_CONFIG_DIR})

# Installs this build into a prefix inside the build tree, then configures,
# builds and runs a small project that finds the library there.
if(CIV2_BUILD_TESTS)
  set(consumer_flags "")
  if(CIV2_SANITIZE)
    # The installed library is instrumented, so its users link the runtimes.
    set(consumer_flags "-fsanitize=address,undefined")
  endif()
  add_test(NAME installed_package_consumer
    COMMAND ${CMAKE_COMMAND}
      -DBUILD_DIR=${PROJECT_BINARY_DIR}
      -DWORK_DIR=${PROJECT_BINARY_DIR}/consumer-test
      -DCONSUMER_SOURCE_DIR=${PROJECT_SOURCE_DIR}/tests/consumer
      -DEXAMPLE_FILE=${PROJECT_SOURCE_DIR}/examples/world-city.mp
      -DGENERATOR=${CMAKE_GENERATOR}
      -DCXX_COMPILER=${CMAKE_CXX_COMPILER}
      -DBUILD_TYPE=${CMAKE_BUILD_TYPE}
      -DEXTRA_FLAGS=${consumer_flags}
      -P ${PROJECT_SOURCE_DIR}/tests/consumer/run_consumer.cmake)
endif()
