// tolvar validate: the validator (tools/validate) as one of the commands. Its
// arguments are handed over exactly as typed, so both spellings take the
// same options and give the same exit codes.
#include <string>
#include <vector>

#include "tools/tolvar/command_table.h"
#include "tools/validate/validate_command.h"

namespace tolvar::cli {

CommandAction SetUpValidate(CLI::App& command) {
    command.prefix_command();
    return [&command]() {
        std::vector<std::string> words = command.remaining();
        std::string name = "validate";
        std::vector<char*> arguments{name.data()};
        for (std::string& word : words) arguments.push_back(word.data());
        return validate::RunValidateCommand(static_cast<int>(arguments.size()), arguments.data());
    };
}

}  // namespace tolvar::cli
