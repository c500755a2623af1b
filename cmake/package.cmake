# cmake/package.cmake -- the tests of the Debian package that scripts/package.sh builds.
#   package          builds the package from this build folder into build/package/, checks its
#                    fields and files, and runs lintian, appstreamcli and desktop-file-validate
#   package_install  installs it with apt-get (root only) into a fresh Debian root made with
#                    debootstrap, or onto this machine, plays it as new players, makes and opens
#                    a gift, takes over older players' folders, and removes it again
# Both are skipped, saying why, where their tools or rights are missing.

if(LUMAVEX_TESTS)
  set(PACKAGE_OUT ${CMAKE_BINARY_DIR}/package)
  add_test(NAME package
    COMMAND sh ${CMAKE_SOURCE_DIR}/tests/install/package_test.sh ${CMAKE_BINARY_DIR} ${CMAKE_SOURCE_DIR}
            ${PACKAGE_OUT} ${LUMAVEX_APP_ID})
  set_tests_properties(package PROPERTIES LABELS "install;package" SKIP_RETURN_CODE 77
    RESOURCE_LOCK lumavex_package)
  add_test(NAME package_install
    COMMAND sh ${CMAKE_SOURCE_DIR}/tests/install/package_install_test.sh ${PACKAGE_OUT} ${CMAKE_BINARY_DIR}
            ${CMAKE_SOURCE_DIR})
  # Making the fresh root it installs into takes a minute or two of downloads.
  set_tests_properties(package_install PROPERTIES LABELS "install;package" SKIP_RETURN_CODE 77
    DEPENDS package RESOURCE_LOCK lumavex_package TIMEOUT 900)
endif()
