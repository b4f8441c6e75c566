# malhas_teste: one GoogleTest program of the suite, built and listed the
# same way for every test target, so that none is built without the
# project's warnings or listed without a time limit and a label.
#
#   malhas_teste(NAME
#     FONTES file...             the program's sources
#     [BIBLIOTECAS target...]    linked besides GTest::gtest_main
#     [DEPENDE target...]        built first: the programs the tests start
#     [DEFINICOES def...]        compile definitions of the program
#     [ROTULOS label...]         CTest labels (unidade, execucao, lenta)
#     [TEMPO seconds]            each test's time limit (default 120)
#     [FILTRO gtest_filter])     the tests listed (default every one)
#
# The tests are listed with gtest_discover_tests, each a CTest test of its
# own, so that ctest -j spreads them and a time limit stops one, not all.
include(GoogleTest)

function(malhas_teste nome)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "TEMPO;FILTRO" "FONTES;BIBLIOTECAS;DEPENDE;DEFINICOES;ROTULOS")
  if(arg_UNPARSED_ARGUMENTS OR NOT arg_FONTES)
    message(FATAL_ERROR "malhas_teste(${nome}): FONTES are needed; unknown: ${arg_UNPARSED_ARGUMENTS}")
  endif()
  if(NOT arg_TEMPO)
    set(arg_TEMPO 120)
  endif()
  if(NOT arg_FILTRO)
    set(arg_FILTRO "*")
  endif()
  add_executable(${nome} ${arg_FONTES})
  target_link_libraries(${nome} PRIVATE ${arg_BIBLIOTECAS} GTest::gtest_main malhas_avisos)
  malhas_sem_falso_restrict(${nome})
  if(arg_DEFINICOES)
    target_compile_definitions(${nome} PRIVATE ${arg_DEFINICOES})
  endif()
  if(arg_DEPENDE)
    add_dependencies(${nome} ${arg_DEPENDE})
  endif()
  gtest_discover_tests(${nome} DISCOVERY_TIMEOUT 60 TEST_FILTER "${arg_FILTRO}"
                       PROPERTIES TIMEOUT ${arg_TEMPO} LABELS "${arg_ROTULOS}")
endfunction()

# malhas_sem_falso_restrict TARGET: g++ 12 warns of overlapping copies inside
# std::string's operator+ on literals (-Wrestrict, a known false positive of
# that release); the tests build strings that way all the time, and so does
# GoogleTest where the suite builds it from its sources.
function(malhas_sem_falso_restrict alvo)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${alvo} PRIVATE -Wno-restrict)
  endif()
endfunction()
