// Lays the browser edition into one self-contained page:
//   node assemble.mjs OUT VERSION CONVERTER_JS FFLATE_JS [TITLE=LICENCE_FILE ...]
// The worker's code goes in as a data block, the page's own code inline
// under the hash that its Content-Security-Policy allows, and each licence
// as text.
import { readFileSync, writeFileSync } from 'node:fs';
import { createHash } from 'node:crypto';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';

const [out, version, converter, fflate, ...licences] = process.argv.slice(2);
const here = dirname(fileURLToPath(import.meta.url));
const read = (path) => readFileSync(path, 'utf8');
const escape = (text) => text.replace(/&/g, '&amp;').replace(/</g, '&lt;').replace(/>/g, '&gt;');

const worker = `${read(fflate)}\n${read(converter)}\n${read(join(here, 'worker.js'))}`;
const main = `\n${read(join(here, 'main.js'))}\n`;
for (const [name, code] of [['worker', worker], ['page', main]]) {
  if (/<\/script|<!--/i.test(code)) throw new Error(`the ${name} code would end its script element early`);
}
const hash = `sha256-${createHash('sha256').update(main, 'utf8').digest('base64')}`;
const licenceText = licences.map((entry) => {
  const [title, path] = entry.split('=');
  return `<h3>${escape(title)}</h3>\n<pre>${escape(read(path))}</pre>`;
}).join('\n');
// Replaced in one pass, so that no inserted text is read as a marker.
const values = { SCRIPT_HASH: hash, VERSION: version, LICENCES: licenceText, WORKER: worker, MAIN: main };
const page = read(join(here, 'page.html')).replace(/@(SCRIPT_HASH|VERSION|LICENCES|WORKER|MAIN)@/g, (_, name) => values[name]);
writeFileSync(out, page);
