#include "cli/Application.h"

int main(int argc, char** argv) { return filamorph::cli::runFilamorph(argc, argv); }
