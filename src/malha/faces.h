#pragma once
// <malha/faces.h>: the faces of a mesh alone, as <malha/faces/faces.h>
// declares them; kept for programs that include it. <malha/malha.h>
// includes it too.

#include "faces/faces.h"
