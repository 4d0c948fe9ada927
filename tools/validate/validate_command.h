#pragma once
// The validator as a command: `validate PLUGIN [--strictness 1..10] [--seed N]
// [--repeat K] [--only NAMES] [--skip NAMES] [--list]`.
//
// Loads the plug-in binary through the stand-in host and runs every test
// against it, printing one line per test and "N passed, N failed" at the end.
// Returns 0 when nothing failed, 1 when a test failed, 2 for a usage error or
// a plug-in that cannot be loaded.
namespace tolvar::validate {

// argv[0] is the command's own name; the arguments follow.
int RunValidateCommand(int argc, char** argv);

}  // namespace tolvar::validate
