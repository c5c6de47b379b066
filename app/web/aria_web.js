// The controls' mirror beside the canvas: one element per control of the reading order with its
// ARIA role, name and state as aria_web.cpp hands them over after each paint, and the status
// bar's texts in a polite live region. The mirror takes the focus and the keys: a key goes to the
// editor's key path (nimba_key), a focus arriving from outside moves the editor's focus ring
// (nimba_focus), a click from assistive technology presses the control (nimba_press), and after
// every paint the focused element follows the editor's focus. Main thread only; nothing here
// touches the document before the first hand-over (the pthreads load this file too).
Module.nimbaAria = (() => {
  const maxCosts = 10000;
  const elements = []; // by place in the reading order
  const costs = []; // milliseconds of each update, the newest last
  let root = null;
  let live = null;
  let group = null; // the slot radios' radiogroup
  let list = null; // the listed cabinets' listbox
  let listChanged = false;
  let groupName = '';
  let focusedIndex = -1; // the editor's focused control, as the last hand-over said
  let syncedIndex = -1; // the control the page's focus was last moved to
  let tabbable = null; // the one element Tab reaches from outside the mirror

  const placeOf = (element) => elements.indexOf(element);

  function idOf(element) {
    return Number(element.dataset.control);
  }

  function key(event) {
    if (event.ctrlKey || event.altKey || event.metaKey) return;
    const target = event.target;
    const inMirror = root.contains(target) && placeOf(target) >= 0;
    // From the rest of the page Tab is the browser's: it enters the mirror at its tabbable element.
    if (!inMirror && (target !== document.body || event.key === 'Tab')) return;
    if (inMirror && placeOf(target) !== focusedIndex) Module._nimba_focus(idOf(target));
    if (Module.ccall('nimba_key', 'number', ['string', 'number'], [event.key, event.shiftKey ? 1 : 0])) {
      event.preventDefault();
    }
  }

  function focusArrived(event) {
    const place = placeOf(event.target);
    if (place >= 0 && place !== focusedIndex) Module._nimba_focus(idOf(event.target));
  }

  function start() {
    root = document.getElementById('controls');
    live = document.getElementById('status');
    document.addEventListener('keydown', key);
    root.addEventListener('focusin', focusArrived);
    // A click on the picture leaves the page's focus where it was: the editor moves its own.
    document.getElementById('editor').addEventListener('mousedown', (e) => e.preventDefault());
  }

  function container(role, index) {
    if (role === 'radio') {
      if (!group) {
        group = document.createElement('div');
        group.setAttribute('role', 'radiogroup');
        group.setAttribute('aria-label', groupName);
        root.appendChild(group);
      }
      return group;
    }
    if (role === 'option') {
      if (!list) {
        // The list opens from the control before its first cabinet, the cabinet title, and is
        // named after it (a label taken by reference would read the title's value instead).
        list = document.createElement('div');
        list.setAttribute('role', 'listbox');
        list.setAttribute('aria-label', elements[index - 1].getAttribute('aria-label'));
        root.appendChild(list);
      }
      return list;
    }
    return root;
  }

  function create(index, id, role) {
    const element = document.createElement('div');
    element.id = `control-${id}`;
    element.className = 'unseen';
    element.dataset.control = String(id);
    element.setAttribute('role', role);
    element.tabIndex = -1;
    element.addEventListener('click', () => {
      if (element.dataset.pressable === '1') Module._nimba_press(id);
    });
    container(role, index).appendChild(element);
    elements[index] = element;
    return element;
  }

  function setState(element, name, value) {
    if (element.getAttribute(name) !== value) element.setAttribute(name, value);
  }

  function sync() {
    let reach = elements[focusedIndex];
    if (!reach || reach.hidden) reach = elements.find((e) => !e.hidden);
    if (reach !== tabbable) {
      if (tabbable) tabbable.tabIndex = -1;
      if (reach) reach.tabIndex = 0;
      tabbable = reach;
    }
    if (focusedIndex === syncedIndex) return;
    syncedIndex = focusedIndex;
    const active = document.activeElement;
    const pageless = !active || active === document.body || root.contains(active);
    if (focusedIndex >= 0 && pageless) elements[focusedIndex].focus({preventScroll: true});
  }

  return {
    groupName(name) {
      groupName = name;
    },

    // One control's reading: place in the reading order, id, ARIA role, state, range, bounds in
    // CSS pixels, name and value text.
    control(index, id, role, shown, focused, pressable, enabled, on, value, minimum, maximum,
            x, y, width, height, name, valueText) {
      if (!root) start();
      const element = elements[index] || create(index, id, role);
      if (element.hidden === shown) {
        element.hidden = !shown;
        if (role === 'option') listChanged = true;
      }
      element.style.left = `${x + width / 2}px`;
      element.style.top = `${y + height / 2}px`;
      element.dataset.pressable = pressable ? '1' : '0';
      setState(element, 'aria-label', name);
      setState(element, 'aria-disabled', enabled ? 'false' : 'true');
      if (role === 'switch' || role === 'radio') setState(element, 'aria-checked', String(on));
      if (role === 'option') setState(element, 'aria-selected', String(on));
      if (role === 'spinbutton') {
        setState(element, 'aria-valuenow', String(value));
        setState(element, 'aria-valuemin', String(minimum));
        setState(element, 'aria-valuemax', String(maximum));
        setState(element, 'aria-valuetext', valueText);
      }
      if (focused) focusedIndex = index;
      else if (focusedIndex === index) focusedIndex = -1;
    },

    status(text) {
      if (live.textContent !== text) live.textContent = text;
    },

    // The end of one update, which took `milliseconds`.
    done(milliseconds) {
      if (costs.length === maxCosts) costs.shift();
      costs.push(milliseconds);
      if (listChanged && list) list.hidden = !elements.some((e) => e.parentNode === list && !e.hidden);
      listChanged = false;
      sync();
    },

    costs,
  };
})();
