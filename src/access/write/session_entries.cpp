#include "access/write/session_entries.h"

#include <algorithm>
#include <memory>

namespace veltrano::access {
namespace {

constexpr size_t kWriteChunk = 64 * 1024;

// The heap memory of a string beyond the string object itself (none while
// its characters fit inside the object).
size_t heapBytes(const std::string& s) {
    const char* inside = reinterpret_cast<const char*>(&s);
    bool fitsInside = s.data() >= inside && s.data() < inside + sizeof(std::string);
    return fitsInside ? 0 : s.capacity() + 1;
}

// One ordered stream of leaf entries taking part in a merge.
class EntrySource {
public:
    virtual ~EntrySource() = default;
    virtual bool valid() const = 0;
    virtual const std::string& entry() const = 0;  // REQUIRES: valid()
    virtual Status next() = 0;                     // REQUIRES: valid()
};

class TreeSource final : public EntrySource {
public:
    explicit TreeSource(IndexCursor& cursor) : cursor_(cursor) {}
    bool valid() const override { return cursor_.valid(); }
    const std::string& entry() const override { return cursor_.entry(); }
    Status next() override { return cursor_.next(); }

private:
    IndexCursor& cursor_;
};

class MemorySource final : public EntrySource {
public:
    explicit MemorySource(const std::vector<std::string>& entries) : entries_(entries) {}
    bool valid() const override { return at_ < entries_.size(); }
    const std::string& entry() const override { return entries_[at_]; }
    Status next() override {
        ++at_;
        return Status::ok();
    }

private:
    const std::vector<std::string>& entries_;
    size_t at_ = 0;
};

// A run in the spill file, read a chunk at a time.
class RunSource final : public EntrySource {
public:
    RunSource(SpillFile& spill, const std::vector<SpillExtent>& segments, size_t chunkBytes)
        : spill_(spill), segments_(segments), chunkBytes_(chunkBytes) {}
    bool valid() const override { return valid_; }
    const std::string& entry() const override { return entry_; }
    Status next() override {
        for (;;) {
            std::string_view rest(chunk_.data() + at_, chunk_.size() - at_), record;
            if (takeRecord(rest, record)) {
                entry_.assign(record);
                at_ = chunk_.size() - rest.size();
                valid_ = true;
                return Status::ok();
            }
            if (segment_ == segments_.size()) {
                valid_ = false;
                if (rest.empty()) return Status::ok();
                return Status::internal("a run of the scratch file ends inside an entry");
            }
            const SpillExtent& s = segments_[segment_];
            size_t n = static_cast<size_t>(std::min<uint64_t>(chunkBytes_, s.size - readInSegment_));
            chunk_.erase(0, at_);
            at_ = 0;
            size_t kept = chunk_.size();
            chunk_.resize(kept + n);
            ACCESS_RETURN_IF_ERROR(spill_.read(s.offset + readInSegment_, chunk_.data() + kept, n));
            readInSegment_ += n;
            if (readInSegment_ == s.size) {
                ++segment_;
                readInSegment_ = 0;
            }
        }
    }

private:
    SpillFile& spill_;
    const std::vector<SpillExtent>& segments_;
    size_t chunkBytes_;
    size_t segment_ = 0;
    uint64_t readInSegment_ = 0;
    std::string chunk_;
    size_t at_ = 0;
    std::string entry_;
    bool valid_ = false;
};

}  // namespace

SessionEntries::SessionEntries(SpillFile& spill, size_t indexes, size_t budgetBytes)
    : spill_(&spill), budget_(budgetBytes), memory_(indexes), runs_(indexes) {}

Status SessionEntries::add(size_t index, std::string entry) {
    std::vector<std::string>& v = memory_[index];
    if (v.size() == v.capacity()) {
        // Growing holds the old array (counted already) and the new one at once.
        size_t grown = std::max<size_t>(v.capacity() * 2, 16);
        if (bytes_ > 0 && bytes_ + grown * sizeof(std::string) > budget_) {
            ACCESS_RETURN_IF_ERROR(spill());
            grown = 16;
        }
        size_t before = v.capacity();
        v.reserve(grown);
        bytes_ += (v.capacity() - before) * sizeof(std::string);
    }
    v.push_back(std::move(entry));
    bytes_ += heapBytes(v.back());
    return bytes_ > budget_ ? spill() : Status::ok();
}

Status SessionEntries::spill() {
    for (size_t r = 0; r < memory_.size(); ++r)
        if (!memory_[r].empty()) ACCESS_RETURN_IF_ERROR(writeRun(r));
    for (auto& v : memory_) std::vector<std::string>().swap(v);
    bytes_ = 0;
    return Status::ok();
}

Status SessionEntries::writeRun(size_t index) {
    std::vector<std::string>& v = memory_[index];
    if (!std::is_sorted(v.begin(), v.end())) std::sort(v.begin(), v.end());
    SpillExtent segment{spill_->end(), 0};
    std::string chunk;
    chunk.reserve(kWriteChunk + kRecordHeader + v.back().size());
    for (const std::string& e : v) {
        appendRecord(chunk, e);
        if (chunk.size() >= kWriteChunk) {
            ACCESS_RETURN_IF_ERROR(spill_->append(chunk));
            segment.size += chunk.size();
            chunk.clear();
        }
    }
    ACCESS_RETURN_IF_ERROR(spill_->append(chunk));
    segment.size += chunk.size();
    std::vector<Run>& runs = runs_[index];
    if (runs.empty() || !(runs.back().last < v.front())) runs.emplace_back();
    Run& run = runs.back();
    if (!run.segments.empty() && run.segments.back().offset + run.segments.back().size == segment.offset) {
        run.segments.back().size += segment.size;
    } else {
        run.segments.push_back(segment);
    }
    run.last = v.back();
    return Status::ok();
}

Status SessionEntries::merge(size_t index, IndexCursor& tree,
                             const std::function<Status(const std::string&)>& take) {
    std::vector<std::string>& memory = memory_[index];
    if (!std::is_sorted(memory.begin(), memory.end())) std::sort(memory.begin(), memory.end());
    std::vector<std::unique_ptr<EntrySource>> sources;
    sources.push_back(std::make_unique<TreeSource>(tree));
    sources.push_back(std::make_unique<MemorySource>(memory));
    // The chunks of all runs together stay within the budget.
    const size_t chunkBytes = std::clamp<size_t>(budget_ / (runs_[index].size() + 1), 4096, 1 << 20);
    for (const Run& run : runs_[index]) {
        auto source = std::make_unique<RunSource>(*spill_, run.segments, chunkBytes);
        ACCESS_RETURN_IF_ERROR(source->next());
        sources.push_back(std::move(source));
    }
    std::vector<EntrySource*> heap;
    for (auto& s : sources)
        if (s->valid()) heap.push_back(s.get());
    auto later = [](const EntrySource* a, const EntrySource* b) { return b->entry() < a->entry(); };
    std::make_heap(heap.begin(), heap.end(), later);
    while (!heap.empty()) {
        std::pop_heap(heap.begin(), heap.end(), later);
        EntrySource* s = heap.back();
        ACCESS_RETURN_IF_ERROR(take(s->entry()));
        ACCESS_RETURN_IF_ERROR(s->next());
        if (s->valid()) {
            std::push_heap(heap.begin(), heap.end(), later);
        } else {
            heap.pop_back();
        }
    }
    std::vector<std::string>().swap(memory);
    std::vector<Run>().swap(runs_[index]);
    return Status::ok();
}

}  // namespace veltrano::access
