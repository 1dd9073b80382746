// What both browser checks share: Debian's Chromium, started as this machine
// allows, and axe-core's WCAG 2.1 A and AA rules run on a page.
import { chromium } from 'playwright-core';
import { createRequire } from 'node:module';
import { readFileSync } from 'node:fs';

const axe = readFileSync(createRequire(import.meta.url).resolve('axe-core/axe.min.js'), 'utf8');

export const launch = () => chromium.launch({ executablePath: '/usr/bin/chromium', headless: true,
  args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update', '--disable-sync', '--no-first-run'] });

export async function runAxe(page, label, fail) {
  await page.evaluate(axe);
  const result = await page.evaluate(() => window.axe.run(document, { runOnly: { type: 'tag', values: ['wcag2a', 'wcag2aa', 'wcag21a', 'wcag21aa'] } }));
  for (const v of result.violations) fail(`${label}: axe ${v.id}: ${v.help} at ${v.nodes.map((n) => n.target).join(', ')}`);
}
