// The live view of the measurement in the browser: the page asks the program for its state and
// the samples it holds, then follows the event stream. Everything is drawn here; nothing comes
// from anywhere but the program.
"use strict";

const TEXTS = {
  de: {
    title: "Laden und Entladen eines Kondensators",
    charge: "Aufladen", discharge: "Entladen",
    download: "Messung herunterladen:",
    csvDe: "CSV (Semikolon, Dezimalkomma)", csvEn: "CSV (Komma, Dezimalpunkt)",
    running: "Messung läuft", idle: "keine Messung", run: "Lauf",
    live: "live", lost: "Verbindung unterbrochen – verbinde neu …",
    accepted: "angenommen", refused: "abgelehnt", missing: "PIN fehlt",
    wrongPin: "falsche PIN", locked: "zu viele falsche PINs, bitte warten", badRequest: "ungültige Anfrage",
    axisT: "t in s", axisU: "U_C in V",
    noFit: "kein Fit möglich",
  },
  en: {
    title: "Charging and discharging a capacitor",
    charge: "Charging", discharge: "Discharging",
    download: "Download the measurement:",
    csvDe: "CSV (semicolon, decimal comma)", csvEn: "CSV (comma, decimal point)",
    running: "measuring", idle: "not measuring", run: "run",
    live: "live", lost: "connection lost – reconnecting …",
    accepted: "accepted", refused: "refused", missing: "PIN missing",
    wrongPin: "wrong PIN", locked: "too many wrong PINs, please wait", badRequest: "bad request",
    axisT: "t in s", axisU: "U_C in V",
    noFit: "no fit possible",
  },
};

const state = {
  lang: "de",
  running: false,
  run: 0,
  lastSeq: 0,
  runs: new Map(),   // run number -> {charge: [[t,u]...], discharge: [[t,u]...], dischargeStart}
  tau: [],
  connected: false,
  drawPending: false,
};
// Earlier runs drawn faintly behind the current one, as in the program's diagram.
const KEPT_RUNS = 3;
const SPAN_S = 30;
const U_MAX = 5;

function t(key) { return (TEXTS[state.lang] || TEXTS.de)[key]; }

function number(value, decimals) {
  if (value === null || value === undefined || !isFinite(value)) return "–";
  const text = value.toFixed(decimals);
  return state.lang === "de" ? text.replace(".", ",") : text;
}

function runOf(number) {
  let run = state.runs.get(number);
  if (!run) {
    run = { charge: [], discharge: [], dischargeStart: null };
    state.runs.set(number, run);
    // Only the runs the page draws are kept.
    const numbers = [...state.runs.keys()].sort((a, b) => a - b);
    while (numbers.length > KEPT_RUNS + 1) state.runs.delete(numbers.shift());
  }
  return run;
}

function addSample(s) {
  if (s.seq <= state.lastSeq) return;
  state.lastSeq = s.seq;
  const run = runOf(s.run);
  if (s.Aufladen !== undefined) {
    run.charge.push([s.t, s.Aufladen]);
  } else if (s.Entladen !== undefined) {
    if (run.dischargeStart === null) run.dischargeStart = s.t;
    run.discharge.push([s.t - run.dischargeStart, s.Entladen]);
  }
  if (s.run > state.run) state.run = s.run;
  showDisplays(s.U_C, s.I);
}

function showDisplays(uc, i) {
  document.getElementById("uc").textContent = number(uc, 2) + " V";
  document.getElementById("i").textContent = number(i, 3) + " mA";
}

function showStatus() {
  const status = document.getElementById("status");
  const parts = [state.connected ? t("live") : t("lost")];
  parts.push(state.running ? t("running") : t("idle"));
  if (state.run > 0) parts.push(t("run") + " " + state.run);
  status.textContent = parts.join(" · ");
  status.className = "status " + (state.connected ? "live" : "lost");
}

function tauLine(result) {
  if (state.lang === "de" && result.text) return result.text;
  const routes = [];
  if (result.fit !== null) routes.push("τ = " + number(result.fit, 2) + " s ± " + number(Math.max(result.fitUncertainty || 0, 0.01), 2) + " s (fit)");
  if (result.p63 !== null) routes.push(number(result.p63, 2) + " s (63 %)");
  if (result.ln !== null) routes.push(number(result.ln, 2) + " s (ln)");
  if (routes.length === 0) return t("noFit");
  if (result.fit === null) routes[0] = "τ = " + routes[0];
  return routes.join(" · ");
}

function showTau() {
  for (const kind of ["charging", "discharging"]) {
    const id = kind === "charging" ? "chargeTau" : "dischargeTau";
    const results = state.tau.filter((r) => r.run === state.run && r.kind === kind);
    document.getElementById(id).textContent = results.length ? tauLine(results[results.length - 1]) : "";
  }
}

function applyLanguage() {
  document.documentElement.lang = state.lang;
  for (const id of ["title", "csvDe", "csvEn"]) document.getElementById(id).textContent = t(id);
  document.getElementById("chargeTitle").textContent = t("charge");
  document.getElementById("dischargeTitle").textContent = t("discharge");
  document.getElementById("downloadLabel").textContent = t("download");
  document.title = t("title");
}

// One oscilloscope: grid, axes, the kept runs faint and the current run bright.
function drawScope(canvas, curves) {
  const ratio = window.devicePixelRatio || 1;
  const width = Math.max(200, Math.round(canvas.clientWidth * ratio));
  const height = Math.round(width / 2);
  if (canvas.width !== width || canvas.height !== height) {
    canvas.width = width;
    canvas.height = height;
  }
  const g = canvas.getContext("2d");
  const font = Math.max(10, Math.round(width / 50));
  const left = font * 3, right = font, top = font, bottom = font * 2.4;
  const w = width - left - right, h = height - top - bottom;
  const x = (s) => left + (s / SPAN_S) * w;
  const y = (u) => top + h - (u / U_MAX) * h;
  g.fillStyle = "#05080b";
  g.fillRect(0, 0, width, height);
  g.strokeStyle = "#22303d";
  g.lineWidth = 1;
  g.fillStyle = "#9fb1c2";
  g.font = font + "px sans-serif";
  g.textAlign = "center";
  g.textBaseline = "top";
  for (let s = 0; s <= SPAN_S; s += 5) {
    g.beginPath(); g.moveTo(x(s), top); g.lineTo(x(s), top + h); g.stroke();
    g.fillText(String(s), x(s), top + h + font * 0.3);
  }
  g.fillText(t("axisT"), left + w / 2, top + h + font * 1.3);
  g.textAlign = "right";
  g.textBaseline = "middle";
  for (let u = 0; u <= U_MAX; u += 1) {
    g.beginPath(); g.moveTo(left, y(u)); g.lineTo(left + w, y(u)); g.stroke();
    g.fillText(String(u), left - font * 0.4, y(u));
  }
  for (const curve of curves) {
    if (curve.points.length === 0) continue;
    g.strokeStyle = curve.colour;
    g.lineWidth = curve.width * ratio;
    g.beginPath();
    curve.points.forEach(([s, u], k) => (k ? g.lineTo(x(s), y(u)) : g.moveTo(x(s), y(u))));
    g.stroke();
  }
}

function draw() {
  state.drawPending = false;
  const numbers = [...state.runs.keys()].sort((a, b) => a - b);
  const current = numbers.length ? numbers[numbers.length - 1] : 0;
  for (const [id, key, colour] of [["charge", "charge", "#4ad2ff"], ["discharge", "discharge", "#4aff7a"]]) {
    const curves = numbers.map((n) => ({
      points: state.runs.get(n)[key],
      colour: n === current ? colour : "rgba(160, 180, 200, 0.35)",
      width: n === current ? 2.5 : 1.5,
    }));
    drawScope(document.getElementById(id), curves);
  }
}

function requestDraw() {
  if (state.drawPending) return;
  state.drawPending = true;
  window.requestAnimationFrame(() => { if (state.drawPending) draw(); });
  // A browser that holds back animation frames (a tab in the background) still draws, less often.
  window.setTimeout(() => { if (state.drawPending) draw(); }, 500);
}

function applyState(s) {
  // The program was started again and counts from 1: the page starts afresh too.
  if (s.seq < state.lastSeq) {
    window.location.reload();
    return;
  }
  state.running = s.running;
  if (s.run > state.run) state.run = s.run;
  showStatus();
  showTau();
}

async function loadHistory() {
  const answer = await fetch("/api/state", { cache: "no-store" });
  const s = await answer.json();
  state.lang = TEXTS[s.language] ? s.language : "de";
  state.tau = s.tau || [];
  applyLanguage();
  applyState(s);
  if (s.latest) showDisplays(s.latest.U_C, s.latest.I);
  for (;;) {
    const page = await (await fetch("/api/samples?since=" + state.lastSeq, { cache: "no-store" })).json();
    page.samples.forEach(addSample);
    if (!page.more || page.samples.length === 0) break;
  }
  requestDraw();
}

function follow() {
  const events = new EventSource("/api/events?since=" + state.lastSeq);
  events.onopen = () => { state.connected = true; showStatus(); };
  events.onerror = () => { state.connected = false; showStatus(); };
  events.onmessage = (e) => { addSample(JSON.parse(e.data)); requestDraw(); };
  events.addEventListener("state", (e) => applyState(JSON.parse(e.data)));
  events.addEventListener("reading", (e) => { const r = JSON.parse(e.data); showDisplays(r.U_C, r.I); });
  events.addEventListener("tau", (e) => { state.tau.push(JSON.parse(e.data)); showTau(); });
}

function setupControl() {
  const form = document.getElementById("control");
  const answerText = document.getElementById("controlAnswer");
  let action = "start";
  for (const id of ["start", "stop"]) document.getElementById(id).addEventListener("click", () => { action = id; });
  form.addEventListener("submit", async (e) => {
    e.preventDefault();
    const pin = document.getElementById("pin").value.trim();
    try {
      const answer = await fetch("/api/" + action, {
        method: "POST",
        headers: { "Content-Type": "application/json" },
        body: JSON.stringify(pin ? { pin } : {}),
      });
      const reasons = { 202: "accepted", 400: "badRequest", 401: "missing", 403: "wrongPin", 429: "locked" };
      answerText.textContent = action + ": " + t(reasons[answer.status] || "refused");
    } catch (error) {
      answerText.textContent = action + ": " + t("lost");
    }
  });
}

window.addEventListener("resize", requestDraw);
document.addEventListener("DOMContentLoaded", async () => {
  setupControl();
  showStatus();
  try {
    await loadHistory();
  } catch (error) {
    // The stream below fills the page anyway.
  }
  follow();
});
