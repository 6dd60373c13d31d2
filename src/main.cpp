#include "run.h"

int main() { return malha::run(); }
