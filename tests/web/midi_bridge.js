// The Web MIDI bridge of the browser tests: `nimba-cli emulate --stdio` as the amplifier, a
// WebSocket server on 127.0.0.1 that carries its hex lines to and from the page, and the
// function a page runs before its own scripts so that navigator.requestMIDIAccess hands it one
// input and one output port on that socket. Every message is kept with its time for the
// evidence and the upload figures.
const path = require('path');
const fs = require('fs');
const {spawn} = require('child_process');
const readline = require('readline');
const {WebSocketServer} = require('ws');
const {sleep, fail} = require('./steps');

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
  // As a browser's output: a message with a timestamp goes out at that time, in order with the
  // others. The wait travels with the message ("+ms hex") and the bridge waits it out, as the
  // page's own timers are throttled in a hidden tab and a browser's sends are not. When the
  // page asked each one to go is kept (window.nimbaBridgeSent), for the gap between messages.
  window.nimbaBridgeSent = [];
  const output = Object.assign(port('bridge-out', 'output'), {
    send(data, timestamp) {
      const now = performance.now();
      const at = timestamp === undefined ? now : timestamp;
      window.nimbaBridgeSent.push(at);
      const hex = Array.from(data, (b) => b.toString(16).padStart(2, '0').toUpperCase()).join(' ');
      socket.send(at > now ? `+${(at - now).toFixed(3)} ${hex}` : hex);
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

const pauseMs = 100; // the link's pause after a transfer, slept on its worker
// Each chunk and the closing message wait at least one 5 ms poll for their acknowledgement.
const floor = (u) => (u.chunks + 1) * 5 + pauseMs;
const uploadText = (u) => `${u.chunks} chunks in ${(u.ms + pauseMs).toFixed(0)} ms with the closing pause, ` +
  `floor ${floor(u)} ms: ${((u.ms + pauseMs) / floor(u)).toFixed(2)}x`;

// Starts the amplifier (its log amp.log and its received files in received/ under `work`) and
// the socket; resolves once the socket listens. bridge.log is written by save().
async function startBridge(cli, work) {
  const ampLog = path.join(work, 'amp.log');
  const received = path.join(work, 'received');
  fs.mkdirSync(received, {recursive: true});
  const amp = spawn(cli, ['emulate', '--stdio', '--log', ampLog, '--received', received],
                    {stdio: ['pipe', 'pipe', 'inherit']});
  amp.on('exit', (code) => fail(`the emulator ended (${code})`));
  const started = performance.now();
  const log = []; // {t: ms since the start, who: 'page' or 'amp', line}
  const note = (who, line) => log.push({t: performance.now() - started, who, line});
  let pageSocket = null;
  readline.createInterface({input: amp.stdout}).on('line', (line) => {
    note('amp', line);
    if (pageSocket) pageSocket.send(line);
  });
  const server = new WebSocketServer({host: '127.0.0.1', port: 0});
  server.on('connection', (socket) => {
    pageSocket = socket;
    // Messages go to the amplifier in order, each no sooner than the wait it came with.
    const queue = [];
    const pump = () => {
      while (queue.length) {
        const wait = queue[0].due - performance.now();
        if (wait > 0) return setTimeout(pump, wait);
        const {line} = queue.shift();
        note('page', line);
        amp.stdin.write(`${line}\n`);
      }
    };
    socket.on('message', (data) => {
      const [, wait, line] = /^(?:\+([0-9.]+) )?(.*)$/.exec(data.toString());
      queue.push({line, due: performance.now() + Number(wait || 0)});
      if (queue.length === 1) pump();
    });
  });
  await new Promise((resolve) => server.on('listening', resolve));

  const bridge = {
    address: `ws://127.0.0.1:${server.address().port}`,
    // How many messages from the page match.
    sent: (pattern) => log.filter((e) => e.who === 'page' && pattern.test(e.line)).length,
    // How many lines of the emulator's log match.
    logged: (pattern) => (fs.existsSync(ampLog) ? fs.readFileSync(ampLog, 'utf8') : '').split('\n')
      .filter((l) => pattern.test(l)).length,
    // The page's messages whose hex matches.
    messages: (pattern) => log.filter((e) => e.who === 'page' && pattern.test(e.line)).map((e) => e.line),
    // A line for the amplifier's standard input (a front panel command).
    command: (line) => amp.stdin.write(`${line}\n`),
    // Each cabinet upload: its chunks, and the time from the first chunk's arrival to the
    // closing message's acknowledgement leaving the amplifier.
    uploads() {
      const found = [];
      let first = null, chunks = 0, closed = false;
      for (const e of log) {
        if (e.who === 'page' && e.line.startsWith('F0 00 08 ')) {
          if (first === null) first = e.t;
          ++chunks;
        } else if (e.who === 'page' && e.line.startsWith('F0 00 09 ')) {
          closed = true;
        } else if (e.who === 'amp' && closed && e.line === 'F0 00 08 F7') {
          found.push({chunks, ms: e.t - first});
          first = null, chunks = 0, closed = false;
        }
      }
      return found;
    },
    save: () => fs.writeFileSync(path.join(work, 'bridge.log'),
                                 log.map((e) => `${e.t.toFixed(1)} ${e.who} ${e.line}`).join('\n') + '\n'),
    close() {
      amp.removeAllListeners('exit');
      amp.stdin.end();
      server.close();
    },
  };
  return bridge;
}

// Waits up to `seconds` for test() to hold; fails the run naming `what` otherwise.
async function waitFor(what, test, seconds = 15) {
  const deadline = Date.now() + seconds * 1000;
  while (Date.now() < deadline) {
    if (test()) return;
    await sleep(50);
  }
  fail(`${what}: not seen within ${seconds} s`);
}

module.exports = {bridgeMidi, startBridge, waitFor, floor, uploadText, pauseMs};
