// The command-line syntax every tool shares: options as `--name VALUE` or
// `--name=VALUE`, switches as `--name`, `-h` for `--help`, `--` before
// operands that start with a dash, and each option at most once.
#pragma once

#include <initializer_list>
#include <map>
#include <string>
#include <vector>

namespace tools {

struct OptionSpec {
    const char* name;  // with the leading dashes, e.g. "--out"
    bool takes_value;
};

class CommandLine {
public:
    // False, with `error` set, for an unknown option, a missing value, a
    // value given to a switch, or an option given twice.
    bool parse(int argc, char** argv, std::initializer_list<OptionSpec> known, std::string& error);

    bool has(const std::string& name) const { return values_.count(name) != 0; }
    // The option's value, or `fallback` when it was not given.
    std::string value(const std::string& name, const std::string& fallback = "") const;
    const std::vector<std::string>& operands() const { return operands_; }

private:
    std::map<std::string, std::string> values_;
    std::vector<std::string> operands_;
};

// True when `path` ends in `extension` (e.g. ".png"), in any letter case.
bool has_extension(const std::string& path, const char* extension);

}  // namespace tools
