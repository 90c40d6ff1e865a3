// Drives gpsweb's page in Debian's chromium, by the keyboard only (the drawing's click aside),
// and prints what it saw as one JSON object for browser_test.py to check: the live region after
// each key with the time the answer took, axe-core's violations in every state of the page, the
// order Tab visits the controls in, and the answers of the route and settings steps.
// Usage: node browser_drive.mjs SCENARIO.json (url, chromium, walk keys, shots folder or "").
import { readFileSync } from "node:fs";
import { chromium } from "playwright-core";
import { AxeBuilder } from "@axe-core/playwright";

const scenario = JSON.parse(readFileSync(process.argv[2], "utf8"));
const out = { walk: [], axe: {}, steps: {}, tabOrder: [], focusables: [] };
const browser = await chromium.launch({ executablePath: scenario.chromium, args: ["--no-sandbox"] });
try {
  const context = await browser.newContext({ viewport: { width: 1200, height: 1500 } });
  const page = await context.newPage();
  page.on("pageerror", (e) => (out.pageErrors = [...(out.pageErrors || []), String(e)]));
  await page.goto(scenario.url);
  await page.waitForSelector("body[data-ready=yes]");

  const history = () => page.locator("#history li").count();
  // Presses a key where the focus is and waits for the answer's line in the history.
  async function answer(press) {
    const before = await history();
    const started = Date.now();
    await press();
    // Locators, not waitForFunction: the page's policy forbids the eval that one uses.
    await page.locator("#history li").nth(before).waitFor({ state: "attached" });
    const ms = Date.now() - started;
    await page.locator("#live:not(:empty), #urgent:not(:empty)").first().waitFor({ state: "attached" });
    const live = await page.evaluate(() => document.querySelector("#live").textContent ||
                                            document.querySelector("#urgent").textContent);
    const newest = await page.locator("#history li").first().textContent();
    return { text: live, history: newest, ms, focus: await page.evaluate(() => document.activeElement.id) };
  }
  async function state(name) {
    const result = await new AxeBuilder({ page }).analyze();
    out.axe[name] = result.violations.map((v) => v.id + ": " + v.nodes.map((n) => n.target.join(" ")).join(", "));
    if (scenario.shots) await page.screenshot({ path: `${scenario.shots}/gpsweb-${name}.png`, fullPage: true });
  }

  // The most points any street's line has in the drawing (two: drawn from end to end).
  const mostPoints = async () => {
    await page.locator("#drawing polyline.street").first().waitFor({ state: "attached" });
    return page.evaluate(() => Math.max(...[...document.querySelectorAll("#drawing polyline.street")]
      .map((line) => line.points.numberOfItems)));
  };
  // Without a start place: the maps' middle is drawn, and a click there starts the walk.
  if (scenario.firstClick) {
    out.first = { walker: await page.locator("#drawing .walker").count(), mostPoints: await mostPoints() };
    await state("overview");
    out.first.click = await answer(() => page.click("#drawing"));
    await page.locator("#drawing .walker").waitFor({ state: "attached" });
    out.first.walkerAfter = await page.locator("#drawing .walker").count();
    throw { done: true };
  }

  await state("start");
  // Tab from the top visits every control once, in the order of the page.
  out.focusables = await page.evaluate(() => [...document.querySelectorAll(
    "a[href], button, input, select, [tabindex='0']")].map((e) => e.id || e.textContent.trim()));
  await page.evaluate(() => document.activeElement.blur());
  for (let i = 0; i < out.focusables.length; i++) {
    await page.keyboard.press("Tab");
    out.tabOrder.push(await page.evaluate(() => document.activeElement.id || document.activeElement.textContent.trim()));
  }

  // The walk from where the session started, one key at a time.
  await page.focus("#walk");
  for (const key of scenario.walk) out.walk.push({ key, ...(await answer(() => page.keyboard.press(key))) });
  await state("walking");
  // A country's map: only the walk's answers and their times.
  if (scenario.walkOnly) throw { done: true };

  // A place by name, then the destination and a route, by the keyboard.
  await page.focus("#place");
  await page.keyboard.type(scenario.place);
  out.steps.find = await answer(() => page.keyboard.press("Enter"));
  out.steps.places = await page.locator("#places li").count();
  await state("places");
  await page.focus("#places li:first-child button:nth-of-type(2)");
  out.steps.destination = await answer(() => page.keyboard.press("Enter"));
  await page.focus("#walk");
  out.steps.plan = await answer(() => page.keyboard.press("p"));
  out.steps.next = await answer(() => page.keyboard.press("n"));
  await page.fill("#route-name", scenario.routeName);
  await page.focus("#walk");
  out.steps.save = await answer(() => page.keyboard.press("s"));
  out.steps.gpx = await answer(() => page.keyboard.press("g"));
  out.steps.download = await page.locator("#saved a").textContent();
  out.steps.routeLines = await page.locator("#drawing polyline.route").count();
  out.steps.streetLines = await page.locator("#drawing polyline.street").count();
  out.steps.mostPoints = await mostPoints();
  await state("route");

  // A bad answer is said assertively, and the focus stays.
  await page.fill("#route-name", "../escape");
  await page.focus("#walk");
  out.steps.badName = await answer(() => page.keyboard.press("s"));
  out.steps.urgent = await page.locator("#urgent").textContent();

  // Settings by the keyboard: the select keeps the focus and the service confirms.
  await page.focus("#units");
  out.steps.units = await answer(() => page.keyboard.press(scenario.unitsKey));
  await state("settings");

  // The drawing's click starts the walk where it falls (a sighted helper's way).
  out.steps.click = await answer(() => page.click("#drawing", { position: { x: 300, y: 200 } }));
} catch (e) {
  if (!e || !e.done) throw e;
} finally {
  await browser.close();
}
console.log(JSON.stringify(out));
