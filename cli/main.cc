// lumo: every operation of the music service's API from the command line, through the same
// library the player loads. Without --connect-to it runs the sandbox service inside the process.
#include "command_line.h"

int main(int argc, char** argv) { return lumo::cli::RunCommandLine(argc, argv); }
