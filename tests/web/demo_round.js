// The browser edition in headless Chromium (Debian's, through puppeteer-core): the demo page's
// round (program up, IR bypass, a cabinet SELECTed, STORE, a refused 22050 Hz WAV, a good WAV
// into slot 4, EXTRACT ALL's zip download), the offline reload, the editor page without Web MIDI,
// and the figures (first frame, frame time, memory, transferred bytes).
// Usage: node demo_round.js <site address> <work folder> <refused.wav> <good.wav> <server pid>
// The server is ended for the offline reload, the last step.
const path = require('path');
const fs = require('fs');
const {launchChromium} = require('./chromium');

const [site, work, refusedWav, goodWav, serverPid] = process.argv.slice(2);
const width = 1024, height = 720;
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
const fail = (text) => {
  console.log(`web: ${text}`);
  process.exit(1);
};

async function region(page, x, y, w, h) {
  return page.screenshot({clip: {x, y, width: w, height: h}, encoding: 'base64'});
}

// Clicks at (x, y) and waits up to `seconds` for the rectangle to change.
async function clickAndSee(page, x, y, rect, what, seconds = 10) {
  await page.mouse.move(x, y);
  await sleep(200);
  const before = await region(page, ...rect);
  await page.mouse.click(x, y);
  const deadline = Date.now() + seconds * 1000;
  while (Date.now() < deadline) {
    await sleep(100);
    if ((await region(page, ...rect)) !== before) return;
  }
  fail(`${what} did not change on screen`);
}

async function restPointer(page) {
  await page.mouse.move(600, 150);
  await sleep(150);
}

async function importWav(page, slotY, file, what) {
  const status = [10, height - 21, 600, 21];
  await page.mouse.move(215, slotY);
  await sleep(200);
  const before = await region(page, ...status);
  const [chooser] = await Promise.all([page.waitForFileChooser({timeout: 10000}), page.mouse.click(215, slotY)]);
  await chooser.accept([file]);
  await restPointer(page);
  const deadline = Date.now() + 15000;
  while (Date.now() < deadline) {
    await sleep(100);
    if ((await region(page, ...status)) !== before) {
      await sleep(300);
      await page.screenshot({path: path.join(work, `${what}.png`)});
      console.log(`web: ${what}: the status bar changed (${what}.png)`);
      return;
    }
  }
  fail(`${what}: the status bar did not change`);
}

async function firstFrame(page, address) {
  await page.goto(address);
  await page.waitForFunction(() => window.nimbaFirstFrame, {timeout: 60000});
  return page.evaluate(() => window.nimbaFirstFrame);
}

(async () => {
  const browser = await launchChromium();
  const page = await browser.newPage();
  page.on('pageerror', (e) => console.log(`web: page error: ${e.message}`));
  await page.setViewport({width, height});
  const client = await page.createCDPSession();
  await client.send('Network.enable');
  let transferred = 0, wasm = 0, wasmRequest = '';
  client.on('Network.responseReceived', (e) => {
    if (e.response.url.endsWith('.wasm')) wasmRequest = e.requestId;
  });
  client.on('Network.loadingFinished', (e) => {
    transferred += e.encodedDataLength;
    if (e.requestId === wasmRequest) wasm = e.encodedDataLength;
  });
  await client.send('Browser.setDownloadBehavior', {behavior: 'allow', downloadPath: work, eventsEnabled: true});

  const first = await firstFrame(page, `${site}/demo.html`);
  await sleep(2500); // connected to the demo amp; the service worker has kept the site
  console.log(`web: first visit: first frame ${first.toFixed(0)} ms after navigation, ${transferred} bytes transferred, of which the wasm ${wasm}`);
  const isolated = await page.evaluate(() => crossOriginIsolated);
  if (!isolated) fail('the demo page is not cross-origin isolated');
  await page.screenshot({path: path.join(work, 'demo.png')});

  // Frame times: ten full paints, each forced by a resize of the view.
  const frames = await page.evaluate(async () => {
    const times = [];
    for (let i = 0; i < 10; ++i) {
      const t = performance.now();
      Module._nimba_frame(window.innerWidth - (i % 2), window.innerHeight, window.devicePixelRatio || 1);
      times.push(performance.now() - t);
    }
    Module._nimba_frame(window.innerWidth, window.innerHeight, window.devicePixelRatio || 1);
    return times.sort((a, b) => a - b);
  });
  console.log(`web: full frame: median ${frames[5].toFixed(2)} ms, slowest ${frames[9].toFixed(2)} ms`);

  await restPointer(page);
  await clickAndSee(page, 726, 20, [673, 3, 46, 34], 'program up: the program number');
  console.log('web: program up: the program number changed');
  await restPointer(page);
  await clickAndSee(page, 753, 61, [733, 51, 40, 20], 'the IR bypass switch');
  await restPointer(page);
  console.log('web: IR bypass: the switch changed');

  const slot = 2, cabinet = 4, bottom = height;
  await clickAndSee(page, 237, 198 + 31 * slot + 11, [300, 45, 150, 40], 'the cabinet page');
  await clickAndSee(page, 375, 20, [260, 42 + 31 * cabinet, 230, 31], 'the cabinet list');
  await page.mouse.click(375, 42 + 31 * cabinet + 15);
  await sleep(300);
  await clickAndSee(page, 434, bottom - 55 + 13, [10, height - 21, 600, 21], 'SELECT: the status bar', 20);
  console.log('web: SELECT: a factory cabinet went to slot 2');
  await sleep(1500);
  await page.mouse.click(228, 20); // STORE
  await sleep(1200);
  console.log('web: STORE clicked');

  await importWav(page, 198 + 31 * 4 + 11, refusedWav, 'refused-import');
  await sleep(1000);
  await importWav(page, 198 + 31 * 4 + 11, goodWav, 'good-import');
  await sleep(2000);

  // EXTRACT ALL (the cabinet page is still open): one zip download.
  await page.mouse.click(315, bottom - 55 + 13);
  const zip = path.join(work, 'nimba-cabinets.zip');
  const deadline = Date.now() + 15000;
  while (!fs.existsSync(zip) && Date.now() < deadline) await sleep(100);
  if (!fs.existsSync(zip)) fail('EXTRACT ALL gave no zip download');
  console.log('web: EXTRACT ALL: nimba-cabinets.zip downloaded');

  const memory = await page.metrics();
  console.log(`web: page memory after the round: JS heap ${(memory.JSHeapUsedSize / 1048576).toFixed(1)} MB used of ${(memory.JSHeapTotalSize / 1048576).toFixed(1)} MB`);
  const wasmMemory = await page.evaluate(() => wasmMemory.buffer.byteLength);
  const processes = await client.send('SystemInfo.getProcessInfo').catch(() => null);
  console.log(`web: wasm memory ${(wasmMemory / 1048576).toFixed(1)} MB` +
              (processes ? `; renderer processes: ${processes.processInfo.filter((p) => p.type === 'renderer').length}` : ''));

  // The first frame, five times.
  const times = [];
  for (let i = 0; i < 5; ++i) times.push(await firstFrame(page, `${site}/demo.html?run=${i}`));
  times.sort((a, b) => a - b);
  console.log(`web: first frame after navigation, median of 5: ${times[2].toFixed(0)} ms (${times.map((t) => t.toFixed(0)).join(', ')})`);

  // The editor page in a browser without Web MIDI: its notice and the outcome line.
  const bare = await browser.newPage();
  await bare.setViewport({width, height});
  await bare.evaluateOnNewDocument(() => {
    delete Navigator.prototype.requestMIDIAccess;
  });
  await firstFrame(bare, `${site}/`);
  await sleep(800);
  const notice = await bare.evaluate(() => {
    const n = document.getElementById('notice');
    return n.hidden ? '' : n.textContent;
  });
  await bare.screenshot({path: path.join(work, 'no-midi.png')});
  if (!notice.includes('try the demo')) fail('the editor without Web MIDI offered no demo');
  console.log(`web: without Web MIDI: "${notice}" (no-midi.png)`);

  // Offline: with the server gone, the service worker's copy starts the demo again.
  process.kill(Number(serverPid));
  await sleep(300);
  const again = await browser.newPage();
  await again.setViewport({width, height});
  const offline = await firstFrame(again, `${site}/demo.html`);
  await sleep(2000);
  await again.screenshot({path: path.join(work, 'offline.png')});
  console.log(`web: offline reload with the server gone: first frame ${offline.toFixed(0)} ms after navigation (offline.png)`);
  await browser.close();
  console.log('web: passed');
})().catch((e) => fail(e.stack || String(e)));
