// node check-pages.mjs DIR...: both pages of each converted map in Chromium,
// as a reader meets them: axe-core's WCAG 2.1 AA rules; the picture, its
// alternative text and long description; links naming the very files
// written; 40 pixels a level at 1280, nothing wider than a 320-pixel screen.
import { readFileSync, readdirSync, statSync } from 'node:fs';
import { basename } from 'node:path';
import { fail, launch, report, runAxe } from './chromium.mjs';


// The files of one map, as the bytes of their paths: names may hold bytes
// that are not UTF-8.
function findFiles(dir, found = {}) {
  for (const entry of readdirSync(dir, { encoding: 'buffer' })) {
    const path = Buffer.concat([dir, Buffer.from('/'), entry]);
    const kind = { 'MapaConceptual.html': 'graphic', 'Desc.html': 'description', 'MapaConceptual.png': 'picture' };
    if (statSync(path).isDirectory()) findFiles(path, found);
    else found[kind[entry.toString('latin1').split('_').pop()]] = path;
  }
  return found;
}

// A file URL naming exactly these bytes, and the bytes a resolved URL names.
const fileUrl = (path) => 'file://' + [...path].map((b) => (b === 0x2f ? '/' : `%${b.toString(16).padStart(2, '0')}`)).join('');
const urlBytes = (url) => Buffer.from(new URL(url).pathname.replace(/%([0-9a-f]{2})/gi, (_, h) => String.fromCharCode(parseInt(h, 16))), 'latin1');


const graphicPagesSeen = new Set();
async function check(page, dir) {
  const name = basename(dir);
  const files = findFiles(Buffer.from(dir));
  await page.setViewportSize({ width: 1280, height: 800 });
  await page.goto(fileUrl(files.graphic));
  const graphic = await page.evaluate(() => {
    const img = document.querySelector('img');
    return { title: document.title, alt: img.alt, loaded: img.naturalWidth > 0, src: img.src,
      longdesc: new URL(img.getAttribute('longdesc'), document.baseURI).href, link: document.querySelector('a').href };
  });
  const title = graphic.title.replace(/^Mapa conceptual de /, 'Descripción del mapa conceptual de ');
  const html = readFileSync(files.graphic, 'latin1');
  if (!graphicPagesSeen.has(html)) await runAxe(page, `${name} graphic page`);  // the others are the same bytes
  graphicPagesSeen.add(html);
  if (graphic.alt.replace(/\s+/g, ' ').trim() !== title) fail(`${name}: alternative text "${graphic.alt}"`);
  if (!graphic.loaded || !urlBytes(graphic.src).equals(files.picture)) fail(`${name}: the picture ${graphic.src} did not load`);
  for (const link of [graphic.longdesc, graphic.link]) {
    if (!urlBytes(link).equals(files.description)) fail(`${name}: ${link} names another file than the description`);
  }

  await page.goto(fileUrl(files.description));
  const description = await page.evaluate(() => ({ title: document.title, link: document.querySelector('a').href,
    indents: [...document.querySelectorAll('ul')].slice(0, 3).map((ul) => parseFloat(getComputedStyle(ul).paddingLeft)) }));
  if (description.title !== title) fail(`${name}: description page titled "${description.title}"`);
  if (!urlBytes(description.link).equals(files.graphic)) fail(`${name}: ${description.link} names another file than the graphic page`);
  if (description.indents.some((indent) => indent !== 40)) fail(`${name}: at 1280 pixels the levels are indented ${description.indents}`);
  await runAxe(page, `${name} description page`);
  await page.setViewportSize({ width: 320, height: 640 });
  const width = await page.evaluate(() => document.documentElement.scrollWidth);
  if (width > 320) fail(`${name}: ${width} pixels wide on a 320-pixel screen`);
  console.log(`${name}: ${width} pixels wide at 320`);
}

const browser = await launch();
try {
  const context = await browser.newContext();
  const queue = process.argv.slice(2);
  await Promise.all([0, 1, 2].map(async () => {
    const page = await context.newPage();
    while (queue.length > 0) await check(page, queue.shift());
  }));
} finally {
  await browser.close();
}
report();
