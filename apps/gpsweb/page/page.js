// gpsweb's page: every key or button becomes one action of the service; its answer is said in a
// live region and kept in the history. Nothing here moves the focus.
"use strict";

const token = new URLSearchParams(location.search).get("token") || "";
let session = null;
let busy = Promise.resolve();
const $ = (id) => document.getElementById(id);

// Keys of the walk area, and the buttons that carry the same keys.
const KEYS = {
  ArrowUp: { do: "move", step: "forward" },
  ArrowDown: { do: "move", step: "back" },
  ArrowLeft: { do: "move", step: "left" },
  ArrowRight: { do: "move", step: "right" },
  x: { do: "move", step: "cross" },
  w: { do: "where" },
  i: { do: "corner" },
  a: { do: "around" },
  d: { do: "dest-here" },
  p: { do: "plan" },
  n: { do: "directions", step: "next" },
  b: { do: "directions", step: "back" },
  s: () => ({ do: "save", format: "route", name: $("route-name").value }),
  g: () => ({ do: "save", format: "gpx", name: $("route-name").value }),
};

async function post(path, body) {
  const headers = { "Content-Type": "application/json", "X-Gpsweb-Token": token };
  if (session) headers["X-Gpsweb-Session"] = session;
  const response = await fetch(path, { method: "POST", headers, body: JSON.stringify(body) });
  let answer = {};
  try {
    answer = await response.json();
  } catch (e) {
    answer = { error: "gpsweb answered " + response.status + "." };
  }
  if (!response.ok) answer.failed = response.status;
  return answer;
}

// Says a text: assertive when urgent, else polite; both also go into the history.
function say(text, urgent) {
  if (!text) return;
  const region = urgent ? $("urgent") : $("live");
  (urgent ? $("live") : $("urgent")).textContent = "";
  // The same words twice in a row must be said twice: empty the region first.
  region.textContent = "";
  window.setTimeout(() => { region.textContent = text; }, 30);
  const item = document.createElement("li");
  item.textContent = text;
  $("history").prepend(item);
  while ($("history").children.length > 200) $("history").lastChild.remove();
}

// One action at a time, in the order asked: a fast typist's keys are answered in order.
function act(request) {
  const started = performance.now();
  busy = busy.then(async () => {
    const answer = await post("/api/act", request);
    window.gpswebLastAnswerMs = performance.now() - started;
    if (answer.failed) {
      say(answer.error || "Failed.", true);
      return answer;
    }
    say(answer.text, answer.urgent);
    show(answer, request);
    return answer;
  }).catch(() => say("gpsweb does not answer: is it still running?", true));
  return busy;
}

function show(answer, request) {
  if (answer.pois) listPlaces(answer.pois);
  if (answer.file) {
    const link = document.createElement("a");
    link.href = "/routes/" + encodeURIComponent(answer.file) + "?token=" + encodeURIComponent(token);
    link.textContent = "Download " + answer.file;
    $("saved").replaceChildren(link);
  }
  if (answer.settings) showSettings(answer.settings);
  if (request.do !== "drawing" && answer.walker !== undefined) redraw();
}

function listPlaces(pois) {
  const items = pois.map((poi, index) => {
    const item = document.createElement("li");
    const text = document.createElement("span");
    text.textContent = poi.text + " ";
    const start = document.createElement("button");
    start.type = "button";
    start.textContent = "Start here";
    start.setAttribute("aria-label", "Start at " + poi.name);
    start.addEventListener("click", () => act({ do: "start-poi", index }));
    const dest = document.createElement("button");
    dest.type = "button";
    dest.textContent = "Set as destination";
    dest.setAttribute("aria-label", "Set " + poi.name + " as destination");
    dest.addEventListener("click", () => act({ do: "dest-poi", index }));
    item.append(text, start, dest);
    return item;
  });
  $("places").replaceChildren(...items);
}

function showSettings(settings) {
  for (const name of ["units", "heading", "turns", "language"]) $(name).value = settings[name];
  for (const name of ["detailed", "sides"]) $(name).checked = settings[name];
}

// -- the drawing --------------------------------------------------------------------------------

const SVG = "http://www.w3.org/2000/svg";
const HALF = 300; // The drawing's viewBox reaches HALF units either side of its middle.
// What the drawing shows: its middle, how many metres it reaches either side, and the walker's
// heading (0 before the walk starts).
let view = null;

// Metres east and south of the view's middle, scaled so that view.metres is HALF units.
function project(lat, lon) {
  const scale = HALF / view.metres;
  const x = (lon - view.lon) * 111320 * Math.cos((view.lat * Math.PI) / 180) * scale;
  const y = -(lat - view.lat) * 110540 * scale;
  return [x, y];
}

function element(name, attributes, text) {
  const e = document.createElementNS(SVG, name);
  for (const [k, v] of Object.entries(attributes)) e.setAttribute(k, v);
  if (text) e.textContent = text;
  return e;
}

async function redraw() {
  const drawing = await post("/api/act", { do: "drawing" });
  const svg = $("drawing");
  if (drawing.failed || !drawing.view) return;
  view = { ...drawing.view, heading: drawing.walker ? Math.max(0, drawing.walker.heading) : 0 };
  const parts = [];
  const labelled = new Set();
  // The streets' true shapes; ways closed to drivers (footways, paths) thinner.
  for (const s of drawing.streets) {
    const points = s.points.map((p) => project(...p));
    parts.push(element("polyline", { class: s.drivable ? "street" : "street path",
                                     points: points.map((p) => p.join(",")).join(" ") }));
    if (s.name && !labelled.has(s.name)) {
      labelled.add(s.name);
      const [x, y] = points[Math.floor(points.length / 2)];
      parts.push(element("text", { class: "label", x, y: y - 6 }, s.name));
    }
  }
  if (drawing.route.length > 1) {
    const points = drawing.route.map((p) => project(p.lat, p.lon).join(",")).join(" ");
    parts.push(element("polyline", { class: "route", points }));
  }
  for (const p of drawing.pois) {
    const [cx, cy] = project(p.lat, p.lon);
    parts.push(element("circle", { class: "poi", cx, cy, r: 6 }));
    parts.push(element("text", { class: "label", x: cx + 8, y: cy + 4 }, p.name));
  }
  if (drawing.walker) {
    const [x, y] = project(drawing.walker.lat, drawing.walker.lon);
    parts.push(element("polygon", { class: "walker", points: "0,-14 9,10 0,5 -9,10",
                                    transform: `translate(${x} ${y}) rotate(${view.heading})` }));
  }
  svg.replaceChildren(...parts);
}

// A click places the walker where it falls, keeping the heading: before the walk, this is how a
// sighted helper chooses the start.
function clickDrawing(event) {
  if (!view) return;
  const svg = $("drawing");
  const point = new DOMPoint(event.clientX, event.clientY).matrixTransform(svg.getScreenCTM().inverse());
  const metres = view.metres / HALF;
  const lat = view.lat - (point.y * metres) / 110540;
  const lon = view.lon + (point.x * metres) / (111320 * Math.cos((view.lat * Math.PI) / 180));
  act({ do: "place", lat, lon, heading: view.heading });
}

// -- wiring -------------------------------------------------------------------------------------

function requestOf(key) {
  const entry = KEYS[key];
  return typeof entry === "function" ? entry() : entry;
}

async function start() {
  const opened = await post("/api/session", {});
  if (opened.failed) {
    $("status").textContent = opened.error;
    return;
  }
  session = opened.session;
  const state = await act({ do: "state" });
  $("status").textContent = state && !state.failed ? state.text : "The service did not start.";
  document.body.dataset.ready = "yes";
}

document.addEventListener("DOMContentLoaded", () => {
  $("walk").addEventListener("keydown", (event) => {
    if (event.target !== $("walk") || event.altKey || event.ctrlKey || event.metaKey) return;
    const key = event.key.length === 1 ? event.key.toLowerCase() : event.key;
    if (!KEYS[key]) return;
    event.preventDefault();
    act(requestOf(key));
  });
  for (const button of document.querySelectorAll("button[data-key]"))
    button.addEventListener("click", () => act(requestOf(button.dataset.key)));
  $("address-form").addEventListener("submit", (event) => {
    event.preventDefault();
    act({ do: "address", city: $("city").value, street: $("street").value, number: $("number").value });
  });
  $("find-form").addEventListener("submit", (event) => {
    event.preventDefault();
    act({ do: "find", text: $("place").value });
  });
  $("settings").addEventListener("change", (event) => {
    const field = event.target;
    const value = field.type === "checkbox" ? field.checked : field.value;
    act({ do: "settings", setting: field.name, value });
  });
  $("drawing").addEventListener("click", clickDrawing);
  start();
});
