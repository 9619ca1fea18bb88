// In-memory sink for core tests: records the tree it is given, enforces
// the same rules a file system would (parents first, no duplicates) and a
// hard cap on bytes, and notes any write past a file's declared size.
#pragma once

#include "unz_core.h"

#include <cstdint>
#include <map>
#include <set>
#include <string>

namespace unztest {

class MemorySink : public unz::Sink {
public:
    explicit MemorySink(std::size_t capBytes = 64u << 20) : cap_(capBytes) {}

    bool createDirectory(const std::string& path) override {
        if (!parentExists(path) || exists(path)) {
            return false;
        }
        dirs.insert(path);
        return true;
    }

    bool createFile(const unz::FileInfo& info) override {
        if (open_ || !parentExists(info.path) || exists(info.path)) {
            return false;
        }
        open_ = true;
        current_ = info;
        data_.clear();
        return true;
    }

    bool write(const std::uint8_t* data, std::size_t len) override {
        if (!open_ || len > cap_ - total_) {
            capHit = true;
            return false;
        }
        if (data_.size() + len > current_.size) {
            wroteBeyondDeclared = true;
        }
        data_.append(reinterpret_cast<const char*>(data), len);
        total_ += len;
        return true;
    }

    bool finishFile() override {
        if (!open_) {
            return false;
        }
        open_ = false;
        files[current_.path] = data_;
        times[current_.path] = (std::uint32_t{current_.dosDate} << 16) | current_.dosTime;
        return true;
    }

    void abortFile() noexcept override {
        open_ = false;
        ++aborted;
    }

    bool fileOpen() const { return open_; }
    std::size_t totalBytes() const { return total_; }

    std::set<std::string> dirs;
    std::map<std::string, std::string> files;
    std::map<std::string, std::uint32_t> times;
    int aborted = 0;
    bool capHit = false;
    bool wroteBeyondDeclared = false;

private:
    bool exists(const std::string& path) const {
        return dirs.count(path) != 0 || files.count(path) != 0 ||
               (open_ && current_.path == path);
    }

    bool parentExists(const std::string& path) const {
        const std::size_t slash = path.rfind('/');
        return slash == std::string::npos || dirs.count(path.substr(0, slash)) != 0;
    }

    std::size_t cap_;
    std::size_t total_ = 0;
    bool open_ = false;
    unz::FileInfo current_;
    std::string data_;
};

inline unz::Result expandBytes(const std::vector<std::uint8_t>& bytes, MemorySink& sink,
                               const unz::Limits& limits = unz::Limits{}) {
    unz::MemorySource source(bytes.data(), bytes.size());
    return unz::expandArchive(source, sink, limits);
}

}  // namespace unztest
