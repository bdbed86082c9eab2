// Build tool: writes the demo's twelve movement files into the folder named on
// its command line.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "app/demo_moves.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argc > 0 ? argv[0] : "korimo_make_demo_moves");
    return EXIT_FAILURE;
  }
  const std::filesystem::path folder(argv[1]);
  std::error_code created;
  std::filesystem::create_directories(folder, created);
  std::string error;
  if (created || !korimo::app::WriteDemoMoveFiles(folder, error)) {
    std::fprintf(stderr, "korimo_make_demo_moves: %s\n",
                 created ? created.message().c_str() : error.c_str());
    return EXIT_FAILURE;
  }
  return EXIT_SUCCESS;
}
