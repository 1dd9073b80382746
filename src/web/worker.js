// The worker: one conversion in a fresh instance of the converter, so that
// one that ran out of memory leaves nothing behind for the next map.
'use strict';
self.onmessage = async ({ data }) => {
  const encode = (text) => new TextEncoder().encode(text);
  const decode = (bytes) => new TextDecoder().decode(bytes);
  const reply = (converter) => {
    const part = (which) => {
      const at = converter._cxl_part(which);
      return converter.HEAPU8.slice(at, at + converter._cxl_part_size(which));
    };
    const [zipName, graphicPath, descriptionPath, picturePath, graphicPage, descriptionPage, message] =
      [0, 1, 2, 3, 4, 5, 6].map(part);
    if (message.length > 0) {
      self.postMessage({ message: decode(message) });
      return;
    }
    // Zipped here too, so that the page's own thread never waits for it.
    const entries = { [decode(graphicPath)]: graphicPage, [decode(descriptionPath)]: descriptionPage };
    if (data.picture) entries[decode(picturePath)] = [new Uint8Array(data.picture), { level: 0 }];
    const zip = fflate.zipSync(entries, { level: 1 });
    self.postMessage({ message: '', zipName: decode(zipName), zip, descriptionPage }, [zip.buffer, descriptionPage.buffer]);
  };
  const call = (converter, name, ...texts) => {
    const places = texts.map((bytes) => {
      const at = converter._malloc(Math.max(1, bytes.length));
      converter.HEAPU8.set(bytes, at);
      return at;
    });
    converter[name](...places.flatMap((at, i) => [at, texts[i].length]));
    places.forEach((at) => converter._free(at));
  };
  try {
    const converter = await createConverter();
    if (data.bytes === null) call(converter, '_cxl_unreadable', encode(data.fileName));
    else call(converter, '_cxl_convert', new Uint8Array(data.bytes), encode(data.fileName), encode(data.unitName));
    reply(converter);
  } catch (stopped) {
    // An instance stops only when memory ran out mid-way: a new one says so.
    const converter = await createConverter();
    converter._cxl_out_of_memory();
    reply(converter);
  }
};
