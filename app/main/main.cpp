// clipgif: the desktop program.
#include "app/main/StartUp.h"

int main(int argc, char** argv) { return RunClipGIF(argc, argv); }
