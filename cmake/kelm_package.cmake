# make package: a Debian package and a .tar.gz of the programs, their manual pages and the
# examples (the install rules above), versioned by the project.
set(CPACK_PACKAGE_NAME kelm)
set(CPACK_PACKAGE_VENDOR "kelm")
set(CPACK_PACKAGE_CONTACT "kelm maintainers <kelm@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Optimal stacking sequences of a stiffened composite panel")
set(CPACK_PACKAGE_DESCRIPTION
    "kelm_iter and kelm_alt find every optimal pair of stacking sequences of a stiffened panel's\nskin and stiffener under design rules, maximising a quadratic response surface in the\nlamination parameters; kelm_eval checks a design by hand.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_GENERATOR "DEB;TGZ")
set(CPACK_PACKAGE_FILE_NAME "kelm-${PROJECT_VERSION}-${CMAKE_SYSTEM_NAME}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libstdc++6, libgcc-s1")
set(CPACK_STRIP_FILES ON)
include(CPack)
