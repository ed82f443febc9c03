#pragma once
// The sub-commands of gifkit. Each gets the arguments after its name and returns the exit
// status; a malformed command line throws TUsageError.
#include <stdexcept>
#include <string>
#include <vector>

class TUsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

using TArguments = std::vector<std::string>;

int EncodeCommand(const TArguments& arguments);
int InfoCommand(const TArguments& arguments);
int DecodeCommand(const TArguments& arguments);
