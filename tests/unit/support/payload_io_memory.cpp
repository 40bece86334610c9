// payload_io over a Windows disk in memory (memory_disk.h), where any step
// can be made to fail or to end the run.
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <memory>

#include "payload/payload_io.h"
#include "support/memory_disk.h"

namespace {

using memory_disk::Step;
using memory_disk::StepKind;

struct Node {
    std::string path;  // full, as displayed
    bool directory;
    std::vector<unsigned char> bytes;
    int64_t time;
};

enum Mode {
    WRITING,  // created or truncated
    PROBING,  // opened existing, for writing, without truncating
    READING,
};

// Handles stay owned by the disk after their close, so that a handle used
// again is found out instead of touching freed memory, and the handles of a
// run that died are freed with the disk.
struct Handle {
    std::shared_ptr<Node> node;
    Mode mode;
    size_t position;
    bool open;
    uint64_t unflushed;  // bytes written since the last flush
};

struct Disk {
    std::map<std::string, std::shared_ptr<Node>> nodes;  // by folded full path
    std::string currentDirectory = "C:\\";
    std::string systemDirectory = "C:\\WINDOWS\\SYSTEM";
    int64_t now = 1700000000;
    std::set<std::string> held;  // folded full paths
    std::set<int> failingSteps;
    int stopStep = 0;
    std::vector<Step> steps;
    std::vector<std::unique_ptr<Handle>> handles;
    std::set<void*> buffers;      // allocated by the living process
    std::set<void*> deadBuffers;  // left by processes that died
    std::vector<std::string> misuses;
    std::vector<std::string> dueAtRestart;

    Disk() = default;
    Disk(const Disk&) = delete;
    Disk& operator=(const Disk&) = delete;
    ~Disk() {
        for (void* block : buffers) free(block);
        for (void* block : deadBuffers) free(block);
    }
};

std::unique_ptr<Disk>& instance() {
    static std::unique_ptr<Disk> disk(new Disk);
    return disk;
}

Disk& disk() { return *instance(); }

std::string folded(const std::string& path) {
    std::string key = path;
    for (char& c : key) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return key;
}

bool isRoot(const std::string& full) { return full.size() == 3 && full[1] == ':'; }

// The full path with "\" only, "." and ".." resolved, no trailing
// separator but a root's ("C:\").
std::string fullPath(const std::string& given) {
    std::string text = given;
    std::replace(text.begin(), text.end(), '/', '\\');
    const std::string& current = disk().currentDirectory;
    std::string absolute;
    if (text.size() >= 2 && text[1] == ':') {
        std::string rest = text.substr(2);
        if (!rest.empty() && rest[0] == '\\') {
            absolute = text;
        } else if (folded(text.substr(0, 2)) == folded(current.substr(0, 2))) {
            absolute = current + "\\" + rest;  // "C:name" is relative to C:'s current directory
        } else {
            absolute = text.substr(0, 2) + "\\" + rest;
        }
    } else if (!text.empty() && text[0] == '\\') {
        absolute = current.substr(0, 2) + text;
    } else {
        absolute = current + "\\" + text;
    }
    std::vector<std::string> parts;
    size_t at = 2;
    while (at <= absolute.size()) {
        size_t end = absolute.find('\\', at);
        if (end == std::string::npos) end = absolute.size();
        std::string part = absolute.substr(at, end - at);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        at = end + 1;
    }
    // Names that exist are shown as they were created, as Windows does.
    std::string full = folded(absolute.substr(0, 2)) + "\\";
    for (size_t i = 0; i < parts.size(); ++i) {
        std::string next = full + (i ? "\\" : "") + parts[i];
        auto existing = disk().nodes.find(folded(next));
        full = existing == disk().nodes.end() ? next : existing->second->path;
    }
    return full;
}

std::string parentOf(const std::string& full) {
    size_t cut = full.rfind('\\');
    return cut <= 2 ? full.substr(0, 3) : full.substr(0, cut);
}

std::shared_ptr<Node> find(const std::string& full) {
    auto found = disk().nodes.find(folded(full));
    return found == disk().nodes.end() ? nullptr : found->second;
}

bool isDirectory(const std::string& full) {
    if (isRoot(full)) return true;
    std::shared_ptr<Node> node = find(full);
    return node && node->directory;
}

bool isHeld(const std::string& full) { return disk().held.count(folded(full)) != 0; }

bool openInThisProcess(const std::shared_ptr<Node>& node) {
    for (const auto& handle : disk().handles) {
        if (handle->open && handle->node == node) return true;
    }
    return false;
}

// The process dies: the system closes its handles; its buffers are lost
// to it but stay the disk's to free.
void die() {
    Disk& d = disk();
    for (auto& handle : d.handles) {
        handle->open = false;
    }
    d.deadBuffers.insert(d.buffers.begin(), d.buffers.end());
    d.buffers.clear();
    d.stopStep = 0;
}

// Counts one step. Throws Stopped when the run is to end before it; true
// when the step is to fail.
bool beginStep(StepKind kind, const std::string& path, const std::string& target,
               const std::string& text) {
    Disk& d = disk();
    int number = static_cast<int>(d.steps.size()) + 1;
    bool injected = d.failingSteps.count(number) != 0;
    d.steps.push_back(Step{kind, path, target, text, false, injected, false});
    if (number == d.stopStep) {
        d.steps.back().text += "  <- the process dies here";
        die();
        throw memory_disk::Stopped();
    }
    return injected;
}

// Records how the current step ended; returns `succeeded`.
bool endStep(bool succeeded, const char* why = "", bool lossless = false) {
    Step& step = disk().steps.back();
    step.succeeded = succeeded;
    step.lossless = lossless;
    if (!succeeded) {
        step.text += step.injected ? "  -> fails (injected)" : "  -> fails";
        if (*why) step.text += std::string(" (") + why + ")";
    }
    return succeeded;
}

Handle* live(payload_io::File* file, const char* operation) {
    Handle* handle = reinterpret_cast<Handle*>(file);
    for (const auto& owned : disk().handles) {
        if (owned.get() != handle) continue;
        if (owned->open) return handle;
        disk().misuses.push_back(std::string(operation) + " of a closed handle of " +
                                 handle->node->path);
        return nullptr;
    }
    disk().misuses.push_back(std::string(operation) + " of a handle never opened");
    return nullptr;
}

payload_io::File* newHandle(const std::shared_ptr<Node>& node, Mode mode) {
    disk().handles.push_back(std::unique_ptr<Handle>(new Handle{node, mode, 0, true, 0}));
    return reinterpret_cast<payload_io::File*>(disk().handles.back().get());
}

std::shared_ptr<Node> insertNode(const std::string& full, bool directory, int64_t time) {
    auto node = std::make_shared<Node>(Node{full, directory, {}, time});
    disk().nodes[folded(full)] = node;
    return node;
}

}  // namespace

namespace memory_disk {

void reset() { instance().reset(new Disk); }

void setCurrentDirectory(const std::string& path) { disk().currentDirectory = fullPath(path); }
void setSystemDirectory(const std::string& path) { disk().systemDirectory = path; }
void setNow(int64_t time) { disk().now = time; }

void addDirectory(const std::string& path) {
    std::string full = fullPath(path);
    if (isRoot(full) || isDirectory(full)) return;
    addDirectory(parentOf(full));
    insertNode(full, true, disk().now);
}

void addFile(const std::string& path, const std::vector<unsigned char>& bytes, int64_t time) {
    std::string full = fullPath(path);
    addDirectory(parentOf(full));
    insertNode(full, false, time)->bytes = bytes;
}

void hold(const std::string& path) { disk().held.insert(folded(fullPath(path))); }
void letGo(const std::string& path) { disk().held.erase(folded(fullPath(path))); }
void failStep(int n) { disk().failingSteps.insert(n); }
void stopAtStep(int n) { disk().stopStep = n; }
const std::vector<Step>& steps() { return disk().steps; }

Image snapshot() {
    Image image;
    for (const auto& entry : disk().nodes) {
        const Node& node = *entry.second;
        if (node.directory) {
            image.directories.insert(node.path);
        } else {
            image.files[node.path] = FileImage{node.bytes, node.time};
        }
    }
    return image;
}

int openHandles() {
    int count = 0;
    for (const auto& handle : disk().handles) count += handle->open;
    return count;
}

int heldBuffers() { return static_cast<int>(disk().buffers.size()); }
const std::vector<std::string>& misuses() { return disk().misuses; }
const std::vector<std::string>& dueAtRestart() { return disk().dueAtRestart; }

}  // namespace memory_disk

namespace payload_io {

bool systemDirectory(char* buffer, uint32_t size) {
    const std::string& directory = disk().systemDirectory;
    if (directory.empty() || directory.size() >= size) return false;
    memcpy(buffer, directory.c_str(), directory.size() + 1);
    return true;
}

bool pathStatus(const char* path, PathStatus* status) {
    std::string full = fullPath(path);
    if (isRoot(full)) {
        *status = PathStatus{true, 0};
        return true;
    }
    std::shared_ptr<Node> node = find(full);
    if (!node) return false;
    *status = PathStatus{node->directory, node->time};
    return true;
}

bool createDirectory(const char* path) {
    std::string full = fullPath(path);
    if (beginStep(memory_disk::CREATE_DIRECTORY, full, "", "create directory " + full)) {
        return endStep(false);
    }
    if (isRoot(full) || find(full)) return endStep(false, "exists");
    if (!isDirectory(parentOf(full))) return endStep(false, "no such folder");
    insertNode(full, true, disk().now);
    return endStep(true);
}

File* openForWriting(const char* path, bool* accessDenied) {
    std::string full = fullPath(path);
    *accessDenied = false;
    if (beginStep(memory_disk::OPEN_FOR_WRITING, full, "", "open for writing " + full)) {
        endStep(false);
        return nullptr;
    }
    std::shared_ptr<Node> node = find(full);
    if (isHeld(full) || (node && node->directory) || isRoot(full)) {
        *accessDenied = true;
        endStep(false, "access denied");
        return nullptr;
    }
    if (!isDirectory(parentOf(full))) {
        endStep(false, "no such folder");
        return nullptr;
    }
    if (node) {
        node->bytes.clear();
        node->time = disk().now;
    } else {
        node = insertNode(full, false, disk().now);
    }
    endStep(true);
    return newHandle(node, WRITING);
}

File* openExistingForWriting(const char* path, bool* missing, bool* accessDenied) {
    std::string full = fullPath(path);
    *missing = false;
    *accessDenied = false;
    if (beginStep(memory_disk::OPEN_EXISTING_FOR_WRITING, full, "",
                  "open existing for writing " + full)) {
        endStep(false);
        return nullptr;
    }
    std::shared_ptr<Node> node = find(full);
    if (!node && !isRoot(full)) {
        *missing = true;
        endStep(false, "missing");
        return nullptr;
    }
    if (isHeld(full) || isRoot(full) || node->directory) {
        *accessDenied = true;
        endStep(false, "access denied");
        return nullptr;
    }
    endStep(true);
    return newHandle(node, PROBING);
}

File* openForReading(const char* path) {
    std::string full = fullPath(path);
    if (beginStep(memory_disk::OPEN_FOR_READING, full, "", "open for reading " + full)) {
        endStep(false);
        return nullptr;
    }
    std::shared_ptr<Node> node = find(full);
    if (!node || node->directory) {
        endStep(false, "missing");
        return nullptr;
    }
    endStep(true);
    return newHandle(node, READING);
}

uint32_t writeFile(File* file, const void* data, uint32_t size) {
    Handle* handle = live(file, "write");
    if (!handle) return 0;
    Node& node = *handle->node;
    bool injected = beginStep(memory_disk::WRITE, node.path, "",
                              "write " + std::to_string(size) + " bytes to " + node.path);
    if (handle->mode == READING) {
        disk().misuses.push_back("write through a reading handle of " + node.path);
        endStep(false, "opened for reading");
        return 0;
    }
    uint32_t written = injected && size > 0 ? size - 1 : size;
    node.bytes.resize(std::max(node.bytes.size(), handle->position + written));
    if (written > 0) memcpy(node.bytes.data() + handle->position, data, written);
    handle->position += written;
    handle->unflushed += written;
    node.time = disk().now;
    endStep(written == size, "short", written == size);
    return written;
}

int32_t readFile(File* file, void* data, uint32_t size) {
    Handle* handle = live(file, "read");
    if (!handle) return -1;
    Node& node = *handle->node;
    if (beginStep(memory_disk::READ, node.path, "",
                  "read up to " + std::to_string(size) + " bytes of " + node.path)) {
        endStep(false);
        return -1;
    }
    if (handle->mode == WRITING) {
        endStep(false, "opened for writing only");
        return -1;
    }
    size_t available = node.bytes.size() - std::min(node.bytes.size(), handle->position);
    int32_t count =
        static_cast<int32_t>(std::min<size_t>(std::min<uint32_t>(size, INT32_MAX), available));
    if (count > 0) memcpy(data, node.bytes.data() + handle->position, count);
    handle->position += count;
    endStep(true);
    return count;
}

bool flushFile(File* file) {
    Handle* handle = live(file, "flush");
    if (!handle) return false;
    if (beginStep(memory_disk::FLUSH, handle->node->path, "", "flush " + handle->node->path)) {
        return endStep(false, "", handle->unflushed == 0);
    }
    handle->unflushed = 0;
    return endStep(true);
}

bool closeFile(File* file) {
    Handle* handle = live(file, "close");
    if (!handle) return false;
    const char* mode = handle->mode == READING   ? " (read)"
                       : handle->mode == PROBING ? " (probe)"
                                                 : "";
    bool injected = beginStep(memory_disk::CLOSE, handle->node->path, "",
                              "close" + std::string(mode) + " " + handle->node->path);
    // A close that fails still ends the handle, as fclose does.
    handle->open = false;
    if (injected) return endStep(false, "", handle->unflushed == 0);
    return endStep(true);
}

bool renameFile(const char* from, const char* to) {
    std::string source = fullPath(from);
    std::string target = fullPath(to);
    if (beginStep(memory_disk::RENAME, source, target, "rename " + source + " -> " + target)) {
        return endStep(false);
    }
    std::shared_ptr<Node> node = find(source);
    if (!node || node->directory) return endStep(false, "no such file");
    if (isHeld(source)) return endStep(false, "held by another program");
    if (openInThisProcess(node)) return endStep(false, "open in this process");
    bool sameName = folded(source) == folded(target);
    if (!sameName && (find(target) || isRoot(target))) return endStep(false, "target exists");
    if (!isDirectory(parentOf(target))) return endStep(false, "no such folder");
    disk().nodes.erase(folded(source));
    node->path = target;
    disk().nodes[folded(target)] = node;
    return endStep(true);
}

void setFileTimes(const char* path, int32_t time) {
    std::string full = fullPath(path);
    if (beginStep(memory_disk::SET_TIMES, full, "",
                  "set times of " + full + " to " + std::to_string(time))) {
        endStep(false);
        return;
    }
    std::shared_ptr<Node> node = find(full);
    if (!node) {
        endStep(false, "missing");
        return;
    }
    if (isHeld(full)) {
        endStep(false, "held by another program");
        return;
    }
    node->time = time;
    endStep(true);
}

bool removeFile(const char* path) {
    std::string full = fullPath(path);
    if (beginStep(memory_disk::REMOVE, full, "", "remove " + full)) return endStep(false);
    std::shared_ptr<Node> node = find(full);
    if (!node || node->directory) return endStep(false, "no such file");
    if (isHeld(full)) return endStep(false, "held by another program");
    if (openInThisProcess(node)) return endStep(false, "open in this process");
    disk().nodes.erase(folded(full));
    return endStep(true);
}

bool removeDirectory(const char* path) {
    std::string full = fullPath(path);
    if (beginStep(memory_disk::REMOVE_DIRECTORY, full, "", "remove directory " + full)) {
        return endStep(false);
    }
    std::shared_ptr<Node> node = find(full);
    if (!node || !node->directory) return endStep(false, "no such directory");
    std::string below = folded(full) + "\\";
    auto next = disk().nodes.lower_bound(below);
    if (next != disk().nodes.end() && next->first.compare(0, below.size(), below) == 0) {
        return endStep(false, "not empty");
    }
    disk().nodes.erase(folded(full));
    return endStep(true);
}

bool removeAtRestart(const char* path) {
    if (beginStep(memory_disk::REMOVE_AT_RESTART, fullPath(path), "",
                  std::string("remove at restart ") + path)) {
        return endStep(false);
    }
    disk().dueAtRestart.push_back(path);
    return endStep(true);
}

void* allocate(uint32_t size) {
    void* block = malloc(size ? size : 1);
    if (block) disk().buffers.insert(block);
    return block;
}

void release(void* block) {
    if (!block) return;
    if (disk().buffers.erase(block)) {
        free(block);
        return;
    }
    disk().misuses.push_back("release of a buffer not held");
}

}  // namespace payload_io
