#include "run/run.h"

int main() { return malha::run(); }
