// Runs the `fernweave` command line in-process for the app tests.

#ifndef FERNWEAVE_TESTS_SUPPORT_COMMAND_RUNNER_H_
#define FERNWEAVE_TESTS_SUPPORT_COMMAND_RUNNER_H_

#include <string>
#include <vector>

namespace fernweave::test {

struct CommandRun {
  int status;
  std::string out;  // what the command printed to stdout
};

// Runs `fernweave ARGS...` through RunCommandLine, capturing stdout.
CommandRun RunFernweave(std::vector<std::string> args);

// The arguments quoted and joined, for failure messages.
std::string JoinedArgs(const std::vector<std::string>& args);

}  // namespace fernweave::test

#endif  // FERNWEAVE_TESTS_SUPPORT_COMMAND_RUNNER_H_
