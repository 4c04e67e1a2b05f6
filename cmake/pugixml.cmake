# pugixml, the XML parser quillctl reads WS-Discovery with, as the target pugixml::pugixml.
# Natively it is Debian's package (libpugixml-dev). MinGW has no such package: the Windows build
# compiles the same version from the upstream tarball of Debian's source package, fetched and checked
# by tools/fetch-sources.sh, into the static exe. The fuzzers compile it too, so that its branches are
# instrumented and guide them.
if(TARGET pugixml::pugixml)
  return()
endif()
if(NOT WIN32 AND NOT QM_FUZZ)
  find_package(pugixml REQUIRED)
  return()
endif()

set(QM_SOURCES_DIR ${CMAKE_SOURCE_DIR}/build/sources CACHE PATH "Where tools/fetch-sources.sh put the sources")
set(QM_PUGIXML_TARBALL ${QM_SOURCES_DIR}/pugixml_1.13.orig.tar.gz)
set(QM_PUGIXML_SHA256 5c5ad5d7caeb791420408042a7d88c2c6180781bf218feca259fd9d840a888e1)
if(NOT EXISTS ${QM_PUGIXML_TARBALL})
  message(FATAL_ERROR "${QM_PUGIXML_TARBALL} is missing: run tools/install-deps.sh (or tools/fetch-sources.sh)")
endif()
file(SHA256 ${QM_PUGIXML_TARBALL} actual)
if(NOT actual STREQUAL QM_PUGIXML_SHA256)
  message(FATAL_ERROR "${QM_PUGIXML_TARBALL} is not the tarball Debian ships (SHA-256 ${actual})")
endif()
set(QM_PUGIXML_DIR ${CMAKE_BINARY_DIR}/third_party/pugixml-1.13)
if(NOT EXISTS ${QM_PUGIXML_DIR}/src/pugixml.cpp)
  file(ARCHIVE_EXTRACT INPUT ${QM_PUGIXML_TARBALL} DESTINATION ${CMAKE_BINARY_DIR}/third_party
       PATTERNS pugixml-1.13/src pugixml-1.13/LICENSE.md)
endif()
add_library(qm_pugixml STATIC ${QM_PUGIXML_DIR}/src/pugixml.cpp)
# Its own code, not held to our warning level; no exceptions needed by the way we call it.
target_compile_options(qm_pugixml PRIVATE -w)
target_include_directories(qm_pugixml SYSTEM PUBLIC ${QM_PUGIXML_DIR}/src)
add_library(pugixml::pugixml ALIAS qm_pugixml)
set(QM_PUGIXML_LICENSE ${QM_PUGIXML_DIR}/LICENSE.md CACHE INTERNAL "")
