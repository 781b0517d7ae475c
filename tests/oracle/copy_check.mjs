#!/usr/bin/env node
// Copies a sample file with `veltrano-cli copy` into a temporary folder and
// checks the copy with compare.mjs --written --same-as: a Jet 4 file that both
// oracles and our reader read with the same tables, columns, indexes and cells
// as the original. Skipped (77) until veltrano-cli offers `copy`.
//
//   node copy_check.mjs SRC [--password PW] --cli PATH
import { mkdtempSync, rmSync } from "node:fs";
import { spawnSync } from "node:child_process";
import { tmpdir } from "node:os";
import { basename, dirname, join } from "node:path";
import { fileURLToPath } from "node:url";

const here = dirname(fileURLToPath(import.meta.url));
const args = process.argv.slice(2);
const option = (name) => {
  const i = args.indexOf(name);
  return i >= 0 && i + 1 < args.length ? args[i + 1] : null;
};
const src = args[0];
const cli = option("--cli");
const password = option("--password");
if (!src || !cli) {
  process.stderr.write("usage: node copy_check.mjs SRC [--password PW] --cli PATH\n");
  process.exit(2);
}
const help = spawnSync(cli, ["--help"], { encoding: "utf8" });
if (help.status !== 0 || !/^\s+copy\b/m.test(help.stdout)) {
  console.log(`SKIP: ${cli} has no copy command yet`);
  process.exit(77);
}

const dir = mkdtempSync(join(tmpdir(), "veltrano-copy-"));
let status = 1;
try {
  // Named after the original so known_differences.json can address copies.
  const dest = join(dir, "copy-" + basename(src));
  const pw = password !== null ? ["--password", password] : [];
  const c = spawnSync(cli, ["copy", src, dest, ...pw], { encoding: "utf8" });
  if (c.status !== 0) {
    console.log(`DIFF      copy-${basename(src)}: veltrano-cli copy ended with status ${c.status}: ${(c.stderr || "").trim().split("\n")[0]}`);
  } else {
    const r = spawnSync(process.execPath, [join(here, "compare.mjs"), "--written", dest, "--same-as", src, ...(password !== null ? ["--orig-password", password] : []), "--cli", cli], { encoding: "utf8" });
    process.stdout.write(r.stdout);
    process.stderr.write(r.stderr);
    status = r.status;
  }
} finally {
  rmSync(dir, { recursive: true, force: true });
}
process.exit(status);
