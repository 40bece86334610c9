// The command line of payloadgen, kept out of main so tests can run it in
// process and see its exit status and messages.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace payloadgen {

// `args` excludes the program name. Returns the exit status: 0 on success,
// 1 when the input is refused, 2 for a malformed command line. The
// compression shows its progress on `err` only when `errIsTerminal`.
int runPayloadgen(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                  bool errIsTerminal = false);

}  // namespace payloadgen
