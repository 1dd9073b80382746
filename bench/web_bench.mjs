// node bench/web_bench.mjs PAGE MAP RUNS: the browser edition converting MAP
// in Chromium, as an author would (choose, "Convertir", wait for "Salida
// generada."). Prints the median time from the click to the message, and
// the longest the page's main thread went without running, which would be
// a frozen page.
import { createRequire } from 'node:module';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';

const here = dirname(fileURLToPath(import.meta.url));
const { chromium } = createRequire(join(here, '../tests/browser/package.json'))('playwright-core');
const [page, map, runs] = process.argv.slice(2);
const browser = await chromium.launch({ executablePath: '/usr/bin/chromium', headless: true,
  args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update', '--disable-sync', '--no-first-run'] });
const times = [];
let longestGap = 0;
try {
  const tab = await browser.newPage();
  await tab.goto(`file://${page}`);
  for (let run = 0; run < Number(runs); run++) {
    await tab.getByLabel('Fichero CXL del mapa conceptual').setInputFiles(map);
    await tab.evaluate(() => {
      // The main thread's heartbeat: the longest wait between two beats.
      window.benchGap = 0;
      let last = performance.now();
      window.benchBeat = setInterval(() => { const now = performance.now(); window.benchGap = Math.max(window.benchGap, now - last); last = now; }, 10);
    });
    const start = Date.now();
    await tab.getByRole('button', { name: 'Convertir' }).click();
    await tab.waitForFunction(() => document.querySelector('#mensaje').textContent.startsWith('Salida generada.'), null, { timeout: 600000 });
    times.push((Date.now() - start) / 1000);
    longestGap = Math.max(longestGap, await tab.evaluate(() => { clearInterval(window.benchBeat); return window.benchGap; }));
  }
} finally {
  await browser.close();
}
times.sort((a, b) => a - b);
console.log(`${times[Math.floor((times.length - 1) / 2)].toFixed(3)} ${Math.round(longestGap)}`);
