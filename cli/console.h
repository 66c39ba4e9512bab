#pragma once
// The program's arguments as UTF-8 texts, and a console that shows UTF-8 output as it is.

#include <string>
#include <vector>

namespace kovrix::cli {

/// Prepares the console for UTF-8 output and answers the arguments without the program name,
/// as UTF-8 texts.
std::vector<std::string> ProgramArguments(int argc, char** argv);

/// The usage text's lines on port names and on where the frame sequence is kept, for this system.
extern const char kPortUsage[];
extern const char kSequenceStoreUsage[];

}  // namespace kovrix::cli
