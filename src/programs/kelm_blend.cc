// kelm_blend: the certified lightest design of a structure of blended panels.
#include "programs/blend_program.h"
#include "cli/guarded_main.h"

int main(int argc, char** argv) {
  return kelm::guardedMain([&] { return kelm::runBlendProgram(argc, argv); });
}
