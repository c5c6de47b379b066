// The browser edition's figures in headless Chromium, for scripts/bench-web.sh: what a first
// visit transfers (as the server sent it), the first frame after navigation (median of 5), a
// full frame, five cabinet uploads over the bridged Web MIDI against their floor, and the
// page's memory after them. Prints one "figure:" line each.
// Usage: node figures.js <site address> <nimba-cli> <work folder> <server's sent-bytes file>
const fs = require('fs');
const {launchChromium} = require('./chromium');
const {width, height, sleep, fail, failureHooks, clickAndSee, firstFrame, fullFrames, at} = require('./steps');
const {bridgeMidi, startBridge, waitFor, floor, uploadText, pauseMs} = require('./midi_bridge');

const [site, cli, work, sentFile] = process.argv.slice(2);
const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];

(async () => {
  const bridge = await startBridge(cli, work);
  failureHooks.push(bridge.save);
  const browser = await launchChromium();
  const page = await browser.newPage();
  await page.setViewport({width, height});

  // The first visit, until the service worker has kept the site.
  await firstFrame(page, `${site}/demo.html`);
  await sleep(3000);
  const sent = fs.readFileSync(sentFile, 'utf8').trim().split('\n').map((l) => l.split(' '));
  const total = sent.reduce((sum, [, size]) => sum + Number(size), 0);
  const wasm = sent.filter(([file]) => file.endsWith('.wasm')).map(([, size]) => Number(size));
  console.log(`figure: first visit: ${(total / 1048576).toFixed(2)} MB sent in ${sent.length} responses, ` +
              `the wasm ${(Math.max(...wasm) / 1048576).toFixed(2)} MB compressed (target 3 MB and 2 MB)`);

  const firsts = [];
  for (let i = 0; i < 5; ++i) firsts.push(await firstFrame(page, `${site}/demo.html?run=${i}`));
  console.log(`figure: first frame after navigation: median ${median(firsts).toFixed(0)} ms ` +
              `(${firsts.map((t) => t.toFixed(0)).join(', ')}; target 1000 ms)`);
  await sleep(1000);
  await fullFrames(page);

  // The editor page over the bridge: slot 2's cabinet page, AUDITION on, five cabinets.
  const editor = await browser.newPage();
  await editor.setViewport({width, height});
  await editor.evaluateOnNewDocument(bridgeMidi, bridge.address, 'NIMBA virtual');
  await firstFrame(editor, `${site}/`);
  await waitFor('the connect sequence', () => bridge.sent(/^F0 00 04 0[0-5] F7$/) >= 6, 20);
  await sleep(500);
  await clickAndSee(editor, 237, at.slotRow(2), [300, 45, 150, 40], 'the cabinet page');
  await editor.mouse.click(...at.audition);
  await sleep(300);
  for (let i = 1; i <= 5; ++i) {
    await editor.mouse.click(...at.nextCabinet);
    await waitFor(`upload ${i}`, () => bridge.uploads().length >= i, 30);
    await waitFor(`the slot names re-read after upload ${i}`, () => bridge.sent(/^F0 00 04 05 F7$/) >= 1 + i);
    await sleep(300);
  }
  const uploads = bridge.uploads();
  uploads.forEach((u, i) => console.log(`figure: upload ${i + 1} over the bridged Web MIDI: ${uploadText(u)}`));
  const total_ms = uploads.map((u) => u.ms + pauseMs);
  console.log(`figure: upload over the bridged Web MIDI: median ${median(total_ms).toFixed(0)} ms, ` +
              `floor ${floor(uploads[0])} ms`);

  const memory = await editor.evaluate(async () => {
    const measured = await performance.measureUserAgentSpecificMemory().catch(() => null);
    return {page: measured && measured.bytes, wasm: wasmMemory.buffer.byteLength};
  });
  const metrics = await editor.metrics();
  console.log(`figure: memory after the uploads: ` +
              (memory.page ? `${(memory.page / 1048576).toFixed(1)} MB measured by the page` : 'not measurable by the page') +
              `, of which wasm memory ${(memory.wasm / 1048576).toFixed(1)} MB; JS heap ` +
              `${(metrics.JSHeapTotalSize / 1048576).toFixed(1)} MB (target 150 MB)`);
  await browser.close();
  bridge.save();
  bridge.close();
})().catch((e) => fail(e.stack || String(e)));
