#pragma once
// <malha/vtu.h>: grids and time series alone, as <malha/vtk/vtu.h> declares
// them; kept for programs that include it. <malha/malha.h> includes it too.

#include "vtk/vtu.h"
