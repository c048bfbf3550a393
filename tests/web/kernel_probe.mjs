// The web page on the kernel test's foot switch: serves the page on http://127.0.0.1:PORT/,
// opens index.html?lang=en in headless Chromium, whose managed policy grants the foot switch
// to that origin, waits until the page says "Connected!" by itself, clicks Left Ctrl and then
// F1, and prints what navigator.hid saw, the times and the log's lines. Exits 0 once the
// assignment was logged as written; what the device received is for the caller to check.
//
// Usage: node kernel_probe.mjs SITE_FOLDER PORT
import fs from "node:fs";
import http from "node:http";
import path from "node:path";
import puppeteer from "puppeteer-core";

const [site, port] = [path.resolve(process.argv[2]), Number(process.argv[3])];
const types = { ".html": "text/html", ".js": "text/javascript", ".wasm": "application/wasm", ".css": "text/css" };
const started = Date.now();
const say = (text) => console.log(`${((Date.now() - started) / 1000).toFixed(1)} s: ${text}`);

const server = http.createServer((request, response) => {
  const file = path.join(site, decodeURIComponent(new URL(request.url, "http://x").pathname));
  if (!file.startsWith(site) || !fs.existsSync(file) || fs.statSync(file).isDirectory()) {
    response.writeHead(404).end();
    return;
  }
  response.writeHead(200, { "Content-Type": types[path.extname(file)] ?? "application/octet-stream" });
  response.end(fs.readFileSync(file));
});
await new Promise((resolve) => server.listen(port, "127.0.0.1", resolve));

let browser;
let status = 1;
try {
  browser = await puppeteer.launch({
    executablePath: "/usr/bin/chromium", headless: true, protocolTimeout: 600000, timeout: 300000,
    args: ["--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage"],
  });
  say(`Chromium started (${await browser.version()})`);
  const page = await browser.newPage();
  page.setDefaultTimeout(300000);
  page.on("pageerror", (error) => say(`page error: ${error.message}`));
  page.on("console", (message) => say(`console: ${message.text()}`));
  await page.goto(`http://127.0.0.1:${port}/index.html?lang=en`);
  await page.waitForSelector("body[data-started]");
  say("the window is shown");
  const seen = await page.evaluate(async () => (await navigator.hid.getDevices()).map((d) =>
    `${d.vendorId.toString(16)}:${d.productId.toString(16)} ${d.productName} ` +
    d.collections.map((c) => `${c.usagePage.toString(16)}/${c.usage.toString(16)}`).join(",")));
  say(`navigator.hid.getDevices(): ${JSON.stringify(seen)}`);
  await page.waitForFunction(() => document.querySelector("#Label3").textContent === "Connected!", { timeout: 120000 });
  say("Connected!");
  for (const name of ["Left Ctrl", "F1"]) {
    await page.click(`[aria-label="${name}"]`);
    await page.evaluate(() => treadlePage.idle());
  }
  const lines = await page.$$eval("#lstResults li", (rows) => rows.map((r) => r.textContent));
  for (const line of lines) {
    say(`log: ${line}`);
  }
  status = /Wrote < Ctrl \+ F1 > to switch <1>$/.test(lines.at(-1) ?? "") ? 0 : 1;
} catch (error) {
  say(`failed: ${error.message}`);
} finally {
  await browser?.close();
  server.close();
}
process.exit(status);
