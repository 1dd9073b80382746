// node check-web.mjs PAGE PROGRAM TOP: the browser edition as an author uses it. Its zip holds the files the
// console program writes for the same map and unit name, its failures the console's words; no request leaves
// it; axe-core passes before and after a conversion; the keyboard alone converts; 320 pixels hold it.
import { createRequire } from 'node:module';
import { spawnSync } from 'node:child_process';
import { mkdtempSync, readFileSync, readdirSync, rmSync, writeFileSync, mkdirSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { fail, launch, report, runAxe } from './chromium.mjs';

const [pagePath, program, top] = process.argv.slice(2);
const { unzipSync } = createRequire(import.meta.url)('fflate');
const work = mkdtempSync(join(tmpdir(), 'web-check-'));
const data = (name) => readFileSync(join(top, 'tests/data', name)), picture = readFileSync(join(top, 'examples/mapa.png'));

// The files the console program writes for the same file and unit name in
// an empty folder (with a folder "temas"), and what it says on failure.
function consoleRun(bytes, fileName, unitName, dir = join(work, `${Math.random()}`)) {
  mkdirSync(join(dir, 'temas'), { recursive: true });
  writeFileSync(join(dir, fileName), bytes);
  const run = spawnSync(program, [], { cwd: dir, input: `${fileName}\n${unitName.replaceAll('\\', '/')}\n\n` });
  const files = Object.fromEntries(readdirSync(dir, { recursive: true, withFileTypes: true }).filter((e) => e.isFile() && e.name !== fileName)
    .map((e) => [join(e.path, e.name).slice(dir.length + 1), readFileSync(join(e.path, e.name))]));
  return { files, message: run.stderr.toString().replace(/Presiona cualquier tecla.*\n$/, '').replace(/\n$/, '') };
}

const numbers = [...Array(144).keys()];
const mesh = `<cmap><map><concept id="c" label="Inicio"/>${numbers.slice(0, 12).map((i) => `<linking-phrase id="p${i}" label="frase ${i}"/>`).join('')}` +
  `<connection from-id="c" to-id="p0"/>${numbers.map((i) => `<connection from-id="p${i % 12}" to-id="p${Math.floor(i / 12)}"/>`).join('')}</map></cmap>`;
const conversions = [['living-beings.cxl', data('living-beings.cxl'), 'temas/T1'], ['markup.cxl', data('markup.cxl'), 'Biología & #1 %'],
  ['mapa.cxl', readFileSync(join(top, 'examples/mapa.cxl')), 'temas\\Tema 2'], ['no-nodes.cxl', data('no-nodes.cxl'), ''],
  ['roto.cxl', 'esto no es XML', 'SIG01'], ['<img src=x onerror=alert(1)>.cxl', '<?xml version="1.0"?>\n<!-- nada -->\n', 'SIG01'],
  ['missing-node.cxl', data('missing-node.cxl'), 'SIG01'], ['malla.cxl', mesh, 'SIG01']];

const browser = await launch();
try {
  const context = await browser.newContext({ acceptDownloads: true });
  await context.route(/^(?!file:|blob:|data:)/, (route) => { fail(`a request left the page: ${route.request().url()}`); route.abort(); });
  const page = await context.newPage();
  page.on('pageerror', (error) => fail(`the page threw: ${error.message}`));
  await page.goto(`file://${pagePath}`);
  const message = () => page.locator('#mensaje').innerText();
  const finished = () => page.waitForFunction(() => !document.querySelector('#convertir').disabled);
  const convert = async (fileName, bytes, unitName, withPicture) => {
    await page.getByLabel('Fichero CXL del mapa conceptual').setInputFiles({ name: fileName, mimeType: 'text/xml', buffer: Buffer.from(bytes) });
    await page.getByLabel('Imagen del mapa (PNG, opcional)').setInputFiles(withPicture ? { name: 'captura.png', mimeType: 'image/png', buffer: picture } : []);
    await page.getByLabel('Nombre de la Unidad de Trabajo').fill(unitName);
    await page.getByRole('button', { name: 'Convertir' }).click();
    await finished();
  };
  await runAxe(page, 'before a conversion');
  await page.getByRole('button', { name: 'Convertir' }).click();
  if ((await message()) !== 'Elige primero el fichero CXL del mapa conceptual.') fail(`"Convertir" without a map says "${await message()}"`);

  let matched = 0;
  for (const [fileName, bytes, unitName] of conversions) {
    await convert(fileName, bytes, unitName, true);
    const expected = consoleRun(bytes, fileName.includes('/') ? 'mc.cxl' : fileName, unitName || 'SIGXX');
    const graphic = Object.keys(expected.files).find((name) => name.endsWith('_MapaConceptual.html'));
    if (!graphic) {
      if ((await message()) === expected.message && await page.locator('#mensaje a').count() === 0) matched++;
      else fail(`${fileName} as "${unitName}": shows "${await message()}", the console says "${expected.message}"`);
      continue;
    }
    const zipName = graphic.replace(/^.*\/|_MapaConceptual\.html$/g, '') + '.zip';
    const [download] = await Promise.all([page.waitForEvent('download'), page.getByRole('link', { name: `Descargar ${zipName}` }).click()]);
    const entries = unzipSync(readFileSync(await download.path()));
    const wanted = { ...expected.files, [graphic.replace(/html$/, 'png')]: picture };
    const same = Object.keys(entries).sort().join() === Object.keys(wanted).sort().join() &&
      Object.keys(entries).every((name) => Buffer.from(entries[name]).equals(wanted[name]));
    if (same && download.suggestedFilename() === zipName && (await message()).startsWith('Salida generada.')) matched++;
    else fail(`${fileName} as "${unitName}": ${download.suggestedFilename()} holds ${Object.keys(entries)}, the console wrote ${Object.keys(wanted)}`);
  }
  console.log(`${matched} of ${conversions.length} conversions as the console program makes them`);
  if (matched !== conversions.length || await page.locator('img').count() > 0) fail('not every conversion matched, or a name became markup');

  await convert('living-beings.cxl', data('living-beings.cxl'), 'SIG01', false);
  const [description] = await Promise.all([context.waitForEvent('page'), page.getByRole('link', { name: 'Ver la descripción' }).click()]);
  await description.waitForLoadState();
  if ((await description.title()) !== 'Descripción del mapa conceptual de SIG01') fail(`"Ver la descripción" opens "${await description.title()}"`);
  await runAxe(page, 'after a conversion');

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
  for (const key of ['Tab', 'Tab', 'T', 'e', 'c', 'l', 'a', 'Tab', 'Enter']) await page.keyboard.press(key);
  await finished();
  const [keyed] = await Promise.all([page.waitForEvent('download'), page.keyboard.press('Enter')]);
  if (keyed.suggestedFilename() !== 'Tecla.zip') fail(`by keyboard: ${await message()}`);

  await convert('malla.cxl', mesh, 'una-unidad-de-trabajo-con-un-nombre-muy-largo-sin-espacios/y-una-carpeta', false);
  await page.setViewportSize({ width: 320, height: 640 });
  for (const hash of ['', '#licencias']) {
    const width = await page.evaluate((target) => { location.hash = target; return document.documentElement.scrollWidth; }, hash);
    if (width > 320) fail(`${width} pixels wide on a 320-pixel screen${hash}`);
  }
  const size = readFileSync(pagePath).length;
  console.log(`the page: ${size} bytes`);
  if (size > 1 << 20) fail(`the page is ${size} bytes, more than 1 MiB`);
} finally {
  await browser.close();
  rmSync(work, { recursive: true, force: true });
}
report();
