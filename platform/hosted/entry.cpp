// Hosted entry: the arguments are narrow strings already.
#include "platform/platform.h"

int main(int argc, char** argv) {
  ProgramMain(argc, argv);
}
