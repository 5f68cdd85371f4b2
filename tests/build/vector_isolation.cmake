# Fails if members *_avx2.cpp.o and *_avx512.cpp.o of LIBRARY define weak
# functions (nm type W); weak data (V, u) holds no instructions.
execute_process(COMMAND ${NM} -A -C ${LIBRARY} OUTPUT_VARIABLE symbols RESULT_VARIABLE failed)
string(REGEX MATCHALL "[^\n]*_avx(2|512)\\.cpp\\.o(bj)?:[^\n]*" members "${symbols}")
if(failed OR NOT members)
  message(FATAL_ERROR "no AVX2 or AVX-512 members found in ${LIBRARY} by ${NM}")
endif()
list(FILTER members INCLUDE REGEX " W ")
if(members)
  string(REPLACE ";" "\n  " members "${members}")
  message(FATAL_ERROR "AVX2 or AVX-512 members define weak symbols:\n  ${members}")
endif()
