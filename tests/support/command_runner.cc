#include "tests/support/command_runner.h"

#include <iostream>
#include <sstream>

#include "app/command.h"

namespace fernweave::test {

CommandRun RunFernweave(std::vector<std::string> args) {
  args.insert(args.begin(), "fernweave");
  std::vector<char*> argv;
  for (std::string& arg : args) {
    argv.push_back(arg.data());
  }
  std::ostringstream captured;
  std::streambuf* previous = std::cout.rdbuf(captured.rdbuf());
  const int status = RunCommandLine(static_cast<int>(argv.size()), argv.data());
  std::cout.rdbuf(previous);
  return {status, captured.str()};
}

std::string JoinedArgs(const std::vector<std::string>& args) {
  std::string text;
  for (const std::string& arg : args) {
    text += " '" + arg + "'";
  }
  return text;
}

}  // namespace fernweave::test
