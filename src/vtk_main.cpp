#include "run_vtk.h"

int main(int argc, char** argv) { return malha::run_vtk(argc, argv); }
