// The HTML canvas behind the editor's canvas seam (html_canvas_web.cpp calls these). Pictures
// become canvases once per blob; masks once per blob and colour. Square boxes snap to device
// pixels as the desktop canvases draw them aliased. A large picture or mask that pass after pass
// is drawn at the same place is scaled once into a bitmap: a repaint then copies its pixels
// instead of resampling it. Main thread only.
Module.nimbaCanvas = (() => {
  const styleSizes = [10, 11, 13];
  const families = '"Segoe UI Semibold", "Segoe UI", Tahoma, "DejaVu Sans", sans-serif';
  const pictures = new Map(); // blob address -> canvas
  const masks = new Map(); // blob address and colour -> canvas
  const scaledOnceArea = 256 * 256; // device pixels; smaller draws cost little to resample
  let placed = new Map(); // source and device rectangle -> bitmap (null: not made yet), last pass
  let drawn = new Map(); // the same, drawn by this pass
  const fontMetrics = new Map(); // font -> [ascent, line height]
  let ctx = null;
  let font = ''; // the context's font, '' after a resize reset it
  let pixelRatio = 1; // device pixels per drawing unit at scale 1
  let unit = 1; // device pixels per drawing unit at the current scale

  const css = (argb) =>
    `rgba(${(argb >>> 16) & 255},${(argb >>> 8) & 255},${argb & 255},${(argb >>> 24) / 255})`;

  function surface(width, height) {
    const c = document.createElement('canvas');
    c.width = width;
    c.height = height;
    return c;
  }

  // Premultiplied RGBA (colour) or coverage bytes (mask, tinted with argb) into a canvas.
  function canvasFromPixels(pixels, width, height, colour, argb) {
    const c = surface(width, height);
    const image = new ImageData(width, height);
    const out = image.data;
    if (colour) {
      for (let i = 0; i < width * height * 4; i += 4) {
        const a = pixels[i + 3];
        const f = a ? 255 / a : 0;
        out[i] = Math.min(255, pixels[i] * f);
        out[i + 1] = Math.min(255, pixels[i + 1] * f);
        out[i + 2] = Math.min(255, pixels[i + 2] * f);
        out[i + 3] = a;
      }
    } else {
      const r = (argb >>> 16) & 255, g = (argb >>> 8) & 255, b = argb & 255, a = argb >>> 24;
      for (let p = 0, i = 0; p < width * height; ++p, i += 4) {
        out[i] = r;
        out[i + 1] = g;
        out[i + 2] = b;
        out[i + 3] = (pixels[p] * a) / 255;
      }
    }
    c.getContext('2d').putImageData(image, 0, 0);
    return c;
  }

  // Draws the part (sx, sy, sw, sh) of `source` onto the device rectangle (x, y, w, h); key()
  // names the source, its part and the rectangle. A large one is drawn directly at first; when
  // the next pass draws it at the same place again, it is scaled once onto a bitmap at the same
  // coordinates (so its pixels come out as drawn directly), and the device pixels it covers
  // whole are copied from there on; those it covers in part at its edges are still drawn
  // directly, clipped to them. A resize draws everything anew at once.
  function place(key, source, sx, sy, sw, sh, x, y, w, h) {
    const left = Math.max(0, Math.ceil(x)), top = Math.max(0, Math.ceil(y));
    const right = Math.min(ctx.canvas.width, Math.floor(x + w));
    const bottom = Math.min(ctx.canvas.height, Math.floor(y + h));
    const whole = right > left && bottom > top && (right - left) * (bottom - top) >= scaledOnceArea;
    if (!whole) {
      ctx.drawImage(source, sx, sy, sw, sh, x, y, w, h);
      return;
    }
    const name = key();
    let bitmap = drawn.has(name) ? drawn.get(name) : placed.get(name);
    placed.delete(name);
    if (bitmap === undefined) {
      drawn.set(name, null);
      ctx.drawImage(source, sx, sy, sw, sh, x, y, w, h);
      return;
    }
    if (bitmap === null) {
      const scaled = new OffscreenCanvas(right, bottom);
      const context = scaled.getContext('2d');
      context.imageSmoothingEnabled = true;
      context.imageSmoothingQuality = 'low';
      context.drawImage(source, sx, sy, sw, sh, x, y, w, h);
      bitmap = scaled.transferToImageBitmap();
    }
    drawn.set(name, bitmap);
    ctx.drawImage(bitmap, left, top, right - left, bottom - top, left, top, right - left, bottom - top);
    const outerLeft = Math.floor(x), outerTop = Math.floor(y);
    const outerRight = Math.ceil(x + w), outerBottom = Math.ceil(y + h);
    if (outerLeft === left && outerTop === top && outerRight === right && outerBottom === bottom) return;
    ctx.save();
    ctx.beginPath();
    ctx.rect(outerLeft, outerTop, outerRight - outerLeft, outerBottom - outerTop);
    ctx.rect(left, top, right - left, bottom - top);
    ctx.clip('evenodd');
    ctx.drawImage(source, sx, sy, sw, sh, x, y, w, h);
    ctx.restore();
  }

  function setFont(style) {
    const wanted = `600 condensed ${styleSizes[style] * unit}px ${families}`;
    if (wanted === font) return;
    ctx.font = wanted;
    font = wanted;
  }

  // The font's ascent and line height in device pixels.
  function lineMetrics() {
    let metrics = fontMetrics.get(font);
    if (!metrics) {
      const m = ctx.measureText('Hg');
      metrics = [m.fontBoundingBoxAscent, m.fontBoundingBoxAscent + m.fontBoundingBoxDescent];
      fontMetrics.set(font, metrics);
    }
    return metrics;
  }

  // The text's lines for the box: one line cut at a character with an ellipsis, or words
  // wrapped to the width (a word wider than the box breaks at a character), cut with an
  // ellipsis at the box's height when `trim`.
  function layOut(text, width, height, lineHeight, oneLine, trim) {
    const fits = (s) => ctx.measureText(s).width <= width;
    const cut = (s) => {
      if (fits(s)) return s;
      let n = s.length;
      while (n > 0 && !fits(s.slice(0, n) + '\u2026')) --n;
      return s.slice(0, n) + '\u2026';
    };
    if (oneLine) return [cut(text)];
    const lines = [];
    for (const paragraph of text.split('\n')) {
      let line = '';
      for (const word of paragraph.split(' ')) {
        const tried = line ? line + ' ' + word : word;
        if (fits(tried) || !line) {
          line = tried;
        } else {
          lines.push(line);
          line = word;
        }
        while (!fits(line) && line.length > 1) {
          let n = line.length - 1;
          while (n > 1 && !fits(line.slice(0, n))) --n;
          lines.push(line.slice(0, n));
          line = line.slice(n);
        }
      }
      lines.push(line);
    }
    const room = Math.max(1, Math.floor(height / lineHeight + 1e-6));
    if (trim && lines.length > room) {
      const kept = lines.slice(0, room);
      kept[room - 1] = cut(kept[room - 1] + '\u2026').replace(/\u2026\u2026$/, '\u2026');
      return kept;
    }
    return lines;
  }

  const trimming = [false, false, false];

  return {
    // Starts a pass on `canvas`, sized to width x height drawing units at `ratio` device pixels
    // a unit; the backing store is resized only when that changes.
    begin(canvas, width, height, ratio) {
      const w = Math.round(width * ratio), h = Math.round(height * ratio);
      if (canvas.width !== w || canvas.height !== h) font = ''; // a resize resets the context
      if (canvas.width !== w) canvas.width = w;
      if (canvas.height !== h) canvas.height = h;
      ctx = canvas.getContext('2d', {alpha: false});
      ctx.setTransform(1, 0, 0, 1, 0, 0);
      ctx.imageSmoothingEnabled = true;
      ctx.imageSmoothingQuality = 'low';
      pixelRatio = ratio;
      unit = ratio;
      // What the last pass drew and this one did not is dropped.
      placed.forEach((bitmap) => bitmap && bitmap.close());
      placed = drawn;
      drawn = new Map();
    },
    setScale(s) {
      unit = pixelRatio * s;
    },
    box(x, y, w, h, radius, argb) {
      ctx.fillStyle = css(argb);
      if (radius < 1) {
        const x0 = Math.round(x * unit), y0 = Math.round(y * unit);
        ctx.fillRect(x0, y0, Math.round((x + w) * unit) - x0, Math.round((y + h) * unit) - y0);
        return;
      }
      const r = Math.min(radius, w / 2, h / 2);
      if (r <= 0) return;
      ctx.beginPath();
      ctx.roundRect(x * unit, y * unit, w * unit, h * unit, r * unit);
      ctx.fill();
    },
    picture(address, pixels, width, height, sx, sy, sw, sh, dx, dy, dw, dh) {
      let c = pictures.get(address);
      if (!c) {
        c = canvasFromPixels(pixels(), width, height, true, 0);
        pictures.set(address, c);
      }
      if (sw < 0) {
        sx = 0;
        sy = 0;
        sw = width;
        sh = height;
      }
      const x = dx * unit, y = dy * unit, w = dw * unit, h = dh * unit;
      place(() => `${address}:${sx},${sy},${sw},${sh}:${x},${y},${w},${h}`, c, sx, sy, sw, sh, x, y, w, h);
    },
    mask(address, pixels, width, height, x, y, w, h, argb) {
      const key = address + ':' + argb;
      let c = masks.get(key);
      if (!c) {
        c = canvasFromPixels(pixels(), width, height, false, argb);
        masks.set(key, c);
      }
      const dx = x * unit, dy = y * unit, dw = w * unit, dh = h * unit;
      place(() => `${key}:${dx},${dy},${dw},${dh}`, c, 0, 0, width, height, dx, dy, dw, dh);
    },
    text(left, top, right, bottom, argb, style, hAlign, vAlign, text, oneLine) {
      if (style < 0 || style > 2 || !text) return;
      if (oneLine) trimming[style] = true;
      setFont(style);
      const u = unit;
      const width = Math.max(0, right - left) * u, height = Math.max(0, bottom - top) * u;
      const [ascent, lineHeight] = lineMetrics();
      const lines = layOut(text, width, height, lineHeight, oneLine, trimming[style]);
      const total = lines.length * lineHeight;
      let y = vAlign === 1 ? top * u : vAlign === 0 ? top * u + (height - total) / 2 : bottom * u - total;
      ctx.fillStyle = css(argb);
      ctx.textBaseline = 'alphabetic';
      ctx.textAlign = hAlign === 0 ? 'left' : hAlign === 1 ? 'center' : 'right';
      const x = hAlign === 0 ? left * u : hAlign === 1 ? (left * u + right * u) / 2 : right * u;
      for (const line of lines) {
        ctx.fillText(line, x, y + ascent);
        y += lineHeight;
      }
    },
  };
})();
