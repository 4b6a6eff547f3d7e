#include "base/HeapPolicy.h"
#include "cli/Application.h"

int main(int argc, char** argv) {
  filamorph::keepFreedBlocksInTheHeap();
  return filamorph::cli::runFilamorph(argc, argv);
}
