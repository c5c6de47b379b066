// The HTML canvas behind the editor's canvas seam (html_canvas_web.cpp calls these). Pictures
// become canvases once per blob; masks once per blob and colour. Square boxes snap to device
// pixels as the desktop canvases draw them aliased. Main thread only.
Module.nimbaCanvas = (() => {
  const styleSizes = [10, 11, 13];
  const families = '"Segoe UI Semibold", "Segoe UI", Tahoma, "DejaVu Sans", sans-serif';
  const pictures = new Map(); // blob address -> canvas
  const masks = new Map(); // blob address and colour -> canvas
  let ctx = null;
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

  function font(style) {
    return `600 condensed ${styleSizes[style] * unit}px ${families}`;
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
      if (canvas.width !== w) canvas.width = w;
      if (canvas.height !== h) canvas.height = h;
      ctx = canvas.getContext('2d', {alpha: false});
      ctx.setTransform(1, 0, 0, 1, 0, 0);
      ctx.imageSmoothingEnabled = true;
      ctx.imageSmoothingQuality = 'low';
      pixelRatio = ratio;
      unit = ratio;
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
      ctx.drawImage(c, sx, sy, sw, sh, dx * unit, dy * unit, dw * unit, dh * unit);
    },
    mask(address, pixels, width, height, x, y, w, h, argb) {
      const key = address + ':' + argb;
      let c = masks.get(key);
      if (!c) {
        c = canvasFromPixels(pixels(), width, height, false, argb);
        masks.set(key, c);
      }
      ctx.drawImage(c, x * unit, y * unit, w * unit, h * unit);
    },
    text(left, top, right, bottom, argb, style, hAlign, vAlign, text, oneLine) {
      if (style < 0 || style > 2 || !text) return;
      if (oneLine) trimming[style] = true;
      ctx.font = font(style);
      const u = unit;
      const width = Math.max(0, right - left) * u, height = Math.max(0, bottom - top) * u;
      const metrics = ctx.measureText('Hg');
      const ascent = metrics.fontBoundingBoxAscent, lineHeight = ascent + metrics.fontBoundingBoxDescent;
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
