#include "payloadgen/files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <system_error>

#include "payloadgen/refusal.h"

namespace payloadgen {

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

std::string systemReason(int error) { return std::strerror(error); }

}  // namespace

namespace {

File openForReading(const std::filesystem::path& path, const std::string& subject) {
    std::error_code status;
    if (!std::filesystem::is_regular_file(path, status)) {
        if (status && status != std::errc::no_such_file_or_directory)
            throw Refusal(subject, "cannot read " + path.string() + ": " + status.message());
        if (std::filesystem::exists(path, status))
            throw Refusal(subject, "cannot read " + path.string() + ": not a regular file");
        throw Refusal(subject, "cannot read " + path.string() + ": no such file");
    }
    File file(std::fopen(path.c_str(), "rb"));
    if (!file) throw Refusal(subject, "cannot read " + path.string() + ": " + systemReason(errno));
    return file;
}

}  // namespace

std::string readWholeFile(const std::filesystem::path& path, const std::string& subject) {
    File file = openForReading(path, subject);
    std::string content;
    char buffer[65536];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) content.append(buffer, got);
    if (std::ferror(file.get()))
        throw Refusal(subject, "cannot read " + path.string() + ": " + systemReason(errno));
    return content;
}

uint64_t readableFileSize(const std::filesystem::path& path, const std::string& subject) {
    openForReading(path, subject);
    std::error_code status;
    const uint64_t size = std::filesystem::file_size(path, status);
    if (status) throw Refusal(subject, "cannot read " + path.string() + ": " + status.message());
    return size;
}

bool writeIfChanged(const std::filesystem::path& path, std::string_view content) {
    std::error_code status;
    if (std::filesystem::is_regular_file(path, status) &&
        std::filesystem::file_size(path, status) == content.size() && !status) {
        File old(std::fopen(path.c_str(), "rb"));
        if (old) {
            std::string present(content.size(), '\0');
            if (std::fread(present.data(), 1, present.size(), old.get()) == present.size() &&
                present == content)
                return false;
        }
    }

    std::filesystem::path temporary = path;
    temporary += ".new";
    const std::string subject = path.string();
    {
        File file(std::fopen(temporary.c_str(), "wb"));
        if (!file) throw Refusal(subject, "cannot write " + temporary.string() + ": " + systemReason(errno));
        bool written = std::fwrite(content.data(), 1, content.size(), file.get()) == content.size();
        int error = written ? 0 : errno;
        if (std::fclose(file.release()) != 0 && written) {
            written = false;
            error = errno;
        }
        if (!written) {
            std::filesystem::remove(temporary, status);
            throw Refusal(subject, "cannot write " + temporary.string() + ": " + systemReason(error));
        }
    }
    std::filesystem::rename(temporary, path, status);
    if (status) {
        const std::string reason = "cannot replace it: " + status.message();
        std::filesystem::remove(temporary, status);
        throw Refusal(subject, reason);
    }
    return true;
}

}  // namespace payloadgen
