#include "cli/CommandLine.h"

#include "ce_namespace.h"
#include "link/SlaveLink.h"

std::string ReadOptions(int argc, char** argv, const option* options,
                        const std::function<std::string(int id, const std::string& value)>& take,
                        std::vector<std::string>* operands) {
    // Short options: -h only. The leading ':' makes a missing value ':' rather than '?'.
    const char* shortOptions = ":h";
    optind = 0; // a fresh scan: the commands and the tests read several command lines
    opterr = 0; // the messages are ours, in our words
    for (;;) {
        int index = -1;
        const int id = getopt_long(argc, argv, shortOptions, options, &index);
        if (id == -1)
            break;
        const std::string arg = argv[optind - 1];
        const std::string name = arg.substr(0, arg.find('='));
        if (id == ':')
            return name + " needs a value";
        if (id == '?')
            return optopt != 0 && arg.compare(0, 2, "--") == 0 ? name + " takes no value"
                                                               : "unknown option '" + arg + "'";
        const std::string value = optarg ? optarg : "";
        if (optarg && value.empty())
            return name + " needs a value";
        const std::string wrong = take(id, value);
        if (!wrong.empty())
            return wrong;
    }
    for (int i = optind; i < argc; ++i)
        operands->push_back(argv[i]);
    return "";
}

std::string ReadFlags(int argc, char** argv, const option* options,
                      const std::function<std::string(int id, const std::string& value)>& take) {
    std::vector<std::string> operands;
    const std::string what = ReadOptions(argc, argv, options, take, &operands);
    if (what.empty() && !operands.empty())
        return "unknown argument '" + operands[0] + "'";
    return what;
}

std::string SlavePortText() {
    const std::wstring name = SLAVE_PORT_NAME;
    return std::string(name.begin(), name.end()); // the name is ASCII
}

std::string SlavePortPath() {
    return ce::HostPathFor(SLAVE_PORT_NAME);
}

void UsePort(const std::string& device) {
    ce::MapHostPort(SLAVE_PORT_NAME, device, "--port");
}
