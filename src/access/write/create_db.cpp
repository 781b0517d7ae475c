// A new, empty Jet 4 database made from nothing, laid out the way the bare
// Jet engine lays out its own new files:
//   page 0   header (masked; see pager.h)        page 1   global usage map
//   pages 2-5 TDEFs of MSysObjects, MSysACEs, MSysQueries, MSysRelationships
//   page 6   the 31 usage-map rows of those tables
//   pages 7-13 root leaves of their 7 indexes
// then the catalog rows (3 containers, MSysDb, the 4 tables) and the
// access-control rows, stored and indexed through the ordinary row path.
// Owner and SID values are opaque per-database tokens whose derivation is
// not known; we use one consistent set together with the creation date and
// header build field they were observed with, so that the header and the
// permission rows agree with each other.
#include <cstring>
#include <unistd.h>

#include "access/write/database_writer.h"
#include "access/storage/pager.h"
#include "access/format/text.h"
#include "access/write/writer.h"

namespace veltrano::access {
namespace {

constexpr double kCreationDate = 42329.944803009259;  // observed with the token set below
constexpr uint32_t kBuildField = 0x261C;
constexpr size_t kMaxPasswordChars = 20;

struct SysColumn {
    const char* name;
    ColumnType type;
    uint16_t number, varIndex, fixedOffset, length;
    uint8_t flags;
};

struct SysIndex {
    std::vector<uint16_t> columns;
    uint8_t flags;
    uint8_t mapRow;
    uint32_t root;
};

struct SysLogical {
    const char* name;
    uint32_t number, real;
    uint8_t type;
};

struct SysTable {
    const char* name;
    uint32_t page;
    uint16_t maxCols, varCols;
    uint8_t ownedRow, freeRow;
    std::vector<SysColumn> columns;  // stored in name order, as the engine does
    std::vector<SysIndex> indexes;
    std::vector<SysLogical> logical;
    std::vector<std::tuple<uint16_t, uint8_t, uint8_t>> lvMaps;  // column, owned row, free row
};

using CT = ColumnType;
constexpr uint8_t F = 0x13, V = 0x12, S = 0x32;  // fixed, variable, SID/owner column flags
constexpr uint32_t kMapPage = 6;

const std::vector<SysTable>& systemTables() {
    static const std::vector<SysTable> tables = {
        {"MSysObjects", 2, 17, 11, 0, 1,
         {{"Connect", CT::Memo, 9, 3, 0, 0, V}, {"Database", CT::Memo, 8, 2, 0, 0, V},
          {"DateCreate", CT::DateTime, 4, 1, 10, 8, F}, {"DateUpdate", CT::DateTime, 5, 1, 18, 8, F},
          {"Flags", CT::Long, 7, 2, 26, 4, F}, {"ForeignName", CT::Text, 10, 4, 0, 510, V},
          {"Id", CT::Long, 0, 0, 0, 4, F}, {"Lv", CT::Ole, 13, 7, 0, 0, V}, {"LvExtra", CT::Ole, 16, 10, 0, 0, V},
          {"LvModule", CT::Ole, 15, 9, 0, 0, V}, {"LvProp", CT::Ole, 14, 8, 0, 0, V}, {"Name", CT::Text, 2, 0, 0, 510, V},
          {"Owner", CT::Binary, 6, 1, 0, 510, S}, {"ParentId", CT::Long, 1, 0, 4, 4, F},
          {"RmtInfoLong", CT::Ole, 12, 6, 0, 0, V}, {"RmtInfoShort", CT::Binary, 11, 5, 0, 510, V},
          {"Type", CT::Integer, 3, 1, 8, 2, F}},
         {{{1, 2}, 0x81, 16, 7}, {{0}, 0x81, 17, 8}},
         {{"Id", 1, 1, 1}, {"ParentIdName", 0, 0, 0}},
         {{9, 4, 5}, {8, 2, 3}, {13, 8, 9}, {16, 14, 15}, {15, 12, 13}, {14, 10, 11}, {12, 6, 7}}},
        {"MSysACEs", 3, 4, 1, 18, 19,
         {{"ACM", CT::Long, 2, 1, 4, 4, F}, {"FInheritable", CT::Boolean, 3, 1, 0, 1, F},
          {"ObjectId", CT::Long, 0, 0, 0, 4, F}, {"SID", CT::Binary, 1, 0, 0, 510, S}},
         {{{0}, 0x88, 20, 9}},
         {{"ObjectId", 0, 0, 0}},
         {}},
        {"MSysQueries", 4, 8, 4, 21, 22,
         {{"Attribute", CT::Byte, 1, 0, 4, 1, F}, {"Expression", CT::Memo, 5, 3, 0, 0, V},
          {"Flag", CT::Integer, 6, 4, 5, 2, F}, {"LvExtra", CT::Long, 7, 4, 7, 4, F},
          {"Name1", CT::Text, 3, 1, 0, 510, V}, {"Name2", CT::Text, 4, 2, 0, 510, V},
          {"ObjectId", CT::Long, 0, 0, 0, 4, F}, {"Order", CT::Binary, 2, 0, 0, 510, V}},
         {{{0, 1, 2}, 0x81, 25, 10}},
         {{"ObjectIdAttribute", 0, 0, 1}},
         {{5, 23, 24}}},
        {"MSysRelationships", 5, 8, 5, 26, 27,
         {{"ccolumn", CT::Long, 2, 1, 4, 4, F}, {"grbit", CT::Long, 1, 1, 0, 4, F},
          {"icolumn", CT::Long, 3, 1, 8, 4, F}, {"szColumn", CT::Text, 5, 2, 0, 510, V},
          {"szObject", CT::Text, 4, 1, 0, 510, V}, {"szReferencedColumn", CT::Text, 7, 4, 0, 510, V},
          {"szReferencedObject", CT::Text, 6, 3, 0, 510, V}, {"szRelationship", CT::Text, 0, 0, 0, 510, V}},
         {{{0}, 0x82, 28, 11}, {{4}, 0x82, 29, 12}, {{6}, 0x82, 30, 13}},
         {{"szObject", 1, 1, 0}, {"szReferencedObject", 2, 2, 0}, {"szRelationship", 0, 0, 0}},
         {}},
    };
    return tables;
}

uint32_t ref(uint8_t row) { return (kMapPage << 8) | row; }

TableModel buildSystemTdef(const SysTable& s) {
    TableModel t;
    t.page = s.page;
    t.tableType = 0x53;
    t.maxCols = s.maxCols;
    t.varCols = s.varCols;
    t.ownedMap = ref(s.ownedRow);
    t.freeMap = ref(s.freeRow);
    for (const auto& c : s.columns) {
        ColumnModel d;
        d.name = c.name;
        d.type = c.type;
        d.number = c.number;
        d.varIndex = c.varIndex;
        d.fixedOffset = c.fixedOffset;
        d.length = c.length;
        d.flags = c.flags;
        // Block as the engine writes it: sort order on every column.
        d.raw = newColumnBlock(d);
        put::u16(d.raw, Format::jet4().colSortOrder, kGeneralSortOrder);
        t.columns.push_back(std::move(d));
    }
    for (const auto& i : s.indexes) {
        RealIndexModel r;
        for (uint16_t c : i.columns) r.columns.push_back({c, true});
        r.flags = i.flags;
        r.usageMap = ref(i.mapRow);
        r.rootPage = i.root;
        t.realIndexes.push_back(std::move(r));
    }
    for (const auto& l : s.logical) {
        LogicalIndexModel d;
        d.name = l.name;
        d.number = l.number;
        d.realIndex = l.real;
        d.type = l.type;
        t.logicalIndexes.push_back(std::move(d));
    }
    for (const auto& [col, owned, free] : s.lvMaps) t.lvMaps.push_back({col, ref(owned), ref(free)});
    return t;
}

std::vector<uint8_t> headerPage(const std::string& password) {
    std::vector<uint8_t> pg(kJet4PageSize, 0);
    const uint8_t start[] = {0x00, 0x01, 0x00, 0x00};
    std::memcpy(pg.data(), start, 4);
    std::memcpy(pg.data() + 4, "Standard Jet DB", 16);
    pg[0x14] = 0x01;  // Jet 4
    const uint8_t constants[24] = {0x00, 0x01, 0x00, 0x00, 0x01, 0x01, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00,
                                   0x03, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00};
    std::memcpy(pg.data() + 0x18, constants, sizeof constants);
    put::u16(pg, 0x3C, 1252);
    put::u32(pg, 0x3E, 0);  // no page encryption
    const uint32_t mask = jet4PasswordMask(kCreationDate);
    std::string pw = utf8ToUtf16le(password);
    pw.resize(40, '\0');
    for (size_t i = 0; i < 40; ++i)
        pg[0x42 + i] = static_cast<uint8_t>(static_cast<uint8_t>(pw[i]) ^ static_cast<uint8_t>(mask >> (8 * (i % 4))));
    put::u32(pg, 0x6A, kBuildField);
    put::u16(pg, Format::jet4().sortOrderOffset, kGeneralSortOrder);
    put::f64(pg, 0x72, kCreationDate);
    const uint8_t tail[8] = {0x54, 0x06, 0x00, 0x00, '4', '.', '0', 0x00};
    std::memcpy(pg.data() + 0x98, tail, 8);
    pg[0xE00] = 0x01;
    pg[0xE01] = 0x01;
    for (size_t i = 0xE02; i < 0x1000; i += 2) pg[i + 1] = 0x01;
    applyHeaderMask(pg, Format::jet4());
    return pg;
}

std::string le32(uint32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i) s[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    return s;
}

std::string sid(uint8_t a, uint8_t b) { return std::string{static_cast<char>(a), static_cast<char>(b)}; }

Status build(PageStore& store, const std::string& password) {
    ACCESS_RETURN_IF_ERROR(store.begin());
    ACCESS_RETURN_IF_ERROR(store.write(0, headerPage(password)));
    std::vector<uint8_t> p1 = newDataPage(1);
    std::vector<uint8_t> emptyMap(kUsageMapRowLength, 0);
    addRowToPage(p1, emptyMap);  // the global map, filled in at commit
    addRowToPage(p1, emptyMap);
    ACCESS_RETURN_IF_ERROR(store.write(1, p1));
    // Placeholders so the pages exist in order; each is written below.
    std::vector<uint8_t> zero(kJet4PageSize, 0);
    for (uint32_t p = 2; p <= 13; ++p) ACCESS_RETURN_IF_ERROR(store.write(p, zero));
    std::vector<uint8_t> maps = newDataPage(0);
    for (int row = 0; row < 31; ++row) {
        std::vector<uint8_t> r(kUsageMapRowLength, 0);
        addRowToPage(maps, r);
    }
    for (const auto& s : systemTables())
        for (const auto& i : s.indexes) {
            // Index maps start out holding their root.
            size_t off = ByteReader(maps).u16(Format::jet4().dataRowTable + 2 * i.mapRow);
            maps[off + 5 + i.root / 8] |= static_cast<uint8_t>(1u << (i.root % 8));
            std::vector<uint8_t> leaf(kJet4PageSize, 0);
            leaf[0] = page_type::kIndexLeaf;
            leaf[1] = 0x01;
            put::u16(leaf, 2, 3616);
            put::u32(leaf, 4, s.page);
            ACCESS_RETURN_IF_ERROR(store.write(i.root, leaf));
        }
    ACCESS_RETURN_IF_ERROR(store.write(kMapPage, maps));
    std::vector<uint32_t> none;
    for (const auto& s : systemTables()) {
        TableModel t = buildSystemTdef(s);
        ACCESS_RETURN_IF_ERROR(writeTableModel(store, t, [] { return Result<uint32_t>(Status::internal("no pages")); }, none));
    }
    return Status::ok();
}

Status fillCatalog(WriteDatabase& db) {
    ACCESS_ASSIGN_OR_RETURN(TableModel objects, readTableModel(db.store(), 2));
    ACCESS_ASSIGN_OR_RETURN(TableModel aces, readTableModel(db.store(), 3));
    struct Obj {
        uint32_t id, parent;
        const char* name;
        int16_t type;
        std::string owner;
    };
    const std::string containerOwner = sid(0x65, 0x89), dbOwner = sid(0x64, 0x8B);
    const std::vector<Obj> objs = {
        {0x0F000001, 0x0F000000, "Tables", 3, containerOwner},
        {0x0F000002, 0x0F000000, "Databases", 3, containerOwner},
        {0x0F000003, 0x0F000000, "Relationships", 3, containerOwner},
        {0x10000000, 0x0F000002, "MSysDb", 2, dbOwner},
        {2, 0x0F000001, "MSysObjects", 1, containerOwner},
        {3, 0x0F000001, "MSysACEs", 1, containerOwner},
        {4, 0x0F000001, "MSysQueries", 1, containerOwner},
        {5, 0x0F000001, "MSysRelationships", 1, containerOwner},
    };
    const double now = 25569.0 + static_cast<double>(::time(nullptr)) / 86400.0;
    std::string date(8, '\0');
    uint64_t bits;
    std::memcpy(&bits, &now, 8);
    for (int i = 0; i < 8; ++i) date[i] = static_cast<char>((bits >> (8 * i)) & 0xFF);
    for (const auto& o : objs) {
        std::vector<StoredCell> cells(objects.maxCols);
        auto set = [&](const char* col, std::string b) { cells[objects.columnNamed(col)->number] = StoredCell::of(std::move(b)); };
        set("Id", le32(o.id));
        set("ParentId", le32(o.parent));
        set("Name", utf8ToUtf16le(o.name));
        set("Type", std::string{static_cast<char>(o.type & 0xFF), static_cast<char>((o.type >> 8) & 0xFF)});
        set("DateCreate", date);
        set("DateUpdate", date);
        set("Owner", o.owner);
        set("Flags", le32(0x80000000u));
        ACCESS_RETURN_IF_ERROR(db.insertRow(objects, cells).status());
    }
    struct Ace {
        uint32_t object;
        std::string sid;
        uint32_t acm;
        bool inheritable;
    };
    const std::string s648B = sid(0x64, 0x8B), s658E = sid(0x65, 0x8E), s658B = sid(0x65, 0x8B);
    const std::vector<Ace> list = {
        {2, s648B, 393216, false},          {3, s648B, 393216, false},          {4, s648B, 393216, false},
        {5, s648B, 917504, false},          {0x0F000001, s658E, 983294, true},  {0x0F000001, s648B, 393217, false},
        {0x0F000003, s658E, 983294, true},  {0x0F000003, s648B, 393217, false}, {0x0F000002, s648B, 393216, false},
        {0x10000000, s648B, 393230, false}, {0x10000000, s658B, 14, false},     {4, s658B, 20, false},
        {5, s658B, 20, false},              {2, s658B, 20, false},              {0x0F000001, s658B, 1048319, true},
        {0x0F000003, s658B, 1048575, true},
    };
    for (const auto& a : list) {
        std::vector<StoredCell> cells(aces.maxCols);
        cells[aces.columnNamed("ObjectId")->number] = StoredCell::of(le32(a.object));
        cells[aces.columnNamed("SID")->number] = StoredCell::of(a.sid);
        cells[aces.columnNamed("ACM")->number] = StoredCell::of(le32(a.acm));
        cells[aces.columnNamed("FInheritable")->number] = StoredCell::of(std::string(1, a.inheritable ? '\1' : '\0'));
        ACCESS_RETURN_IF_ERROR(db.insertRow(aces, cells).status());
    }
    ACCESS_RETURN_IF_ERROR(db.rebuildAllIndexes(objects));
    return db.rebuildAllIndexes(aces);
}

}  // namespace

Status createDatabase(const std::string& path, const std::string& password, FileSystem& fs) {
    if (utf8ToUtf16le(password).size() > 2 * kMaxPasswordChars)
        return Status::invalidArgument("a database password has at most 20 characters");
    ACCESS_ASSIGN_OR_RETURN(auto store, PageStore::open(fs, path, true));
    Status s = build(*store, password);
    if (s.isOk()) {
        auto db = WriteDatabase::adopt(std::move(store));
        if (!db.isOk()) {
            s = db.status();
        } else {
            s = fillCatalog(*db.value());
            if (s.isOk()) s = db.value()->commit();
            Status c = db.value()->close();
            if (s.isOk()) s = c;
        }
    }
    if (!s.isOk()) (void)fs.remove(path);
    return s;
}

}  // namespace veltrano::access
