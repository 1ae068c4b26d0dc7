// Plays an exported presentation as the player does: the slide, its marks, its title, the
// highlighted thumbnail and the transcript section follow the recording's position, found by
// the player's own binary search so that equal times pick the same entry. Plain script, no
// modules and no fetching: the page must work when opened straight from the file system.
(function () {
  'use strict';

  var data = window.presentationData;
  var media = document.getElementById('media');
  var slideImg = document.getElementById('slide');
  var marksSvg = document.getElementById('marks');
  var titleBox = document.getElementById('slide-title');
  var strip = document.getElementById('strip');
  var transcript = document.getElementById('transcript');
  var language = document.getElementById('language');
  var SVG = 'http://www.w3.org/2000/svg';
  var AREA_WIDTH_PX = 472;   // the player's slide picture area; marks are in twips of it

  // Halves go to the even neighbour, as every whole-number rounding of the player does.
  function roundHalfEven(x) {
    var f = Math.floor(x);
    var d = x - f;
    if (d < 0.5) return f;
    if (d > 0.5) return f + 1;
    return f % 2 === 0 ? f : f + 1;
  }

  // Index (from 1) of the last entry at or before target, 0 before the first; the middle is
  // probed first and equality is tried before order.
  function lookup(list, target) {
    var lo = 1;
    var hi = list.length;
    for (;;) {
      var mid = roundHalfEven(lo + (hi - lo) / 2);
      var t = list[mid - 1].time;
      if (t === target) return mid;
      if (target < t) {
        if (lo < mid) { hi = mid - 1; continue; }
        return mid - 1;
      }
      if (mid < hi) { lo = mid + 1; continue; }
      return hi;
    }
  }

  var shownSlide = -1;
  var shownRange = '';
  var shownText = null;

  // Each mark comes resolved by the player's rule: its shape, points, colour and text.
  function markElement(m) {
    var el = null;
    if (m.shape === 'line') {
      el = document.createElementNS(SVG, 'line');
      el.setAttribute('x1', m.x);
      el.setAttribute('y1', m.y);
      el.setAttribute('x2', m.x2);
      el.setAttribute('y2', m.y2);
    } else if (m.shape === 'rectangle') {
      // Four sides, so that a rectangle of no height or width still shows as a line.
      el = document.createElementNS(SVG, 'polyline');
      el.setAttribute('points', [m.x, m.y, m.x2, m.y, m.x2, m.y2, m.x, m.y2, m.x, m.y].join(' '));
      el.setAttribute('fill', 'none');
    } else if (m.shape === 'text') {
      el = document.createElementNS(SVG, 'text');
      el.setAttribute('x', m.x);
      el.setAttribute('y', m.y);
      el.setAttribute('fill', m.colour);
      el.setAttribute('font-size', m.size);
      el.setAttribute('dominant-baseline', 'hanging');
      el.textContent = m.text;
      return el;
    }
    if (el) {
      el.setAttribute('stroke', m.colour);
      el.setAttribute('stroke-width', '1');
      el.setAttribute('vector-effect', 'non-scaling-stroke');
    }
    return el;
  }

  function drawMarks(first, last) {
    while (marksSvg.firstChild) marksSvg.removeChild(marksSvg.firstChild);
    for (var i = first; i <= last; i++) {
      var m = data.marks[i - 1];
      var el = m ? markElement(m) : null;
      if (el) {
        el.setAttribute('class', 'mark');
        el.setAttribute('data-index', i);
        marksSvg.appendChild(el);
      }
    }
  }

  function showPicture(url) {
    if (slideImg.getAttribute('src') !== url) {
      slideImg.classList.remove('missing');
      slideImg.setAttribute('src', url);
    }
  }

  function highlight(n) {
    var thumbs = strip.children;
    for (var i = 0; i < thumbs.length; i++) {
      thumbs[i].classList.toggle('current', i === n - 1);
      if (i === n - 1) thumbs[i].setAttribute('aria-current', 'true');
      else thumbs[i].removeAttribute('aria-current');
    }
    var current = thumbs[n - 1];
    if (!current) return;
    // Scroll the strip only, never the page.
    var left = current.offsetLeft - strip.offsetLeft;
    if (left < strip.scrollLeft) {
      strip.scrollLeft = left;
    } else if (left + current.offsetWidth > strip.scrollLeft + strip.clientWidth) {
      strip.scrollLeft = left + current.offsetWidth - strip.clientWidth;
    }
  }

  function render(position) {
    if (data.cues.length > 0) {
      var t = lookup(data.cues, position);
      var text = '';
      var lang = language.selectedIndex;
      // At the very start the box is empty; without a language or the section there is nothing.
      if (position > 0 && t >= 1 && lang >= 0 && data.languages[lang]) {
        var section = data.languages[lang].texts[t - 1];
        if (section !== null && section !== undefined) text = section;
      }
      if (text !== shownText) {
        transcript.textContent = text;
        shownText = text;
      }
    }
    if (data.slideMode === 2 || data.slides.length === 0) return;
    var s = lookup(data.slides, position);
    if (s < 1) return; // before the first slide there is nothing to show
    var slide = data.slides[s - 1];
    // The marks run from the slide's own index to the last mark at or before the slide's start.
    var a = data.marks.length > 0 ? lookup(data.marks, slide.time) : 0;
    if (s !== shownSlide) {
      showPicture(slide.picture);
      titleBox.textContent = slide.title;
      highlight(s);
      shownSlide = s;
    }
    var range = s + ':' + a;
    if (range !== shownRange) {
      drawMarks(s, a);
      shownRange = range;
    }
  }

  // Milliseconds, rounded to the microsecond: seconds times 1000 in binary floating point can
  // land just below a slide's own time after a jump to it, and show the slide before.
  function position() {
    return media.readyState >= 1 ? Math.round(media.currentTime * 1e6) / 1e3 : startMs;
  }

  // index.html#t=SECONDS opens at that moment.
  function hashSeconds() {
    var m = /(?:^#|[#&])t=([0-9]+(?:\.[0-9]*)?)/.exec(window.location.hash);
    return m ? parseFloat(m[1]) : null;
  }

  function seekTo(ms) {
    if (media.readyState >= 1) media.currentTime = ms / 1000;
    else startMs = ms;
    render(ms);
  }

  function buildStrip() {
    data.slides.forEach(function (slide, i) {
      var button = document.createElement('button');
      button.type = 'button';
      button.className = 'thumb';
      button.title = slide.title;
      var img = document.createElement('img');
      img.src = slide.thumb;
      img.alt = slide.title;
      button.appendChild(img);
      // A thumbnail plays from its slide, as a click in the player's strip does.
      button.addEventListener('click', function () {
        seekTo(slide.time);
        var played = media.play();
        if (played && played.catch) played.catch(function () {});
      });
      strip.appendChild(button);
    });
  }

  function buildLanguages() {
    data.languages.forEach(function (lang) {
      var option = document.createElement('option');
      option.textContent = lang.name;
      option.value = lang.name;
      language.appendChild(option);
    });
    language.selectedIndex = data.language;
    language.addEventListener('change', function () { render(position()); });
  }

  function hide(id) { document.getElementById(id).classList.add('hidden'); }

  // A recording with more than one sound track (a talk and its interpretation): a chooser where
  // the browser can switch between them (media.audioTracks); elsewhere the first one plays.
  function buildAudioTracks() {
    var tracks = media.audioTracks;
    var names = data.media.audioTracks || [];
    var choice = document.getElementById('audio-choice');
    var select = document.getElementById('audio-track');
    if (!tracks || tracks.length < 2 || select.options.length > 0) return;
    for (var i = 0; i < tracks.length; i++) {
      var option = document.createElement('option');
      option.value = String(i);
      option.textContent = names[i] ? names[i].label : 'Sound ' + (i + 1);
      select.appendChild(option);
      if (tracks[i].enabled) select.selectedIndex = i;
    }
    select.addEventListener('change', function () {
      for (var k = 0; k < tracks.length; k++) tracks[k].enabled = k === select.selectedIndex;
    });
    choice.classList.remove('hidden');
  }

  // ---- start ----
  var startSeconds = hashSeconds();
  var startMs = startSeconds !== null ? startSeconds * 1000 : 0;
  var frame = 0;

  document.title = data.name;
  slideImg.addEventListener('load', function () {
    // The picture stands at its own size in the player's area, from the top-left corner.
    slideImg.style.width = (slideImg.naturalWidth / AREA_WIDTH_PX * 100) + '%';
  });
  slideImg.addEventListener('error', function () { slideImg.classList.add('missing'); });

  if (data.slideMode === 2) {
    if (data.still) showPicture(data.still);
    hide('slide-title');
    hide('strip');
  } else {
    buildStrip();
    if (data.slides.length === 0) hide('strip');
  }
  if (data.audioPicture && !data.media.video) {
    var picture = document.createElement('img');
    picture.id = 'audio-picture';
    picture.src = data.audioPicture;
    picture.alt = '';
    media.parentNode.insertBefore(picture, media);
  }
  buildLanguages();
  if (data.cues.length === 0) hide('transcript-box');
  document.getElementById('free-text').textContent = data.freeText || '';
  document.getElementById('details').textContent = data.details || '';
  if (!data.details) hide('details');

  function follow() {
    render(position());
    frame = media.paused ? 0 : window.requestAnimationFrame(follow);
  }
  function onMetadata() {
    if (startMs > 0 && media.currentTime * 1000 !== startMs) media.currentTime = startMs / 1000;
    buildAudioTracks();
    render(position());
  }
  media.addEventListener('loadedmetadata', onMetadata);
  ['timeupdate', 'seeking', 'seeked'].forEach(function (name) {
    media.addEventListener(name, function () { render(position()); });
  });
  media.addEventListener('play', function () {
    if (!frame) frame = window.requestAnimationFrame(follow);
  });
  window.addEventListener('hashchange', function () {
    var s = hashSeconds();
    if (s !== null) seekTo(s * 1000);
  });

  render(startMs);
  if (media.readyState >= 1) onMetadata();
  // For a look from the browser's console and for the tests.
  window.presentationPage = { lookup: lookup, render: render };
})();
