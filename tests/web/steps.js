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

// Slot row y's import button, `file` given to the file chooser; waits for the status bar to
// change and keeps a screenshot named `what` in `work`.
async function importWav(page, slotY, file, what, work) {
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

// Ten full paints, each forced by a resize of the view; prints their median and slowest.
async function fullFrames(page) {
  const frames = await page.evaluate(() => {
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
