// The collection's page: the listing of every talk, a page of it at a time, and the search of
// every word of every talk, the same words the library's index finds in the same order (see
// library/SiteIndex.h for the files it reads). Every file beside the page is a script that calls
// collectionPart(NAME, DATA); a file is loaded by adding a script tag, the one way to load a
// file that works from the file system (file://) as well as from a web server. Only what is
// shown is loaded: the listing's page, the pictures in view, the dictionary file and the best
// hits of the word typed.
'use strict';

var SITE = 'collection/';
var SEARCH = SITE + 'search/';
var MAX_WORDS = 32;
// bm25 as SQLite's FTS5 computes it, with the index's weights: a title counts four times, a
// slide title twice, the rest once.
var K1 = 1.2;
var B = 0.75;
var PLACE_WEIGHT = [4.0, 2.0, 1.0, 1.0, 1.0];
var PLACE_TEXT = ['title', 'slide title', 'transcript', 'details', 'free text'];
// Passages a file of texts holds, and files a folder of them.
var BLOCK = 64;
var BLOCKS_PER_FOLDER = 1024;
// Words' passage lists kept decoded, for the next search that has them.
var KEPT_LISTS = 64;
// Hits of several words drawn at once; the next as many come when asked for. Each hit's text is
// a file of its own to load, and a file costs a few milliseconds however small it is.
var PAGE_HITS = 5;

var site = null;

// ---- loading --------------------------------------------------------------------------------

var parts = new Map();

function pending(name) {
  var part = parts.get(name);
  if (!part) {
    part = {};
    part.promise = new Promise(function (resolve) { part.resolve = resolve; });
    parts.set(name, part);
  }
  return part;
}

// Called by every file of the site as it is run.
function collectionPart(name, data) {
  var part = pending(name);
  part.data = data;
  part.resolve(data);
}

// The data of a file of the site (its path without ".js"), or null when there is none: a word
// that no talk holds has no dictionary file.
function load(name) {
  var part = pending(name);
  if (!part.script) {
    var script = document.createElement('script');
    part.script = script;
    script.src = name.split('/').map(encodeURIComponent).join('/') + '.js';
    script.onload = script.onerror = function () {
      script.remove();
      if (part.data === undefined) part.resolve(null);
    };
    document.head.appendChild(script);
  }
  return part.promise;
}

// Lets a large file go once it has been read: its data is kept decoded where it is needed.
function forget(name) {
  parts.delete(name);
}

// ---- words ----------------------------------------------------------------------------------

// Cut and folded as the index's tokenizer does (SiteIndex.cpp: the same rules): runs of letters,
// numbers, marks and private-use characters; case folded; the accents of Latin letters and every
// mark removed. Case folding is toLowerCase but for these, whose folded form differs.
var FOLD = {
  '\u00b5': '\u03bc', '\u017f': 's', '\u03c2': '\u03c3', '\u03d0': '\u03b2', '\u03d1': '\u03b8',
  '\u03d5': '\u03c6', '\u03d6': '\u03c0', '\u03f0': '\u03ba', '\u03f1': '\u03c1',
  '\u03f5': '\u03b5', '\u1e9b': '\u1e61', '\u1fbe': '\u03b9', '\u0130': 'i', '\u1c80': '\u0432',
  '\u1c81': '\u0434', '\u1c82': '\u043e', '\u1c83': '\u0441', '\u1c84': '\u0442',
  '\u1c85': '\u0442', '\u1c86': '\u044a', '\u1c87': '\u0463', '\u1c88': '\ua64b'
};
var WORD = /[\p{L}\p{N}\p{M}\p{Co}]+/gu;
var MARK = /^\p{M}$/u;
var folded = new Map();

function foldCodePoint(c) {
  var f = folded.get(c);
  if (f !== undefined) return f;
  if (MARK.test(c)) {
    f = '';
  } else {
    var u = c.codePointAt(0);
    if (FOLD[c]) f = FOLD[c];
    else if (u >= 0x13a0 && u <= 0x13f5) f = c;  // Cherokee: the capitals are the folded form
    else if (u >= 0x13f8 && u <= 0x13fd) f = String.fromCodePoint(u - 8);
    else if (u >= 0xab70 && u <= 0xabbf) f = String.fromCodePoint(u - 0xab70 + 0x13a0);
    else {
      f = c.toLowerCase();
      if (Array.from(f).length !== 1) f = c;
    }
    var d = f.normalize('NFD');
    if (d.length > 1 && /^[A-Za-z]/.test(d)) f = d[0].toLowerCase();
  }
  folded.set(c, f);
  return f;
}

function foldWord(word) {
  if (/^[\x00-\x7f]*$/.test(word)) return word.toLowerCase();
  var out = '';
  for (var c of word) out += foldCodePoint(c);
  return out;
}

// The words of what was typed, as the program takes them: each once, at most MAX_WORDS, the
// last also as the beginning of a longer word when it was typed with two characters or more.
function parseQuery(text) {
  var seen = new Set();
  var words = [];
  var raw = '';
  var shortened = false;
  (text.match(WORD) || []).forEach(function (w) {
    var f = foldWord(w);
    if (!f || seen.has(f)) return;
    if (words.length >= MAX_WORDS) { shortened = true; return; }
    seen.add(f);
    words.push(f);
    raw = w;
  });
  // A beginning of one letter would find nearly everything; the program takes it whole.
  var prefix = words.length > 0 && raw.length >= 2 && words[words.length - 1].length >= 2;
  return { words: words, prefix: prefix, shortened: shortened };
}

// ---- the dictionary -------------------------------------------------------------------------

var DIGITS = '0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ-_';
var DIGIT_VALUE = new Int8Array(128);
for (var d = 0; d < DIGITS.length; d++) DIGIT_VALUE[DIGITS.charCodeAt(d)] = d;

function keyFile(key) {
  var out = '';
  for (var i = 0; i < key.length; i++) {
    var u = key.charCodeAt(i);
    out += (u >= 97 && u <= 122) || (u >= 48 && u <= 57) ? key[i] :
        '_' + ('000' + u.toString(16)).slice(-4);
  }
  return out;
}

function lowerBound(nodes, word) {
  var lo = 0, hi = nodes.length;
  while (lo < hi) {
    var mid = (lo + hi) >> 1;
    if (nodes[mid][0] < word) lo = mid + 1; else hi = mid;
  }
  return lo;
}

// The dictionary's entry for a word: the word itself (exact), or the first entry that begins
// with it, whose words are all the words that begin with it. An entry is
// [text, passages found, best hits (inline, or the number of their file), first word, last
// word, file of the first word's list, file of the last one's, passages of the word itself or -1].
async function findEntry(word, exact) {
  var key = word.slice(0, word.length === 1 ? 1 : 2);
  for (;;) {
    var shard = await load(SEARCH + 'd/' + keyFile(key));
    if (!shard) return null;
    if (shard.split && word.length > key.length) {
      var child = word.slice(0, key.length + 1);
      if (shard.split.indexOf(child) < 0) return null;
      key = child;
      continue;
    }
    var at = lowerBound(shard.nodes, word);
    var entry = shard.nodes[at];
    if (!entry) return null;
    if (exact) return entry[0] === word && entry[7] >= 0 ? entry : null;
    return entry[0].startsWith(word) ? entry : null;
  }
}

// ---- passage lists --------------------------------------------------------------------------

var decodedLists = new Map();

// A word's passages: their numbers (ascending), and for each its shape, an index into the word's
// table of shapes (length in words, place, times the word stands there; three numbers each).
function decodeList(entry) {
  var text = entry[1];
  var ids = new Int32Array(text.length);
  var shape = new Int32Array(text.length);
  var n = 0, at = 0, acc = 0, shapeNext = false;
  for (var i = 0; i < text.length; i++) {
    var v = DIGIT_VALUE[text.charCodeAt(i)];
    if (v >= 32) { acc = acc * 32 + (v - 32); continue; }
    var number = acc * 32 + v;
    acc = 0;
    if (shapeNext) {
      shape[n++] = number;
      shapeNext = false;
    } else {
      // Twice the step, plus one when the shape follows; else it is the commonest (0).
      at += Math.floor(number / 2);
      ids[n] = at;
      if (number % 2) shapeNext = true; else shape[n++] = 0;
    }
  }
  return { ids: ids.subarray(0, n), shape: shape.subarray(0, n), shapes: entry[0] };
}

async function termList(term, file) {
  var list = decodedLists.get(term);
  if (list) {
    decodedLists.delete(term);
    decodedLists.set(term, list);
    return list;
  }
  var name = SEARCH + 'l/' + file;
  var data = await load(name);
  if (!data) throw new Error('missing ' + name);
  list = decodeList(data.lists[term - data.first]);
  decodedLists.set(term, list);
  if (decodedLists.size > KEPT_LISTS) decodedLists.delete(decodedLists.keys().next().value);
  return list;
}

// The lists of a phrase: one word, or every word that begins with the last one typed.
function phraseLists(entry, exact, files) {
  var first = entry[3], last = exact ? entry[3] : entry[4];
  var loads = [];
  for (var t = first; t <= last; t++) {
    loads.push(termList(t, exact || decodedLists.has(t) ? entry[5] : fileOf(t, entry, files)));
  }
  return Promise.all(loads);
}

// Every passage of the lists, once, ascending.
function unionIds(lists) {
  if (lists.length === 1) return lists[0].ids;
  var total = 0;
  lists.forEach(function (l) { total += l.ids.length; });
  var all = new Int32Array(total);
  var k = 0;
  lists.forEach(function (l) { all.set(l.ids, k); k += l.ids.length; });
  all.sort();
  var n = 0;
  for (var i = 0; i < all.length; i++) if (i === 0 || all[i] !== all[i - 1]) all[n++] = all[i];
  return all.subarray(0, n);
}

// How often a phrase's words stand in each candidate (0: not at all), and the candidates'
// lengths and places. A list is walked beside the candidates, never merged into a list of its
// own: the words beginning with two letters may stand in a million passages.
function probe(lists, candidates) {
  var times = new Int32Array(candidates.length);
  var length = new Int32Array(candidates.length);
  var place = new Uint8Array(candidates.length);
  lists.forEach(function (l) {
    var ids = l.ids, j = 0;
    for (var i = 0; i < ids.length && j < candidates.length; i++) {
      var id = ids[i];
      if (id < candidates[j]) continue;
      while (j < candidates.length && candidates[j] < id) j++;
      if (j < candidates.length && candidates[j] === id) {
        var s = l.shape[i] * 3;
        length[j] = l.shapes[s];
        place[j] = l.shapes[s + 1];
        times[j] += l.shapes[s + 2];
        j++;
      }
    }
  });
  return { times: times, length: length, place: place };
}

// The file of word t: the words' lists fill the files in order, so the file is found among
// those of the entry's range by the files' own first words.
function fileOf(t, entry, files) {
  for (var f = entry[6]; f > entry[5]; f--) if (files.get(f).first <= t) return f;
  return entry[5];
}

// ---- searching ------------------------------------------------------------------------------

function idf(found) {
  var value = Math.log((site.passages - found + 0.5) / (found + 0.5));
  return value <= 0.0 ? 1e-6 : value;
}

// A search of several words: the passages that hold them all, by their lists.
async function searchPhrases(query, entries, current) {
  var last = query.words.length - 1;
  // Every list file of the words, loaded together; not those whose words are at hand already
  // (the words typed before the one being typed).
  var names = new Set();
  entries.forEach(function (e, i) {
    var exact = i !== last || !query.prefix;
    var to = exact ? e[5] : e[6];
    var all = true;
    for (var t = e[3]; t <= (exact ? e[3] : e[4]) && all; t++) all = decodedLists.has(t);
    if (all) return;
    for (var f = e[5]; f <= to; f++) names.add(f);
  });
  var files = new Map();
  await Promise.all(Array.from(names).map(function (f) {
    return load(SEARCH + 'l/' + f).then(function (data) { files.set(f, data); });
  }));
  current();
  var lists = await Promise.all(entries.map(function (e, i) {
    return phraseLists(e, i !== last || !query.prefix, files);
  }));
  current();
  names.forEach(function (f) { forget(SEARCH + 'l/' + f); });
  // The candidates: the passages of the phrase found in fewest, narrowed by each other phrase
  // in turn, from the next fewest on.
  var sizes = entries.map(function (e, i) { return i !== last || !query.prefix ? e[7] : e[1]; });
  var order = sizes.map(function (n, i) { return i; })
      .sort(function (a, b) { return sizes[a] - sizes[b]; });
  var found = unionIds(lists[order[0]]);
  var seen = [];
  order.forEach(function (i) {
    var p = probe(lists[i], found);
    var keep = 0;
    for (var k = 0; k < found.length; k++) if (p.times[k] > 0) keep++;
    if (keep < found.length) {
      var all = found.length, times = p.times;
      var narrow = function (array) {
        var out = new array.constructor(keep), n = 0;
        for (var k = 0; k < all; k++) if (times[k] > 0) out[n++] = array[k];
        return out;
      };
      seen.forEach(function (q) { q.times = narrow(q.times); });
      p.length = narrow(p.length);
      p.place = narrow(p.place);
      found = narrow(found);
      p.times = narrow(p.times);
    }
    p.phrase = i;
    seen.push(p);
  });
  var byPhrase = [];
  seen.forEach(function (p) { byPhrase[p.phrase] = p; });
  var shape = seen[seen.length - 1];
  var count = found.length;
  var ranked = count <= site.rankAll;
  var chosen;
  if (ranked) {
    var average = site.words / site.passages;
    var idfs = entries.map(function (e, i) { return idf(sizes[i]); });
    var scored = [];
    for (var x = 0; x < count; x++) {
      // Phrase by phrase in the order typed, operation for operation as SQLite's bm25, so that
      // equal passages tie as they do there (and then the older one comes first).
      var score = 0.0;
      var weight = PLACE_WEIGHT[shape.place[x]];
      var length = shape.length[x];
      for (var q = 0; q < byPhrase.length; q++) {
        var frequency = 0;
        for (var n = 0; n < byPhrase[q].times[x]; n++) frequency += weight;
        score += idfs[q] * ((frequency * (K1 + 1.0)) /
                            (frequency + K1 * (1 - B + B * length / average)));
      }
      scored.push({ id: found[x], rank: -1.0 * score });
    }
    scored.sort(function (a, b) { return a.rank - b.rank || a.id - b.id; });
    chosen = scored.slice(0, site.hits).map(function (s) { return s.id; });
  } else {
    // Too many to rank: the first found, titles before slide titles before the rest.
    chosen = Array.from(found.subarray(0, site.hits), function (id, k) {
      return { id: id, place: shape.place[k], k: k };
    }).sort(function (a, b) { return a.place - b.place || a.k - b.k; })
      .map(function (h) { return h.id; });
  }
  return { chosen: chosen, count: count, ranked: ranked };
}

// Hits of a search of several words, with their texts: each text stands in a file of its own
// block of passages, a file per hit, so they are loaded a few at a time (PAGE_HITS) as the user
// asks for more; a search of one word has its snippets in its file of best hits.
async function withTexts(ids) {
  var blocks = new Map();
  await Promise.all(Array.from(new Set(ids.map(function (id) { return Math.floor(id / BLOCK); })))
    .map(function (b) {
      var name = SEARCH + 'x/' + Math.floor(b / BLOCKS_PER_FOLDER) + '/' + b;
      return load(name).then(function (data) {
        if (!data) throw new Error('missing ' + name);
        blocks.set(b, data);
        forget(name);
      });
    }));
  return ids.map(function (id) {
    var block = blocks.get(Math.floor(id / BLOCK));
    var p = block.passages[id % BLOCK];
    return { passage: id, talk: block.talks[p[0]], place: p[1], language: p[2], at: p[3],
             text: p[4] };
  });
}

// A search overtaken by a later one (the user typed on) stops at its next step: the lists of a
// word's first letters are long, and nobody waits for them.
function Overtaken() {}

// current() throws Overtaken once a later search has begun.
async function search(text, current) {
  current = current || function () {};
  var query = parseQuery(text);
  var result = { query: query, hits: [], count: 0, ranked: true };
  if (!query.words.length) return result;
  var last = query.words.length - 1;
  var entries = await Promise.all(query.words.map(function (w, i) {
    return findEntry(w, i !== last || !query.prefix);
  }));
  if (entries.some(function (e) { return !e; })) return result;
  if (query.words.length === 1) {
    // One word: its best hits were found when the site was written.
    var entry = entries[0];
    var head = typeof entry[2] === 'number' ? await load(SEARCH + 'h/' + entry[2]) : entry[2];
    result.count = head.count;
    result.ranked = head.count <= site.rankAll;
    result.hits = head.hits.map(function (h) {
      return { passage: h[0], talk: head.talks[h[1]], place: h[2], language: h[3], at: h[4],
               text: h[5] };
    });
    return result;
  }
  current();
  var found = await searchPhrases(query, entries, current);
  result.count = found.count;
  result.ranked = found.ranked;
  result.waiting = found.chosen.slice(PAGE_HITS);
  result.hits = await withTexts(found.chosen.slice(0, PAGE_HITS));
  return result;
}

// ---- showing --------------------------------------------------------------------------------

function moment(ms) {
  var s = Math.floor(Math.max(ms, 0) / 1000);
  var pad = function (n) { return (n < 10 ? '0' : '') + n; };
  if (s >= 3600) return Math.floor(s / 3600) + ':' + pad(Math.floor(s / 60) % 60) + ':' + pad(s % 60);
  return Math.floor(s / 60) + ':' + pad(s % 60);
}

// The medium of the n-th talk of the listing: the last that begins at or before it (one without
// talks begins where the next one does, and comes before it).
function mediumOf(talk) {
  var lo = 0, hi = site.media.length - 1;
  while (lo < hi) {
    var mid = (lo + hi + 1) >> 1;
    if (site.media[mid].first <= talk) lo = mid; else hi = mid - 1;
  }
  return site.media[lo];
}

// The passage around the first word found (as SiteIndex.cpp cuts it), every word found marked.
function snippet(text, query, into) {
  var tokens = [];
  var m;
  WORD.lastIndex = 0;
  while ((m = WORD.exec(text)) !== null) {
    tokens.push({ start: m.index, end: m.index + m[0].length, word: foldWord(m[0]) });
  }
  var words = query.words;
  var last = query.prefix ? words.length - 1 : -1;
  var matches = function (t) {
    return words.some(function (w, i) { return t.word === w || (i === last && t.word.startsWith(w)); });
  };
  var first = 0;
  for (var i = 0; i < tokens.length; i++) if (matches(tokens[i])) { first = i; break; }
  var from = Math.max(0, first - 8), to = Math.min(tokens.length, from + 24);
  var start = tokens.length ? tokens[from].start : 0;
  var end = tokens.length ? tokens[to - 1].end : text.length;
  var at = start;
  var out = [];
  if (start > 0 && from === 0) out.push(document.createTextNode(text.slice(0, start)));
  else if (from > 0) out.push(document.createTextNode('… '));
  for (var k = from; k < to; k++) {
    if (!matches(tokens[k])) continue;
    out.push(document.createTextNode(text.slice(at, tokens[k].start)));
    var mark = document.createElement('mark');
    mark.textContent = text.slice(tokens[k].start, tokens[k].end);
    out.push(mark);
    at = tokens[k].end;
  }
  var tail = to < tokens.length ? text.slice(at, end) + ' …' : text.slice(at);
  out.push(document.createTextNode(tail));
  out.forEach(function (node) { into.appendChild(node); });
}

function drawHits(hits, query) {
  var list = document.getElementById('hits');
  hits.forEach(function (hit) {
    // [listing number, title, folder, page or null]
    var talk = hit.talk;
    var medium = mediumOf(talk[0]);
    var where = PLACE_TEXT[hit.place];
    if (hit.language >= 0) where += ' (' + site.languages[hit.language] + ')';
    var li = document.createElement('li');
    li.dataset.talk = talk[0];
    li.dataset.place = hit.place;
    li.dataset.at = hit.at;
    li.dataset.language = hit.language >= 0 ? site.languages[hit.language] : '';
    var link = document.createElement(talk[3] ? 'a' : 'div');
    if (talk[3]) link.href = talk[3] + '#t=' + (hit.at / 1000);
    var title = document.createElement('span');
    title.className = 'hit-title';
    title.textContent = talk[1];
    link.appendChild(title);
    var info = document.createElement('span');
    info.className = 'hit-where';
    info.textContent = moment(hit.at) + ' · ' + where + ' · ' + medium.name + ' / ' + talk[2] +
        (talk[3] ? '' : ' (not exported)');
    if (!talk[3]) info.classList.add('hit-absent');
    link.appendChild(info);
    var text = document.createElement('span');
    text.className = 'hit-snippet';
    snippet(hit.text, query, text);
    link.appendChild(text);
    li.appendChild(link);
    list.appendChild(li);
  });
}

function showStatus(result) {
  var count = result.count;
  var shown = document.getElementById('hits').children.length;
  var line;
  if (count === 0) line = 'No hits.';
  else if (!result.ranked) {
    line = 'More than ' + site.rankAll.toLocaleString('en') + ' hits: the first ' + shown +
        ' found are shown, titles first; another word narrows them.';
  } else {
    line = count.toLocaleString('en') + (count === 1 ? ' hit' : ' hits') +
        (count > shown ? ', the best ' + shown + ' shown' : '');
  }
  if (result.query.shortened) line += ' Only the first ' + MAX_WORDS + ' words were searched for.';
  document.getElementById('status').textContent = line;
  var more = document.getElementById('more');
  more.hidden = !(result.waiting && result.waiting.length);
  if (!more.hidden) {
    more.textContent = 'Show ' + Math.min(PAGE_HITS, result.waiting.length) + ' more hits';
  }
}

var shownResult = null;

function show(result) {
  shownResult = result;
  document.getElementById('hits').textContent = '';
  if (!result.query.words.length) {
    document.getElementById('status').textContent = '';
    document.getElementById('more').hidden = true;
    return;
  }
  drawHits(result.hits, result.query);
  showStatus(result);
}

async function showMore() {
  var result = shownResult;
  if (!result || !result.waiting.length) return;
  var next = result.waiting.slice(0, PAGE_HITS);
  var hits = await withTexts(next);
  if (result !== shownResult) return;
  result.waiting = result.waiting.slice(next.length);
  var first = document.getElementById('hits').children.length;
  drawHits(hits, result.query);
  showStatus(result);
  // The first new hit takes the focus, where reading goes on.
  var link = document.getElementById('hits').children[first];
  if (link && link.firstChild && link.firstChild.focus) link.firstChild.focus();
  document.dispatchEvent(new CustomEvent('collectionhits', { detail: { query: 'more' } }));
}

// ---- the listing ----------------------------------------------------------------------------

var page = 0;

function pages() {
  return Math.max(1, Math.ceil(site.talks / site.pageTalks));
}

function mediumHeading(medium, continued) {
  var h = document.createElement('h3');
  h.textContent = medium.name + (medium.present ? '' : ' (absent)') +
      (continued ? ' (continued)' : '');
  return h;
}

function problems(medium) {
  var box = document.createElement('details');
  box.className = 'problems';
  var summary = document.createElement('summary');
  summary.textContent = medium.problems.length === 1 ? 'One thing could not be read' :
      medium.problems.length + ' things could not be read';
  box.appendChild(summary);
  var ul = document.createElement('ul');
  medium.problems.forEach(function (p) {
    var li = document.createElement('li');
    li.textContent = p;
    ul.appendChild(li);
  });
  box.appendChild(ul);
  return box;
}

async function showPage(number) {
  page = Math.max(0, Math.min(pages() - 1, number));
  var from = page * site.pageTalks;
  var to = Math.min(site.talks, from + site.pageTalks);
  var talks = to > from ? await load(SITE + 'list/' + page) : [];
  var into = document.getElementById('media-list');
  into.textContent = '';
  var ul = null;
  var heading = function (medium, continued) {
    into.appendChild(mediumHeading(medium, continued));
    if (!continued && medium.problems.length) into.appendChild(problems(medium));
    if (!continued && !medium.present) {
      var p = document.createElement('p');
      p.className = 'talk-info';
      p.textContent = 'Not found at the last look: expected at ' + medium.path;
      into.appendChild(p);
    }
    ul = document.createElement('ul');
    ul.className = 'talks';
    into.appendChild(ul);
  };
  // A medium without talks stands where its talks would, on the last page when it is last.
  var empty = new Map();
  site.media.forEach(function (medium) {
    if (medium.talks > 0) return;
    if (!empty.has(medium.first)) empty.set(medium.first, []);
    empty.get(medium.first).push(medium);
  });
  var emptyAt = function (n) {
    (empty.get(n) || []).forEach(function (medium) { heading(medium, false); });
  };
  var n = from;
  for (var k = 0; k < (talks || []).length; k++, n++) {
    emptyAt(n);
    var medium = mediumOf(n);
    if (n === medium.first || n === from) heading(medium, n !== medium.first);
    var t = talks[k];
    // [title, folder, page or null, length in ms, slides, languages, picture]
    var li = document.createElement('li');
    li.className = 'talk';
    if (t[6]) {
      var img = document.createElement('img');
      img.src = SITE + 'pictures/' + n + '.jpg';
      img.alt = '';
      img.loading = 'lazy';
      img.width = 80;
      img.height = 60;
      li.appendChild(img);
    } else {
      var none = document.createElement('span');
      none.className = 'no-picture';
      li.appendChild(none);
    }
    var body = document.createElement('div');
    var name = document.createElement(t[2] ? 'a' : 'span');
    if (t[2]) name.href = t[2];
    name.className = 'talk-title';
    name.textContent = t[0];
    body.appendChild(name);
    var info = document.createElement('span');
    info.className = 'talk-info';
    info.textContent = (t[3] >= 0 ? moment(t[3]) + ' · ' : '') + t[4] + ' slides' +
        (t[5] ? ' · ' + t[5] : '') + ' · ' + medium.name + ' / ' + t[1] +
        (t[2] ? '' : ' · not exported');
    body.appendChild(info);
    li.appendChild(body);
    ul.appendChild(li);
  }
  if (page === pages() - 1) emptyAt(to);
  document.getElementById('page-status').textContent = site.talks === 0 ? 'No talks.' :
      'Talks ' + (from + 1).toLocaleString('en') + '–' + to.toLocaleString('en') + ' of ' +
      site.talks.toLocaleString('en') + ' (page ' + (page + 1) + ' of ' + pages() + ')';
  document.getElementById('previous').disabled = page === 0;
  document.getElementById('next').disabled = page >= pages() - 1;
}

function fillMediaChoice() {
  var select = document.getElementById('medium-choice');
  site.media.forEach(function (medium, i) {
    var option = document.createElement('option');
    option.value = i;
    option.textContent = medium.name + ' (' + medium.talks + (medium.talks === 1 ? ' talk)' : ' talks)');
    select.appendChild(option);
  });
  select.addEventListener('change', function () {
    var medium = site.media[Number(select.value)];
    showPage(Math.floor(Math.min(medium.first, Math.max(site.talks - 1, 0)) / site.pageTalks));
  });
}

// ---- the page -------------------------------------------------------------------------------

// Searches as the user types; a search overtaken by a later one is not shown. Each search shown
// is told to whoever listens (the bench), with the query it answered.
var latest = 0;

function run(text) {
  var ticket = ++latest;
  var current = function () { if (ticket !== latest) throw new Overtaken(); };
  var done = false;
  // A search that takes long says so; one that answers at once never shows it.
  setTimeout(function () {
    if (ticket === latest && !done) document.getElementById('status').textContent = 'Searching…';
  }, 150);
  return search(text, current).then(function (result) {
    done = true;
    if (ticket !== latest) return;
    show(result);
    document.dispatchEvent(new CustomEvent('collectionhits', { detail: { query: text } }));
  }, function (error) {
    done = true;
    if (ticket !== latest || error instanceof Overtaken) return;
    // A file of the site missing or damaged: said, rather than a search that never ends.
    document.getElementById('hits').textContent = '';
    document.getElementById('status').textContent = 'The search failed: ' + error.message;
    document.dispatchEvent(new CustomEvent('collectionhits', { detail: { query: text } }));
  });
}

window.collectionSearch = run;

async function collectionReady() {
  site = await pending(SITE + 'data').promise;
  fillMediaChoice();
  document.getElementById('previous').addEventListener('click', function () { showPage(page - 1); });
  document.getElementById('next').addEventListener('click', function () { showPage(page + 1); });
  document.getElementById('more').addEventListener('click', showMore);
  var input = document.getElementById('query');
  input.addEventListener('input', function () { run(input.value); });
  await showPage(0);
  window.collectionReadyAt = performance.now();
  if (input.value) run(input.value);
}
