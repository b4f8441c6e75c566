# Installation and packages.
#
# Linux and other POSIX systems (cmake --install, the Debian package):
#   bin/malhas_segmentos, bin/malhas_qualidade
#   share/malhas_segmentos/perfil_l/   the example case, with its malha.gnu and
#                                      the fields of its OpenFOAM case (caso_of/)
#   share/malhas_segmentos/bin/        the stand-ins for notepad and wgnuplot
#   share/doc/malhas_segmentos/        README.md, changelog.gz
#   share/man/man1/                    one manual page per program
# Windows (the .zip): one folder holding the programs, the example case (its
# OpenFOAM fields too) and README.txt, to be put on PATH or run from a case
# folder.
#
# Packages: "cpack" in a build folder gives a .deb on Linux and a .zip in a
# cross (or native) Windows build folder.

include(GNUInstallDirs)

set(malhas_exemplo ${PROJECT_SOURCE_DIR}/examples/perfil_l)
set(malhas_arquivos_exemplo
  ${malhas_exemplo}/entradas.txt ${malhas_exemplo}/entrada_eq_elipticas.txt ${malhas_exemplo}/malha.gnu)
# The fields of the example's OpenFOAM case, named one by one: the folder
# also holds what the route to a solver writes when it is run in the checkout.
set(malhas_campos_openfoam 0/T constant/transportProperties)
set(malhas_programas malhas_segmentos)
if(TARGET malhas_qualidade)
  list(APPEND malhas_programas malhas_qualidade)
endif()

if(WIN32)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/README.md)
  install(TARGETS ${malhas_programas} RUNTIME DESTINATION .)
  install(FILES ${malhas_arquivos_exemplo} DESTINATION perfil_l)
  set(malhas_destino_exemplo perfil_l)
  # Notepad of older Windows releases shows a file with LF alone as one line.
  file(READ ${PROJECT_SOURCE_DIR}/README.md malhas_leia_me)
  string(REPLACE "\r\n" "\n" malhas_leia_me "${malhas_leia_me}")
  # The markers that tell CI how to run a block of commands are hidden in a
  # rendered page, but would show in a plain text file.
  string(REGEX REPLACE "<!-- documentacao\\.py:[^\n]*-->\n" "" malhas_leia_me "${malhas_leia_me}")
  string(REPLACE "\n" "\r\n" malhas_leia_me "${malhas_leia_me}")
  file(WRITE ${PROJECT_BINARY_DIR}/README.txt "${malhas_leia_me}")
  install(FILES ${PROJECT_BINARY_DIR}/README.txt DESTINATION .)
else()
  install(TARGETS ${malhas_programas} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  set(malhas_dados ${CMAKE_INSTALL_DATADIR}/malhas_segmentos)
  install(FILES ${malhas_arquivos_exemplo} DESTINATION ${malhas_dados}/perfil_l)
  set(malhas_destino_exemplo ${malhas_dados}/perfil_l)
  install(PROGRAMS ${PROJECT_SOURCE_DIR}/examples/bin/notepad ${PROJECT_SOURCE_DIR}/examples/bin/wgnuplot
          DESTINATION ${malhas_dados}/bin)
  install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

  # The manual pages carry the project's version. Debian wants them and the
  # changelog compressed at the maximum, without a time stamp (-n), so that
  # two builds of the same sources give the same bytes.
  find_program(MALHAS_GZIP gzip)
  set(malhas_comprimidos)
  set(malhas_paginas malhas_segmentos)
  if(TARGET malhas_qualidade)
    list(APPEND malhas_paginas malhas_qualidade)
  endif()
  foreach(pagina IN LISTS malhas_paginas)
    configure_file(${PROJECT_SOURCE_DIR}/docs/man/${pagina}.1.in ${PROJECT_BINARY_DIR}/man/${pagina}.1 @ONLY)
    list(APPEND malhas_comprimidos "man/${pagina}.1|${CMAKE_INSTALL_MANDIR}/man1")
  endforeach()
  configure_file(${PROJECT_SOURCE_DIR}/docs/changelog ${PROJECT_BINARY_DIR}/doc/changelog COPYONLY)
  list(APPEND malhas_comprimidos "doc/changelog|${CMAKE_INSTALL_DOCDIR}")
  set(malhas_saidas_gz)
  foreach(item IN LISTS malhas_comprimidos)
    string(REPLACE "|" ";" item "${item}")
    list(GET item 0 arquivo)
    list(GET item 1 destino)
    if(MALHAS_GZIP)
      add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/${arquivo}.gz
        COMMAND ${MALHAS_GZIP} -9nc ${PROJECT_BINARY_DIR}/${arquivo} > ${PROJECT_BINARY_DIR}/${arquivo}.gz
        DEPENDS ${PROJECT_BINARY_DIR}/${arquivo} VERBATIM)
      list(APPEND malhas_saidas_gz ${PROJECT_BINARY_DIR}/${arquivo}.gz)
      install(FILES ${PROJECT_BINARY_DIR}/${arquivo}.gz DESTINATION ${destino})
    else()
      install(FILES ${PROJECT_BINARY_DIR}/${arquivo} DESTINATION ${destino})
    endif()
  endforeach()
  if(malhas_saidas_gz)
    add_custom_target(malhas_documentos ALL DEPENDS ${malhas_saidas_gz})
  endif()
endif()

foreach(campo IN LISTS malhas_campos_openfoam)
  get_filename_component(pasta_campo ${campo} DIRECTORY)
  install(FILES ${malhas_exemplo}/caso_of/${campo} DESTINATION ${malhas_destino_exemplo}/caso_of/${pasta_campo})
endforeach()

# --- Packages ----------------------------------------------------------------
set(CPACK_PACKAGE_NAME malhas_segmentos)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "structured quadrilateral mesh generator for an L-shaped domain")
set(CPACK_PACKAGE_DESCRIPTION
  "malhas_segmentos generates a two-dimensional, structured, boundary-fitted
mesh of quadrilateral volumes for finite-volume CFD: an algebraic mesh of an
L-shaped domain, optionally smoothed by the elliptic grid-generation equations.
It reads its case from two text files in the current folder and writes three
plain-text result files (vertex coordinates, volume outlines for plotting, the
vertices of every volume) that are the same to the byte on every platform.
The example case and stand-ins for the Windows editor and plotting program are
in /usr/share/malhas_segmentos.")
set(MALHAS_MANTENEDOR "malhas dev <dev@malhas.local>" CACHE STRING
    "Maintainer named in the Debian package")
set(CPACK_PACKAGE_CONTACT "${MALHAS_MANTENEDOR}")
set(CPACK_STRIP_FILES ON)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_SYSTEM_NAME win64)
  else()
    set(CPACK_SYSTEM_NAME win32)
  endif()
  set(CPACK_PACKAGE_FILE_NAME malhas_segmentos-${PROJECT_VERSION}-${CPACK_SYSTEM_NAME})
else()
  set(CPACK_GENERATOR DEB)
  # Debian package names allow no underscore.
  set(CPACK_DEBIAN_PACKAGE_NAME malhas-segmentos)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_PACKAGE_SECTION science)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS gnuplot)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${MALHAS_MANTENEDOR}")
  # Debian keeps a package's documents under its own name; cmake --install
  # keeps them under the project's. The package's staging tree is renamed
  # before it is packed.
  set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/pacote_deb.cmake)
  set(CPACK_MALHAS_DOCDIR ${CMAKE_INSTALL_DOCDIR})
  set(CPACK_MALHAS_BINDIR ${CMAKE_INSTALL_BINDIR})
  set(CPACK_MALHAS_STRIP ${CMAKE_STRIP})
endif()
include(CPack)
