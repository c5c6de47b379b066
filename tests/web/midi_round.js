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
const fs = require('fs');
const {spawn} = require('child_process');
const readline = require('readline');
const {WebSocketServer} = require('ws');
const puppeteer = require('puppeteer-core');
const {width, height, sleep, fail, region, restPointer, importWav, firstFrame, fullFrames, at,
       programBypassSelectAudition} = require('./steps');

const [site, cli, work, refusedWav, goodWav] = process.argv.slice(2);
const ampLog = path.join(work, 'amp.log');
const received = path.join(work, 'received');
fs.mkdirSync(received, {recursive: true});

// The page's side, run before the page's own scripts: a MIDIAccess whose one input and one
// output, both named as the amplifier's ports are, carry each message as a hex line.
function bridgeMidi(address, name) {
  const socket = new WebSocket(address);
  const opened = new Promise((resolve, reject) => {
    socket.onopen = resolve;
    socket.onerror = () => reject(new DOMException('the MIDI bridge is not there', 'InvalidStateError'));
  });
  const port = (id, type) => ({id, name, type, manufacturer: 'bridge', version: '1', state: 'connected',
                               connection: 'closed', open() {
                                 this.connection = 'open';
                                 return Promise.resolve(this);
                               },
                               close() {
                                 this.connection = 'closed';
                                 return Promise.resolve(this);
                               }});
  const input = Object.assign(port('bridge-in', 'input'), {onmidimessage: null});
  const output = Object.assign(port('bridge-out', 'output'), {
    send(data) {
      socket.send(Array.from(data, (b) => b.toString(16).padStart(2, '0').toUpperCase()).join(' '));
    },
  });
  socket.onmessage = (event) => {
    const data = Uint8Array.from(event.data.split(' '), (h) => parseInt(h, 16));
    if (input.onmidimessage) input.onmidimessage({data, timeStamp: performance.now()});
  };
  const requestMIDIAccess = async (options) => {
    await opened;
    return {inputs: new Map([[input.id, input]]), outputs: new Map([[output.id, output]]),
            sysexEnabled: Boolean(options && options.sysex), onstatechange: null};
  };
  Object.defineProperty(Navigator.prototype, 'requestMIDIAccess', {value: requestMIDIAccess, configurable: true});
}

// The amplifier on standard input and output, and the bridge's log: "<ms> page|amp <hex>".
const amp = spawn(cli, ['emulate', '--stdio', '--log', ampLog, '--received', received],
                  {stdio: ['pipe', 'pipe', 'inherit']});
amp.on('exit', (code) => fail(`the emulator ended (${code})`));
const started = performance.now();
const bridgeLog = [];
const bridgeFile = path.join(work, 'bridge.log');
const note = (who, line) => {
  const e = {t: performance.now() - started, who, line};
  bridgeLog.push(e);
  fs.appendFileSync(bridgeFile, `${e.t.toFixed(1)} ${who} ${line}\n`);
};
let pageSocket = null;
readline.createInterface({input: amp.stdout}).on('line', (line) => {
  note('amp', line);
  if (pageSocket) pageSocket.send(line);
});
const server = new WebSocketServer({host: '127.0.0.1', port: 0});
server.on('connection', (socket) => {
  pageSocket = socket;
  socket.on('message', (data) => {
    const line = data.toString();
    note('page', line);
    amp.stdin.write(`${line}\n`);
  });
});

const sent = (pattern) => bridgeLog.filter((e) => e.who === 'page' && pattern.test(e.line)).length;
const logged = (pattern) => (fs.existsSync(ampLog) ? fs.readFileSync(ampLog, 'utf8') : '').split('\n')
  .filter((l) => pattern.test(l)).length;
async function waitFor(what, test, seconds = 15) {
  const deadline = Date.now() + seconds * 1000;
  while (Date.now() < deadline) {
    if (test()) return;
    await sleep(50);
  }
  fail(`${what}: not seen within ${seconds} s`);
}
const slotNameRead = /^F0 00 04 05 F7$/;

// Each cabinet upload in the bridge's log: its chunks, and the time from the first chunk's
// arrival to the closing message's acknowledgement leaving the amplifier.
function uploads() {
  const found = [];
  let first = null, chunks = 0, closed = null;
  for (const e of bridgeLog) {
    if (e.who === 'page' && e.line.startsWith('F0 00 08 ')) {
      if (first === null) first = e.t;
      ++chunks;
    } else if (e.who === 'page' && e.line.startsWith('F0 00 09 ')) {
      closed = e;
    } else if (e.who === 'amp' && closed && e.line === 'F0 00 08 F7') {
      found.push({chunks, ms: e.t - first});
      first = null, chunks = 0, closed = null;
    }
  }
  return found;
}
const pauseMs = 100; // the link's pause after a transfer, slept on its worker
// Each chunk and the closing message wait at least one 5 ms poll for their acknowledgement.
const floor = (u) => (u.chunks + 1) * 5 + pauseMs;
const uploadText = (u) => `${u.chunks} chunks in ${(u.ms + pauseMs).toFixed(0)} ms with the closing pause, ` +
  `floor ${floor(u)} ms: ${((u.ms + pauseMs) / floor(u)).toFixed(2)}x`;

(async () => {
  await new Promise((resolve) => server.on('listening', resolve));
  const bridge = `ws://127.0.0.1:${server.address().port}`;
  // The browser's background throttling stays on (puppeteer turns it off by default).
  const browser = await puppeteer.launch({
    executablePath: '/usr/bin/chromium',
    headless: true,
    args: ['--no-sandbox', '--headless=new'],
    ignoreDefaultArgs: ['--disable-background-timer-throttling', '--disable-renderer-backgrounding',
                        '--disable-backgrounding-occluded-windows'],
  });
  const page = await browser.newPage();
  page.on('pageerror', (e) => console.log(`web: page error: ${e.message}`));
  await page.setViewport({width, height});
  await page.evaluateOnNewDocument(bridgeMidi, bridge, 'NIMBA virtual');

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
  const blocks = bridgeLog.filter((e) => e.who === 'page' && /^F0 00 01 01( [0-9A-F]{2}){18} F7$/.test(e.line));
  if (!blocks.some((e) => e.line.split(' ')[13] === '00')) fail('no block for program 1 with the bypass off');
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
  amp.stdin.write('program 9\n');
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
  const inHidden = uploads().length;
  await page.mouse.click(...at.nextCabinet);
  await waitFor('the cabinet sent from the hidden tab', () => uploads().length > inHidden, 30);
  const hiddenUpload = uploads()[inHidden];
  if (await page.evaluate(() => document.visibilityState) !== 'hidden') fail('the editor\'s tab came to the front');
  console.log(`web: hidden tab: a cabinet upload, ${uploadText(hiddenUpload)}`);
  // Paced by the hidden main thread's timers it would take a second or more a chunk; the bound
  // leaves room for a loaded machine.
  if (hiddenUpload.ms > 200 * hiddenUpload.chunks) fail('the hidden tab\'s upload lost its pace');
  await page.bringToFront();
  await sleep(300);

  uploads().forEach((u, i) => console.log(`web: upload ${i + 1} over the bridged Web MIDI: ${uploadText(u)}`));
  await fullFrames(page);
  const metrics = await page.metrics();
  const wasmMemory = await page.evaluate(() => wasmMemory.buffer.byteLength);
  console.log(`web: page memory after the round: JS heap ${(metrics.JSHeapUsedSize / 1048576).toFixed(1)} MB, ` +
              `wasm memory ${(wasmMemory / 1048576).toFixed(1)} MB`);

  await browser.close();
  amp.removeAllListeners('exit');
  amp.stdin.end();
  server.close();
  console.log('web: the editor page over Web MIDI: passed');
})().catch((e) => fail(e.stack || String(e)));
