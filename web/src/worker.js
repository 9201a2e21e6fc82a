// The playground's machine, away from the page: the WebAssembly module
// assembles the editor's text and runs the program in slices of a bounded
// number of steps, so a Stop (or any message) is handled between two slices
// and the page never waits on an endless loop.
/* global createVornModule */
importScripts("vorn.js");

// A slice aims at this many milliseconds; its step budget follows the speed
// measured in the slices before it.
const sliceMilliseconds = 20;
const firstBudget = 1_000_000;
const listingRows = 2000;
// The step log: this many of the last steps, in the trace's words.
const stepLogRows = 1000;
// While a run goes on, the page hears of it this often at most, so that
// drawing the views never falls behind on a busy machine.
const reportMilliseconds = 100;

let vorn = null;
const waiting = [];
let budget = firstBudget;
let running = false;
let loaded = null; // the source and input the session's machine runs
let breakpoints = [];
let watched = []; // register names and decimal addresses
const watchLabels = {}; // the label of each watched address that has one
let outputSent = 0;
let memoryAddress = 0;
let runStarted = 0;
let runSteps = 0;
let lastReport = 0;
// The step log sent last: for which furthest step, and after how many edits.
let logSentFor = "";
let edits = 0;
// Where the page's panes for the analysis bindings are, when the module has them.
const features = {};

// Continues a run right after the messages already queued, without the
// clamping of setTimeout.
const channel = new MessageChannel();
channel.port1.onmessage = slice;

function json(text) {
  return JSON.parse(text);
}

// Where the machine stands, without its output.
function position() {
  return json(vorn.machineState(1 << 30));
}

function stateMessage(extra = {}) {
  const state = json(vorn.machineState(outputSent));
  outputSent = state.outputLength;
  const pcFrom = Math.max(state.pc - 3, 0);
  const because = restartedBecause;
  restartedBecause = "";
  const message = {
    type: "state",
    running,
    ...state,
    memory: json(vorn.memory(memoryAddress, 16)),
    memoryAddress,
    memoryAtPc: json(vorn.memory(pcFrom, 8)),
    watched,
    watchLabels,
    restartedBecause: because,
    ...extra,
  };
  // The step log only where the machine stands still, and only when the run
  // has gone further or was changed by hand since it was last sent.
  const logKey = `${state.lastStep}/${edits}`;
  if (!running && logKey !== logSentFor) {
    logSentFor = logKey;
    message.stepLog = json(vorn.stepLog(stepLogRows, -1));
  }
  // What the step that led here changed, for the views to highlight.
  if (!running) {
    const last = state.steps > 0 ? json(vorn.stepLog(1, state.steps))[0] : null;
    message.lastChange = last ? last[4] : null;
  }
  if (!running && features.heatMap) message.heatMap = profileAt(state.steps);
  // The origin chain shown follows the machine to the step it stands at.
  if (!running && features.origin && originWhere !== null) message.origin = originOf(originWhere);
  return message;
}

// How many times each cell and line ran up to the step the machine stands
// at: the loaded source run again that far with the profile's counts. Kept
// for the last step asked, so that redrawing the views costs no run.
let profiled = { key: "", counts: null };

function profileAt(steps) {
  const key = `${steps}\n${loaded.input}\n${loaded.source}`;
  if (profiled.key !== key) {
    const counts = steps > 0 ? json(vorn[features.heatMap](loaded.source, loaded.input, steps)) : null;
    profiled = { key, counts: counts && !counts.error ? counts : null };
  }
  return profiled.counts;
}

// The register or memory word whose origin the page shows, or null.
let originWhere = null;

function originOf(where) {
  return { where, step: position().steps, ...json(vorn[features.origin](where)) };
}

function load(source, input) {
  vorn.load(source, input);
  vorn.setBreakpoints(JSON.stringify(breakpoints));
  vorn.setWatchpoints(JSON.stringify(watched));
  loaded = { source, input };
  outputSent = 0;
  logSentFor = "";
}

// The session for this source and input, fresh when they changed or the last
// run is over. Says why a paused run started again, if it did.
let restartedBecause = "";

function ensureLoaded(source, input, fresh) {
  const over = ["halted", "fault", "output-full", "no-program"];
  const state = loaded && position();
  const paused = loaded && !over.includes(state.state) && state.steps > 0;
  const changed = loaded && (loaded.source !== source || loaded.input !== input);
  restartedBecause =
    !fresh && paused && changed ? (loaded.source !== source ? "the source changed" : "the input changed") : "";
  if (fresh || !loaded || changed || over.includes(state.state)) {
    load(source, input);
  }
}

function slice() {
  if (!running) return;
  const started = performance.now();
  const before = position().steps;
  vorn.continueRun(budget);
  const elapsed = performance.now() - started;
  const state = position();
  const ran = state.steps - before;
  runSteps += ran;
  if (ran === budget && elapsed > 0) {
    budget = Math.max(10_000, Math.min(Math.round((budget * sliceMilliseconds) / elapsed), 2e9));
  }
  running = state.state === "ready";
  const now = performance.now();
  if (!running || now - lastReport >= reportMilliseconds) {
    lastReport = now;
    const seconds = (now - runStarted) / 1000;
    postMessage(stateMessage({ rate: seconds > 0 ? runSteps / seconds : 0, sliceSteps: ran }));
  }
  if (running) channel.port2.postMessage(null);
}

function startRun() {
  running = true;
  runStarted = performance.now();
  runSteps = 0;
  channel.port2.postMessage(null);
}

function assemble(message) {
  const started = performance.now();
  const result = json(vorn.assemble(message.source));
  const milliseconds = performance.now() - started;
  const listing = json(vorn.listing(0, listingRows));
  postMessage({ type: "assembled", id: message.id, milliseconds, ...result, listing });
}

function command(message) {
  const { source, input } = message;
  switch (message.command) {
    case "run":
      ensureLoaded(source, input, true);
      startRun();
      return;
    case "continue":
      ensureLoaded(source, input, false);
      startRun();
      return;
    case "step":
      running = false;
      ensureLoaded(source, input, false);
      vorn.step();
      break;
    case "stop":
      running = false;
      break; // the state below says where the run stopped
    // Going back shortens the output, never changes what stays: the state
    // says from where (outputFrom), and the page cuts its copy there.
    case "back":
      running = false;
      if (loaded) vorn.back();
      break;
    case "reverse-continue":
      running = false;
      if (loaded) vorn.reverseContinue();
      break;
  }
  if (loaded) postMessage(stateMessage());
}

// An address the person typed (a number or a label): the number, or a
// message to the page saying what is wrong with it.
function addressOf(text, field) {
  const resolved = json(vorn.resolveAddress(text));
  postMessage({ type: "address", field, text, ...resolved });
  return resolved.address;
}

function watch(message) {
  const text = message.text.trim();
  const name = text.toUpperCase();
  const register = name === "PC" ? null : vorn && json(vorn.names()).registers.find((r) => r === name);
  const where = register ?? (text.startsWith("$") ? null : addressOf(text, "watch"));
  if (where === undefined || where === null) return;
  const key = String(where);
  // Named as the person named it, or by the label the running program has there.
  const typedName = /^\*?\s*[A-Za-z_]/.test(text) ? text.replace(/^\*\s*/, "") : "";
  if (!register) watchLabels[key] = typedName || (loaded ? json(vorn.memory(where, 1))[0][3] : "");
  watched = message.remove ? watched.filter((w) => w !== key) : watched.filter((w) => w !== key).concat([key]);
  if (loaded) {
    vorn.setWatchpoints(JSON.stringify(watched));
    postMessage(stateMessage());
  } else {
    postMessage({ type: "watched", watched, watchLabels });
  }
}

// A breakpoint typed as an address or label: the source line of that cell.
function breakAt(message) {
  const address = addressOf(message.text, "break");
  if (address === undefined) return;
  const row = json(vorn.listing(address, 1)).rows[0];
  if (!row || !row[2]) {
    postMessage({ type: "address", field: "break", text: message.text, error: `No instruction at address ${address}.` });
    return;
  }
  postMessage({ type: "break-line", line: row[3] });
}

function handle(message) {
  switch (message.type) {
    case "assemble":
      assemble(message);
      break;
    case "listing":
      postMessage({ type: "listing", listing: json(vorn.listing(message.from, message.count)) });
      break;
    case "command":
      command(message);
      break;
    case "breakpoints":
      breakpoints = message.lines;
      if (loaded) vorn.setBreakpoints(JSON.stringify(breakpoints));
      break;
    case "break-at":
      breakAt(message);
      break;
    case "watch":
      watch(message);
      break;
    case "memory": {
      const address = message.text === undefined ? message.address : addressOf(message.text, "memory");
      if (address === undefined) return;
      memoryAddress = address;
      if (loaded) postMessage(stateMessage());
      break;
    }
    // The timeline: straight to a step of the run so far.
    case "seek":
      if (!loaded || running) return;
      vorn.goToStep(message.step);
      postMessage(stateMessage({ seek: message.step }));
      break;
    // A register or memory word changed by hand, as the debugger's set.
    case "set":
      if (!loaded || running) return;
      vorn.setValue(message.where, message.value);
      edits++;
      postMessage(stateMessage());
      break;
    case "hover":
      postMessage({ type: "hover", id: message.id, ...json(vorn.hover(message.line, message.column)) });
      break;
    case "origin":
      originWhere = message.where;
      if (features.origin && loaded && !running) postMessage({ type: "origin", origin: originOf(originWhere) });
      break;
    case "heat-map":
      features.heatMapOn = message.on;
      if (loaded) postMessage(stateMessage());
      break;
  }
}

onmessage = (event) => {
  if (vorn) handle(event.data);
  else waiting.push(event.data);
};

createVornModule().then((module) => {
  vorn = module;
  // The profile's heat map and the origin chains come from the analysis's
  // bindings where the module has them.
  const heatMap = ["heatMap", "profile"].find((name) => typeof vorn[name] === "function");
  const origin = ["originChain", "origin"].find((name) => typeof vorn[name] === "function");
  if (heatMap) features.heatMapName = heatMap;
  if (origin) features.origin = origin;
  Object.defineProperty(features, "heatMap", { get: () => (features.heatMapOn ? features.heatMapName : undefined) });
  postMessage({
    type: "ready",
    names: json(vorn.names()),
    features: { heatMap: Boolean(heatMap), origin: Boolean(origin) },
  });
  for (const message of waiting.splice(0)) handle(message);
});
