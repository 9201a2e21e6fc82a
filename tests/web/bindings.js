// The playground's profile and origin bindings against the native tools:
// the profile of each source with an input is what `vornsim --source
// --profile FILE --profile-format json` writes, byte for byte; the origin
// chain of each register and word the program wrote, at the halt, says what
// vorndbg's `info origin` says, link for link.
//
//   node bindings.js VORNSIM VORNDBG PAGE_DIR SOURCE...
//
// Exits 77 (skipped) when PAGE_DIR holds no build (scripts/web --build).
"use strict";
const fs = require("fs");
const os = require("os");
const path = require("path");
const { spawnSync } = require("child_process");

const [vornsim, vorndbg, page, ...sources] = process.argv.slice(2);
const maxSteps = 100000;

const modulePath = path.join(page, "vorn.js");
if (!fs.existsSync(modulePath)) {
  console.log(`skipped: no ${modulePath} (scripts/web --build makes it)`);
  process.exit(77);
}

function native(command, args, input) {
  const result = spawnSync(command, args, { input: input ?? Buffer.alloc(0), maxBuffer: 1 << 28 });
  if (result.error) throw result.error;
  return { stdout: result.stdout.toString(), stderr: result.stderr.toString(), status: result.status };
}

// The page's chain as vorndbg writes it: each source under what it produced.
function chainText(links) {
  return links
    .map((link) => (link.depth > 0 ? " ".repeat(2 * (link.depth - 1)) + "\u2190 " : "") + link.text)
    .join("\n");
}

// vorndbg's answer to `info origin WHERE` at the program's halt.
function debuggerChain(source, inputPath, where) {
  const args = ["--batch", "--source", source, ...(inputPath ? ["--input", inputPath] : [])];
  const before = native(vorndbg, args, "continue\n").stdout;
  const run = native(vorndbg, args, `continue\ninfo origin ${where}\n`).stdout;
  return run.startsWith(before) ? run.slice(before.length).trimEnd() : run;
}

async function main() {
  const create = require(path.resolve(modulePath));
  const vorn = await create({ wasmBinary: fs.readFileSync(path.join(page, "vorn.wasm")) });
  const work = fs.mkdtempSync(path.join(os.tmpdir(), "vorn-bindings-"));
  const problems = [];
  let checked = 0;
  try {
    for (const source of sources) {
      const text = fs.readFileSync(source, "latin1");
      const inputPath = source.replace(/\.vorn$/, ".input");
      const hasInput = fs.existsSync(inputPath);
      const input = hasInput ? fs.readFileSync(inputPath, "latin1") : "";

      const profilePath = path.join(work, "profile.json");
      const simulated = native(
        vornsim,
        ["--source", "--max-steps", String(maxSteps), "--profile", profilePath, "--profile-format", "json", source],
        Buffer.from(input, "latin1"),
      );
      const page = vorn.profile(text, input, maxSteps);
      if (simulated.status === 1) {
        if (!JSON.parse(page).error) problems.push(`${source}: no error from profile`);
        continue;
      }
      if (page !== fs.readFileSync(profilePath, "utf8")) {
        problems.push(`${source}: profile differs:\n${page.slice(0, 300)}`);
      }
      ++checked;

      vorn.load(text, input);
      vorn.continueRun(maxSteps);
      for (const where of ["A", "O", "I"]) {
        const links = JSON.parse(vorn.origin(where)).links;
        const expected = debuggerChain(source, hasInput ? inputPath : null, where);
        if (chainText(links) !== expected) {
          problems.push(`${source}: origin of ${where}:\npage:\n${chainText(links)}\nvorndbg:\n${expected}`);
        }
        ++checked;
      }
    }
  } finally {
    fs.rmSync(work, { recursive: true, force: true });
  }
  const bad = JSON.parse(vorn.origin("[70000]"));
  if (!bad.error) problems.push("origin of [70000]: no error");
  for (const problem of problems) console.log(problem);
  console.log(`${checked} checked, ${problems.length} problems`);
  process.exit(problems.length === 0 && checked > 0 ? 0 : 1);
}

main().catch((error) => {
  console.error(error);
  process.exit(1);
});
