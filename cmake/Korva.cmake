# korva_module(NAME [QT] [DEPS lib...] [PRIVATE_DEPS lib...])
# One static library per module, built from every .cpp in its folder. A module with no
# sources yet is an interface library so that others can already name it. DEPS are passed on
# to the modules above; PRIVATE_DEPS are only linked, so their headers stay out of reach of
# everything that uses the module (the platform keeps Qt to itself this way).
function(korva_module name)
  cmake_parse_arguments(M "QT" "" "DEPS;PRIVATE_DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(srcs)
    add_library(korva_${name} STATIC ${srcs})
    target_include_directories(korva_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(korva_${name} PUBLIC ${M_DEPS} PRIVATE ${M_PRIVATE_DEPS})
    if(M_QT)
      set_target_properties(korva_${name} PROPERTIES AUTOMOC ON)
    endif()
  else()
    add_library(korva_${name} INTERFACE)
    target_include_directories(korva_${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(korva_${name} INTERFACE ${M_DEPS})
  endif()
endfunction()

# korva_test(MODULE [DEPS lib...]): tests/<module>/*.cpp into test_<module>, registered with CTest.
# Every test needs the fonts check to have passed (korva_fonts, see tests/platform).
function(korva_test name)
  cmake_parse_arguments(T "" "" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT srcs)
    return()
  endif()
  add_executable(test_${name} ${srcs})
  target_link_libraries(test_${name} PRIVATE korva_${name} ${T_DEPS} GTest::gtest GTest::gtest_main)
  target_compile_definitions(test_${name} PRIVATE
    KORVA_TEST_DATA="${CMAKE_CURRENT_SOURCE_DIR}"
    KORVA_SAMPLES_DIR="${PROJECT_SOURCE_DIR}/samples"
    KORVA_BIN_DIR="${KORVA_OUTPUT_DIR}")
  set_target_properties(test_${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  add_test(NAME ${name} COMMAND test_${name} --gtest_brief=1)
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 900
                       FIXTURES_REQUIRED korva_fonts)
endfunction()

# korva_qt_seam_test(ENGINE target... QT target...): a test that compiles a file including Qt
# headers with the include paths the sources of each ENGINE target get, and passes only when
# every such compile fails for want of the Qt header, while the same file compiles with the
# paths of the QT targets (so a broken probe cannot pass as a clean seam) and a file including
# an engine header compiles with the engine paths.
function(korva_qt_seam_test)
  cmake_parse_arguments(S "" "" "ENGINE;QT" ${ARGN})
  set(work ${CMAKE_BINARY_DIR}/qt_seam)
  set(content "")
  set(engine "")
  set(qt "")
  foreach(kind ENGINE QT)
    foreach(t ${S_${kind}})
      if(NOT TARGET ${t})
        continue()
      endif()
      # What the target's own sources see: its include paths with those of everything it links.
      get_target_property(type ${t} TYPE)
      if(type STREQUAL "INTERFACE_LIBRARY")
        set(prop INTERFACE_INCLUDE_DIRECTORIES)
      else()
        set(prop INCLUDE_DIRECTORIES)
      endif()
      string(APPEND content "set(INC_${t} \"$<TARGET_PROPERTY:${t},${prop}>\")\n")
      if(kind STREQUAL "ENGINE")
        list(APPEND engine ${t})
      else()
        list(APPEND qt ${t})
      endif()
    endforeach()
  endforeach()
  file(GENERATE OUTPUT ${work}/includes.cmake CONTENT "${content}")
  string(REPLACE ";" "," engine "${engine}")
  string(REPLACE ";" "," qt "${qt}")
  add_test(NAME engine_without_qt
           COMMAND ${CMAKE_COMMAND} -DCXX=${CMAKE_CXX_COMPILER} -DWORK=${work} -DENGINE=${engine} -DQT=${qt}
                   -P ${PROJECT_SOURCE_DIR}/cmake/CheckQtSeam.cmake)
  set_tests_properties(engine_without_qt PROPERTIES TIMEOUT 300)
endfunction()
