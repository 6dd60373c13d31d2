#pragma once
// <malha/cell_gradients.h>: the cell gradients alone, as
// <malha/faces/cell_gradients.h> declares them; kept for programs that
// include it. <malha/malha.h> includes it too.

#include "faces/cell_gradients.h"
