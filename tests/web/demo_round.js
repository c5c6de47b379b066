// The browser edition in headless Chromium (Debian's, through puppeteer-core): the demo page's
// round (program up, IR bypass, a cabinet SELECTed and one by AUDITION, STORE, a refused
// 22050 Hz WAV, a good WAV into slot 4, EXTRACT ALL's zip download), the offline reload, the
// editor page without Web MIDI, a picture file missing or damaged, and the figures (first
// frame, frame time, memory). The bytes a first visit transfers are counted at the server by
// scripts/bench-web.sh: the page's own network events miss what the service worker fetches.
// Usage: node demo_round.js <site address> <work folder> <refused.wav> <good.wav> <server pid>
// The server is ended for the offline reload, the last step.
const path = require('path');
const fs = require('fs');
const {launchChromium} = require('./chromium');

const {width, height, sleep, fail, importWav, firstFrame, fullFrames, at, programBypassSelectAudition} =
  require('./steps');

const [site, work, refusedWav, goodWav, serverPid] = process.argv.slice(2);

(async () => {
  const browser = await launchChromium();
  const page = await browser.newPage();
  page.on('pageerror', (e) => console.log(`web: page error: ${e.message}`));
  await page.setViewport({width, height});
  const client = await page.createCDPSession();
  await client.send('Browser.setDownloadBehavior', {behavior: 'allow', downloadPath: work, eventsEnabled: true});

  const first = await firstFrame(page, `${site}/demo.html`);
  await sleep(2500); // connected to the demo amp; the service worker has kept the site
  console.log(`web: first visit: first frame ${first.toFixed(0)} ms after navigation`);
  const isolated = await page.evaluate(() => crossOriginIsolated);
  if (!isolated) fail('the demo page is not cross-origin isolated');
  await page.screenshot({path: path.join(work, 'demo.png')});

  await fullFrames(page);

  await programBypassSelectAudition(page, 2, 4, () => sleep(1500));
  await page.mouse.click(...at.store);
  await sleep(1200);
  console.log('web: STORE clicked');

  await importWav(page, at.slotRow(4), refusedWav, 'refused-import', work);
  await sleep(1000);
  await importWav(page, at.slotRow(4), goodWav, 'good-import', work);
  await sleep(2000);

  // EXTRACT ALL (the cabinet page is still open): one zip download.
  await page.mouse.click(...at.extractAll);
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

  // A picture file the server does not have, and one that arrives damaged: the page names it
  // and draws no frame. A context of its own, so no service worker answers from its copy.
  const cases = [
    {label: 'missing', file: 'logo', said: 'pictures/logo.png could not be loaded (the server answered 404'},
    {label: 'damaged', file: 'amplifier', said: 'the picture "amplifier": damaged'},
  ];
  for (const {label, file, said} of cases) {
    const context = await browser.createBrowserContext();
    const broken = await context.newPage();
    await broken.setViewport({width, height});
    await broken.setRequestInterception(true);
    broken.on('request', async (request) => {
      if (!request.url().endsWith(`/pictures/${file}.png`)) return request.continue();
      if (label === 'missing') return request.respond({status: 404, body: 'missing'});
      const bytes = Buffer.from(await (await fetch(request.url())).arrayBuffer());
      bytes[bytes.length >> 1] ^= 0xff;
      return request.respond({status: 200, contentType: 'image/png', body: bytes,
                              headers: {'Cross-Origin-Resource-Policy': 'same-origin'}});
    });
    await broken.goto(`${site}/demo.html`);
    await broken.waitForFunction(() => !document.getElementById('notice').hidden, {timeout: 30000});
    await sleep(500);
    const shown = await broken.evaluate(() => ({text: document.getElementById('notice').textContent,
                                                painted: Boolean(window.nimbaFirstFrame)}));
    if (!shown.text.includes(said) || shown.painted) {
      fail(`a ${label} picture: the page said "${shown.text}"${shown.painted ? ' and drew a frame' : ''}`);
    }
    console.log(`web: a ${label} picture file: "${shown.text}", no frame drawn`);
    await context.close();
  }

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
