// The page's side of the Web MIDI ports (midi_ports_web.cpp): publishes the connected ports'
// names, opens the input the worker chose and queues its messages, and sends on the chosen
// output, at least gapMs apart: each message goes with the time it may leave (now, or gapMs
// after the last one when the main thread was busy and two arrived at once), and the browser
// sends it then. Main thread only; Module.nimbaMidiAccess is the page's MIDIAccess.
Module.nimbaMidi = (() => {
  const gapMs = 5; // what the amplifier needs between two messages
  let access = null;
  let input = null;
  let output = null;
  let free = 0; // performance.now() from which the output may send again

  const connected = (map) => [...map.values()].filter((p) => p.state !== 'disconnected');

  function publish() {
    // No destructuring here: emcc's JavaScript printer loses it.
    [access.inputs, access.outputs].forEach((map, direction) => {
      const names = connected(map).map((p) => p.name.replace(/\n/g, ' ')).join('\n');
      Module.ccall('nimba_midi_ports', null, ['number', 'string'], [direction, names]);
    });
  }

  function received(event) {
    const data = event.data;
    // Timing clock and active sensing are not passed on.
    if (data.length === 0 || data[0] === 0xf8 || data[0] === 0xfe) return;
    const address = Module._malloc(data.length);
    HEAPU8.set(data, address);
    Module._nimba_midi_received(address, data.length);
    Module._free(address);
  }

  return {
    start(midiAccess) {
      access = midiAccess;
      access.onstatechange = publish;
      publish();
    },
    open(direction, index) {
      const port = connected(direction === 0 ? access.inputs : access.outputs)[index];
      if (!port) return false;
      if (direction === 0) {
        if (input) input.onmidimessage = null;
        input = port;
        input.onmidimessage = received;
      } else {
        output = port;
      }
      port.open();
      return true;
    },
    close(direction) {
      if (direction === 0 && input) {
        input.onmidimessage = null;
        input = null;
      } else if (direction === 1) {
        output = null;
      }
    },
    send(bytes) {
      if (!output) return false;
      const now = performance.now();
      const at = Math.max(now, free);
      try {
        output.send(bytes, at);
      } catch (error) {
        return false;
      }
      free = at + gapMs;
      return true;
    },
  };
})();
