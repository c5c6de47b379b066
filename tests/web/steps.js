// What the browser rounds share: the view's size, a failure that ends the run, and the steps
// that click the editor's canvas and wait for the screen to answer (puppeteer-core pages).
const path = require('path');

const width = 1024, height = 720;
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
const failureHooks = []; // run before a failure ends the run (keeping logs)
const fail = (text) => {
  console.log(`web: ${text}`);
  failureHooks.forEach((hook) => hook());
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

// Waits up to `seconds` for the rectangle to differ from `before`; false at the deadline.
async function changed(page, rect, before, seconds) {
  const deadline = Date.now() + seconds * 1000;
  while (Date.now() < deadline) {
    await sleep(100);
    if ((await region(page, ...rect)) !== before) return true;
  }
  return false;
}

// Slot row y's import button, `file` given to the file chooser; its preview opens over the page
// (the panel centred right of the slot panel, CANCEL and SEND at its bottom right). A refused
// file is told in the status bar at once and CANCEL closes the preview; a good one is sent with
// SEND as the preview's defaults shape it. Waits for the status bar to change and keeps a
// screenshot named `what` in `work`.
async function importWav(page, slotY, file, what, work) {
  const status = [10, height - 21, 600, 21];
  const preview = [272, 90, 730, 560];
  const cancel = [272 + 534, 90 + 529], send = [272 + 658, 90 + 529];
  await page.mouse.move(215, slotY);
  await sleep(200);
  const before = await region(page, ...status);
  const closed = await region(page, ...preview);
  const [chooser] = await Promise.all([page.waitForFileChooser({timeout: 10000}), page.mouse.click(215, slotY)]);
  await chooser.accept([file]);
  await restPointer(page);
  if (!(await changed(page, preview, closed, 15))) fail(`${what}: no preview opened`);
  await sleep(300);
  const refused = (await region(page, ...status)) !== before;
  await page.screenshot({path: path.join(work, `${what}-preview.png`)});
  await page.mouse.click(...(refused ? cancel : send));
  await restPointer(page);
  if (!refused && !(await changed(page, status, before, 15))) fail(`${what}: the status bar did not change`);
  await sleep(300);
  await page.screenshot({path: path.join(work, `${what}.png`)});
  console.log(`web: ${what}: ${refused ? 'refused in its preview, CANCEL' : 'SEND in its preview'}, the status bar changed (${what}.png)`);
}

async function firstFrame(page, address) {
  await page.goto(address);
  await page.waitForFunction(() => window.nimbaFirstFrame, {timeout: 60000});
  return page.evaluate(() => window.nimbaFirstFrame);
}

// Full frames: the whole view painted and its pixels made (a one-pixel read waits for them),
// ten asked for by the pointer going on and off a control that lights up under it (the view's
// size kept, as in most repaints: hovers, clicks, a transfer's progress) and ten forced by a
// resize, beside a bare canvas resized alike (what the browser alone takes). Prints the medians
// and the slowest. The first pass after a resize draws every picture directly and the later
// ones copy the large ones from bitmaps: both must give the same pixels.
async function fullFrames(page) {
  const frames = await page.evaluate((controls) => {
    const canvas = document.getElementById('editor');
    const pixels = canvas.getContext('2d');
    const w = window.innerWidth, h = window.innerHeight, ratio = window.devicePixelRatio || 1;
    const hover = ([x, y], on) => {
      Module._nimba_pointer(2, on ? x : 600, on ? y : 150);
      return Module._nimba_frame(w, h, ratio);
    };
    const all = () => pixels.getImageData(0, 0, canvas.width, canvas.height).data;
    hover([0, 0], false);
    const control = controls.find((c) => hover(c, true) && hover(c, false));
    Module._nimba_frame(w - 1, h, ratio);
    Module._nimba_frame(w, h, ratio);
    const direct = all();
    const timed = (paint, context = pixels) => {
      const times = [];
      for (let i = 0; i < 10; ++i) {
        const t = performance.now();
        if (!paint(i)) return null;
        context.getImageData(0, 0, 1, 1);
        times.push(performance.now() - t);
      }
      return times.sort((a, b) => a - b);
    };
    const kept = control && timed((i) => hover(control, i % 2 === 0));
    const copied = all();
    const changed = direct.filter((v, i) => v !== copied[i]).length;
    const resized = timed((i) => Module._nimba_frame(w - 1 + (i % 2), h, ratio));
    // What the browser alone takes for the same resize: a canvas of the view's size, one pixel
    // drawn.
    const bare = document.createElement('canvas');
    const bareContext = bare.getContext('2d');
    const bareResized = timed((i) => {
      bare.width = Math.round((w - 1 + (i % 2)) * ratio);
      bare.height = Math.round(h * ratio);
      bareContext.fillRect(0, 0, 1, 1);
      return true;
    }, bareContext);
    return {kept, resized, bareResized, changed};
  }, [at.programUp, at.bypass, at.store, at.nextCabinet]);
  if (!frames.kept || !frames.resized) fail('a full frame was asked for and not painted');
  if (frames.changed) fail(`the pictures copied from their bitmaps changed ${frames.changed} colour values`);
  const text = (times) => `median ${times[5].toFixed(2)} ms, slowest ${times[9].toFixed(2)} ms`;
  console.log(`web: full frame: ${text(frames.kept)}; after a resize ${text(frames.resized)}, ` +
              `a bare canvas resized alike ${text(frames.bareResized)}; ` +
              'copied pictures change no pixel');
}

// The places of the round's controls in the 1024 x 720 view.
const at = {
  programUp: [726, 20],
  programNumber: [673, 3, 46, 34],
  bypass: [753, 61],
  bypassSwitch: [733, 51, 40, 20],
  store: [228, 20],
  nextCabinet: [486, 20],
  cabinetTitle: [260, 3, 240, 34],
  audition: [400, height - 85 + 10],
  select: [434, height - 55 + 13],
  extractAll: [315, height - 55 + 13],
  status: [10, height - 21, 600, 21],
  slotRow: (slot) => 198 + 31 * slot + 11,
  cabinetRow: (cabinet) => 42 + 31 * cabinet,
};

// Program up, IR bypass, slot `slot`'s cabinet page with cabinet `cabinet` SELECTed, then
// AUDITION on and the next cabinet, which goes to the slot at once. `settled` is awaited after
// each transfer (the demo waits a while, the editor page for the amplifier's log).
async function programBypassSelectAudition(page, slot, cabinet, settled) {
  await restPointer(page);
  await clickAndSee(page, ...at.programUp, at.programNumber, 'program up: the program number');
  console.log('web: program up: the program number changed');
  await restPointer(page);
  await clickAndSee(page, ...at.bypass, at.bypassSwitch, 'the IR bypass switch');
  await restPointer(page);
  console.log('web: IR bypass: the switch changed');

  await clickAndSee(page, 237, at.slotRow(slot), [300, 45, 150, 40], 'the cabinet page');
  await clickAndSee(page, 375, 20, [260, at.cabinetRow(cabinet), 230, 31], 'the cabinet list');
  await page.mouse.click(375, at.cabinetRow(cabinet) + 15);
  await sleep(300);
  await clickAndSee(page, ...at.select, at.status, 'SELECT: the status bar', 20);
  await settled('SELECT');
  console.log(`web: SELECT: a factory cabinet went to slot ${slot}`);
  await page.mouse.click(...at.audition);
  await sleep(300);
  await clickAndSee(page, ...at.nextCabinet, at.cabinetTitle, 'AUDITION: the cabinet title');
  await settled('AUDITION');
  console.log(`web: AUDITION: the next cabinet went to slot ${slot} at once`);
}

module.exports = {width, height, sleep, fail, failureHooks, region, clickAndSee, restPointer, importWav, firstFrame, fullFrames,
                  at, programBypassSelectAudition};
