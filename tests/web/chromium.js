// Debian's Chromium, headless, for the browser checks (puppeteer-core drives it).
const puppeteer = require('puppeteer-core');

const launchChromium = () => puppeteer.launch({
  executablePath: '/usr/bin/chromium',
  headless: true,
  args: ['--no-sandbox', '--headless=new'],
});

module.exports = {launchChromium};
