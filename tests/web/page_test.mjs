// The web page in headless Chromium, on a stand-in for navigator.hid that plays the composite
// foot switch: a keyboard interface whose writes the browser refuses, and the configuration
// interface, which records every report with the moment it came.
//
// Usage: node page_test.mjs SITE_FOLDER
import { after, before, describe, test } from "node:test";
import assert from "node:assert/strict";
import fs from "node:fs";
import http from "node:http";
import os from "node:os";
import path from "node:path";
import zlib from "node:zlib";
import puppeteer from "puppeteer-core";

const site = path.resolve(process.argv[2] ?? "../../build/web/site");
const chromium = process.env.TREADLE_CHROMIUM ?? "/usr/bin/chromium";

// ---- The stand-in, injected into every page before its scripts run ------------------------
function standIn(options) {
  if (options.noHid) {
    delete Navigator.prototype.hid;
    return;
  }
  const record = { writes: [], granted: options.granted, refuse: false, denyOpen: options.denyOpen };
  window.hidStandIn = record;
  const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
  class Device extends EventTarget {
    constructor(name, collection, refuses) {
      super();
      Object.assign(this, { name, refuses, vendorId: 0x2704, productId: 0x2018, productName: "Foot switch" });
      this.collections = [collection];
      this.opened = false;
      this.connected = true;
    }
    async open() {
      if (record.denyOpen) {
        throw new DOMException("Failed to open the device.", "NotAllowedError");
      }
      if (!this.connected) {
        throw new DOMException("The device is gone.", "NotFoundError");
      }
      this.opened = true;
    }
    async close() { this.opened = false; }
    async sendReport(reportId, data) {
      const bytes = Array.from(data, (b) => b.toString(16).padStart(2, "0")).join(" ");
      record.writes.push({ device: this.name, reportId, bytes, at: performance.now() });
      await sleep(1);
      if (!this.opened || !this.connected) {
        throw new DOMException("The device is gone.", "InvalidStateError");
      }
      if (this.refuses || record.refuse) {
        throw new DOMException("Failed to write the report.", "NotAllowedError");
      }
    }
  }
  const bytes = (count) => [{ reportId: 0, items: [{ reportSize: 8, reportCount: count }] }];
  const keyboard = new Device("keyboard", { usagePage: 1, usage: 6, inputReports: bytes(8), outputReports: bytes(1), featureReports: [] }, true);
  const config = new Device("config", { usagePage: 0xff00, usage: 1, inputReports: bytes(7), outputReports: bytes(7), featureReports: [] }, false);
  const hid = new EventTarget();
  hid.getDevices = async () => (record.granted ? [keyboard, config].filter((d) => d.connected) : []);
  hid.requestDevice = async () => { record.granted = true; return [keyboard, config]; };
  record.unplug = () => {
    for (const d of [keyboard, config]) {
      d.connected = false;
      d.opened = false;
      hid.dispatchEvent(Object.assign(new Event("disconnect"), { device: d }));
    }
  };
  // Gone without the browser saying so yet: the next write meets a device that is not there.
  record.vanish = () => {
    for (const d of [keyboard, config]) {
      d.connected = false;
      d.opened = false;
    }
  };
  record.plug = () => {
    for (const d of [keyboard, config]) {
      d.connected = true;
      hid.dispatchEvent(Object.assign(new Event("connect"), { device: d }));
    }
  };
  Object.defineProperty(Navigator.prototype, "hid", { get: () => hid, configurable: true });
  // When the status first said "Connected!", for the numbers.
  new MutationObserver((_, observer) => {
    if (document.querySelector("#Label3")?.textContent === "Connected!") {
      record.connectedAt = performance.now();
      observer.disconnect();
    }
  }).observe(document, { subtree: true, childList: true, characterData: true });
}

// ---- A local server and the browser ---------------------------------------------------------
const types = { ".html": "text/html", ".js": "text/javascript", ".wasm": "application/wasm", ".css": "text/css",
                ".png": "image/png", ".rules": "text/plain" };
let server;
let browser;
let origin;

before(async () => {
  assert.ok(fs.existsSync(path.join(site, "index.html")), `no page at ${site}: run scripts/build-web`);
  server = http.createServer((request, response) => {
    const file = path.join(site, decodeURIComponent(new URL(request.url, "http://x").pathname));
    if (!file.startsWith(site) || !fs.existsSync(file) || fs.statSync(file).isDirectory()) {
      const index = path.join(site, "index.html");
      if (new URL(request.url, "http://x").pathname === "/") {
        response.writeHead(200, { "Content-Type": types[".html"] }).end(fs.readFileSync(index));
        return;
      }
      response.writeHead(404).end();
      return;
    }
    response.writeHead(200, { "Content-Type": types[path.extname(file)] ?? "application/octet-stream" });
    response.end(fs.readFileSync(file));
  });
  await new Promise((resolve) => server.listen(0, "127.0.0.1", resolve));
  origin = `http://127.0.0.1:${server.address().port}/`;
  browser = await puppeteer.launch({ executablePath: chromium, headless: true, args: ["--no-sandbox"] });
});

after(async () => {
  await browser?.close();
  server?.close();
});

// Opens the page with the stand-in; resolves once the window has started.
async function open(query, config = { granted: true }) {
  const page = await browser.newPage();
  page.on("pageerror", (error) => console.error("page error:", error.message));
  if (process.env.TREADLE_WEB_CONSOLE) {
    page.on("console", (message) => console.error("console:", message.text()));
  }
  await page.evaluateOnNewDocument(standIn, config);
  await page.goto(origin + query);
  await page.waitForSelector("body[data-started]");
  return page;
}

const idle = (page) => page.evaluate(() => treadlePage.idle());
const status = (page) => page.$eval("#Label3", (e) => e.textContent);
const logLines = (page) => page.$$eval("#lstResults li", (rows) => rows.map((r) => r.textContent));
const writes = (page) => page.evaluate(() => window.hidStandIn.writes.splice(0));
const press = async (page, name) => {
  await page.click(`[aria-label="${name}"]`);
  await idle(page);
};

async function connected(page) {
  await page.waitForFunction(() => document.querySelector("#Label3").textContent === "Connected!");
}

describe("a granted foot switch", () => {
  test("connects by itself, and Left Ctrl then F1 writes the three frames 50 ms apart to the configuration interface", async (t) => {
    const page = await open("index.html?lang=en");
    await connected(page);
    const [started, shown] = await page.evaluate(() => [performance.getEntriesByName("treadle-started")[0].startTime,
                                                          window.hidStandIn.connectedAt]);
    t.diagnostic(`navigation to the window shown: ${Math.round(started)} ms, to "Connected!": ${Math.round(shown)} ms`);
    await writes(page);
    await press(page, "Left Ctrl");
    await press(page, "F1");
    const sent = await writes(page);
    assert.deepEqual(sent.map((w) => [w.device, w.reportId, w.bytes]), [
      ["config", 0, "aa 01 00 01 3a 00 00"],
      ["config", 0, "aa 01 7c 79 01 00 00"],
      ["config", 0, "aa 01 78 79 01 00 00"],
    ]);
    for (let i = 1; i < sent.length; ++i) {
      const gap = sent[i].at - sent[i - 1].at;
      assert.ok(gap >= 48 && gap < 150, `pause ${i} was ${gap} ms`);
    }
    assert.match((await logLines(page)).at(-1), /Wrote < Ctrl \+ F1 > to switch <1>$/);
    await page.close();
  });

  test("the mouse, clear all through the dialog, the delay and the run mode write their frames", async () => {
    const page = await open("index.html?lang=en&advanced");
    await connected(page);
    await writes(page);
    await press(page, "Left");
    assert.deepEqual((await writes(page)).map((w) => w.bytes), ["aa 02 00 fe 01 00 00"]);

    await page.click("#Command1");
    await page.waitForSelector("#box[open]");
    assert.equal(await page.$eval("#box-text", (e) => e.textContent), "Really clear all key values of the device?");
    await page.keyboard.press("Enter");  // OK has the focus
    await idle(page);
    const cleared = (await writes(page)).map((w) => w.bytes);
    assert.equal(cleared.length, 32);
    assert.equal(cleared[0], "aa 01 00 ff ff ff ff");
    assert.equal(cleared[31], "aa 01 7c ff ff ff ff");
    assert.equal(await page.$eval("#Combo1", (e) => e.selectedOptions[0].text), "0");  // as clear all leaves it
    await page.select("#Combo1", "2");
    await idle(page);
    await press(page, "F2");
    assert.equal((await writes(page))[0].bytes, "aa 01 04 00 3b 00 00");

    await page.click("#Command1");
    await page.waitForSelector("#box[open]");
    await page.keyboard.press("Escape");  // cancelled: nothing is written
    await idle(page);
    assert.deepEqual(await writes(page), []);

    await page.click("#Text_delay", { clickCount: 3 });
    await page.keyboard.type("300");
    await page.click("#Command2");
    await idle(page);
    assert.deepEqual((await writes(page)).map((w) => w.bytes), ["aa 01 7c 79 01 01 2c", "aa 01 78 79 01 00 00"]);

    await page.click("#Command_auto_run");
    await idle(page);
    assert.deepEqual((await writes(page)).map((w) => w.bytes), ["aa 01 7c 79 01 00 00"]);
    assert.equal(await page.$eval("#Command_auto_run", (e) => e.getAttribute("aria-pressed")), "true");
    await page.click("#Option1");
    await idle(page);
    assert.deepEqual((await writes(page)).map((w) => w.bytes), ["aa 01 7c 79 00 00 00"]);
    await page.keyboard.press("ArrowUp");  // from the focused option to the other: loop playback
    await idle(page);
    assert.deepEqual((await writes(page)).map((w) => w.bytes), ["aa 01 7c 79 01 00 00"]);
    assert.equal(await page.$eval("#Option2 input", (e) => e.checked && e === document.activeElement), true);
    await page.close();
  });

  test("two quick clicks on F1 make two whole assignments, in order", async () => {
    const page = await open("index.html?lang=en");
    await connected(page);
    await writes(page);
    await page.click('[aria-label="F1"]');
    await page.click('[aria-label="F1"]');
    await idle(page);
    const sent = (await writes(page)).map((w) => w.bytes);
    const one = ["aa 01 00 00 3a 00 00", "aa 01 7c 79 01 00 00", "aa 01 78 79 01 00 00"];
    assert.deepEqual(sent, [...one, ...one]);
    assert.equal((await logLines(page)).filter((l) => l.endsWith("Wrote < F1 > to switch <1>")).length, 2);
    await page.close();
  });

  test("a refused write is logged as a failure, never as written", async () => {
    const page = await open("index.html?lang=en");
    await connected(page);
    await page.evaluate(() => { window.hidStandIn.refuse = true; });
    const before = (await logLines(page)).length;
    await press(page, "F2");
    const lines = (await logLines(page)).slice(before);
    assert.ok(lines.length > 0);
    assert.ok(!lines.some((l) => l.includes("Wrote")), lines.join("\n"));
    assert.ok(lines.some((l) => /refused|fail/i.test(l)), lines.join("\n"));
    await page.close();
  });

  test("unplugged, the page says so; plugged in again, it connects by itself", async () => {
    const page = await open("index.html?lang=en");
    await connected(page);
    const before = (await logLines(page)).length;
    await page.evaluate(() => {
      window.hidStandIn.vanish();
      document.querySelector('[aria-label="F4"]').click();
    });
    await idle(page);
    const lines = (await logLines(page)).slice(before);
    assert.ok(lines.some((l) => l.includes("Write failed")) && !lines.some((l) => l.includes("Wrote")), lines.join("\n"));
    await page.evaluate(() => window.hidStandIn.unplug());
    await page.waitForFunction(() => document.querySelector("#Label3").textContent !== "Connected!");
    await page.evaluate(() => window.hidStandIn.plug());
    await connected(page);
    await writes(page);
    await press(page, "F3");
    assert.equal((await writes(page))[0].bytes, "aa 01 00 00 3c 00 00");
    await page.close();
  });

  test("the pedal test hears the keys and clicks that reach the page, and says so", async () => {
    const page = await open("index.html?lang=en&advanced");
    await connected(page);
    assert.match(await page.$eval("#bar-note", (e) => e.textContent), /keys that reach this page/);
    await page.keyboard.down("Control");
    await page.keyboard.press("F1");
    await page.keyboard.up("Control");
    await page.keyboard.press("Shift");
    await page.click("#List_pedal_presses", { button: "right" });
    await page.waitForFunction(() => document.querySelector("#List_pedal_presses").children.length === 3);
    const lines = await page.$$eval("#List_pedal_presses li", (rows) => rows.map((r) => r.textContent));
    assert.deepEqual(lines.map((l) => l.split("   ")[1]), ["mouse-right", "shift", "ctrl+f1"]);
    await page.close();
  });
});

describe("without a granted foot switch", () => {
  test("the chooser button grants it, and the page connects", async () => {
    const page = await open("index.html", { granted: false });
    assert.equal(await page.$eval("#choose", (e) => e.textContent), "选择脚踏开关…");
    assert.equal(await status(page), "请插入设备！");
    await page.click("#choose");
    await page.waitForFunction(() => document.querySelector("#Label3").textContent === "设备连接成功！");
    await page.close();
  });

  test("a browser without WebHID says which browsers can, and offers the virtual foot switch", async () => {
    const page = await open("index.html?lang=en", { noHid: true });
    assert.equal(await page.$eval("#notice", (e) => e.hidden), false);
    assert.match(await page.$eval("#notice-text", (e) => e.textContent), /Chrome, Edge or Opera/);
    await Promise.all([page.waitForNavigation(), page.click("#try-virtual")]);
    await page.waitForSelector("body[data-started]");
    assert.match(page.url(), /[?&]virtual/);
    await connected(page);
    await page.close();
  });

  test("on Linux without the udev rule, the permission box offers the rule", async () => {
    const page = await open("index.html?lang=en", { granted: true, denyOpen: true });
    await page.waitForSelector("#permission[open]");
    assert.match(await page.$eval("#permission-title", (e) => e.textContent), /udev rule is missing/);
    assert.equal(await page.$eval("#permission-rule", (e) => e.getAttribute("href")), "70-treadle.rules");
    assert.match(await page.$eval("#permission-commands", (e) => e.textContent), /udevadm control --reload/);
    await page.close();
  });
});

describe("the virtual foot switch", () => {
  test("programs without WebHID, and a reload keeps its slots", async () => {
    const page = await open("index.html?virtual&lang=en&advanced", { noHid: true });
    await page.evaluate(() => localStorage.clear());
    await page.reload();
    await page.waitForSelector("body[data-started]");
    await connected(page);
    await press(page, "Left Ctrl");
    await press(page, "F1");
    assert.match((await logLines(page)).at(-1), /Wrote < Ctrl \+ F1 > to switch <1>$/);
    await page.reload();
    await page.waitForSelector("body[data-started]");
    await connected(page);
    await page.click("#Command_pedal_0_");
    await idle(page);
    await page.waitForFunction(() => document.querySelector("#List_pedal_presses").textContent.includes("ctrl+f1"));
    await page.close();
  });
});

describe("the keyboard", () => {
  test("Tab reaches every enabled control in the focus order, each with its name", async () => {
    const page = await open("index.html?lang=en");
    await connected(page);
    const expected = await page.$$eval("#window [tabindex]", (all) =>
      all.filter((e) => e.tabIndex > 0 && !e.disabled && e.offsetParent !== null)
        .sort((a, b) => a.tabIndex - b.tabIndex)
        .map((e) => e.closest(".control").dataset.control));
    assert.ok(expected.length > 100, `only ${expected.length} stops`);
    const reached = [];
    for (let i = 0; i < expected.length; ++i) {
      await page.keyboard.press("Tab");
      reached.push(await page.evaluate(() => {
        const e = document.activeElement;
        const name = e.getAttribute("aria-label") || e.textContent;
        return [e.closest(".control").dataset.control, name];
      }));
    }
    assert.deepEqual(reached.map(([control]) => control), expected);
    for (const [control, name] of reached) {
      assert.ok(name.trim() !== "", `${control} has no name`);
    }
    assert.equal(reached[0][1], "Switch");
    await page.close();
  });
});

describe("size", () => {
  test("the module stays within 350 KB gzipped", (t) => {
    const size = zlib.gzipSync(fs.readFileSync(path.join(site, "treadle.wasm")), { level: 9 }).length;
    t.diagnostic(`treadle.wasm gzipped: ${(size / 1024).toFixed(0)} KiB`);
    assert.ok(size <= 350 * 1024, `${size} bytes`);
  });
});

describe("profiles", () => {
  test("a saved profile loads back and writes the same frames", async () => {
    const page = await open("index.html?lang=en&advanced");
    await connected(page);
    await press(page, "Left Shift");
    await press(page, "F5");
    const downloads = fs.mkdtempSync(path.join(os.tmpdir(), "treadle-web-"));
    const session = await page.createCDPSession();
    await session.send("Browser.setDownloadBehavior", { behavior: "allow", downloadPath: downloads });
    await page.click("#Command_save_profile");
    await idle(page);
    const file = path.join(downloads, "treadle-profile.toml");
    for (let i = 0; i < 50 && !fs.existsSync(file); ++i) {
      await new Promise((resolve) => setTimeout(resolve, 100));
    }
    assert.match(fs.readFileSync(file, "utf8"), /shift/i);
    await writes(page);
    const [chooser] = await Promise.all([page.waitForFileChooser(), page.click("#Command_load_profile")]);
    await chooser.accept([file]);
    await idle(page);
    await page.waitForFunction(() => window.hidStandIn.writes.length > 0);
    await idle(page);
    const sent = (await writes(page)).map((w) => w.bytes);
    assert.ok(sent.includes("aa 01 00 02 3e 00 00"), sent.join("\n"));
    fs.rmSync(downloads, { recursive: true });
    await page.close();
  });
});
