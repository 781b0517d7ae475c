// Stored forms of Access 2007 and later; see ace_value.h.
#include "access/format/ace_value.h"

#include <cstdio>

namespace veltrano::access {

namespace {

__extension__ typedef unsigned __int128 Uint128;

// Civil date of a day count from 0001-01-01 (proleptic Gregorian).
void civilFromDays(int64_t days, int& year, int& month, int& day) {
    // Shift to days since 0000-03-01 so leap days end each 400-year era.
    int64_t z = days + 306;
    int64_t era = z / 146097;
    int64_t doe = z - era * 146097;
    int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(era * 400 + yoe + (month <= 2 ? 1 : 0));
}

bool digits(Bytes b, size_t from, size_t count, int64_t& out) {
    out = 0;
    for (size_t i = from; i < from + count; ++i) {
        if (b[i] < '0' || b[i] > '9') return false;
        out = out * 10 + (b[i] - '0');
    }
    return true;
}

}  // namespace

Result<Value> decodeExtDateTime(Bytes s) {
    auto bad = [] { return Status::corruption("damaged Date/Time Extended value"); };
    if (s.size() < kExtDateTimeSize || s[19] != ':') return bad();
    int64_t days = 0, seconds = 0, steps = 0;
    // Days 0..3652058 are 0001-01-01..9999-12-31, the range Access allows.
    if (!digits(s, 0, 19, days) || !digits(s, 20, 12, seconds) || !digits(s, 32, 7, steps) || days > 3652058 ||
        seconds >= 86400)
        return bad();
    int year = 0, month = 0, day = 0;
    civilFromDays(days, year, month, day);
    char buf[48];
    int n = std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", year, month, day,
                          static_cast<int>(seconds / 3600), static_cast<int>(seconds / 60 % 60),
                          static_cast<int>(seconds % 60));
    if (steps != 0) std::snprintf(buf + n, sizeof buf - static_cast<size_t>(n), ".%07d", static_cast<int>(steps));
    return Value::ofBytes(ValueKind::DateTimeExt, buf);
}

Result<Bytes> calculatedPayload(Bytes wrapper) {
    ByteReader r(wrapper);
    size_t length = r.u32(16);
    Bytes payload = r.slice(20, length);
    if (!r.ok()) return Status::corruption("damaged calculated value");
    return payload;
}

Result<Value> decodeCalculatedDecimal(Bytes p) {
    ByteReader r(p);
    size_t total = r.u16(0);
    int scale = r.u8(2);
    bool negative = r.u8(3) != 0;
    size_t n = total > 0 ? total : (p.size() >= 2 ? p.size() - 2 : 0);
    n = n >= 2 ? (n - 2) / 4 * 4 : 0;
    if (n > 16) n = 16;
    if (!r.has(4, n) || scale > 28) return Status::corruption("damaged calculated Decimal value");
    Uint128 magnitude = 0;
    size_t at = 4;
    if (n % 8 != 0) {
        magnitude = r.u32(at);
        at += 4;
    }
    for (; at + 8 <= 4 + n; at += 8) magnitude = (magnitude << 64) | r.u64(at);
    // The usual stored form: sign byte, four 32-bit words most significant first.
    uint8_t stored[17] = {static_cast<uint8_t>(negative ? 0x80 : 0)};
    for (int w = 0; w < 4; ++w)
        put::u32(MutableBytes(stored), 1 + 4 * static_cast<size_t>(w), static_cast<uint32_t>(magnitude >> (32 * (3 - w))));
    return decodeFixedValue(ColumnType::Numeric, Bytes(stored, 17), scale);
}

}  // namespace veltrano::access
