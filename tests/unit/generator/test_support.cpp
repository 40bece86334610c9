#include "test_support.h"

#include <stdlib.h>

#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <stdexcept>

#include "payloadgen/cli.h"

namespace gentest {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "payloadgen-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot create a temporary folder");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

void writeFile(const std::filesystem::path& path, std::string_view bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream file(path, std::ios::binary);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!file) throw std::runtime_error("cannot write " + path.string());
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) throw std::runtime_error("cannot read " + path.string());
    return std::string(std::istreambuf_iterator<char>(file), {});
}

std::string sampleBytes(std::size_t size, uint32_t variant, bool compressible) {
    static const char* const words[] = {"tarn ", "wick ", "setup ", "chunk ", "piece\r\n", "file "};
    std::mt19937 random(variant);
    std::string bytes;
    while (bytes.size() < size) {
        if (compressible)
            bytes += words[random() % 6];
        else
            bytes += static_cast<char>(random() & 0xFF);
    }
    bytes.resize(size);
    return bytes;
}

TestProduct::TestProduct() {
    description = nlohmann::json::parse(R"({
      "config": {
        "groupName": "Group", "productName": "Product", "settingsFileName": "p.ini",
        "offerStartupShortcut": 0, "startupPrompt": "", "mainExecutable": "a.txt",
        "startupArguments": "", "warnOfRunningCopies": 0, "runHelperInstaller": 0,
        "serviceExecutable": "", "requiredMegabytes": 1, "serviceName": "",
        "startupShortcutName": "", "version": "", "publisher": ""
      },
      "agreement": "agreement.txt",
      "icon": "p.ico",
      "payload": [ { "name": "b.bin", "built": "b.bin", "time": 1 } ]
    })");
    writeFile(productDir() / "agreement.txt", "Terms\r\r\n");
    writeFile(productDir() / "p.ico", readFile(std::filesystem::path(GENTEST_PRODUCT_DIR) / "gentest.ico"));
    writeFile(builtDir() / "b.bin", sampleBytes(100, 1, false));
    addSource("a.txt", "files/a.txt", "text of a\n");
}

void TestProduct::addSource(const std::string& name, const std::string& relative, std::string_view bytes) {
    writeFile(productDir() / relative, bytes);
    description["payload"].push_back({{"name", name}, {"source", relative}, {"time", 2}});
}

namespace {

RunResult runTool(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int status = payloadgen::runPayloadgen(args, out, err);
    return {status, out.str(), err.str()};
}

}  // namespace

void TestProduct::save() {
    writeFile(productDir() / "product.json", rawDescription.empty() ? description.dump(2) : rawDescription);
}

RunResult TestProduct::run(const std::vector<std::string>& extra) {
    save();
    std::vector<std::string> args = {"--product", productDir().string(), "--built", builtDir().string(),
                                     "--output", outputDir().string()};
    args.insert(args.end(), extra.begin(), extra.end());
    return runTool(args);
}

RunResult TestProduct::check(const std::vector<std::string>& extra) {
    save();
    std::vector<std::string> args = {"--check", productDir().string()};
    args.insert(args.end(), extra.begin(), extra.end());
    return runTool(args);
}

RunResult TestProduct::runUninstallerSources(const std::filesystem::path& folder) {
    save();
    return runTool({"--product", productDir().string(), "--uninstaller-sources", folder.string()});
}

}  // namespace gentest
