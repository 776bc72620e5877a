# Programs the build does not compile (the system's Python, Blender) that load what it does.
#
# tarvel_uninstrumented_environment(OUT ASAN_OPTIONS)
#   Sets OUT to the environment such a program's tests run with: in the sanitizer build the
#   sanitizers' runtimes preloaded (they must come before everything the program loads) and
#   ASan's options as given; elsewhere nothing.
function(tarvel_uninstrumented_environment out asan_options)
  set(environment "")
  if(TARVEL_SANITIZE)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libasan.so
                    OUTPUT_VARIABLE asan_runtime OUTPUT_STRIP_TRAILING_WHITESPACE)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libubsan.so
                    OUTPUT_VARIABLE ubsan_runtime OUTPUT_STRIP_TRAILING_WHITESPACE)
    list(APPEND environment "LD_PRELOAD=${asan_runtime}:${ubsan_runtime}"
         "ASAN_OPTIONS=${asan_options}")
  endif()
  set(${out} "${environment}" PARENT_SCOPE)
endfunction()
