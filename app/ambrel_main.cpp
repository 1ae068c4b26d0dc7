#include "app/AmbrelApp.h"

int main(int argc, char** argv) {
  return RunAmbrel(argc, argv);
}
