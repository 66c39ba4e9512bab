// kovrix-cli: sends one command to the registrator and prints the reply.
#include <iostream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/console.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args = kovrix::cli::ProgramArguments(argc, argv);
  return kovrix::cli::RunCli(args, std::cout, std::cerr);
}
