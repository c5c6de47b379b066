// The page's side of the editor's files (files_web.cpp): the file input the pickers open,
// a file copied into the in-memory file system before its path goes to the worker, files
// dropped on a slot row, and downloads. Main thread only.
Module.nimbaFiles = (() => {
  let serial = 0;

  // The file's bytes at a fresh path under /picked; resolves to the path.
  async function store(file) {
    const bytes = new Uint8Array(await file.arrayBuffer());
    const folder = `/picked/${++serial}`;
    FS.mkdirTree(folder);
    const path = `${folder}/${file.name.replace(/\//g, '_')}`;
    FS.writeFile(path, bytes);
    return path;
  }

  const answer = (path) => Module.ccall('nimba_file_chosen', null, ['string'], [path]);

  return {
    // Opens the chooser for one WAV file ('wav') or backup ('backup'); the worker waits for
    // the answer.
    choose(kind) {
      const input = document.createElement('input');
      input.type = 'file';
      input.accept = kind === 'backup' ? '.json,application/json' : '.wav,.wave,.w64,audio/wav,audio/x-wav';
      input.addEventListener('change', () => {
        const file = input.files[0];
        if (!file) return answer('');
        store(file).then(answer, () => answer(''));
      });
      input.addEventListener('cancel', () => answer(''));
      input.click();
    },
    store,
    download(bytes, name) {
      const type = name.endsWith('.json') ? 'application/json' : 'application/zip';
      const url = URL.createObjectURL(new Blob([bytes], {type}));
      const link = document.createElement('a');
      link.href = url;
      link.download = name;
      document.body.appendChild(link);
      link.click();
      link.remove();
      setTimeout(() => URL.revokeObjectURL(url), 60000);
    },
  };
})();
