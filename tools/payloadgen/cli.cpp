#include "payloadgen/cli.h"

#include <cstdint>
#include <limits>
#include <map>
#include <new>
#include <stdexcept>

#include "payloadgen/generator.h"
#include "payloadgen/refusal.h"

namespace payloadgen {

namespace {

constexpr const char* usage =
    "usage: payloadgen --product DIR --built DIR --output DIR [--uninstaller FILE]\n"
    "                  [--threads N] [--namespace NAME] [--source-time SECONDS]\n"
    "       payloadgen --check DIR [--built DIR]\n"
    "       payloadgen --product DIR --uninstaller-sources DIR\n"
    "       payloadgen --help\n"
    "\n"
    "Turns a product folder into the setup program's payload: the files listed\n"
    "in DIR/product.json cut into zlib-compressed chunks, the configuration\n"
    "record and the agreement text, as sources to compile and link.\n"
    "docs/product-folder.md describes the folder.\n"
    "\n"
    "  --product DIR     folder holding product.json and the files it names\n"
    "  --built DIR       folder holding the product's built programs\n"
    "  --output DIR      folder receiving payload_chunks.bin, payload_chunks.S,\n"
    "                    payload_table.cpp, installer_config.cpp and product.ico\n"
    "  --uninstaller FILE\n"
    "                    the engine's built uninstaller: the payload's last file,\n"
    "                    as kluninst.exe, unless product.json names its own\n"
    "  --threads N       compress on N threads (default: one per core)\n"
    "  --namespace NAME  put the definitions in namespace NAME and begin the\n"
    "                    chunk labels with NAME instead of \"payload\"\n"
    "  --source-time SECONDS\n"
    "                    the time of the product's sources (their commit's, or\n"
    "                    SOURCE_DATE_EPOCH), in seconds since 1970-01-01 UTC,\n"
    "                    0 to 2147483647: no file is stored with a later time,\n"
    "                    and built programs take it, so that the same sources\n"
    "                    make the same payload wherever and whenever they are\n"
    "                    built. Times given in product.json stay as written;\n"
    "                    the uninstaller counts as a built program\n"
    "\n"
    "With --check, reads the product folder DIR and reports every problem that\n"
    "would stop the build, and warnings about what would build but likely not\n"
    "work as meant, without writing anything. Without --built, entries built\n"
    "by the product's own build are checked by name only.\n"
    "\n"
    "With --uninstaller-sources, reads DIR/product.json alone and writes into\n"
    "the folder it names uninstaller_record.cpp, the uninstaller's copy of the\n"
    "configuration record and of the payload names (kluninst.exe among them),\n"
    "and version_info.h, the version resource's values for setup.exe and the\n"
    "uninstaller. It needs no built program, so it runs before the product's\n"
    "programs are built.\n"
    "\n"
    "On a terminal, the compression of a large product shows its progress.\n"
    "Exit status: 0 done, 1 input refused, 2 malformed command line.\n";

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

unsigned parseThreads(const std::string& text) {
    // Plain decimal only: stoul would accept "-1", " 4" or "4x".
    if (text.empty() || text.size() > 4 || text.find_first_not_of("0123456789") != std::string::npos)
        throw UsageError("--threads wants a number from 1 to 9999, not \"" + displayed(text) + "\"");
    const unsigned threads = static_cast<unsigned>(std::stoul(text));
    if (threads == 0) throw UsageError("--threads wants a number from 1 to 9999, not 0");
    return threads;
}

// Plain decimal only, as for --threads. Negative times are left out: no
// commit or SOURCE_DATE_EPOCH lies before 1970.
int32_t parseSourceTime(const std::string& text) {
    const auto refused = [&] {
        return UsageError("--source-time wants seconds from 0 to 2147483647, not \"" + displayed(text) + "\"");
    };
    if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string::npos)
        throw refused();
    const unsigned long long seconds = std::stoull(text);
    if (seconds > static_cast<unsigned long long>(std::numeric_limits<int32_t>::max())) throw refused();
    return static_cast<int32_t>(seconds);
}

struct Command : Options {
    bool check = false;
    // Set: the run writes only the uninstaller's sources into this folder.
    std::filesystem::path uninstallerSources;
};

Command parseArguments(const std::vector<std::string>& args) {
    std::map<std::string, std::string> values;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string option = args[i];
        std::string value;
        bool hasValue = false;
        if (const std::size_t equals = option.find('='); equals != std::string::npos) {
            value = option.substr(equals + 1);
            option.resize(equals);
            hasValue = true;
        }
        if (option != "--product" && option != "--built" && option != "--output" &&
            option != "--threads" && option != "--namespace" && option != "--uninstaller-sources" &&
            option != "--check" && option != "--source-time" && option != "--uninstaller")
            throw UsageError("unknown argument \"" + displayed(args[i]) + "\"");
        if (!hasValue) {
            if (i + 1 == args.size()) throw UsageError(option + " needs a value");
            value = args[++i];
        }
        if (!values.emplace(option, value).second) throw UsageError(option + " is given twice");
    }

    Command options;
    if (auto found = values.find("--check"); found != values.end()) {
        for (const char* unused :
             {"--product", "--output", "--threads", "--namespace", "--uninstaller-sources", "--source-time",
              "--uninstaller"})
            if (values.count(unused)) throw UsageError(std::string(unused) + " is not used with --check");
        if (found->second.empty()) throw UsageError("--check needs a product folder");
        options.check = true;
        options.productDir = found->second;
        if (auto built = values.find("--built"); built != values.end()) {
            if (built->second.empty()) throw UsageError("--built needs a folder");
            options.builtDir = built->second;
        }
        return options;
    }
    if (auto found = values.find("--uninstaller-sources"); found != values.end()) {
        for (const char* unused :
             {"--built", "--output", "--threads", "--namespace", "--source-time", "--uninstaller"})
            if (values.count(unused))
                throw UsageError(std::string(unused) + " is not used with --uninstaller-sources");
        if (found->second.empty()) throw UsageError("--uninstaller-sources needs a folder");
        options.uninstallerSources = found->second;
    }
    const bool sourcesOnly = !options.uninstallerSources.empty();
    for (const char* required : {"--product", "--built", "--output"}) {
        if (sourcesOnly && std::string(required) != "--product") continue;
        auto found = values.find(required);
        if (found == values.end() || found->second.empty())
            throw UsageError(std::string(required) + " is required");
    }
    options.productDir = values["--product"];
    options.builtDir = values["--built"];
    options.outputDir = values["--output"];
    if (auto found = values.find("--uninstaller"); found != values.end()) {
        if (found->second.empty()) throw UsageError("--uninstaller needs a file name");
        options.uninstaller = found->second;
    }
    if (auto found = values.find("--threads"); found != values.end())
        options.threads = parseThreads(found->second);
    if (auto found = values.find("--source-time"); found != values.end())
        options.sourceTime = parseSourceTime(found->second);
    if (auto found = values.find("--namespace"); found != values.end()) {
        options.nameSpace = found->second;
        if (!isValidNamespace(options.nameSpace))
            throw UsageError("--namespace wants a C++ identifier, not \"" + displayed(options.nameSpace) + "\"");
    }
    return options;
}

}  // namespace

int runPayloadgen(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                  bool errIsTerminal) {
    for (const std::string& arg : args)
        if (arg == "--help" || arg == "-h") {
            out << usage;
            return 0;
        }
    Command command;
    try {
        command = parseArguments(args);
    } catch (const UsageError& error) {
        err << "payloadgen: " << error.what() << "\n" << usage;
        return 2;
    }
    try {
        if (command.check) {
            const CheckResult result = checkProduct(command.productDir, command.builtDir);
            for (const Refusal& warning : result.warnings)
                err << "payloadgen: warning: " << warning.message() << "\n";
            out << checkLine(result) << "\n";
        } else if (!command.uninstallerSources.empty()) {
            writeUninstallerSources(command.productDir, command.uninstallerSources);
        } else {
            if (errIsTerminal) command.progress = &err;
            out << summaryLine(generate(command)) << "\n";
        }
        return 0;
    } catch (const Refusal& refusal) {
        err << "payloadgen: " << refusal.message() << "\n";
    } catch (const Refusals& refusals) {
        for (const Refusal& refusal : refusals.all()) err << "payloadgen: " << refusal.message() << "\n";
        err << "payloadgen: " << refusals.all().size() << " problems\n";
    } catch (const std::bad_alloc&) {
        err << "payloadgen: out of memory\n";
    } catch (const std::exception& error) {
        err << "payloadgen: internal error: " << error.what() << "\n";
    }
    return 1;
}

}  // namespace payloadgen
