#!/usr/bin/env node
// Checks the oracle harness itself: the canonical forms that are easy to get
// subtly wrong, and that compare.mjs finds a wrong cell and a non-canonical
// CSV layout where they are (through fake_cli.mjs standing in for our export).
import assert from "node:assert/strict";
import { spawnSync } from "node:child_process";
import { dirname, join } from "node:path";
import { fileURLToPath } from "node:url";
import * as canon from "./canonical.mjs";

const here = dirname(fileURLToPath(import.meta.url));
try {
  await import("mdb-reader");
} catch {
  console.log("SKIP: the npm package mdb-reader is not installed");
  process.exit(77);
}

// Single: shortest text that reads back as the same binary32, on random bit patterns.
const f32 = new Float32Array(1), u32 = new Uint32Array(f32.buffer);
for (let i = 0; i < 3000; i++) {
  u32[0] = (Math.random() * 0x7f800000) >>> 0;
  const x = f32[0], s = canon.formatSingle(x);
  assert.equal(Math.fround(Number(s)), x, `single ${x} printed as ${s}`);
  const digits = s.replace(/e.*/, "").replace(/[-.]/g, "").replace(/^0+/, "").replace(/0+$/, "");
  if (digits.length > 1) assert.notEqual(Math.fround(Number(x.toPrecision(digits.length - 1))), x, `single ${x}: ${s} is not the shortest`);
}
assert.equal(canon.formatSingle(0.1), "0.1");
assert.equal(canon.formatSingle(3.4028234663852886e38), "3.4028235e+38");
assert.equal(canon.formatSingle(1e-45), "1e-45");
assert.equal(canon.formatSingle(-0), "-0");
assert.equal(canon.formatDouble(0.1 + 0.2), "0.30000000000000004");
assert.equal(canon.formatDouble(1e21), "1e+21");
assert.equal(canon.formatDouble(-1.5e-7), "-0.00000015");
assert.equal(canon.formatDouble(1e-8), "1e-8");
assert.equal(canon.formatDouble(123456789012345680000), "123456789012345680000");

// Dates: signed day, unsigned time of day; mdb-reader's linear milliseconds undone.
for (const [v, text] of [[-1.25, "1899-12-29 06:00:00"], [-0.5, "1899-12-30 12:00:00"], [0, "1899-12-30 00:00:00"],
  [2.9999999999, "1900-01-02 00:00:00"], [36526.5 + 1.5 / 86400, "2000-01-01 12:00:01.500"], [-657434, "0100-01-01 00:00:00"]]) {
  assert.equal(canon.formatOleDate(v), text);
  assert.equal(canon.formatLinearMs(Math.round((v - 25569) * 86400000)), text, `linear ${v}`);
}

// CSV: NULL and empty text stay apart; quotes, commas and line breaks survive.
const cells = [["a", null, "", 'say "hi"', "x,y", "two\nlines"]];
assert.deepEqual(canon.parseCsv(canon.toCsv(["c1", "c2", "c3", "c4", "c5", "c6"], cells)).slice(1), cells);

// compare.mjs against a stand-in for our export, clean and with planted faults.
const sample = join(here, "..", "..", "..", "shared", "testdata", "mdb", "testV2000.mdb");
const run = (fault) => spawnSync(process.execPath, [join(here, "compare.mjs"), sample, "--cli", join(here, "fake_cli.mjs"), "--known", "/nonexistent"],
  { encoding: "utf8", env: { ...process.env, FAKE_CLI_FAULT: fault } });
let r = run("");
assert.equal(r.status, 0, r.stdout + r.stderr);
r = run("cell");
assert.equal(r.status, 1, r.stdout);
assert.match(r.stdout, /DIFF .*veltrano: Table1 row 1 column B: Text: mdb-reader "hijklmnop", veltrano "hijklmnoq", mdbtools "hijklmnop"/);
r = run("quote");
assert.equal(r.status, 1, r.stdout);
assert.match(r.stdout, /DIFF .*veltrano: Table1: CSV layout is not canonical/);
console.log("oracle self-test passed");
