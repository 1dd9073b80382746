// Opens both pages of each converted map in Debian's Chromium, runs axe-core
// on them and checks what axe cannot: the picture's alternative text and long
// description, the links between the pages, and the list nesting that the
// browser's accessibility tree shows against the outline's levels.
//
// Each folder holds one converted map, its pages maybe in a subfolder and
// named with bytes that are not UTF-8: the pages are found by their endings,
// and every link is judged by the page or picture it reaches.
//
// Usage: node check-pages.mjs SCREENSHOT_DIR DIR [DIR ...]
import { chromium } from 'playwright-core';
import { createRequire } from 'node:module';
import { mkdtempSync, readFileSync, readdirSync, rmSync, mkdirSync, statSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join, basename } from 'node:path';

const require = createRequire(import.meta.url);
const axePath = require.resolve('axe-core/axe.min.js');
const WCAG_TAGS = ['wcag2a', 'wcag2aa', 'wcag21a', 'wcag21aa'];

const [screenshotDir, ...targets] = process.argv.slice(2);
if (!screenshotDir || targets.length === 0) {
  console.error('usage: node check-pages.mjs SCREENSHOT_DIR DIR ...');
  process.exit(2);
}
mkdirSync(screenshotDir, { recursive: true });

// The page files of one converted map, as raw bytes of their paths.
function findPages(dir) {
  const found = {};
  const visit = (folder) => {
    for (const entry of readdirSync(folder, { encoding: 'buffer' })) {
      const path = Buffer.concat([folder, Buffer.from('/'), entry]);
      if (statSync(path).isDirectory()) visit(path);
      else if (entry.toString('latin1').endsWith('_MapaConceptual.html')) found.graphic = path;
      else if (entry.toString('latin1').endsWith('_Desc.html')) found.description = path;
    }
  };
  visit(Buffer.from(dir));
  return found;
}

// A file URL that names exactly these bytes.
function fileUrl(path) {
  let url = 'file://';
  for (const byte of path) {
    const c = String.fromCharCode(byte);
    url += /[A-Za-z0-9\-._~\/]/.test(c) ? c : `%${byte.toString(16).toUpperCase().padStart(2, '0')}`;
  }
  return url;
}

const failures = [];
const rulesChecked = new Set();
let violationsFound = 0;
const fail = (what) => failures.push(what);

// List levels of the outline, read from the page's own lines: an item at
// 6 spaces is level 1, each level inward adds 4.
function outlineLevels(html) {
  const levels = [];
  for (const line of html.split('\n')) {
    const match = /^( *)<li>/.exec(line);
    if (match) levels.push((match[1].length - 6) / 4 + 1);
  }
  return levels;
}

// The same levels as the browser's accessibility tree gives them: for each
// list item, in document order, the number of lists around it.
async function accessibilityLevels(page) {
  const session = await page.context().newCDPSession(page);
  const { nodes } = await session.send('Accessibility.getFullAXTree');
  const byId = new Map(nodes.map((node) => [node.nodeId, node]));
  const role = (node) => node.role?.value;
  const levels = [];
  const visit = (node) => {
    if (role(node) === 'listitem') {
      let depth = 0;
      for (let up = byId.get(node.parentId); up; up = byId.get(up.parentId)) {
        if (role(up) === 'list') depth += 1;
      }
      levels.push(depth);
    }
    for (const child of node.childIds ?? []) {
      const next = byId.get(child);
      if (next) visit(next);
    }
  };
  visit(nodes.find((node) => !node.parentId));
  await session.detach();
  return levels;
}

async function runAxe(page, label) {
  await page.addScriptTag({ path: axePath });
  const result = await page.evaluate(
    async (tags) => window.axe.run(document, { runOnly: { type: 'tag', values: tags } }),
    WCAG_TAGS,
  );
  for (const group of [result.passes, result.violations, result.incomplete, result.inapplicable]) {
    for (const rule of group) rulesChecked.add(rule.id);
  }
  for (const violation of result.violations) {
    violationsFound += 1;
    const where = violation.nodes.map((node) => node.target.join(' ')).join(', ');
    fail(`${label}: axe ${violation.id} (${violation.impact}): ${violation.help} at ${where}`);
  }
}

const profile = mkdtempSync(join(tmpdir(), 'cxl2xhtml-chromium-'));
const context = await chromium.launchPersistentContext(profile, {
  executablePath: '/usr/bin/chromium',
  headless: true,
  args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking',
    '--disable-component-update', '--disable-sync', '--no-first-run'],
});
try {
  const page = await context.newPage();
  for (const dir of targets) {
    const name = basename(dir);
    const pages = findPages(dir);
    if (!pages.graphic || !pages.description) {
      fail(`${name}: pages not found`);
      continue;
    }
    const graphicUrl = fileUrl(pages.graphic);
    const descriptionUrl = fileUrl(pages.description);
    const title = () => page.evaluate(() => document.title);

    // The graphic page: its title names the unit that the other page must name too.
    await page.goto(graphicUrl);
    const graphicTitle = await title();
    const unit = graphicTitle.replace(/^Mapa conceptual de /, '');
    const descriptionTitle = `Descripción del mapa conceptual de ${unit}`;
    await runAxe(page, `${name} graphic page`);
    const picture = await page.evaluate(() => {
      const img = document.querySelector('img');
      return img && {
        alt: img.getAttribute('alt'),
        longdesc: new URL(img.getAttribute('longdesc'), document.baseURI).href,
        loaded: img.complete && img.naturalWidth > 0,
      };
    });
    await page.screenshot({ path: join(screenshotDir, `${name}-graphic.png`), fullPage: true });
    if (!picture) fail(`${name}: no picture on the graphic page`);
    else {
      // document.title has its blanks folded; so has the alternative text here.
      if (picture.alt.replace(/\s+/g, ' ').trim() !== descriptionTitle) fail(`${name}: alternative text is "${picture.alt}"`);
      if (!picture.loaded) fail(`${name}: the picture did not load`);
      await page.goto(picture.longdesc);
      if ((await title()) !== descriptionTitle) fail(`${name}: longdesc ${picture.longdesc} reaches another page`);
      await page.goto(graphicUrl);
    }
    await page.click('a');
    await page.waitForLoadState();
    if ((await title()) !== descriptionTitle) fail(`${name}: the graphic page's link went to ${page.url()}`);

    // The description page.
    await page.goto(descriptionUrl);
    if ((await title()) !== descriptionTitle) fail(`${name}: description page titled "${await title()}"`);
    await runAxe(page, `${name} description page`);
    const expected = outlineLevels(readFileSync(pages.description, 'utf8'));
    const actual = await accessibilityLevels(page);
    if (JSON.stringify(expected) !== JSON.stringify(actual)) {
      fail(`${name}: list levels in the accessibility tree ${JSON.stringify(actual.slice(0, 40))} ` +
        `differ from the outline's ${JSON.stringify(expected.slice(0, 40))}`);
    }
    await page.screenshot({ path: join(screenshotDir, `${name}-description.png`), fullPage: true });
    await page.click('a');
    await page.waitForLoadState();
    if ((await title()) !== graphicTitle) fail(`${name}: the description page's link went to ${page.url()}`);
    console.log(`${name}: ${expected.length} list items checked`);
  }
} finally {
  await context.close();
  rmSync(profile, { recursive: true, force: true });
}

console.log(`axe rules checked: ${rulesChecked.size}; violations: ${violationsFound}`);
if (failures.length > 0) {
  for (const failure of failures) console.error(`FAIL ${failure}`);
  process.exit(1);
}
console.log(`${targets.length * 2} pages passed`);
