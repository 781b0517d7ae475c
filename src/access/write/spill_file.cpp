#include "access/write/spill_file.h"

#include <algorithm>
#include <cstring>

namespace veltrano::access {
namespace {

Bytes bytesOf(const char* data, size_t size) { return Bytes(reinterpret_cast<const uint8_t*>(data), size); }

}  // namespace

std::string spillPath(const std::string& databasePath) { return databasePath + "-spill"; }

void appendRecord(std::string& out, std::string_view record) {
    out.push_back(static_cast<char>(record.size() & 0xFF));
    out.push_back(static_cast<char>((record.size() >> 8) & 0xFF));
    out.append(record);
}

bool takeRecord(std::string_view& in, std::string_view& record) {
    if (in.size() < kRecordHeader) return false;
    size_t size = static_cast<uint8_t>(in[0]) | (static_cast<size_t>(static_cast<uint8_t>(in[1])) << 8);
    if (in.size() < kRecordHeader + size) return false;
    record = in.substr(kRecordHeader, size);
    in.remove_prefix(kRecordHeader + size);
    return true;
}

SpillFile::SpillFile(FileSystem& fs, std::string path, size_t bufferBytes)
    : fs_(fs), path_(std::move(path)), bufferBytes_(std::max<size_t>(bufferBytes, 1)) {}

SpillFile::~SpillFile() { discard(); }

Status SpillFile::append(std::string_view bytes) {
    if (discarded_) return Status::internal("the scratch file of the session is gone");
    if (buffer_.size() + bytes.size() > bufferBytes_) ACCESS_RETURN_IF_ERROR(flush());
    if (bytes.size() <= bufferBytes_) {
        if (buffer_.capacity() < bufferBytes_) buffer_.reserve(bufferBytes_);
        buffer_.append(bytes);
        return Status::ok();
    }
    return writeThrough(bytes);
}

Status SpillFile::flush() {
    if (buffer_.empty()) return Status::ok();
    ACCESS_RETURN_IF_ERROR(writeThrough(buffer_));
    buffer_.clear();
    return Status::ok();
}

Status SpillFile::writeThrough(std::string_view bytes) {
    if (!file_) {
        ACCESS_ASSIGN_OR_RETURN(file_, fs_.open(path_, OpenMode::CreateTruncate));
    }
    ACCESS_RETURN_IF_ERROR(file_->write(written_, bytesOf(bytes.data(), bytes.size())));
    written_ += bytes.size();
    return Status::ok();
}

Status SpillFile::read(uint64_t offset, char* out, size_t size) {
    if (discarded_) return Status::internal("the scratch file of the session is gone");
    if (offset + size > end()) return Status::internal("read past the end of the scratch file");
    if (offset < written_) {
        size_t fromFile = static_cast<size_t>(std::min<uint64_t>(size, written_ - offset));
        ACCESS_RETURN_IF_ERROR(file_->read(offset, MutableBytes(reinterpret_cast<uint8_t*>(out), fromFile)));
        out += fromFile;
        offset += fromFile;
        size -= fromFile;
    }
    if (size > 0) std::memcpy(out, buffer_.data() + (offset - written_), size);
    return Status::ok();
}

void SpillFile::discard() {
    if (discarded_) return;
    discarded_ = true;
    std::string().swap(buffer_);
    if (!file_) return;
    file_.reset();
    // A file left behind (the remove failed) holds nothing anyone needs:
    // the next spill truncates it and opening the database removes it.
    (void)fs_.remove(path_);
}

}  // namespace veltrano::access
