#include "support/scratch_folder.h"

#include <fstream>
#include <iterator>
#include <random>

namespace fs = std::filesystem;

ScratchFolder::ScratchFolder() : previous_(fs::current_path()) {
    std::random_device entropy;
    fs::path folder = fs::temp_directory_path() / ("tw-test-" + std::to_string(entropy()));
    fs::create_directories(folder);
    fs::current_path(folder);
    path_ = folder.string();
}

ScratchFolder::~ScratchFolder() {
    fs::current_path(previous_);
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const std::string& path, const Bytes& content) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(content.data()), static_cast<std::streamsize>(content.size()));
}

bool exists(const std::string& path) { return fs::exists(path); }
