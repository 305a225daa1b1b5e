# llama-server built from the llama.cpp source named by QUORVEL_LLAMA_SOURCE,
# placed in <build>/lib/quorvel/llama (the build tree has the installed
# shape) and installed to <prefix>/lib/quorvel/llama. scripts/build-engine.sh
# does the building and keeps each build in a cache outside the checkout.
if(NOT EXISTS "${QUORVEL_LLAMA_SOURCE}")
  message(FATAL_ERROR "QUORVEL_BUNDLE_ENGINE: the llama.cpp source ${QUORVEL_LLAMA_SOURCE} does not exist; "
                      "name a tarball or tree with -DQUORVEL_LLAMA_SOURCE=…, or build without the engine")
endif()
if(IS_DIRECTORY "${QUORVEL_LLAMA_SOURCE}")
  if(NOT EXISTS "${QUORVEL_LLAMA_SOURCE}/ggml/CMakeLists.txt" OR NOT EXISTS "${QUORVEL_LLAMA_SOURCE}/tools/server")
    message(FATAL_ERROR "QUORVEL_BUNDLE_ENGINE: ${QUORVEL_LLAMA_SOURCE} is not a llama.cpp source tree")
  endif()
  message(STATUS "Bundled engine: llama.cpp tree ${QUORVEL_LLAMA_SOURCE}, used as it is (no hash to check)")
  set(quorvel_engine_hash "")
  file(GLOB_RECURSE quorvel_engine_depends CONFIGURE_DEPENDS "${QUORVEL_LLAMA_SOURCE}/*.c" "${QUORVEL_LLAMA_SOURCE}/*.cpp"
       "${QUORVEL_LLAMA_SOURCE}/*.h" "${QUORVEL_LLAMA_SOURCE}/*.txt")
else()
  file(SHA256 "${QUORVEL_LLAMA_SOURCE}" quorvel_engine_hash)
  if(NOT quorvel_engine_hash STREQUAL QUORVEL_LLAMA_SHA256)
    message(FATAL_ERROR "QUORVEL_BUNDLE_ENGINE: ${QUORVEL_LLAMA_SOURCE} has SHA-256 ${quorvel_engine_hash}, "
                        "not the expected ${QUORVEL_LLAMA_SHA256}: it is not the pinned llama.cpp source")
  endif()
  message(STATUS "Bundled engine: ${QUORVEL_LLAMA_SOURCE} (SHA-256 checked)")
  set(quorvel_engine_depends "${QUORVEL_LLAMA_SOURCE}")
endif()

set(QUORVEL_ENGINE_DIR ${CMAKE_BINARY_DIR}/lib/quorvel/llama)
add_custom_command(OUTPUT ${QUORVEL_ENGINE_DIR}/llama-server
  COMMAND ${CMAKE_SOURCE_DIR}/scripts/build-engine.sh "${QUORVEL_LLAMA_SOURCE}" ${QUORVEL_ENGINE_DIR} ${quorvel_engine_hash}
  DEPENDS ${CMAKE_SOURCE_DIR}/scripts/build-engine.sh ${quorvel_engine_depends}
  COMMENT "llama-server from ${QUORVEL_LLAMA_SOURCE}"
  USES_TERMINAL VERBATIM)
add_custom_target(quorvel_engine ALL DEPENDS ${QUORVEL_ENGINE_DIR}/llama-server)

# lib/, not the multiarch library folder: the programs find the server from
# their own place (<prefix>/bin/../lib/quorvel/llama), whatever the prefix.
# Modes set here, never the build tree's: a build under umask 002 would ship
# a server that the group may replace. The server a program (0755), the
# libraries plain files (0644), their links as links.
install(DIRECTORY ${QUORVEL_ENGINE_DIR}/ DESTINATION lib/quorvel/llama
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
  DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE
  PATTERN llama-server
  PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# dpkg-shlibdeps reads the server's needs from the package's own libraries.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${QUORVEL_ENGINE_DIR})
