#include "tools/common/command_line.h"

#include <cctype>
#include <cstring>

namespace tools {

bool CommandLine::parse(int argc, char** argv, std::initializer_list<OptionSpec> known,
                        std::string& error) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--") {
            for (++i; i < argc; ++i) operands_.emplace_back(argv[i]);
            break;
        }
        if (arg == "-h") arg = "--help";
        if (arg.size() < 2 || arg[0] != '-') {
            operands_.push_back(arg);
            continue;
        }
        const size_t equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        const OptionSpec* option = nullptr;
        for (const OptionSpec& o : known)
            if (name == o.name) option = &o;
        if (option == nullptr) {
            error = "unknown option '" + name + "'";
            return false;
        }
        if (has(name)) {
            error = name + " is given twice";
            return false;
        }
        std::string value;
        if (!option->takes_value) {
            if (equals != std::string::npos) {
                error = name + " takes no value";
                return false;
            }
        } else if (equals != std::string::npos) {
            value = arg.substr(equals + 1);
        } else if (i + 1 < argc) {
            value = argv[++i];
        } else {
            error = name + " needs a value";
            return false;
        }
        values_[name] = value;
    }
    return true;
}

std::string CommandLine::value(const std::string& name, const std::string& fallback) const {
    const auto found = values_.find(name);
    return found == values_.end() ? fallback : found->second;
}

bool has_extension(const std::string& path, const char* extension) {
    const size_t n = std::strlen(extension);
    if (path.size() <= n) return false;
    for (size_t i = 0; i < n; ++i) {
        const auto a = static_cast<unsigned char>(path[path.size() - n + i]);
        const auto b = static_cast<unsigned char>(extension[i]);
        if (std::tolower(a) != std::tolower(b)) return false;
    }
    return true;
}

}  // namespace tools
