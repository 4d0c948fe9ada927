// tolvar-validate: the validator as a program of its own.
#include "tools/validate/validate_command.h"

int main(int argc, char** argv) { return tolvar::validate::RunValidateCommand(argc, argv); }
