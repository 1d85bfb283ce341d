#include "fleet/main.h"

int main(int argc, char** argv) { return vud::fleet::runProgram(std::vector<std::string>(argv + 1, argv + argc)); }
