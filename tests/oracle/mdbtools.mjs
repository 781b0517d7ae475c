#!/usr/bin/env node
// The mdbtools side of the oracle: runs mdb-tables, mdb-schema and mdb-export
// (the Debian mdbtools package, not ours) and brings their output to the
// canonical forms of canonical.mjs where that loses nothing.
//
//   node mdbtools.mjs FILE tables
//   node mdbtools.mjs FILE export TABLE    canonical CSV as far as mdbtools allows
//   node mdbtools.mjs FILE schema          columns and indexes as JSON
//
// mdb-export runs with: -D and -T '%Y-%m-%d %H:%M:%S' (ISO dates), -b hex
// (binary as hex), quote '"' with doubling (-q '"', the default -X), no
// escaping of invisible characters, NULL as an empty unquoted field (its
// default), booleans as 0/1 (its default). Text fields come quoted, numbers
// and NULLs bare, so NULL and empty text stay apart.
//
// Where mdbtools is known to be wrong or lossy, judgeCell() accepts the
// mdbtools value only in the documented lossy form, and the exact value is
// checked against mdb-reader instead:
// - Double: mdb-export prints at most 15..16 significant digits ("%.16g" or
//   fewer), so values needing 17 digits come out rounded.
// - Single: printed from the float with limited digits; compared as a float.
// - Date/Time: whole seconds only (strftime has no milliseconds; mdbtools
//   rounds the time to the second, and a time that rounds up to midnight
//   comes out as "24:00:00" of the day before); stored values below 0
//   (before 1899-12-30, and times of 1899-12-30 stored as -0.x) or above 1e6
//   (after 4637-11-26) are not converted at all: it prints an all-zero
//   struct tm, "1900-01-00 00:00:00".
// - Text/Memo: a character beyond U+FFFF (a UTF-16 surrogate pair, e.g. an
//   emoji) comes out as "??".
// - Decimal: a stored negative zero comes out as "-0" (canonical: "0").
// - Double/Single: NaN and infinities come as "nan", "-nan", "inf", "-inf".
// - Memo: mdb-export copies text into a fixed bind buffer, so very long memos
//   come out cut; a cut memo must be a prefix of the real one.
// - GUID: printed without the dash between the 4th and 5th group
//   ({23ACCAB8-BD8D-4A75-8CC0FE227338C0FB}, as mdb-prop shows too).
// - Boolean: mdb-schema calls every Yes/No column NOT NULL (the null-mask bit
//   is its value, so it is never null); nullability of booleans is not compared.
import { execFileSync } from "node:child_process";
import { pathToFileURL } from "node:url";
import * as canon from "./canonical.mjs";

const kExportArgs = ["-D", "%Y-%m-%d %H:%M:%S", "-T", "%Y-%m-%d %H:%M:%S", "-b", "hex", "-q", '"'];

function run(cmd, args) {
  return execFileSync(cmd, args, { encoding: "utf8", maxBuffer: 1 << 30, stdio: ["ignore", "pipe", "pipe"] });
}

export function mdbVersion(file) {
  return run("mdb-ver", [file]).trim();
}

export function mdbTables(file) {
  return run("mdb-tables", ["-1", file]).split("\n").filter((l) => l !== "");
}

// Canonical type names (the ones dump.mjs uses) from mdb-schema's Access words.
function parseAccessType(text) {
  let m;
  if ((m = /^Text \((\d+)\)$/.exec(text))) return { type: "Text", size: Number(m[1]) };
  if ((m = /^Numeric \((\d+), (\d+)\)$/.exec(text))) return { type: "Decimal", precision: Number(m[1]), scale: Number(m[2]) };
  if ((m = /^Binary \((\d+)\)$/.exec(text))) return { type: "Binary", size: Number(m[1]) };
  const plain = {
    "Boolean": "Boolean", "Byte": "Byte", "Integer": "Integer", "Long Integer": "Long",
    "Single": "Single", "Double": "Double", "Currency": "Currency", "DateTime": "DateTime",
    "Replication ID": "GUID",
  };
  if (plain[text]) return { type: plain[text] };
  if (/^Memo\/Hyperlink/.test(text)) return { type: "Memo" };
  if (/^OLE/.test(text)) return { type: "OLE" };
  return { type: "?" + text };
}

function splitCreateTables(text, open, close) {
  // -> Map table -> array of column lines, in order.
  const tables = new Map();
  const re = new RegExp(`^CREATE TABLE (?:IF NOT EXISTS )?${open}(.*?)${close}\\n \\(\\n([\\s\\S]*?)\\n\\);`, "gm");
  for (const m of text.matchAll(re)) tables.set(m[1], m[2].split("\n").filter((l) => l.trim() !== ""));
  return tables;
}

export function mdbSchema(file) {
  // Default values only to see GUID auto-numbers (DEFAULT GenGUID()); the mysql
  // backend marks long auto-numbers (auto_increment) and lists the indexes.
  const access = splitCreateTables(run("mdb-schema", ["--not-null", "--no-indexes", "--no-relations", "--default-values", file, "access"]), "\\[", "\\]");
  const mysqlText = run("mdb-schema", ["--not-null", "--indexes", "--no-relations", "--no-default-values", file, "mysql"]);
  const mysql = splitCreateTables(mysqlText, "`", "`");
  const out = [];
  for (const [table, lines] of access) {
    const autos = new Set();
    for (const l of mysql.get(table) ?? []) {
      const m = /^\t`(.*)`\t+.*auto_increment/.exec(l);
      if (m) autos.add(m[1]);
    }
    const columns = lines.map((l) => {
      const m = /^\t\[(.*)\]\t+(.*?)( NOT NULL)?( DEFAULT .*?)?,? ?$/.exec(l);
      if (!m) throw new Error(`mdb-schema: cannot read column line '${l}'`);
      const auto = autos.has(m[1]) || (m[4] ?? "").includes("GenGUID()");
      return { name: m[1], ...parseAccessType(m[2]), nullable: !m[3], autonumber: auto };
    });
    const indexes = [];
    const esc = table.replace(/[.*+?^${}()|[\]\\]/g, "\\$&");
    for (const m of mysqlText.matchAll(new RegExp(`^ALTER TABLE \`${esc}\` ADD (PRIMARY KEY|UNIQUE INDEX|INDEX) (?:\`(.*?)\` )?\\((.*)\\);$`, "gm"))) {
      const cols = [...m[3].matchAll(/`(.*?)`( DESC)?/g)].map((c) => (c[2] ? c[1] + " DESC" : c[1]));
      indexes.push({ name: m[1] === "PRIMARY KEY" ? null : m[2], primary: m[1] === "PRIMARY KEY", unique: m[1] !== "INDEX", columns: cols });
    }
    out.push({ table, columns, indexes });
  }
  return out;
}

// { columns, rows } with mdb-export's own text per cell (null for NULL).
export function mdbExport(file, table) {
  const records = canon.parseCsv(run("mdb-export", [...kExportArgs, file, table]));
  if (records.length === 0) throw new Error(`mdb-export printed nothing for ${table}`);
  return { columns: records[0], rows: records.slice(1) };
}

// Brings one mdb-export cell to canonical form where that is exact.
function parseFloatText(raw) {
  const m = /^(-?)(inf|infinity|nan)$/i.exec(raw);
  if (!m) return Number(raw);
  return m[2].toLowerCase() === "nan" ? NaN : m[1] ? -Infinity : Infinity;
}

export function normaliseCell(type, raw) {
  if (raw === null) return null;
  switch (type) {
    case "Double":
      return canon.formatDouble(parseFloatText(raw));
    case "Single":
      return canon.formatSingle(parseFloatText(raw));
    case "Binary":
    case "OLE":
      return raw.toUpperCase();
    case "GUID":
      return raw.toUpperCase();
    default:
      return raw;
  }
}

const kMemoCutBytes = 4096;

// Compares mdbtools' cell with the exact canonical value (from mdb-reader or
// our engine). Returns null when they agree, a string naming the documented
// mdbtools limitation that explains the difference, or false.
export function judgeCell(type, exact, raw) {
  const mine = normaliseCell(type, raw);
  if (mine === exact) return null;
  if (exact === null || raw === null) return false;
  switch (type) {
    case "Double": {
      const x = Number(exact);
      for (const digits of [15, 16]) if (Number(raw) === Number(x.toPrecision(digits))) return "mdbtools prints doubles with at most 16 significant digits";
      return false;
    }
    case "Single": {
      const x = Math.fround(Number(exact));
      for (let digits = 6; digits <= 8; digits++) if (Math.fround(Number(raw)) === Math.fround(Number(x.toPrecision(digits)))) return "mdbtools prints singles with at most 8 significant digits";
      return false;
    }
    case "DateTime": {
      // Stored values below 0 (which includes times on 1899-12-30 stored as -0.x)
      // or above 1e6 (4637-11-26) are left unconverted.
      if (raw === "1900-01-00 00:00:00" && (exact < "1899-12-31" || exact >= "4637-11-26"))
        return "mdbtools does not convert dates before 1899-12-30 or after 4637";
      if (exact.endsWith(" 00:00:00") && raw.endsWith(" 24:00:00") && raw.slice(0, 10) === dayBefore(exact.slice(0, 10)))
        return "mdbtools writes a time that rounds up to midnight as 24:00:00 of the day before";
      const m = /^(.*):(\d\d)\.(\d{3})$/.exec(exact);
      if (m) {
        if (raw === `${m[1]}:${m[2]}`) return "mdbtools drops milliseconds";
        if (Number(m[3]) >= 500) return raw === secondsLater(exact) ? "mdbtools rounds dates to whole seconds" : false;
      }
      return false;
    }
    case "Decimal":
      if (/^0(\.0+)?$/.test(exact) && raw === "-" + exact) return "mdbtools keeps the sign of a stored negative zero";
      return false;
    case "GUID":
      // {XXXXXXXX-XXXX-XXXX-XXXXXXXXXXXXXXXX}: mdbtools leaves out the last dash.
      if (raw.toUpperCase() === exact.slice(0, 24) + exact.slice(25)) return "mdbtools prints GUIDs without their last dash";
      return false;
    case "Text":
      if (raw === exact.replace(/[\u{10000}-\u{10FFFF}]/gu, "??")) return "mdbtools turns characters beyond U+FFFF into ??";
      return false;
    case "Memo":
      if (raw === exact.replace(/[\u{10000}-\u{10FFFF}]/gu, "??")) return "mdbtools turns characters beyond U+FFFF into ??";
      if (exact.startsWith(raw) && Buffer.byteLength(raw) >= kMemoCutBytes) return "mdb-export cuts long memos";
      return false;
    default:
      return false;
  }
}

function dayBefore(date) {
  const [y, m, d] = date.split("-").map(Number);
  const t = new Date(Date.UTC(2000, m - 1, d - 1));
  return `${String(y + t.getUTCFullYear() - 2000).padStart(4, "0")}-${String(t.getUTCMonth() + 1).padStart(2, "0")}-${String(t.getUTCDate()).padStart(2, "0")}`;
}

function secondsLater(exact) {
  // "YYYY-MM-DD HH:MM:SS.fff" rounded up to the next whole second.
  const [date, time] = exact.split(" ");
  const [y, mo, d] = date.split("-").map(Number);
  const [h, mi, s] = time.split(":").map((v) => Math.floor(Number(v)));
  const t = new Date(Date.UTC(2000, mo - 1, d, h, mi, s + 1));
  t.setUTCFullYear(y + (t.getUTCFullYear() - 2000));
  return t.toISOString().replace("T", " ").slice(0, 19).replace(/^\+?0*(\d{4})/, "$1");
}

function usage() {
  process.stderr.write("usage: node mdbtools.mjs FILE (tables | export TABLE | schema)\n");
  process.exit(2);
}

async function main(argv) {
  const [file, command, table] = argv;
  if (!file || !["tables", "export", "schema"].includes(command) || (command === "export") !== (argv.length === 3)) usage();
  try {
    if (command === "tables") for (const t of mdbTables(file)) process.stdout.write(t + "\n");
    else if (command === "schema") process.stdout.write(JSON.stringify(mdbSchema(file), null, 1) + "\n");
    else {
      const schema = mdbSchema(file).find((s) => s.table === table);
      if (!schema) throw new Error(`no table '${table}'`);
      const e = mdbExport(file, table);
      const types = e.columns.map((c) => schema.columns.find((x) => x.name === c)?.type);
      process.stdout.write(canon.toCsv(e.columns, e.rows.map((r) => r.map((v, i) => normaliseCell(types[i], v)))));
    }
  } catch (err) {
    process.stderr.write(`mdbtools.mjs: ${err.message.split("\n")[0]}\n`);
    process.exit(1);
  }
}

if (process.argv[1] && import.meta.url === pathToFileURL(process.argv[1]).href) await main(process.argv.slice(2));
