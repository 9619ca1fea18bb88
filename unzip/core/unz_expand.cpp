// Streams checked entries into the sink. Every loop here advances a
// counter bounded by a size from the checked catalog (compressed bytes
// read, or output bytes, which may never exceed the declared size), so
// no input can make it spin or write without limit.
#include "unz_core.h"
#include "unz_format.h"

#include <zlib.h>

#include <algorithm>

namespace unz {
namespace {

// Aborts the sink's current file unless the file was handed over.
class OpenFile {
public:
    explicit OpenFile(Sink& sink) : sink_(&sink) {}
    ~OpenFile() {
        if (sink_ != nullptr) {
            sink_->abortFile();
        }
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    void release() { sink_ = nullptr; }

private:
    Sink* sink_;
};

class Inflater {
public:
    Inflater() = default;
    ~Inflater() {
        if (ready_) {
            inflateEnd(&stream_);
        }
    }
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;

    Status init() {
        // Negative window bits: raw deflate, as ZIP stores it.
        const int rc = inflateInit2(&stream_, -MAX_WBITS);
        if (rc != Z_OK) {
            return rc == Z_MEM_ERROR ? Status::OutOfMemory : Status::Internal;
        }
        ready_ = true;
        return Status::Ok;
    }
    z_stream& stream() { return stream_; }

private:
    z_stream stream_{};
    bool ready_ = false;
};

// Passes output on while enforcing the declared size and tracking CRC-32.
class CheckedOutput {
public:
    CheckedOutput(Sink& sink, std::uint32_t declared, std::uint64_t& totalWritten)
        : sink_(sink), declared_(declared), totalWritten_(totalWritten) {}

    Status put(const std::uint8_t* data, std::size_t len) {
        if (!fitsWithin(written_, len, declared_)) {
            return Status::SizeMismatch;  // nothing beyond the declared size
        }
        crc_ = crc32(crc_, data, static_cast<uInt>(len));
        if (!sink_.write(data, len)) {
            return Status::SinkFailed;
        }
        written_ += static_cast<std::uint32_t>(len);
        totalWritten_ += len;
        return Status::Ok;
    }

    Status verify(std::uint32_t expectedCrc) const {
        if (written_ != declared_) {
            return Status::SizeMismatch;
        }
        return crc_ == expectedCrc ? Status::Ok : Status::CrcMismatch;
    }

private:
    Sink& sink_;
    const std::uint32_t declared_;
    std::uint64_t& totalWritten_;
    std::uint32_t written_ = 0;
    uLong crc_ = crc32(0L, Z_NULL, 0);
};

class Expander {
public:
    Expander(Source& source, Sink& sink, Result& result)
        : source_(source), sink_(sink), result_(result),
          input_(kChunkSize), output_(kChunkSize) {}

    bool ready() const { return input_.ok() && output_.ok(); }

    Status expandFile(const Entry& e) {
        FileInfo info;
        info.path = e.name;
        info.size = e.uncompressedSize;
        info.dosTime = e.dosTime;
        info.dosDate = e.dosDate;
        if (!sink_.createFile(info)) {
            return Status::SinkFailed;
        }
        OpenFile open(sink_);
        CheckedOutput out(sink_, e.uncompressedSize, result_.bytesWritten);
        Status status = Status::Ok;
        // Some writers store empty files as deflate with no data at all.
        const bool empty = e.compressedSize == 0 && e.uncompressedSize == 0;
        if (!empty) {
            status = e.method == fmt::kMethodStored ? copyStored(e, out) : inflateData(e, out);
        }
        if (status == Status::Ok) {
            status = out.verify(e.crc);
        }
        if (status != Status::Ok) {
            return status;
        }
        open.release();
        if (!sink_.finishFile()) {
            return Status::SinkFailed;
        }
        ++result_.filesWritten;
        return Status::Ok;
    }

private:
    Status read(std::uint64_t offset, std::size_t len) {
        if (!fitsWithin(offset, len, source_.size())) {
            return Status::Truncated;
        }
        return source_.readAt(offset, input_.data(), len) ? Status::Ok : Status::ReadFailed;
    }

    Status copyStored(const Entry& e, CheckedOutput& out) {
        std::uint64_t offset = e.dataOffset;
        std::uint32_t remaining = e.compressedSize;
        while (remaining > 0) {
            const std::size_t len = std::min<std::size_t>(remaining, kChunkSize);
            Status status = read(offset, len);
            if (status == Status::Ok) {
                status = out.put(input_.data(), len);
            }
            if (status != Status::Ok) {
                return status;
            }
            offset += len;
            remaining -= static_cast<std::uint32_t>(len);
        }
        return Status::Ok;
    }

    Status inflateData(const Entry& e, CheckedOutput& out) {
        Inflater inflater;
        Status status = inflater.init();
        if (status != Status::Ok) {
            return status;
        }
        z_stream& zs = inflater.stream();
        std::uint64_t offset = e.dataOffset;
        std::uint32_t remaining = e.compressedSize;
        while (true) {
            if (zs.avail_in == 0 && remaining > 0) {
                const std::size_t len = std::min<std::size_t>(remaining, kChunkSize);
                status = read(offset, len);
                if (status != Status::Ok) {
                    return status;
                }
                zs.next_in = input_.data();
                zs.avail_in = static_cast<uInt>(len);
                offset += len;
                remaining -= static_cast<std::uint32_t>(len);
            }
            zs.next_out = output_.data();
            zs.avail_out = static_cast<uInt>(output_.size());
            const uInt inBefore = zs.avail_in;
            const int rc = inflate(&zs, Z_NO_FLUSH);
            const std::size_t produced = output_.size() - zs.avail_out;
            if (produced > 0) {
                status = out.put(output_.data(), produced);
                if (status != Status::Ok) {
                    return status;
                }
            }
            if (rc == Z_STREAM_END) {
                break;
            }
            if (rc == Z_MEM_ERROR) {
                return Status::OutOfMemory;
            }
            if (rc != Z_OK && rc != Z_BUF_ERROR) {
                return Status::BadData;
            }
            // No progress means the stream wants bytes the entry does not have.
            if (produced == 0 && zs.avail_in == inBefore) {
                return Status::BadData;
            }
        }
        // The stream must use exactly the declared compressed size.
        if (zs.avail_in != 0 || remaining != 0) {
            return Status::SizeMismatch;
        }
        return Status::Ok;
    }

    Source& source_;
    Sink& sink_;
    Result& result_;
    ByteBuffer input_;
    ByteBuffer output_;
};

Result run(Source& source, Sink& sink, const Limits& limits) {
    Catalog catalog;
    Result result = readCatalog(source, limits, catalog);
    if (result.status != Status::Ok) {
        return result;
    }
    for (const std::string& directory : catalog.directories) {
        if (!sink.createDirectory(directory)) {
            result.status = Status::SinkFailed;
            return result;
        }
        ++result.directoriesCreated;
    }
    // Archive order keeps reads sequential.
    std::vector<std::size_t> order;
    order.reserve(catalog.entries.size());
    for (std::size_t i = 0; i < catalog.entries.size(); ++i) {
        if (!catalog.entries[i].isDirectory) {
            order.push_back(i);
        }
    }
    const auto& entries = catalog.entries;
    std::sort(order.begin(), order.end(), [&entries](std::size_t a, std::size_t b) {
        return entries[a].dataOffset < entries[b].dataOffset;
    });
    Expander expander(source, sink, result);
    if (!expander.ready()) {
        result.status = Status::OutOfMemory;
        return result;
    }
    for (std::size_t index : order) {
        const Status status = expander.expandFile(entries[index]);
        if (status != Status::Ok) {
            result.status = status;
            result.failedEntry = static_cast<long>(index);
            return result;
        }
    }
    return result;
}

}  // namespace

// Built without exceptions: allocation failures come back as OutOfMemory
// from the checks where the buffers are made.
Result expandArchive(Source& source, Sink& sink, const Limits& limits) {
    return run(source, sink, limits);
}

const char* statusName(Status status) {
    switch (status) {
    case Status::Ok: return "ok";
    case Status::NotZip: return "not a zip archive";
    case Status::Truncated: return "truncated archive";
    case Status::Corrupt: return "corrupt archive structure";
    case Status::Unsupported: return "zip64 or multi-disk archive";
    case Status::Encrypted: return "encrypted entry";
    case Status::UnsupportedMethod: return "unsupported compression method";
    case Status::BadName: return "entry name refused";
    case Status::DuplicateName: return "colliding entry names";
    case Status::SizeMismatch: return "size mismatch";
    case Status::CrcMismatch: return "crc mismatch";
    case Status::BadData: return "damaged compressed data";
    case Status::LimitExceeded: return "limit exceeded";
    case Status::ReadFailed: return "read error";
    case Status::SinkFailed: return "output error";
    case Status::OutOfMemory: return "out of memory";
    case Status::Internal: return "internal error";
    }
    return "unknown status";
}

}  // namespace unz
