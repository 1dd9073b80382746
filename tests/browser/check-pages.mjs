// Opens both pages of each converted map in Debian's Chromium, runs axe-core
// on them and checks what axe cannot: the picture's alternative text and long
// description, the links between the pages, and the list nesting that the
// browser's accessibility tree shows against the outline's levels.
//
// Usage: node check-pages.mjs SCREENSHOT_DIR DIR:UNIT [DIR:UNIT ...]
import { chromium } from 'playwright-core';
import { createRequire } from 'node:module';
import { mkdtempSync, readFileSync, rmSync, mkdirSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join, basename } from 'node:path';
import { pathToFileURL } from 'node:url';

const require = createRequire(import.meta.url);
const axePath = require.resolve('axe-core/axe.min.js');
const WCAG_TAGS = ['wcag2a', 'wcag2aa', 'wcag21a', 'wcag21aa'];

const [screenshotDir, ...targets] = process.argv.slice(2);
if (!screenshotDir || targets.length === 0) {
  console.error('usage: node check-pages.mjs SCREENSHOT_DIR DIR:UNIT ...');
  process.exit(2);
}
mkdirSync(screenshotDir, { recursive: true });

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
  for (const target of targets) {
    const cut = target.lastIndexOf(':');
    const dir = target.slice(0, cut);
    const unit = target.slice(cut + 1);
    const name = basename(dir);
    const graphicPath = join(dir, `${unit}_MapaConceptual.html`);
    const descriptionPath = join(dir, `${unit}_Desc.html`);
    const graphicUrl = pathToFileURL(graphicPath).href;
    const descriptionUrl = pathToFileURL(descriptionPath).href;

    // The graphic page.
    await page.goto(graphicUrl);
    await runAxe(page, `${name} graphic page`);
    const picture = await page.evaluate(() => {
      const img = document.querySelector('img');
      return img && {
        alt: img.getAttribute('alt'),
        longdesc: new URL(img.getAttribute('longdesc'), document.baseURI).href,
        loaded: img.complete && img.naturalWidth > 0,
      };
    });
    if (!picture) fail(`${name}: no picture on the graphic page`);
    else {
      if (picture.alt !== `Descripción del mapa conceptual de ${unit}`) {
        fail(`${name}: alternative text is "${picture.alt}"`);
      }
      if (picture.longdesc !== descriptionUrl) fail(`${name}: longdesc names ${picture.longdesc}`);
      if (!picture.loaded) fail(`${name}: the picture did not load`);
    }
    await page.screenshot({ path: join(screenshotDir, `${name}-graphic.png`), fullPage: true });
    await page.click('a');
    await page.waitForLoadState();
    if (page.url() !== descriptionUrl) fail(`${name}: the graphic page's link went to ${page.url()}`);

    // The description page.
    await page.goto(descriptionUrl);
    await runAxe(page, `${name} description page`);
    const expected = outlineLevels(readFileSync(descriptionPath, 'utf8'));
    const actual = await accessibilityLevels(page);
    if (JSON.stringify(expected) !== JSON.stringify(actual)) {
      fail(`${name}: list levels in the accessibility tree ${JSON.stringify(actual.slice(0, 40))} ` +
        `differ from the outline's ${JSON.stringify(expected.slice(0, 40))}`);
    }
    await page.screenshot({ path: join(screenshotDir, `${name}-description.png`), fullPage: true });
    await page.click('a');
    await page.waitForLoadState();
    if (page.url() !== graphicUrl) fail(`${name}: the description page's link went to ${page.url()}`);
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
