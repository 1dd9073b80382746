// The page: reads the chosen files, converts in a worker, offers the zip.
'use strict';
(() => {
  const $ = (id) => document.getElementById(id);
  const [form, mapField, pictureField, unitField, button, area] =
    ['formulario', 'mapa', 'imagen', 'unidad', 'convertir', 'mensaje'].map($);
  const workerUrl = URL.createObjectURL(new Blob([$('conversor').textContent], { type: 'text/javascript' }));
  let offered = [];  // the object URLs of the last success

  const say = (text, isFailure) => {
    offered.forEach((url) => URL.revokeObjectURL(url));
    offered = [];
    const line = document.createElement('p');
    line.textContent = text;  // texts of the map and its name are never markup
    if (isFailure) line.setAttribute('role', 'alert');
    area.replaceChildren(line);
    return line;
  };
  const link = (text, blob, attributes) => {
    const a = document.createElement('a');
    a.textContent = text;
    a.href = URL.createObjectURL(blob);
    offered.push(a.href);
    Object.assign(a, attributes);
    area.append(a);
    return a;
  };
  const convert = (request) => new Promise((resolve) => {
    const worker = new Worker(workerUrl);
    worker.onmessage = ({ data }) => { worker.terminate(); resolve(data); };
    worker.postMessage(request, [request.bytes, request.picture].filter(Boolean));
  });

  form.addEventListener('submit', async (event) => {
    event.preventDefault();
    const map = mapField.files[0];
    if (!map) {
      say('Elige primero el fichero CXL del mapa conceptual.', true);
      return;
    }
    const picture = pictureField.files[0];
    button.disabled = true;
    say('Convirtiendo...');
    const read = (file) => (file ? file.arrayBuffer() : Promise.resolve(null)).catch(() => undefined);
    const [bytes, pictureBytes] = await Promise.all([read(map), read(picture)]);
    const unreadable = bytes === undefined ? map : pictureBytes === undefined ? picture : null;
    const result = await convert(unreadable ? { bytes: null, fileName: unreadable.name, unitName: '' }
      : { bytes, picture: pictureBytes, fileName: map.name, unitName: unitField.value });
    button.disabled = false;
    if (result.message !== '') {
      say(result.message.replace(/\n$/, ''), true);
      button.focus();
      return;
    }
    say('Salida generada.');
    const download = link(`Descargar ${result.zipName}`, new Blob([result.zip], { type: 'application/zip' }), { download: result.zipName });
    link('Ver la descripción', new Blob([result.descriptionPage], { type: 'application/xhtml+xml' }), { target: '_blank', rel: 'noopener' });
    download.focus();
  });
})();
