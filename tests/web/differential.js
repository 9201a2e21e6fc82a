// The playground's WebAssembly build against the native tools, byte for byte:
// for each source, the image file and standard error of `vornasm`, and the
// standard output and error of `vornsim --source` (with NAME.input as the
// input where there is one). For a source that assembles, also the page's
// step log against the last lines of `vornsim --source --trace`, and the
// machine the timeline moves to at a few steps of the run against `vorndbg`
// stepped there.
//
//   node differential.js VORNASM VORNSIM VORNDBG PAGE_DIR SOURCE...
//
// Exits 77 (skipped) when PAGE_DIR holds no build (scripts/web --build).
"use strict";
const fs = require("fs");
const os = require("os");
const path = require("path");
const { spawnSync } = require("child_process");

const [vornasm, vornsim, vorndbg, page, ...sources] = process.argv.slice(2);
const maxSteps = 100000;
// The page's step log holds this many steps; the timeline is checked at this
// many steps of each run.
const logRows = 1000;
const timelineChecks = 3;

const modulePath = path.join(page, "vorn.js");
if (!fs.existsSync(modulePath)) {
  console.log(`skipped: no ${modulePath} (scripts/web --build makes it)`);
  process.exit(77);
}

function native(command, args, input) {
  const result = spawnSync(command, args, { input: input ?? Buffer.alloc(0), maxBuffer: 1 << 28 });
  if (result.error) throw result.error;
  return { stdout: result.stdout, stderr: result.stderr, status: result.status };
}

function differences(label, expected, actual) {
  if (Buffer.compare(Buffer.from(expected), Buffer.from(actual)) === 0) return [];
  const show = (bytes) => JSON.stringify(Buffer.from(bytes).toString("latin1").slice(0, 300));
  return [`${label}: native ${show(expected)}, wasm ${show(actual)}`];
}

// The same steps on every run: a small linear congruential generator.
let seed = 12345;
function random(below) {
  seed = (seed * 1103515245 + 12345) % 2147483648;
  return seed % below;
}

// The page's step log and the last lines of vornsim's trace.
function traceDifferences(vorn, source, text, input) {
  vorn.load(text.toString("utf8"), input.toString("latin1"));
  vorn.continueRun(maxSteps);
  const traced = native(vornsim, ["--source", "--trace", "--max-steps", String(maxSteps), source], input);
  const expected = traced.stderr
    .toString("utf8")
    .split("\n")
    .filter((line) => line.startsWith("step "));
  const log = JSON.parse(vorn.stepLog(logRows, -1)).map((row) => row[3]);
  const ran = expected.filter((line) => !line.endsWith("| fault"));
  return differences("step log", ran.slice(-logRows).join("\n"), log.join("\n"));
}

// The registers and program counter after `step` steps: the timeline's and
// the debugger's.
function timelineDifferences(vorn, source, inputPath) {
  const last = JSON.parse(vorn.machineState(1 << 30)).lastStep;
  const problems = [];
  for (let i = 0; i < timelineChecks && last > 0; i++) {
    const step = 1 + random(last);
    vorn.goToStep(step);
    const state = JSON.parse(vorn.machineState(1 << 30));
    const page = [...state.registers.map((value, r) => `${"ABCDEFGHIJKLMNOP"[r]} = ${value}`), `$pc = ${state.pc}`];
    const input = fs.existsSync(inputPath) ? ["--input", inputPath] : ["--input", "/dev/null"];
    const debugged = native(vorndbg, ["--batch", "-s", ...input, source], `step ${step}\ninfo registers\n`);
    const debugger_ = debugged.stdout
      .toString("utf8")
      .split("\n")
      .filter((line) => /^([A-P]|\$pc) = -?\d+/.test(line))
      .map((line) => line.replace(/ \(0x[0-9A-F]+\)$/, ""));
    problems.push(...differences(`timeline at step ${step}`, debugger_.join("\n"), page.join("\n")));
  }
  return problems;
}

async function main() {
  const create = require(path.resolve(modulePath));
  // Given the bytes, the module needs no fetch (which node cannot do on a path).
  const vorn = await create({ wasmBinary: fs.readFileSync(path.join(page, "vorn.wasm")) });
  const work = fs.mkdtempSync(path.join(os.tmpdir(), "vorn-differential-"));
  let passed = 0;
  let failed = 0;
  try {
    for (const source of sources) {
      const text = fs.readFileSync(source);
      const imagePath = path.join(work, "image");
      const assembled = native(vornasm, [source, imagePath]);
      const image = fs.existsSync(imagePath) ? fs.readFileSync(imagePath) : Buffer.alloc(0);
      const wasmImage = vorn.assembleImage(text);

      const inputPath = source.replace(/\.vorn$/, ".input");
      const input = fs.existsSync(inputPath) ? fs.readFileSync(inputPath) : Buffer.alloc(0);
      // From the source, as the page runs it: the same warnings on entering
      // data, the same source lines in the sentences.
      const simulated = native(vornsim, ["--max-steps", String(maxSteps), "--source", source], input);
      const wasmRun = vorn.simulate(text, input, maxSteps);

      const problems = [
        ...differences("image", image, wasmImage.image),
        ...differences("vornasm stderr", assembled.stderr, wasmImage.stderr),
        ...differences("vornsim stdout", simulated.stdout, wasmRun.stdout),
        ...differences("vornsim stderr", simulated.stderr, wasmRun.stderr),
      ];
      if (assembled.stderr.length === 0) {
        problems.push(...traceDifferences(vorn, source, text, input));
        problems.push(...timelineDifferences(vorn, source, inputPath));
      }
      fs.rmSync(imagePath, { force: true });
      const name = path.relative(process.cwd(), source);
      if (problems.length === 0) {
        passed++;
      } else {
        failed++;
        console.log(`FAIL ${name}\n  ${problems.join("\n  ")}`);
      }
    }
  } finally {
    fs.rmSync(work, { recursive: true, force: true });
  }
  console.log(`${sources.length} sources compared`);
  console.log(`${passed} passed, ${failed} failed`);
  process.exit(failed === 0 && passed > 0 ? 0 : 1);
}

main().catch((error) => {
  console.error(error);
  process.exit(1);
});
