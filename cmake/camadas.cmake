# The layers of the source, each a CMake target, and the rule that keeps
# them layered: a module sees the headers of its own module and of the
# modules it links, and no other. Each module's headers are reached through
# an include root of its own, a folder of the build tree that holds one
# symbolic link to the module's folder under src; a target gets its own root
# and, through the modules it links, theirs. A header of a module above, or
# of a sibling not linked, is then not found, and the module does not build
# (tests/estrutura proves it for every floor).
#
# Where the build tree cannot hold symbolic links (Windows without the right
# to make them), every target takes src itself as its root: the build is the
# same, only the check is lost there.

set(malhas_raizes ${PROJECT_BINARY_DIR}/raizes)

# malhas_raiz(VARIAVEL CAMINHO [ARQUIVOS...]): the include root of
# src/CAMINHO (a module, or a room of the companion such as
# malhas_qualidade/leitura); with ARQUIVOS, a root that shows only those
# files of the folder (the companion's top: its rooms have roots of their own).
function(malhas_raiz variavel caminho)
  get_property(sem_links GLOBAL PROPERTY malhas_sem_links)
  if(sem_links)
    set(${variavel} ${PROJECT_SOURCE_DIR}/src PARENT_SCOPE)
    return()
  endif()
  string(REPLACE "/" "." nome ${caminho})
  set(raiz ${malhas_raizes}/${nome})
  if(ARGN)
    file(MAKE_DIRECTORY ${raiz}/${caminho})
    set(pares)
    foreach(arquivo IN LISTS ARGN)
      list(APPEND pares ${PROJECT_SOURCE_DIR}/src/${caminho}/${arquivo} ${raiz}/${caminho}/${arquivo})
    endforeach()
  else()
    get_filename_component(pai ${raiz}/${caminho} DIRECTORY)
    file(MAKE_DIRECTORY ${pai})
    set(pares ${PROJECT_SOURCE_DIR}/src/${caminho} ${raiz}/${caminho})
  endif()
  while(pares)
    list(POP_FRONT pares origem link)
    if(NOT IS_SYMLINK ${link})
      file(CREATE_LINK ${origem} ${link} RESULT erro SYMBOLIC)
      if(erro)
        message(STATUS "No symbolic links in the build tree (${erro}): every target includes from src, "
                       "and the layering of the modules is not checked by this build")
        set_property(GLOBAL PROPERTY malhas_sem_links ON)
        set(${variavel} ${PROJECT_SOURCE_DIR}/src PARENT_SCOPE)
        return()
      endif()
    endif()
  endwhile()
  set(${variavel} ${raiz} PARENT_SCOPE)
endfunction()

# malhas_modulo(ALVO CAMINHO FONTES fontes... [ABAIXO alvos...] [ARQUIVOS_RAIZ arquivos...]):
# the static library of the module in src/CAMINHO, which sees the modules
# ABAIXO and passes them on to whoever links it.
function(malhas_modulo alvo caminho)
  cmake_parse_arguments(PARSE_ARGV 2 m "" "" "FONTES;ABAIXO;ARQUIVOS_RAIZ")
  add_library(${alvo} STATIC ${m_FONTES})
  malhas_raiz(raiz ${caminho} ${m_ARQUIVOS_RAIZ})
  target_include_directories(${alvo} PUBLIC ${raiz})
  target_link_libraries(${alvo} PUBLIC ${m_ABAIXO} PRIVATE malhas_avisos)
endfunction()
