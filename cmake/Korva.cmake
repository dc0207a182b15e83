# korva_module(NAME [QT] [DEPS lib...])
# One static library per module, built from every .cpp in its folder. A module with no
# sources yet is an interface library so that others can already name it.
function(korva_module name)
  cmake_parse_arguments(M "QT" "" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(srcs)
    add_library(korva_${name} STATIC ${srcs})
    target_include_directories(korva_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(korva_${name} PUBLIC ${M_DEPS})
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
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 900)
endfunction()
