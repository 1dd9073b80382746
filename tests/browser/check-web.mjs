// node check-web.mjs PAGE PROGRAM TOP: the browser edition in Chromium, as an
// author uses it. Its zip must hold the very pages the console program
// writes for the same map and unit name, its failures the console's words;
// it must make no request, pass axe-core before and after a conversion, work
// by keyboard alone and fit a 320-pixel screen.
import { chromium } from 'playwright-core';
import { createRequire } from 'node:module';
import { execFileSync, spawnSync } from 'node:child_process';
import { mkdtempSync, readFileSync, readdirSync, rmSync, writeFileSync, mkdirSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';

const [pagePath, program, top] = process.argv.slice(2);
const require = createRequire(import.meta.url);
const axe = readFileSync(require.resolve('axe-core/axe.min.js'), 'utf8');
const { unzipSync } = require('fflate');
const work = mkdtempSync(join(tmpdir(), 'web-check-'));
const failures = [];
const fail = (what) => failures.push(what);
const data = (name) => readFileSync(join(top, 'tests/data', name));
const picture = readFileSync(join(top, 'examples/mapa.png'));

// What the console program does with the same file and unit name, in an empty folder.
let runs = 0;
function consoleRun(bytes, fileName, unitName) {
  const dir = join(work, `run${runs++}`);
  mkdirSync(join(dir, 'temas'), { recursive: true });
  writeFileSync(join(dir, fileName), bytes);
  const run = spawnSync(program, [], { cwd: dir, input: `${fileName}\n${unitName.replaceAll('\\', '/')}\n\n` });
  const files = {};
  const collect = (folder, prefix) => {
    for (const entry of readdirSync(folder, { withFileTypes: true })) {
      if (entry.isDirectory()) collect(join(folder, entry.name), `${prefix}${entry.name}/`);
      else if (entry.name !== fileName) files[prefix + entry.name] = readFileSync(join(folder, entry.name));
    }
  };
  collect(dir, '');
  return { files, message: run.stderr.toString().replace('Presiona cualquier tecla para salir del programa...\n', '') };
}

const mesh = `<cmap><map><concept id="c" label="Inicio"/>${[...Array(12).keys()].map((i) => `<linking-phrase id="p${i}" label="frase ${i}"/>`).join('')}` +
  `<connection from-id="c" to-id="p0"/>${[...Array(144).keys()].map((i) => `<connection from-id="p${i % 12}" to-id="p${Math.floor(i / 12)}"/>`).join('')}</map></cmap>`;
const conversions = [
  ['living-beings.cxl', data('living-beings.cxl'), 'temas/T1'],
  ['markup.cxl', data('markup.cxl'), 'Biología & #1 %'],
  ['mapa.cxl', readFileSync(join(top, 'examples/mapa.cxl')), 'temas\\Tema 2'],
  ['no-nodes.cxl', data('no-nodes.cxl'), ''],
  ['roto.cxl', 'esto no es XML', 'SIG01'],
  ['<img src=x onerror=alert(1)>.cxl', '<?xml version="1.0"?>\n<!-- nada -->\n', 'SIG01'],
  ['missing-node.cxl', data('missing-node.cxl'), 'SIG01'],
  ['malla.cxl', mesh, 'SIG01'],
];

const browser = await chromium.launch({ executablePath: '/usr/bin/chromium', headless: true,
  args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update', '--disable-sync', '--no-first-run'] });
try {
  const context = await browser.newContext({ acceptDownloads: true });
  // Every request that would leave the page is refused and remembered.
  await context.route(/^(?!file:|blob:|data:)/, (route) => { fail(`a request left the page: ${route.request().url()}`); route.abort(); });
  const page = await context.newPage();
  page.on('pageerror', (error) => fail(`the page threw: ${error.message}`));
  page.on('console', (message) => { if (message.type() === 'error') fail(`console error: ${message.text()}`); });
  await page.goto(`file://${pagePath}`);
  const runAxe = async (label) => {
    await page.evaluate(axe);
    const result = await page.evaluate(() => window.axe.run(document, { runOnly: { type: 'tag', values: ['wcag2a', 'wcag2aa', 'wcag21a', 'wcag21aa'] } }));
    for (const v of result.violations) fail(`${label}: axe ${v.id}: ${v.help} at ${v.nodes.map((n) => n.target).join(', ')}`);
  };
  const message = () => page.locator('#mensaje').innerText();
  const finished = () => page.waitForFunction(() => !document.querySelector('#convertir').disabled && document.querySelector('#mensaje').textContent !== 'Convirtiendo...');
  await runAxe('before a conversion');

  await page.getByRole('button', { name: 'Convertir' }).click();
  if ((await message()) !== 'Elige primero el fichero CXL del mapa conceptual.') fail(`"Convertir" without a map says "${await message()}"`);

  const convert = async (fileName, bytes, unitName, withPicture) => {
    await page.getByLabel('Fichero CXL del mapa conceptual').setInputFiles({ name: fileName, mimeType: 'text/xml', buffer: Buffer.from(bytes) });
    await page.getByLabel('Imagen del mapa (PNG, opcional)').setInputFiles(withPicture ? { name: 'captura.png', mimeType: 'image/png', buffer: picture } : []);
    await page.getByLabel('Nombre de la Unidad de Trabajo').fill(unitName);
    await page.getByRole('button', { name: 'Convertir' }).click();
    await finished();
  };
  let matched = 0;
  for (const [fileName, bytes, unitName] of conversions) {
    const label = `${fileName} as "${unitName}"`;
    await convert(fileName, bytes, unitName, true);
    const expected = consoleRun(bytes, fileName.includes('/') ? 'mc.cxl' : fileName, unitName || 'SIGXX');
    const shown = await message();
    const graphicName = Object.keys(expected.files).find((name) => name.endsWith('_MapaConceptual.html'));
    if (!graphicName) {
      if (shown !== expected.message.replace(/\n$/, '')) fail(`${label}: shows "${shown}", the console says "${expected.message}"`);
      else matched++;
      if (await page.locator('#mensaje a').count() > 0) fail(`${label}: a failure offers a download`);
      continue;
    }
    const zipName = `${graphicName.split('/').pop().replace(/_MapaConceptual\.html$/, '')}.zip`;
    if (!shown.startsWith('Salida generada.')) fail(`${label}: shows "${shown}"`);
    const [download] = await Promise.all([page.waitForEvent('download'), page.getByRole('link', { name: `Descargar ${zipName}` }).click()]);
    if (download.suggestedFilename() !== zipName) fail(`${label}: the zip is saved as ${download.suggestedFilename()}`);
    const entries = unzipSync(readFileSync(await download.path()));
    const wanted = { ...expected.files, [graphicName.replace(/\.html$/, '.png')]: picture };
    const names = Object.keys(entries).sort();
    if (names.join('\n') !== Object.keys(wanted).sort().join('\n')) fail(`${label}: the zip holds ${names}, the console wrote ${Object.keys(wanted)}`);
    else if (names.some((name) => !Buffer.from(entries[name]).equals(wanted[name]))) fail(`${label}: a file of the zip differs from the console's`);
    else matched++;
  }
  console.log(`${matched} of ${conversions.length} conversions as the console program makes them`);

  await convert('living-beings.cxl', data('living-beings.cxl'), 'SIG01', false);
  const [description] = await Promise.all([context.waitForEvent('page'), page.getByRole('link', { name: 'Ver la descripción' }).click()]);
  await description.waitForLoadState();
  if ((await description.title()) !== 'Descripción del mapa conceptual de SIG01') fail(`"Ver la descripción" opens "${await description.title()}"`);
  await description.close();
  await runAxe('after a conversion');
  if (await page.locator('img').count() > 0) fail('a file name became markup');

  for (const unitName of ['temas/../T1', '/T1', 'C:T1', 'temas//T1', 'CON\\T1', 'T1?', 'T1|2', 'T<1>', 'temas. /T1']) {
    await convert('living-beings.cxl', data('living-beings.cxl'), unitName, false);
    const expected = `No se puede crear el fichero "${unitName.replaceAll('\\', '/')}_MapaConceptual.html"`;
    if ((await message()) !== expected) fail(`unit name "${unitName}": shows "${await message()}"`);
  }

  // By keyboard alone: the map chosen, a unit typed, converted and downloaded.
  await page.reload();
  await page.keyboard.press('Tab');
  const [chooser] = await Promise.all([page.waitForEvent('filechooser'), page.keyboard.press('Space')]);
  await chooser.setFiles({ name: 'mc.cxl', mimeType: 'text/xml', buffer: data('living-beings.cxl') });
  await page.keyboard.press('Tab');
  await page.keyboard.press('Tab');
  await page.keyboard.type('Teclado');
  await page.keyboard.press('Tab');
  await page.keyboard.press('Enter');
  await finished();
  const [keyed] = await Promise.all([page.waitForEvent('download'), page.keyboard.press('Enter')]);
  if (keyed.suggestedFilename() !== 'Teclado.zip') fail(`by keyboard: ${await message()}`);

  await convert('malla.cxl', mesh, 'una-unidad-de-trabajo-con-un-nombre-muy-largo-sin-espacios/y-una-carpeta', false);
  await page.setViewportSize({ width: 320, height: 640 });
  for (const target of ['', '#licencias']) {
    await page.evaluate((hash) => { location.hash = hash; }, target);
    const width = await page.evaluate(() => document.documentElement.scrollWidth);
    if (width > 320) fail(`${width} pixels wide on a 320-pixel screen${target}`);
  }
  const size = readFileSync(pagePath).length;
  if (size > 1 << 20) fail(`the page is ${size} bytes, more than 1 MiB`);
  console.log(`the page: ${size} bytes`);
} finally {
  await browser.close();
  rmSync(work, { recursive: true, force: true });
}
for (const failure of failures) console.error(`FAIL ${failure}`);
process.exit(failures.length > 0 ? 1 : 0);
