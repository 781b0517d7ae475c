#!/usr/bin/env node
// Edge values no sample file holds, written into copies of two sample files
// (Jet 4 testV2000.mdb and Jet 3 testV1997.mdb, Table1, both rows) and then
// compared like any file by compare.mjs: integer limits, doubles that need 17
// digits or an exponent, negative zero, NaN and infinities, dates before
// 1899-12-30, time-only values, milliseconds, a time that rounds up to the
// next day, currency limits; Singles (the Double column retyped); and Decimal columns given other precisions and
// scales with values up to 28 digits. The copies live in a temporary folder only.
//
//   node probe.mjs SAMPLE_DIR [--cli PATH] [--keep DIR]   (--keep: write the copies to DIR and leave them)
import { mkdtempSync, readFileSync, rmSync, writeFileSync } from "node:fs";
import { spawnSync } from "node:child_process";
import { tmpdir } from "node:os";
import { dirname, join } from "node:path";
import { fileURLToPath } from "node:url";

const here = dirname(fileURLToPath(import.meta.url));
const [sampleDir, ...rest] = process.argv.slice(2);
const keepAt = rest.indexOf("--keep");
const keep = keepAt >= 0 ? rest.splice(keepAt, 2)[1] : null;
if (!sampleDir) {
  process.stderr.write("usage: node probe.mjs SAMPLE_DIR [--cli PATH]\n");
  process.exit(2);
}
try {
  await import("mdb-reader");
} catch {
  console.log("SKIP: the npm package mdb-reader is not installed");
  process.exit(77);
}

const day = (h, m, s) => (h * 3600 + m * 60 + s) / 86400;
// Table1 columns C Byte, D Integer, E Long, F Double, G Date/Time, H Currency (scaled by 10000).
const variants = [
  [{ C: 255, D: -32768, E: -2147483648, F: 0.1 + 0.2, G: -1.25, H: -123456789n },
   { C: 0, D: 32767, E: 2147483647, F: 1e-7, G: 29932 + day(13, 5, 7.4567), H: 9223372036854775807n }],
  [{ F: -0, G: 0.5, H: -9223372036854775808n },
   { F: 1e21, G: 2958465 + day(23, 59, 59.999), H: 1n }],
  [{ F: 5e-324, G: -657434 },
   { F: 1.7976931348623157e308, G: 36526.999999999 }],
  [{ F: -0.75, G: -0.75 },
   { F: 1.5e-8, G: -3.5 }],
  [{ F: NaN }, { F: -Infinity }],
  [{ B: true }, {}],
  // Column F turned into a Single (type 6, length 4) reading the first 4 bytes.
  [{ S: 0.1 }, { S: 16777217 }],
  [{ S: 3.4028234663852886e38 }, { S: 1e-45 }],
  [{ S: -0 }, { S: 1e-7 }],
  [{ S: NaN }, { S: 1.1754943508222875e-38 }],
  [{ S: 123456.789 }, { S: -2.5e-8 }],
];

// Turns Table1's only Double column into a Single in the table definition.
function makeSingle(bytes) {
  const jet4 = bytes[0x14] >= 1;
  const pageSize = jet4 ? 4096 : 2048;
  const marker = Buffer.alloc(8);
  marker.writeDoubleLE(444.555);
  const dataPage = Math.floor(bytes.indexOf(marker) / pageSize);
  const tdef = bytes.readUInt32LE(dataPage * pageSize + 4) * pageSize;
  const [countAt, realAt, start, realSize, blockSize, lengthAt] = jet4 ? [45, 51, 63, 12, 25, 23] : [25, 31, 43, 8, 18, 16];
  const first = tdef + start + realSize * bytes.readUInt32LE(tdef + realAt);
  let changed = 0;
  for (let i = 0; i < bytes.readUInt16LE(tdef + countAt); i++) {
    const b = first + blockSize * i;
    if (bytes[b] === 0x07) {
      bytes[b] = 0x06;
      bytes.writeUInt16LE(4, b + lengthAt);
      changed++;
    }
  }
  if (changed !== 1) throw new Error("Table1 should have exactly one Double column");
}

// Row "abcdefg" column B "hijklmnop" becomes text CSV must quote and UTF-8
// must carry, in the same stored length: 9 UCS-2 units in Jet 4 (with a
// Cyrillic letter and an emoji as a surrogate pair), 9 Windows-1252 bytes in Jet 3.
const kTexts = { testV2000: Buffer.from(',"b"\r\n\u0416\u{1F600}', "utf16le"), testV1997: Buffer.from('a,"b"\r\n\xe9\x80', "latin1") };
const kOldText = { testV2000: Buffer.from("hijklmnop", "utf16le"), testV1997: Buffer.from("hijklmnop", "latin1") };

function locate(bytes) {
  const find = (value) => {
    const b = Buffer.alloc(8);
    b.writeDoubleLE(value);
    const at = bytes.indexOf(b);
    if (at < 0) throw new Error(`value ${value} not found in the sample`);
    return at;
  };
  const f1 = find(444.555); // row "abcdefg": C D E F G H packed in that order
  const g2 = find(29932); // row "a": its date
  return [f1, g2 - 8].map((f) => ({ C: f - 7, D: f - 6, E: f - 4, F: f, G: f + 8, H: f + 16 }));
}

function patch(bytes, at, values, base) {
  for (const [col, v] of Object.entries(values)) {
    const o = at[col];
    if (col === "B") {
      const from = bytes.indexOf(kOldText[base]);
      if (from < 0 || kTexts[base].length !== kOldText[base].length) throw new Error("text to replace not found");
      kTexts[base].copy(bytes, from);
    } else if (col === "S") {
      bytes.writeFloatLE(v, at.F);
    } else if (col === "C") bytes.writeUInt8(v, o);
    else if (col === "D") bytes.writeInt16LE(v, o);
    else if (col === "E") bytes.writeInt32LE(v, o);
    else if (col === "H") bytes.writeBigInt64LE(v, o);
    else bytes.writeDoubleLE(v, o);
  }
}

// fixedNumericTestV2000.mdb, table test: six Decimal(18,0) columns col2..col7
// with column blocks at these file offsets (precision at +11, scale at +12) and
// one row whose 17-byte values start at kDecimalRow + 17 * i.
const kDecimalBlocks = [106584, 106609, 106634, 106659, 106684, 106709];
const kDecimalRow = 28 * 4096 + 0xf7a + 2;
// [precision, scale, negative, magnitude]
const kDecimals = [
  [18, 4, false, 12345n], // 1.2345
  [28, 0, false, 10n ** 28n - 1n], // 28 nines
  [28, 28, false, 1n], // 0.000...1
  [18, 2, true, 5n], // -0.05
  [18, 0, true, 0n], // a stored negative zero
  [28, 10, false, (1n << 96n) - 1n], // the largest 96-bit magnitude
];

function patchDecimals(bytes) {
  kDecimalBlocks.forEach((at, i) => {
    if (bytes[at] !== 0x10 || bytes[at + 11] !== 18 || bytes[at + 12] !== 0) throw new Error("fixedNumericTestV2000.mdb is not the expected sample");
    const [precision, scale, negative, magnitude] = kDecimals[i];
    bytes[at + 11] = precision;
    bytes[at + 12] = scale;
    const v = kDecimalRow + 17 * i;
    bytes[v] = negative ? 0x80 : 0;
    for (let w = 0; w < 4; w++) bytes.writeUInt32LE(Number((magnitude >> BigInt(32 * (3 - w))) & 0xffffffffn), v + 1 + 4 * w);
  });
}

function check(file) {
  const r = spawnSync(process.execPath, [join(here, "compare.mjs"), file, ...rest], { encoding: "utf8" });
  process.stdout.write(r.stdout.split("\n").filter((l) => l && !l.startsWith("note")).map((l) => l + "\n").join(""));
  process.stderr.write(r.stderr);
  return r.status === 0;
}

const dir = keep ?? mkdtempSync(join(tmpdir(), "veltrano-probe-"));
let failed = 0;
try {
  const numeric = Buffer.from(readFileSync(join(sampleDir, "fixedNumericTestV2000.mdb")));
  patchDecimals(numeric);
  const numericFile = join(dir, "probe-fixedNumericTestV2000.mdb");
  writeFileSync(numericFile, numeric);
  if (!check(numericFile)) failed++;
  for (const base of ["testV2000", "testV1997"]) {
    const original = readFileSync(join(sampleDir, base + ".mdb"));
    const rows = locate(original);
    variants.forEach((variant, i) => {
      const bytes = Buffer.from(original);
      if ("S" in variant[0]) makeSingle(bytes);
      variant.forEach((values, r) => patch(bytes, rows[r], values, base));
      const file = join(dir, `probe-${base}-${i + 1}.mdb`);
      writeFileSync(file, bytes);
      if (!check(file)) failed++;
    });
  }
} finally {
  if (!keep) rmSync(dir, { recursive: true, force: true });
}
process.exit(failed ? 1 : 0);
