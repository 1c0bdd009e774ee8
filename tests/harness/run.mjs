#!/usr/bin/env node
// Plays a SWF (or opens an HTML page) in the Flash player of the npm package
// @ruffle-rs/ruffle inside headless Chromium, and prints one JSON result on stdout:
//   {"ok":true,"traces":[...],"errors":[...],"console":[...],"screenshots":[...]}
// On a harness failure (no browser, no packages, bad arguments) it prints
// {"ok":false,"error":"..."} and exits with status 2.
//
// Usage: node run.mjs <job.json>
// job.json:
//   nodeDir      folder holding node_modules/ with @ruffle-rs/ruffle and playwright-core
//   root         folder served over HTTP on 127.0.0.1 (a random free port)
//   swf          path of the SWF below root to play   (one of swf / html)
//   html         path of an HTML page below root to open; the page's own <object>/<embed>
//                are taken over by the player, which is injected into the page
//   page         URL path (with its query) of a page below root opened as it stands:
//                nothing is injected, the page brings its own copy of the player
//   width,height size of the player in CSS pixels (default 550 x 400); screenshots are
//                of the player only, so a pixel is a stage pixel at scale 1
//   shots        [{"at": ms, "path": "out.png"}, ...]: times after the movie started
//   clicks       [{"at": ms, "x": px, "y": py}, ...]: mouse clicks on the stage
//   duration     ms to keep playing after the movie started (default: last shot + 200)
//   untilTrace   optional text: stop as soon as a trace line equals it (still takes
//                every shot due before then)
//   timeout      ms for the whole run (default 30000)
//   chromium     browser executable (default /usr/bin/chromium)
// The result also lists the URL paths the page asked the server for ("requests").
import { createRequire } from "node:module";
import { createServer } from "node:http";
import { mkdtempSync, readFileSync, rmSync, statSync, existsSync } from "node:fs";
import { tmpdir } from "node:os";
import path from "node:path";

function fail(message) {
  process.stdout.write(JSON.stringify({ ok: false, error: message }) + "\n");
  process.exit(2);
}

const MIME = {
  ".html": "text/html; charset=utf-8",
  ".js": "text/javascript",
  ".mjs": "text/javascript",
  ".wasm": "application/wasm",
  ".swf": "application/x-shockwave-flash",
  ".flv": "video/x-flv",
  ".json": "application/json",
  ".xml": "text/xml",
  ".map": "application/json",
  ".png": "image/png",
  ".jpg": "image/jpeg",
};

// Serves `root` at / and the player package at /__ruffle/; nothing outside them.
function serve(root, rufflePkg, pageFor, inject, requests) {
  const server = createServer((req, res) => {
    let url;
    requests.push(req.url);
    try {
      url = decodeURIComponent(new URL(req.url, "http://x").pathname);
    } catch {
      res.writeHead(400).end();
      return;
    }
    if (url === "/favicon.ico") {
      res.writeHead(204).end();
      return;
    }
    if (url === "/__player.html") {
      res.writeHead(200, { "content-type": MIME[".html"], "cache-control": "no-store" });
      res.end(pageFor());
      return;
    }
    let base = root;
    let rel = url;
    if (url.startsWith("/__ruffle/")) {
      base = rufflePkg;
      rel = url.slice("/__ruffle".length);
    }
    const file = path.resolve(base, "." + rel);
    if (file !== base && !file.startsWith(base + path.sep)) {
      res.writeHead(403).end();
      return;
    }
    let body;
    try {
      if (!statSync(file).isFile()) throw new Error("not a file");
      body = readFileSync(file);
    } catch {
      res.writeHead(404).end();
      return;
    }
    let type = MIME[path.extname(file).toLowerCase()] || "application/octet-stream";
    if (inject && base === root && path.extname(file).toLowerCase() === ".html") {
      // Pages get the player injected ahead of their own scripts.
      const inject = `<script>${configScript()}</script><script src="/__ruffle/ruffle.js"></script>`;
      let text = body.toString("utf8");
      text = /<head[^>]*>/i.test(text) ? text.replace(/<head[^>]*>/i, (m) => m + inject) : inject + text;
      body = Buffer.from(text, "utf8");
    }
    res.writeHead(200, { "content-type": type, "cache-control": "no-store" });
    res.end(body);
  });
  return new Promise((resolve, reject) => {
    server.once("error", reject);
    server.listen(0, "127.0.0.1", () => resolve(server));
  });
}

function configScript() {
  // Trace lines reach the console at log level "info"; no overlays, splash or
  // letterbox so that screenshots show the stage alone.
  return `window.RufflePlayer = window.RufflePlayer || {};
window.RufflePlayer.config = {
  publicPath: "/__ruffle/", polyfills: true, autoplay: "on", unmuteOverlay: "hidden",
  letterbox: "off", splashScreen: false, contextMenu: "off",
  warnOnUnsupportedContent: false, logLevel: "info", showSwfDownload: false,
  openUrlMode: "deny", allowNetworking: "all", scale: "noScale", salign: "TL", forceScale: true,
  quality: "high", maxExecutionDuration: 15
};`;
}

function playerPage(swfUrl, width, height) {
  return `<!doctype html><html><head><meta charset="utf-8">
<style>html,body{margin:0;padding:0;background:#808080;overflow:hidden}
#player{display:block;width:${width}px;height:${height}px}</style>
<script>${configScript()}</script><script src="/__ruffle/ruffle.js"></script></head>
<body><div id="host"></div><script>
window.__started = null;
window.addEventListener("DOMContentLoaded", () => {
  const player = window.RufflePlayer.newest().createPlayer();
  player.id = "player";
  document.getElementById("host").appendChild(player);
  player.addEventListener("loadedmetadata", () => { window.__started = performance.now(); });
  const api = player.ruffle ? player.ruffle() : player;
  Promise.resolve(api.load({ url: ${JSON.stringify(swfUrl)} })).catch((e) => console.error("load failed: " + e));
});
</script></body></html>`;
}

// The player logs through styled console calls: format "%cLEVEL%c source.rs:NN%c message"
// followed by three style arguments. trace() lines come from its log adapter.
function playerLog(format) {
  const m = /^%c(\w+)%c (\S+)%c ([\s\S]*)$/.exec(format);
  return m ? { level: m[1], source: m[2], message: m[3], trace: /log_adapter\.rs:\d+$/.test(m[2]) } : null;
}

async function main() {
  const jobPath = process.argv[2];
  if (!jobPath) fail("usage: run.mjs <job.json>");
  let job;
  try {
    job = JSON.parse(readFileSync(jobPath, "utf8"));
  } catch (e) {
    fail(`cannot read job ${jobPath}: ${e.message}`);
  }
  const nodeDir = path.resolve(job.nodeDir || "");
  const rufflePkg = path.join(nodeDir, "node_modules", "@ruffle-rs", "ruffle");
  const pwDir = path.join(nodeDir, "node_modules", "playwright-core");
  const chromiumPath = job.chromium || "/usr/bin/chromium";
  if (!existsSync(path.join(rufflePkg, "ruffle.js"))) fail(`no Flash player package in ${rufflePkg}`);
  if (!existsSync(pwDir)) fail(`no playwright-core in ${pwDir}`);
  if (!existsSync(chromiumPath)) fail(`no browser at ${chromiumPath}`);
  if (!job.root || (!job.swf && !job.html && !job.page)) fail("job needs root and swf, html or page");
  if (job.page && !job.page.startsWith("/")) fail("page must be a URL path below root");
  const root = path.resolve(job.root);
  const width = job.width || 550;
  const height = job.height || 400;
  const events = [
    ...(job.shots || []).map((s) => ({ ...s, kind: "shot" })),
    ...(job.clicks || []).map((c) => ({ ...c, kind: "click" })),
  ].sort((a, b) => a.at - b.at);
  const lastShot = events.length ? events[events.length - 1].at : 0;
  const duration = job.duration ?? lastShot + 200;
  const timeout = job.timeout || 30000;

  const require = createRequire(path.join(nodeDir, "package.json"));
  const { chromium } = require("playwright-core");

  const rel = (p) => "/" + path.relative(root, path.resolve(root, p)).split(path.sep).map(encodeURIComponent).join("/");
  const result = { ok: true, traces: [], errors: [], console: [], screenshots: [], requests: [] };
  const server = await serve(root, rufflePkg, () => playerPage(rel(job.swf), width, height), !job.page,
                             result.requests);
  const port = server.address().port;
  const profile = mkdtempSync(path.join(tmpdir(), "lumacast-chromium-"));
  let context;
  const watchdog = setTimeout(() => {
    result.ok = false;
    result.error = `timed out after ${timeout} ms`;
    finish(1);
  }, timeout);
  let finished = false;
  async function finish(code) {
    if (finished) return;
    finished = true;
    clearTimeout(watchdog);
    try {
      if (context) await context.close();
    } catch {}
    server.close();
    rmSync(profile, { recursive: true, force: true });
    process.stdout.write(JSON.stringify(result) + "\n");
    process.exit(code);
  }
  try {
    context = await chromium.launchPersistentContext(profile, {
      executablePath: chromiumPath,
      headless: true,
      args: [
        "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
        "--disable-background-networking", "--disable-component-update", "--disable-sync",
        "--autoplay-policy=no-user-gesture-required",
      ],
      viewport: { width: Math.max(width, 64), height: Math.max(height, 64) },
      deviceScaleFactor: 1,
    });
    const page = context.pages()[0] || (await context.newPage());
    let traceSeen = false;
    // Console events arrive in order; their first argument is read asynchronously, so
    // the lines are chained to keep that order.
    let consoleChain = Promise.resolve();
    page.on("console", (msg) => {
      const args = msg.args();
      const first = args.length ? args[0].jsonValue().catch(() => null) : Promise.resolve(null);
      consoleChain = consoleChain.then(() => first).then((format) => onConsole(msg, format));
    });
    const onConsole = (msg, format) => {
      const text = msg.text();
      const log = typeof format === "string" ? playerLog(format) : null;
      if (log && log.trace) {
        result.traces.push(log.message);
        if (job.untilTrace !== undefined && log.message === job.untilTrace) traceSeen = true;
        return;
      }
      if (log) {
        result.console.push(`${log.level} ${log.source}: ${log.message}`);
        if (log.level === "ERROR") result.errors.push(`${log.source}: ${log.message}`);
        return;
      }
      result.console.push(`${msg.type()}: ${text}`);
      if (msg.type() === "error") result.errors.push(text);
    };
    page.on("pageerror", (err) => result.errors.push(`page error: ${err.message}`));
    const base = `http://127.0.0.1:${port}`;
    await page.goto(job.swf ? `${base}/__player.html` : job.page ? `${base}${job.page}` : `${base}${rel(job.html)}`);
    // The movie starts when the player has parsed the header.
    const startHandle = await page.waitForFunction(
      () => {
        if (window.__started) return true;
        const p = document.querySelector("ruffle-player, ruffle-object, ruffle-embed");
        if (p && !window.__hooked) {
          window.__hooked = true;
          p.addEventListener("loadedmetadata", () => { window.__started = performance.now(); });
          const api = p.ruffle ? p.ruffle() : p;
          if (api && api.metadata) window.__started = performance.now();
        }
        return false;
      },
      null,
      { timeout: Math.max(timeout - 2000, 1000), polling: 20 }
    );
    await startHandle.dispose();
    // The player offers a hint about hardware acceleration on the first mouse-over when it
    // renders in software (as it does headless); it would cover the stage in screenshots.
    await page.evaluate(() => {
      for (const p of document.querySelectorAll("ruffle-player, ruffle-object, ruffle-embed")) {
        if (!p.shadowRoot) continue;
        const style = document.createElement("style");
        style.textContent = "#hardware-acceleration-modal{display:none !important}";
        p.shadowRoot.appendChild(style);
      }
    });
    const t0 = Date.now();
    const target = job.swf ? "#player" : "ruffle-object, ruffle-embed, ruffle-player";
    for (const shot of events) {
      const wait = shot.at - (Date.now() - t0);
      if (wait > 0) await page.waitForTimeout(wait);
      const el = await page.$(target);
      if (shot.kind === "click") {
        const box = el ? await el.boundingBox() : { x: 0, y: 0 };
        await page.mouse.click(box.x + shot.x, box.y + shot.y);
        continue;
      }
      const out = path.resolve(shot.path);
      if (el) await el.screenshot({ path: out });
      else await page.screenshot({ path: out });
      result.screenshots.push(out);
    }
    while (Date.now() - t0 < duration && !traceSeen) await page.waitForTimeout(25);
    // Give the console a moment to deliver the last lines.
    await page.waitForTimeout(50);
    await consoleChain;
  } catch (e) {
    result.ok = false;
    result.error = String(e && e.message ? e.message : e);
    await finish(1);
    return;
  }
  await finish(0);
}

main();
