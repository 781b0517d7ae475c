// The writer's page store and its rollback journal; see journal.h.
#include "access/storage/journal.h"

#include <algorithm>
#include <cstring>

namespace veltrano::access {
namespace {

constexpr char kMagic[8] = {'V', 'L', 'T', 'J', 'R', 'N', 'L', '1'};
constexpr size_t kHeaderSize = 24;
// New pages written one after another are written out together, this many
// at most.
constexpr uint32_t kGatheredPages = 64;
// Bytes written between two requests to start writing them out.
constexpr uint64_t kWritebackBytes = 8u << 20;
void (*gCrashHook)(const char*) = nullptr;

void crashPoint(const char* step) {
    if (gCrashHook) gCrashHook(step);
}

uint32_t crc32(const uint8_t* p, size_t n, uint32_t crc = 0) {
    static uint32_t table[256];
    static bool ready = false;
    if (!ready) {
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[i] = c;
        }
        ready = true;
    }
    crc = ~crc;
    for (size_t i = 0; i < n; ++i) crc = table[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

uint64_t pageOffset(uint32_t n) { return uint64_t(n) * kJet4PageSize; }

// Removes a journal that no longer holds anything to undo. Syncing the
// folder afterwards is best effort: should the journal come back after a
// power loss, rolling it back again writes the same pages once more.
Status removeJournalFile(FileSystem& fs, const std::string& jpath) {
    Status s = fs.remove(jpath);
    if (!s.isOk() && s.category() != Category::NotFound) return s;
    (void)fs.syncDirectory(jpath);
    return Status::ok();
}

// Writes the originals a journal holds back into `db`, cuts `db` to its
// size before the change, syncs it and removes the journal. No journal:
// nothing to do. A read error stops the rollback (the journal stays for the
// next attempt); only a record whose checksum fails ends the records, since
// the database was never written after a torn record.
Status rollBackJournal(FileSystem& fs, File& db, const std::string& jpath) {
    auto opened = fs.open(jpath, OpenMode::ReadOnly);
    if (!opened.isOk())
        return opened.status().category() == Category::NotFound ? Status::ok() : opened.status();
    std::unique_ptr<File> journal = std::move(opened.value());
    ACCESS_ASSIGN_OR_RETURN(uint64_t size, journal->size());
    uint8_t header[kHeaderSize] = {};
    bool valid = size >= kHeaderSize;
    if (valid) {
        ACCESS_RETURN_IF_ERROR(journal->read(0, MutableBytes(header, kHeaderSize)));
        valid = std::memcmp(header, kMagic, 8) == 0 &&
                ByteReader(Bytes(header, kHeaderSize)).u32(20) == crc32(header, 20);
    }
    if (!valid) {
        // The header is written and synced before the database is touched, so
        // a journal without a valid header means nothing needs undoing.
        journal.reset();
        return removeJournalFile(fs, jpath);
    }
    ByteReader h(Bytes(header, kHeaderSize));
    const uint32_t pageSize = h.u32(8);
    const uint32_t originalCount = h.u32(12);
    if (pageSize != kJet4PageSize) return Status::corruption("the journal " + jpath + " has an unknown page size");
    std::vector<uint8_t> rec(pageSize + 8);
    for (uint64_t off = kHeaderSize; off + rec.size() <= size; off += rec.size()) {
        ACCESS_RETURN_IF_ERROR(journal->read(off, rec));
        ByteReader r(rec);
        if (r.u32(4 + pageSize) != crc32(rec.data(), 4 + pageSize)) break;
        const uint32_t page = r.u32(0);
        if (page >= originalCount) continue;
        ACCESS_RETURN_IF_ERROR(db.write(pageOffset(page), Bytes(rec).subspan(4, pageSize)));
    }
    ACCESS_RETURN_IF_ERROR(db.truncate(pageOffset(originalCount)));
    ACCESS_RETURN_IF_ERROR(db.sync());
    journal.reset();
    return removeJournalFile(fs, jpath);
}

}  // namespace

std::string journalPath(const std::string& databasePath) { return databasePath + "-journal"; }

void PageStore::setCrashHookForTests(void (*hook)(const char*)) { gCrashHook = hook; }

Result<std::unique_ptr<PageStore>> PageStore::open(FileSystem& fs, const std::string& path, bool createNew) {
    ACCESS_ASSIGN_OR_RETURN(auto file, fs.open(path, createNew ? OpenMode::CreateNew : OpenMode::ReadWrite));
    Status locked = file->tryLock(LockKind::Exclusive);
    if (locked.category() == Category::InUse) return Status::inUse("Could not use '" + path + "'; file already in use.");
    ACCESS_RETURN_IF_ERROR(locked);
    // Only after taking the lock: a live writer's journal is not hot.
    if (!createNew) ACCESS_RETURN_IF_ERROR(rollBackJournal(fs, *file, journalPath(path)));
    ACCESS_ASSIGN_OR_RETURN(uint64_t size, file->size());
    if (size % kJet4PageSize != 0)
        return Status::corruption("the file size of " + path + " is not a whole number of pages");
    return std::unique_ptr<PageStore>(
        new PageStore(fs, path, std::move(file), static_cast<uint32_t>(size / kJet4PageSize), createNew));
}

PageStore::~PageStore() {
    if (inChange_) (void)rollback();
}

Status PageStore::read(uint32_t n, std::vector<uint8_t>& out) {
    if (!failure_.isOk()) return failure_;
    if (n >= pageCount_) return Status::corruption("page " + std::to_string(n) + " lies past the end of the file", n);
    auto it = dirty_.find(n);
    if (it != dirty_.end()) {
        out = it->second;
        return Status::ok();
    }
    if (const uint8_t* image = gatheredPage(n)) {
        out.assign(image, image + kJet4PageSize);
        return Status::ok();
    }
    if (n >= filePages_) {  // allocated, never written yet
        out.assign(kJet4PageSize, 0);
        return Status::ok();
    }
    out.resize(kJet4PageSize);
    return file_->read(pageOffset(n), out);
}

Status PageStore::writeThrough(uint32_t n, Bytes image) {
    ACCESS_RETURN_IF_ERROR(flushGathered());
    return writeRun(n, image);
}

// Pages n.. in one write.
Status PageStore::writeRun(uint32_t n, Bytes images) {
    ACCESS_RETURN_IF_ERROR(file_->write(pageOffset(n), images));
    const uint32_t pages = static_cast<uint32_t>(images.size() / kJet4PageSize);
    if (n + pages > filePages_) filePages_ = n + pages;
    unstartedFrom_ = std::min<uint64_t>(unstartedFrom_, pageOffset(n));
    unstartedBytes_ += images.size();
    if (unstartedBytes_ >= kWritebackBytes) {
        file_->startWriteback(unstartedFrom_);
        unstartedBytes_ = 0;
        unstartedFrom_ = UINT64_MAX;
    }
    return Status::ok();
}

// A page written again while gathered is changed in place; the next page
// joins the run; any other page writes the run out and starts a new one.
Status PageStore::writeGathered(uint32_t n, Bytes image) {
    if (uint8_t* gathered = gatheredPage(n)) {
        std::memcpy(gathered, image.data(), kJet4PageSize);
        return Status::ok();
    }
    const uint32_t count = gatheredPages();
    if (count == 0 || n != gatheredFirst_ + count || count >= kGatheredPages) {
        ACCESS_RETURN_IF_ERROR(flushGathered());
        gatheredFirst_ = n;
    }
    gathered_.insert(gathered_.end(), image.begin(), image.end());
    return Status::ok();
}

uint8_t* PageStore::gatheredPage(uint32_t n) {
    if (n < gatheredFirst_ || n - gatheredFirst_ >= gatheredPages()) return nullptr;
    return gathered_.data() + size_t{n - gatheredFirst_} * kJet4PageSize;
}

Status PageStore::flushGathered() {
    if (gathered_.empty()) return Status::ok();
    Status s = writeRun(gatheredFirst_, gathered_);
    gathered_.clear();
    return s;
}

Status PageStore::growFileToPageCount() {
    ACCESS_RETURN_IF_ERROR(flushGathered());
    if (filePages_ >= pageCount_) return Status::ok();
    ACCESS_RETURN_IF_ERROR(file_->truncate(pageOffset(pageCount_)));
    filePages_ = pageCount_;
    return Status::ok();
}

Status PageStore::write(uint32_t n, Bytes image) {
    if (!failure_.isOk()) return failure_;
    if (image.size() != kJet4PageSize || n > pageCount_) return Status::internal("bad page write");
    if (n == pageCount_) {
        if (pageCount_ >= kMaxJet4Pages) return Status::fileTooLarge();
        ++pageCount_;
    }
    if (!fresh_ && inChange_ && n < originalCount_) {
        dirty_[n].assign(image.begin(), image.end());
        return Status::ok();
    }
    if (!fresh_ && !inChange_) return Status::internal("page write outside a change");
    return writeGathered(n, image);
}

Result<uint32_t> PageStore::extend() {
    if (!failure_.isOk()) return failure_;
    if (pageCount_ >= kMaxJet4Pages) return Status::fileTooLarge();
    if (!fresh_ && !inChange_) return Status::internal("page allocation outside a change");
    return pageCount_++;
}

Status PageStore::writeJournalHeader() {
    uint8_t header[kHeaderSize] = {};
    MutableBytes h(header, kHeaderSize);
    std::memcpy(header, kMagic, 8);
    put::u32(h, 8, kJet4PageSize);
    put::u32(h, 12, originalCount_);
    put::u32(h, 20, crc32(header, 20));
    ACCESS_RETURN_IF_ERROR(journal_->write(0, h));
    ACCESS_RETURN_IF_ERROR(journal_->sync());
    return fs_.syncDirectory(journalPath(path_));
}

Status PageStore::begin() {
    if (!failure_.isOk()) return failure_;
    if (inChange_) return Status::internal("a change is already under way");
    originalCount_ = pageCount_;
    dirty_.clear();
    if (!fresh_) {
        const std::string jpath = journalPath(path_);
        // Never over an existing journal: it may hold the only copy of pages
        // a change overwrote.
        ACCESS_ASSIGN_OR_RETURN(journal_, fs_.open(jpath, OpenMode::CreateNew));
        Status s = writeJournalHeader();
        if (!s.isOk()) {
            // The database is untouched; only the journal must go, or the
            // next change could not begin.
            journal_.reset();
            Status removed = removeJournalFile(fs_, jpath);
            if (!removed.isOk())
                failure_ = removed.withDescription("The journal " + jpath + " could not be removed (" +
                                                   removed.description() +
                                                   "); it is cleaned up when the file is next opened");
            return s;
        }
    }
    inChange_ = true;
    crashPoint("begun");
    return Status::ok();
}

Status PageStore::journalOriginals() {
    uint64_t off = kHeaderSize;
    std::vector<uint8_t> rec(kJet4PageSize + 8);
    for (auto& [n, image] : dirty_) {
        put::u32(rec, 0, n);
        ACCESS_RETURN_IF_ERROR(file_->read(pageOffset(n), MutableBytes(rec).subspan(4, kJet4PageSize)));
        put::u32(rec, 4 + kJet4PageSize, crc32(rec.data(), 4 + kJet4PageSize));
        ACCESS_RETURN_IF_ERROR(journal_->write(off, rec));
        off += rec.size();
    }
    return journal_->sync();
}

Status PageStore::commit() {
    if (!failure_.isOk()) return failure_;
    if (!inChange_) return Status::internal("commit without a change");
    if (Status s = flushGathered(); !s.isOk()) {
        if (!fresh_) (void)rollback();
        return s;
    }
    if (fresh_) {
        Status s = growFileToPageCount();
        if (s.isOk()) s = file_->sync();
        if (s.isOk()) {
            fresh_ = false;
            inChange_ = false;
        }
        return s;
    }
    Status s = journalOriginals();
    crashPoint("journaled");
    for (auto it = dirty_.begin(); s.isOk() && it != dirty_.end(); ++it) {
        s = writeThrough(it->first, it->second);
        if (s.isOk()) crashPoint("page-written");
    }
    if (s.isOk()) s = growFileToPageCount();
    if (s.isOk()) s = file_->sync();
    if (s.isOk()) crashPoint("synced");
    if (s.isOk()) {
        journal_.reset();
        // Removing the journal is the commit point; until it is gone the
        // change can still be undone from it.
        s = fs_.remove(journalPath(path_));
    }
    if (!s.isOk()) {
        (void)rollback();
        return s;
    }
    (void)fs_.syncDirectory(journalPath(path_));
    dirty_.clear();
    inChange_ = false;
    return Status::ok();
}

Status PageStore::rollback() {
    if (!failure_.isOk()) return failure_;
    if (!inChange_) return Status::ok();
    dirty_.clear();
    gathered_.clear();
    inChange_ = false;
    pageCount_ = originalCount_;
    if (fresh_) return Status::ok();
    filePages_ = std::min(filePages_, originalCount_);  // the rollback cuts the file to its old size
    journal_.reset();
    Status s = rollBackJournal(fs_, *file_, journalPath(path_));
    if (!s.isOk())
        failure_ = s.withDescription("The change could not be undone (" + s.description() +
                                     "); the file is repaired from its journal when it is next opened");
    return failure_;
}

}  // namespace veltrano::access
