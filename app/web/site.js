// The page around the editor: makes the page cross-origin isolated (the service worker adds the
// headers when the server did not; the first visit reloads once), asks for MIDI access with
// SysEx on the editor page, fetches the pictures (pictures/<name>.png, as the page's preload
// links name them) while the program (nimba.js) loads and compiles, hands their bytes in and
// starts the editor, then feeds it animation frames, pointer, wheel, focus and dropped files.
// Where MIDI cannot be had, the editor's outcome line says why and the page offers the demo; a
// picture that cannot be had or read stops the start with the page's notice naming it.
(() => {
  const mode = document.documentElement.dataset.mode; // 'editor' or 'demo'
  const canvas = document.getElementById('editor');
  const notice = document.getElementById('notice');
  const editor = {left_down: 3, left_up: 4, pointer_move: 2, activate: 1, timer: 8};

  async function isolate() {
    if (!('serviceWorker' in navigator)) return;
    if (window.crossOriginIsolated) {
      // The server sent the headers: the service worker only keeps the site for offline starts.
      navigator.serviceWorker.register('sw.js').catch(() => {});
      return;
    }
    try {
      await navigator.serviceWorker.register('sw.js');
    } catch (error) {
      return;
    }
    // The service worker adds the isolation headers once it controls the page.
    await navigator.serviceWorker.ready;
    if (!navigator.serviceWorker.controller) {
      await new Promise((resolve) =>
        navigator.serviceWorker.addEventListener('controllerchange', resolve, {once: true}));
    }
    if (!sessionStorage.getItem('nimba-isolation-reload')) {
      sessionStorage.setItem('nimba-isolation-reload', '1');
      location.reload();
      await new Promise(() => {});
    }
  }

  async function midiAccess() {
    if (!navigator.requestMIDIAccess) {
      return {refusal: 'this browser has no Web MIDI: open the editor in Chrome or Edge, or try the demo'};
    }
    try {
      return {access: await navigator.requestMIDIAccess({sysex: true})};
    } catch (error) {
      if (error && (error.name === 'NotAllowedError' || error.name === 'SecurityError')) {
        return {refusal: 'MIDI access was not allowed: allow it for this site and reload, or try the demo'};
      }
      return {refusal: `Web MIDI failed (${error && error.message}): try the demo`};
    }
  }

  function showFault(reason) {
    notice.textContent = reason;
    notice.hidden = false;
  }

  // Each picture's bytes, or why its file could not be had.
  function fetchPictures() {
    return Promise.all([...document.querySelectorAll('link[data-picture]')].map(async (link) => {
      const file = link.getAttribute('href');
      try {
        const response = await fetch(file);
        if (!response.ok) return {file, fault: `the server answered ${response.status} ${response.statusText}`.trim()};
        return {file, name: link.dataset.picture, bytes: new Uint8Array(await response.arrayBuffer())};
      } catch (error) {
        return {file, fault: (error && error.message) || String(error)};
      }
    }));
  }

  // Writes each picture's bytes where the program makes room for them; false, with the notice
  // naming the file, when one could not be had or the program has no room for it.
  function handIn(Module, pictures) {
    for (const {file, name, bytes, fault} of pictures) {
      const at = bytes && bytes.length &&
        Module.ccall('nimba_picture_room', 'number', ['string', 'number'], [name, bytes.length]);
      if (!at) {
        showFault(`The editor cannot start: its picture ${file} could not be loaded (${fault || 'empty or unknown'}). ` +
                  'Reload the page; if this stays, the site is missing the file.');
        return false;
      }
      Module.HEAPU8.set(bytes, at);
    }
    return true;
  }

  function fit() {
    canvas.style.width = `${window.innerWidth}px`;
    canvas.style.height = `${window.innerHeight}px`;
  }

  function run(Module) {
    const frame = () => {
      if (Module._nimba_frame(window.innerWidth, window.innerHeight, window.devicePixelRatio || 1)) {
        if (!window.nimbaFirstFrame) window.nimbaFirstFrame = performance.now();
      }
      requestAnimationFrame(frame);
    };
    requestAnimationFrame(frame);
    const at = (event) => {
      const box = canvas.getBoundingClientRect();
      return [event.clientX - box.left, event.clientY - box.top];
    };
    canvas.addEventListener('pointermove', (e) => Module._nimba_pointer(editor.pointer_move, ...at(e)));
    canvas.addEventListener('pointerdown', (e) => {
      if (e.button === 0) Module._nimba_pointer(editor.left_down, ...at(e));
    });
    canvas.addEventListener('pointerup', (e) => {
      if (e.button === 0) Module._nimba_pointer(editor.left_up, ...at(e));
    });
    // Whole notches: a line-based delta of 3 lines or a pixel delta of 100 is one notch.
    let wheel = 0;
    canvas.addEventListener('wheel', (e) => {
      e.preventDefault();
      wheel += e.deltaMode === 1 ? e.deltaY / 3 : e.deltaY / 100;
      const notches = Math.trunc(wheel);
      if (notches === 0) return;
      wheel -= notches;
      Module._nimba_wheel(-notches, ...at(e));
    }, {passive: false});
    window.addEventListener('focus', () => Module._nimba_event(editor.activate));
    window.addEventListener('blur', () => Module._nimba_event(editor.activate));
    setInterval(() => Module._nimba_event(editor.timer), 500);
    canvas.addEventListener('dragover', (e) => e.preventDefault());
    canvas.addEventListener('drop', async (e) => {
      e.preventDefault();
      const files = e.dataTransfer.files;
      if (!files.length) return;
      const [x, y] = at(e);
      const path = await Module.nimbaFiles.store(files[0]);
      Module.ccall('nimba_drop', 'number', ['number', 'number', 'number', 'string'],
                   [x, y, files.length, path]);
    });
  }

  async function start() {
    fit();
    window.addEventListener('resize', fit);
    await isolate();
    const Module = (window.Module = {canvas, nimbaMode: mode, nimbaStartFault: showFault});
    if (!window.crossOriginIsolated) {
      notice.textContent =
        'This page needs a secure, cross-origin isolated origin (HTTPS with COOP and COEP, or its service worker). Reload once; if this stays, the server does not allow it.';
      notice.hidden = false;
      return;
    }
    // The program loads and compiles, and the pictures arrive, while the browser asks for MIDI
    // access; main runs only once all three are done.
    const pictures = fetchPictures();
    const runtime = new Promise((resolve) => { Module.onRuntimeInitialized = resolve; });
    const script = document.createElement('script');
    script.src = 'nimba.js';
    document.body.appendChild(script);
    if (mode === 'editor') {
      const midi = await midiAccess();
      Module.nimbaMidiAccess = midi.access;
      Module.nimbaMidiRefusal = midi.refusal;
      if (midi.refusal) notice.hidden = false;
    }
    const [fetched] = await Promise.all([pictures, runtime]);
    if (!handIn(Module, fetched)) return;
    // main says itself, on the page, when a picture does not decode.
    if (Module.callMain([]) === 0) run(Module);
  }

  start();
})();
