# nlohmann-json, header-only, from Debian's nlohmann-json3-dev (scripts/setup
# installs it). Its headers include each other as <nlohmann/...>, so the
# folder above them must be on the include path; for the MinGW build that
# folder would be the host's whole /usr/include. Instead a folder of this
# build holds one link to the installed nlohmann folder, and both builds
# include through it: the same installed header, nothing else of the host's.
find_path(QB_NLOHMANN_ROOT nlohmann/json.hpp PATHS /usr/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(NOT QB_NLOHMANN_ROOT)
  message(FATAL_ERROR "nlohmann/json.hpp not found: run scripts/setup (Debian's nlohmann-json3-dev)")
endif()
set(qb_json_include ${CMAKE_BINARY_DIR}/json-include)
file(MAKE_DIRECTORY ${qb_json_include})
file(CREATE_LINK ${QB_NLOHMANN_ROOT}/nlohmann ${qb_json_include}/nlohmann SYMBOLIC)
add_library(qb_json INTERFACE)
target_include_directories(qb_json SYSTEM INTERFACE ${qb_json_include})
