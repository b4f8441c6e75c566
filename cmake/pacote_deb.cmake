# Run by CPack on the staging tree of the Debian package, before it is packed:
# what Debian asks of a package and a plain cmake --install does not need.
if(NOT CPACK_GENERATOR STREQUAL "DEB")
  return()
endif()
set(raiz_pacote "${CPACK_TEMPORARY_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}")

# Debian keeps a package's documents in /usr/share/doc/<package>, and the
# package's name (no underscore allowed) is not the project's.
get_filename_component(pasta_doc_debian "${raiz_pacote}/${CPACK_MALHAS_DOCDIR}/../${CPACK_DEBIAN_PACKAGE_NAME}"
                       ABSOLUTE)
if(IS_DIRECTORY "${raiz_pacote}/${CPACK_MALHAS_DOCDIR}" AND NOT EXISTS "${pasta_doc_debian}")
  file(RENAME "${raiz_pacote}/${CPACK_MALHAS_DOCDIR}" "${pasta_doc_debian}")
endif()

# The compiler's notes are of no use in an installed program (Debian's own
# packaging drops them the same way).
if(CPACK_MALHAS_STRIP)
  file(GLOB programas "${raiz_pacote}/${CPACK_MALHAS_BINDIR}/*")
  foreach(programa IN LISTS programas)
    execute_process(COMMAND ${CPACK_MALHAS_STRIP} --remove-section=.comment --remove-section=.note
                            --strip-unneeded ${programa} COMMAND_ERROR_IS_FATAL ANY)
  endforeach()
endif()

# A finding of lintian that does not apply to this package.
file(WRITE "${raiz_pacote}/share/lintian/overrides/${CPACK_DEBIAN_PACKAGE_NAME}"
  "# The input files of the example case, copied by the user into a case folder: data, not documents.\n"
  "${CPACK_DEBIAN_PACKAGE_NAME}: package-contains-documentation-outside-usr-share-doc "
  "[usr/share/malhas_segmentos/perfil_l/*]\n")
