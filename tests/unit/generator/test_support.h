// Temporary product folders for running the generator in process.
#pragma once

#include <nlohmann/json.hpp>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace gentest {

// A fresh folder below the system's temporary folder, removed with its
// content when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

void writeFile(const std::filesystem::path& path, std::string_view bytes);
std::string readFile(const std::filesystem::path& path);

// Reproducible test data: text-like and well compressible, or noise that
// zlib cannot shrink.
std::string sampleBytes(std::size_t size, uint32_t variant, bool compressible);

struct RunResult {
    int status;
    std::string out;
    std::string err;
};

// A valid product in <temp>/product with its built folder <temp>/built;
// tests change `description` or the files and run the generator on it.
class TestProduct {
public:
    TestProduct();
    std::filesystem::path productDir() const { return dir_.path() / "product"; }
    std::filesystem::path builtDir() const { return dir_.path() / "built"; }
    std::filesystem::path outputDir() const { return dir_.path() / "out"; }

    // Writes product/<relative> and lists it under `name`.
    void addSource(const std::string& name, const std::string& relative, std::string_view bytes);

    // Saves product.json and runs the tool with --product, --built and
    // --output plus `extra`.
    RunResult run(const std::vector<std::string>& extra = {});

    // Writes `rawDescription`, or else `description`, as product.json.
    void save();

    // Saves product.json and runs the tool with --check and `extra`.
    RunResult check(const std::vector<std::string>& extra = {});

    // Saves product.json and runs the tool with --product and
    // --uninstaller-sources `folder` only.
    RunResult runUninstallerSources(const std::filesystem::path& folder);

    nlohmann::json description;
    // When not empty, saved as product.json instead of `description`.
    std::string rawDescription;

private:
    TempDir dir_;
};

}  // namespace gentest
