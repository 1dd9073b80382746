// What both browser checks share: Debian's Chromium, started as this machine
// allows, axe-core's WCAG 2.1 A and AA rules run on a page, and the failures
// found, told at the end.
import { chromium } from 'playwright-core';
import { createRequire } from 'node:module';
import { readFileSync } from 'node:fs';

const axe = readFileSync(createRequire(import.meta.url).resolve('axe-core/axe.min.js'), 'utf8');

export const launch = () => chromium.launch({ executablePath: '/usr/bin/chromium', headless: true,
  args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update', '--disable-sync', '--no-first-run'] });

const failures = [];
export const fail = (what) => failures.push(what);
export const report = () => process.exit(failures.map((failure) => console.error(`FAIL ${failure}`)).length > 0 ? 1 : 0);

export async function runAxe(page, label) {
  await page.evaluate(axe);
  const result = await page.evaluate(() => window.axe.run(document, { runOnly: { type: 'tag', values: ['wcag2a', 'wcag2aa', 'wcag21a', 'wcag21aa'] } }));
  for (const v of result.violations) fail(`${label}: axe ${v.id}: ${v.help} at ${v.nodes.map((n) => n.target).join(', ')}`);
}
