#include "app/app.h"
#include "winding/animator.h"

int main(int argc, char** argv) { ws::runtime_main(argc, argv, ws::animate_winding_scheme); }
