// The one canonical text form of a cell, shared by every source the oracle
// compares (veltrano-cli export, mdb-reader, mdbtools). The rules, exactly:
//
//   NULL            empty unquoted field
//   Text, Memo      as stored, UTF-8 ("" when empty)
//   Byte..Long      decimal digits, '-' for negatives
//   Double          the shortest decimal that reads back to the same binary64
//   Single          the shortest decimal that reads back to the same binary32
//                   Both are laid out from the scientific form d1[.d2..dk]e(+|-)x
//                   (x the decimal exponent of the first digit): written
//                   positionally when -7 <= x <= 20 ("123.25", "0.0000001",
//                   "100000000000000000000"), otherwise kept scientific with
//                   at least one exponent digit ("1e+21", "1.5e-8", "1e-45").
//                   (Number#toString in JS does the same except that it
//                   already switches at x = -7.)
//                   Negative zero is "-0"; NaN and infinities "nan", "inf", "-inf".
//   Currency        exactly 4 decimals ("-3.5000", "0.0000")
//   Decimal         exactly its scale, no point when the scale is 0; zero has no sign
//   Boolean         1 / 0
//   Date/Time       YYYY-MM-DD HH:MM:SS, plus .fff when the milliseconds are not 0.
//                   The stored double counts days from 1899-12-30; its signed whole
//                   part is the day and the absolute fraction the time of day
//                   (-1.25 is 1899-12-29 06:00), rounded to the nearest millisecond
//                   (a time that rounds to 24:00 moves to the next day).
//   GUID            {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}, upper-case
//   Binary, OLE     upper-case hex of the bytes, no prefix
//
// CSV: RFC 4180 with LF line ends after every record (the last one too), a
// header record of the column names, comma separators. A field is quoted when
// it is an empty text or contains a comma, a double quote, CR or LF; quotes
// inside are doubled. Nothing else is quoted.

// ---------------------------------------------------------------- CSV

export function csvField(value) {
  if (value === null || value === undefined) return "";
  if (value === "" || /[",\r\n]/.test(value)) return '"' + value.replace(/"/g, '""') + '"';
  return value;
}

export function csvRecord(cells) {
  return cells.map(csvField).join(",") + "\n";
}

export function toCsv(columns, rows) {
  let out = csvRecord(columns);
  for (const r of rows) out += csvRecord(r);
  return out;
}

// Parses RFC 4180 text into records of cells; an empty unquoted field becomes
// null and a quoted one a string, so NULL and empty text stay apart. Accepts
// CRLF too, so that a source with other line ends is still read (the strict
// byte-for-byte layout is checked separately with toCsv).
export function parseCsv(text) {
  const records = [];
  let record = [];
  let i = 0;
  const n = text.length;
  if (n === 0) return records;
  for (;;) {
    let cell;
    if (text[i] === '"') {
      let s = "";
      i++;
      for (;;) {
        if (i >= n) throw new Error("CSV: unterminated quoted field");
        const q = text.indexOf('"', i);
        if (q < 0) throw new Error("CSV: unterminated quoted field");
        s += text.slice(i, q);
        if (text[q + 1] === '"') {
          s += '"';
          i = q + 2;
        } else {
          i = q + 1;
          break;
        }
      }
      cell = s;
      if (i < n && text[i] !== "," && text[i] !== "\n" && text[i] !== "\r")
        throw new Error(`CSV: text after a closing quote at offset ${i}`);
    } else {
      let j = i;
      while (j < n && text[j] !== "," && text[j] !== "\n" && text[j] !== "\r") j++;
      const raw = text.slice(i, j);
      if (raw.includes('"')) throw new Error(`CSV: stray quote at offset ${i}`);
      cell = raw === "" ? null : raw;
      i = j;
    }
    record.push(cell);
    if (i >= n) {
      records.push(record);
      return records;
    }
    if (text[i] === ",") {
      i++;
      continue;
    }
    if (text[i] === "\r" && text[i + 1] === "\n") i++;
    i++;
    records.push(record);
    record = [];
    if (i >= n) return records;
  }
}

// ---------------------------------------------------------------- numbers

// Lays out significant digits `digits` (no leading/trailing zeros) with the
// decimal exponent n (value = 0.digits * 10^n, so x = n - 1).
export function layoutDigits(negative, digits, n) {
  const k = digits.length;
  let s;
  if (k <= n && n <= 21) s = digits + "0".repeat(n - k);
  else if (0 < n && n <= 21) s = digits.slice(0, n) + "." + digits.slice(n);
  else if (-7 < n && n <= 0) s = "0." + "0".repeat(-n) + digits;
  else {
    const e = n - 1;
    s = digits[0] + (k > 1 ? "." + digits.slice(1) : "") + "e" + (e < 0 ? "-" : "+") + Math.abs(e);
  }
  return (negative ? "-" : "") + s;
}

function special(x) {
  if (Number.isNaN(x)) return "nan";
  if (x === Infinity) return "inf";
  if (x === -Infinity) return "-inf";
  if (x === 0) return Object.is(x, -0) ? "-0" : "0";
  return null;
}

// Number#toString already picks the shortest round-trip digits (the nearest
// of several); only the layout differs.
export function formatDouble(x) {
  const sp = special(x);
  if (sp !== null) return sp;
  const [mant, ex] = Math.abs(x).toExponential().split("e");
  return layoutDigits(x < 0, mant.replace(".", ""), Number(ex) + 1);
}

// Exact value of a finite double as m * 2^e with BigInt m.
function exactBinary(x) {
  const buf = new DataView(new ArrayBuffer(8));
  buf.setFloat64(0, x);
  const hi = buf.getUint32(0), lo = buf.getUint32(4);
  const exp = (hi >>> 20) & 0x7ff;
  let m = (BigInt(hi & 0xfffff) << 32n) | BigInt(lo);
  let e;
  if (exp === 0) e = -1074;
  else {
    m |= 1n << 52n;
    e = exp - 1075;
  }
  if (hi >>> 31) m = -m;
  return [m, e];
}

// Sign of D*10^p - x for a finite double x.
function compareDecimal(D, p, x) {
  const [m, e] = exactBinary(x);
  let left = D, right = m;
  if (p >= 0) left *= 10n ** BigInt(p);
  else right *= 10n ** BigInt(-p);
  if (e >= 0) right <<= BigInt(e);
  else left <<= BigInt(-e);
  return left < right ? -1 : left > right ? 1 : 0;
}

function absDistance(D, p, x) {
  // |D*10^p - x| scaled to an integer; only compared between candidates of one p.
  const [m, e] = exactBinary(x);
  let left = D, right = m;
  if (p >= 0) left *= 10n ** BigInt(p);
  else right *= 10n ** BigInt(-p);
  if (e >= 0) right <<= BigInt(e);
  else left <<= BigInt(-e);
  const d = left - right;
  return d < 0n ? -d : d;
}

const f32 = new Float32Array(1);
const u32 = new Uint32Array(f32.buffer);

// Shortest decimal that reads back (round to nearest even) to the binary32
// value x; of several shortest ones, the nearest to x.
export function formatSingle(x) {
  x = Math.fround(x);
  const sp = special(x);
  if (sp !== null) return sp;
  const negative = x < 0;
  const a = Math.abs(x);
  f32[0] = a;
  const bits = u32[0];
  u32[0] = bits - 1;
  const prev = bits === 1 ? 0 : f32[0];
  u32[0] = bits + 1;
  const next = f32[0];
  // Round-trip interval; float midpoints are exact in binary64.
  const lo = (prev + a) / 2;
  const hi = next === Infinity ? a + (a - prev) / 2 : (a + next) / 2;
  const inclusive = (bits & 1) === 0;
  const inside = (D, p) => {
    const cl = compareDecimal(D, p, lo), ch = compareDecimal(D, p, hi);
    return inclusive ? cl >= 0 && ch <= 0 : cl > 0 && ch < 0;
  };
  for (let prec = 1; prec <= 9; prec++) {
    const [mant, ex] = a.toExponential(prec - 1).split("e");
    const D = BigInt(mant.replace(".", ""));
    const p = Number(ex) - (prec - 1);
    const candidates = [D, D - 1n, D + 1n].filter((d) => d > 0n && inside(d, p));
    if (candidates.length === 0) continue;
    candidates.sort((c1, c2) => {
      const d1 = absDistance(c1, p, a), d2 = absDistance(c2, p, a);
      return d1 < d2 ? -1 : d1 > d2 ? 1 : 0;
    });
    let digits = candidates[0].toString();
    let n = p + digits.length;
    digits = digits.replace(/0+$/, "");
    return layoutDigits(negative, digits, n);
  }
  throw new Error(`no shortest form for ${x}`);
}

export function hexUpper(bytes) {
  return Buffer.from(bytes).toString("hex").toUpperCase();
}

// ---------------------------------------------------------------- dates

const kMsPerDay = 86400000;

// Days from 1970-01-01 to a proleptic Gregorian date and back.
function civilFromDays(z) {
  z += 719468;
  const era = Math.floor(z / 146097);
  const doe = z - era * 146097;
  const yoe = Math.floor((doe - Math.floor(doe / 1460) + Math.floor(doe / 36524) - Math.floor(doe / 146096)) / 365);
  const doy = doe - (365 * yoe + Math.floor(yoe / 4) - Math.floor(yoe / 100));
  const mp = Math.floor((5 * doy + 2) / 153);
  const d = doy - Math.floor((153 * mp + 2) / 5) + 1;
  const m = mp < 10 ? mp + 3 : mp - 9;
  return [yoe + era * 400 + (m <= 2 ? 1 : 0), m, d];
}

const kOleEpochDays = -25569; // 1899-12-30 counted from 1970-01-01

function pad(v, w) {
  return String(v).padStart(w, "0");
}

// Formats (day, millisecond of day) where day counts from 1899-12-30.
export function formatDayAndMs(day, ms) {
  const [y, mo, d] = civilFromDays(kOleEpochDays + day);
  const yearText = y < 0 ? "-" + pad(-y, 4) : pad(y, 4);
  let s = `${yearText}-${pad(mo, 2)}-${pad(d, 2)} ${pad(Math.floor(ms / 3600000), 2)}:${pad(Math.floor(ms / 60000) % 60, 2)}:${pad(Math.floor(ms / 1000) % 60, 2)}`;
  if (ms % 1000 !== 0) s += "." + pad(ms % 1000, 3);
  return s;
}

// From the stored double itself.
export function formatOleDate(value) {
  if (!Number.isFinite(value)) return formatDouble(value);
  const whole = Math.trunc(value);
  let ms = Math.round(Math.abs(value - whole) * kMsPerDay);
  let day = whole;
  if (ms >= kMsPerDay) {
    ms -= kMsPerDay;
    day += 1;
  }
  return formatDayAndMs(day, ms);
}

// mdb-reader hands out a JS Date built linearly from the double, rounded to
// the millisecond: msSinceEpoch = round((value - 25569) * 86400000). Undo that
// to get the double's millisecond count from 1899-12-30 back exactly, then
// split it the way the stored value means it (signed day, unsigned time).
export function formatLinearMs(linearMs) {
  const t = linearMs + 25569 * kMsPerDay;
  if (t >= 0) return formatDayAndMs(Math.floor(t / kMsPerDay), t % kMsPerDay);
  const magnitude = -t;
  return formatDayAndMs(-Math.floor(magnitude / kMsPerDay), magnitude % kMsPerDay);
}
