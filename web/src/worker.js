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
// While a run goes on, the page hears of it this often at most, so that
// drawing the views never falls behind on a busy machine.
const reportMilliseconds = 100;

let vorn = null;
const waiting = [];
let budget = firstBudget;
let running = false;
let loaded = null; // the source and input the session's machine runs
let breakpoints = [];
let outputSent = 0;
let memoryAddress = 0;
let runStarted = 0;
let runSteps = 0;
let lastReport = 0;

// Continues a run right after the messages already queued, without the
// clamping of setTimeout.
const channel = new MessageChannel();
channel.port1.onmessage = slice;

function json(text) {
  return JSON.parse(text);
}

function stateMessage(extra = {}) {
  const state = json(vorn.machineState(outputSent));
  outputSent = state.outputLength;
  const pcFrom = Math.max(state.pc - 3, 0);
  const because = restartedBecause;
  restartedBecause = "";
  return {
    type: "state",
    running,
    ...state,
    memory: json(vorn.memory(memoryAddress, 16)),
    memoryAddress,
    memoryAtPc: json(vorn.memory(pcFrom, 8)),
    restartedBecause: because,
    ...extra,
  };
}

function load(source, input) {
  vorn.load(source, input);
  vorn.setBreakpoints(JSON.stringify(breakpoints));
  loaded = { source, input };
  outputSent = 0;
}

// The session for this source and input, fresh when they changed or the last
// run is over. Says why a paused run started again, if it did.
let restartedBecause = "";

function ensureLoaded(source, input, fresh) {
  const over = ["halted", "fault", "output-full", "no-program"];
  const state = loaded && json(vorn.machineState(1 << 30)).state;
  const paused = loaded && !over.includes(state) && json(vorn.machineState(1 << 30)).steps > 0;
  const changed = loaded && (loaded.source !== source || loaded.input !== input);
  restartedBecause = !fresh && paused && changed
    ? loaded.source !== source ? "the source changed" : "the input changed"
    : "";
  if (fresh || !loaded || changed || over.includes(state)) {
    load(source, input);
  }
}

function slice() {
  if (!running) return;
  const started = performance.now();
  const before = json(vorn.machineState(1 << 30)).steps;
  vorn.continueRun(budget);
  const elapsed = performance.now() - started;
  const state = json(vorn.machineState(1 << 30));
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
    case "memory":
      memoryAddress = message.address;
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
  postMessage({ type: "ready", names: json(vorn.names()) });
  for (const message of waiting.splice(0)) handle(message);
});
