// The editor page over Web MIDI in headless Chromium: `nimba-cli emulate --stdio` is the
// amplifier, this script bridges it to a WebSocket, and the page's navigator.requestMIDIAccess
// is replaced before its scripts run with one input and one output port on that socket. The
// round: connect, program up, IR bypass, a cabinet SELECTed and one by AUDITION, STORE, a
// refused 22050 Hz WAV, a good WAV into slot 4, and a program change from the amplifier's
// front panel shown on the page. Then the link in a hidden tab, with the browser's background
// throttling on: a cabinet upload still keeps its 5 ms pacing. The emulator's log and the
// bridge's (every message in hex, with its time) are the evidence; the figures (first frame,
// full frame, memory, the uploads' times against their floor) are printed.
// Usage: node midi_round.js <site address> <nimba-cli> <work folder> <refused.wav> <good.wav>
// The work folder receives amp.log, bridge.log, received/ and the screenshots.
const path = require('path');
const puppeteer = require('puppeteer-core');
const {width, height, sleep, fail, failureHooks, region, restPointer, importWav, firstFrame, fullFrames, at,
       programBypassSelectAudition} = require('./steps');
const {bridgeMidi, startBridge, waitFor, uploadText} = require('./midi_bridge');

const [site, cli, work, refusedWav, goodWav] = process.argv.slice(2);
const slotNameRead = /^F0 00 04 05 F7$/;

(async () => {
  const bridge = await startBridge(cli, work);
  failureHooks.push(bridge.save);
  const {sent, logged} = bridge;
  // The browser's background throttling stays on (puppeteer turns it off by default).
  // NIMBA_WEB_BROWSER=firefox runs the round in Debian's Firefox ESR, its Web MIDI test
  // preferences on, instead.
  const firefox = process.env.NIMBA_WEB_BROWSER === 'firefox';
  const browser = await puppeteer.launch(firefox ? {
    browser: 'firefox',
    executablePath: '/usr/bin/firefox-esr',
    headless: true,
    extraPrefsFirefox: {'dom.webmidi.enabled': true, 'midi.testing': true, 'midi.prompt.testing': true},
  } : {
    executablePath: '/usr/bin/chromium',
    headless: true,
    args: ['--no-sandbox', '--headless=new'],
    ignoreDefaultArgs: ['--disable-background-timer-throttling', '--disable-renderer-backgrounding',
                        '--disable-backgrounding-occluded-windows'],
  });
  const page = await browser.newPage();
  page.on('pageerror', (e) => console.log(`web: page error: ${e.message}`));
  await page.setViewport({width, height});
  await page.evaluateOnNewDocument(bridgeMidi, bridge.address, 'NIMBA virtual');

  const first = await firstFrame(page, `${site}/`);
  await waitFor('the connect sequence (six slot names read)', () => sent(/^F0 00 04 0[0-5] F7$/) >= 6, 20);
  if (!sent(/^F0 00 0B F7$/)) fail('the connect sequence asked no version');
  await sleep(500);
  await page.screenshot({path: path.join(work, 'editor-connected.png')});
  console.log(`web: the editor page connected over the bridged Web MIDI (first frame ${first.toFixed(0)} ms ` +
              'after navigation, editor-connected.png)');

  const cabinetsIn = (slot) => logged(new RegExp(`^cabinet slot ${slot} "`));
  let transfers = 0;
  const settled = async (what) => {
    ++transfers;
    await waitFor(`${what}: the cabinet in slot 2`, () => cabinetsIn(2) >= transfers);
    await waitFor(`${what}: the slot names re-read`, () => sent(slotNameRead) >= 1 + transfers);
    await sleep(300);
  };
  await programBypassSelectAudition(page, 2, 4, settled);
  if (!sent(/^F0 00 02 01 F7$/)) fail('program up did not read program 1');
  // Program 1 holds the bypass on in the emulator: the switch sends its block with it off.
  const blocks = bridge.messages(/^F0 00 01 01( [0-9A-F]{2}){18} F7$/);
  if (!blocks.some((line) => line.split(' ')[13] === '00')) fail('no block for program 1 with the bypass off');
  console.log('web: the amplifier read program 1 and took its block with the bypass off');

  await page.mouse.click(...at.store);
  await waitFor('STORE', () => logged(/^stored$/) === 1, 5);
  console.log('web: STORE: the amplifier stored');
  await sleep(800);

  const before = sent(/^F0 00 08 /);
  await importWav(page, at.slotRow(4), refusedWav, 'editor-refused-import', work);
  if (sent(/^F0 00 08 /) !== before) fail('the refused file reached the amplifier');
  await sleep(1000);
  await importWav(page, at.slotRow(4), goodWav, 'editor-good-import', work);
  await waitFor('the good WAV in slot 4', () => logged(/^cabinet slot 4 "MY CAB" /) === 1);
  console.log('web: the good WAV arrived in slot 4 as MY CAB');
  await waitFor('the slot names re-read', () => sent(slotNameRead) >= 2 + transfers);
  await sleep(500);

  // The front panel's program wheel: the page hears it, reads the program and shows it.
  await restPointer(page);
  const number = await region(page, ...at.programNumber);
  bridge.command('program 9');
  await waitFor('the front panel\'s program 9 read by the page', () => sent(/^F0 00 02 09 F7$/) >= 1, 5);
  let shown = false;
  for (let i = 0; i < 50 && !shown; ++i, await sleep(100)) shown = (await region(page, ...at.programNumber)) !== number;
  if (!shown) fail('the front panel\'s program change did not show on the page');
  await page.screenshot({path: path.join(work, 'editor-front-panel.png')});
  console.log('web: the front panel turned to program 9: the page read it and shows it (editor-front-panel.png)');

  // Another tab in front: the editor's tab is hidden and its main thread's timers throttled,
  // and a cabinet (AUDITION is still on) still goes to the slot at the link's own pace.
  const front = await browser.newPage();
  await front.goto('about:blank');
  await front.bringToFront();
  await sleep(500);
  const hidden = await page.evaluate(async () => {
    const t = performance.now();
    for (let i = 0; i < 3; ++i) await new Promise((resolve) => setTimeout(resolve, 5));
    return {state: document.visibilityState, timers: performance.now() - t};
  });
  if (hidden.state !== 'hidden') fail(`the editor's tab is ${hidden.state} behind another`);
  console.log(`web: hidden tab: three 5 ms timers on its main thread took ${hidden.timers.toFixed(0)} ms`);
  const inHidden = bridge.uploads().length;
  await page.mouse.click(...at.nextCabinet);
  await waitFor('the cabinet sent from the hidden tab', () => bridge.uploads().length > inHidden, 30);
  const hiddenUpload = bridge.uploads()[inHidden];
  if (await page.evaluate(() => document.visibilityState) !== 'hidden') fail('the editor\'s tab came to the front');
  console.log(`web: hidden tab: a cabinet upload, ${uploadText(hiddenUpload)}`);
  // Paced by the hidden main thread's timers it would take a second or more a chunk; the bound
  // leaves room for a loaded machine.
  if (hiddenUpload.ms > 200 * hiddenUpload.chunks) fail('the hidden tab\'s upload lost its pace');
  await page.bringToFront();
  await sleep(300);

  bridge.uploads().forEach((u, i) => console.log(`web: upload ${i + 1} over the bridged Web MIDI: ${uploadText(u)}`));
  // The worker hands its messages over without waiting; the page must still keep them 5 ms
  // apart when they reach it together.
  const asked = await page.evaluate(() => window.nimbaBridgeSent);
  const gaps = asked.slice(1).map((t, i) => t - asked[i]);
  const closest = Math.min(...gaps);
  if (closest < 5 - 1e-6) fail(`two messages went out ${closest.toFixed(3)} ms apart`);
  console.log(`web: ${asked.length} messages sent, at least ${closest.toFixed(2)} ms apart`);
  await fullFrames(page);
  const heap = await page.evaluate(() => performance.memory && performance.memory.totalJSHeapSize);
  const wasmMemory = await page.evaluate(() => wasmMemory.buffer.byteLength);
  console.log(`web: page memory after the round: wasm memory ${(wasmMemory / 1048576).toFixed(1)} MB` +
              (heap ? `, JS heap ${(heap / 1048576).toFixed(1)} MB` : ''));

  await browser.close();
  bridge.save();
  bridge.close();
  console.log('web: the editor page over Web MIDI: passed');
})().catch((e) => fail(e.stack || String(e)));
