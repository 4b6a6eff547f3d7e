#include <CLI/CLI.hpp>

int main(int argc, char** argv) {
  CLI::App app{"Filamorph Codec: contour-based coding of gray-level images"};
  app.require_subcommand(1);
  CLI11_PARSE(app, argc, argv);
  return 0;
}
