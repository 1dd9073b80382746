// Opens both pages of each converted map in Debian's Chromium and checks
// what a reader meets: axe-core's WCAG 2.1 AA rules, the picture's
// alternative text and long description, the links between the pages (each
// must name the very file written), the list nesting of the browser's
// accessibility tree against the outline's levels, and reflow: no
// description page wider than a 320-pixel screen, the browser's usual
// 40 pixels a level on a wide one.
//
// Usage: node check-pages.mjs DIR [DIR ...]   (each DIR: one converted map)
import { chromium } from 'playwright-core';
import { createRequire } from 'node:module';
import { readFileSync, readdirSync, statSync } from 'node:fs';
import { basename } from 'node:path';

const axe = readFileSync(createRequire(import.meta.url).resolve('axe-core/axe.min.js'), 'utf8');
const failures = [];
const fail = (what) => failures.push(what);

// The page files of one map, as the raw bytes of their paths: names may hold
// bytes that are not UTF-8.
function findPages(dir) {
  const found = {};
  const visit = (folder) => {
    for (const entry of readdirSync(folder, { encoding: 'buffer' })) {
      const path = Buffer.concat([folder, Buffer.from('/'), entry]);
      const name = entry.toString('latin1');
      if (statSync(path).isDirectory()) visit(path);
      else if (name.endsWith('_MapaConceptual.html')) found.graphic = path;
      else if (name.endsWith('_Desc.html')) found.description = path;
      else if (name.endsWith('_MapaConceptual.png')) found.picture = path;
    }
  };
  visit(Buffer.from(dir));
  return found;
}

// A file URL naming exactly these bytes, and back: the bytes of the file that
// a URL the browser resolved names (its path is ASCII, the rest escaped).
const fileUrl = (path) => 'file://' + [...path].map((byte) => (byte === 0x2f ? '/' : `%${byte.toString(16).padStart(2, '0')}`)).join('');
const urlBytes = (url) => Buffer.from(new URL(url).pathname.replace(/%([0-9a-f]{2})/gi, (_, hex) => String.fromCharCode(parseInt(hex, 16))), 'latin1');

async function runAxe(page, label) {
  await page.evaluate(axe);
  const result = await page.evaluate(() =>
    window.axe.run(document, { runOnly: { type: 'tag', values: ['wcag2a', 'wcag2aa', 'wcag21a', 'wcag21aa'] } }));
  for (const v of result.violations) fail(`${label}: axe ${v.id}: ${v.help} at ${v.nodes.map((n) => n.target).join(', ')}`);
}

// List levels as the page's lines give them (an item at 6 spaces is level 1,
// each level inward adds 4), and as the accessibility tree gives them.
const outlineLevels = (html) => [...html.matchAll(/^( *)<li>/gm)].map((m) => (m[1].length - 6) / 4 + 1);
async function accessibilityLevels(session) {
  const { nodes } = await session.send('Accessibility.getFullAXTree');
  const byId = new Map(nodes.map((node) => [node.nodeId, node]));
  const levels = [];
  const visit = (node, depth) => {
    if (node.role?.value === 'listitem') levels.push(depth);
    for (const child of node.childIds ?? []) {
      if (byId.has(child)) visit(byId.get(child), depth + (node.role?.value === 'list' ? 1 : 0));
    }
  };
  visit(nodes.find((node) => !node.parentId), 0);
  return levels;
}

const browser = await chromium.launch({ executablePath: '/usr/bin/chromium', headless: true,
  args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update',
    '--disable-sync', '--no-first-run'] });
const context = await browser.newContext({ viewport: { width: 1280, height: 800 } });
const graphicPagesSeen = new Set();
let widest = { width: 0 };
async function check(page, session, dir) {
  const name = basename(dir);
  const files = findPages(dir);
  if (!files.graphic || !files.description) return fail(`${name}: pages not found`);
  await page.setViewportSize({ width: 1280, height: 800 });
  await page.goto(fileUrl(files.graphic));
  const graphic = await page.evaluate(() => ({
    title: document.title, alt: document.querySelector('img').alt, loaded: document.querySelector('img').naturalWidth > 0,
    src: document.querySelector('img').src, longdesc: new URL(document.querySelector('img').getAttribute('longdesc'), document.baseURI).href,
    link: document.querySelector('a').href }));
  const expectedTitle = graphic.title.replace(/^Mapa conceptual de /, 'Descripción del mapa conceptual de ');
  const html = readFileSync(files.graphic, 'latin1');
  if (!graphicPagesSeen.has(html)) await runAxe(page, `${name} graphic page`);  // the others are the same bytes
  graphicPagesSeen.add(html);
  if (graphic.alt.replace(/\s+/g, ' ').trim() !== expectedTitle) fail(`${name}: alternative text "${graphic.alt}"`);
  if (!graphic.loaded || !urlBytes(graphic.src).equals(files.picture)) fail(`${name}: the picture ${graphic.src} did not load`);
  for (const link of [graphic.longdesc, graphic.link]) {
    if (!urlBytes(link).equals(files.description)) fail(`${name}: ${link} names another file than the description`);
  }

  await page.goto(fileUrl(files.description));
  const description = await page.evaluate(() => ({ title: document.title, link: document.querySelector('a').href }));
  if (description.title !== expectedTitle) fail(`${name}: description page titled "${description.title}"`);
  if (!urlBytes(description.link).equals(files.graphic)) fail(`${name}: ${description.link} names another file than the graphic page`);
  await runAxe(page, `${name} description page`);
  const expected = outlineLevels(readFileSync(files.description, 'utf8'));
  const actual = await accessibilityLevels(session);
  if (JSON.stringify(expected) !== JSON.stringify(actual)) {
    fail(`${name}: list levels in the accessibility tree ${actual.slice(0, 30)} differ from the outline's ${expected.slice(0, 30)}`);
  }
  const indents = await page.evaluate(() => [...document.querySelectorAll('ul')].slice(0, 3)
    .map((ul) => parseFloat(getComputedStyle(ul).paddingLeft)));
  if (indents.some((indent) => indent !== 40)) fail(`${name}: at 1280 pixels the levels are indented ${indents}`);
  await page.setViewportSize({ width: 320, height: 640 });
  const width = await page.evaluate(() => document.documentElement.scrollWidth);
  if (width > 320) fail(`${name}: ${width} pixels wide on a 320-pixel screen`);
  if (width > widest.width) widest = { name, width };
  console.log(`${name}: ${expected.length} list items, ${width} pixels wide at 320`);
}
try {
  const queue = [...process.argv.slice(2)];
  await Promise.all([0, 1, 2].map(async () => {
    const page = await context.newPage();
    const session = await context.newCDPSession(page);
    while (queue.length > 0) await check(page, session, queue.shift());
  }));
} finally {
  await browser.close();
}
console.log(`widest description page at 320 pixels: ${widest.name}, ${widest.width}`);
for (const failure of failures) console.error(`FAIL ${failure}`);
process.exit(failures.length > 0 ? 1 : 0);
