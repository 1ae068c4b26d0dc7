// The collection's search: the same words the library's index finds (case and accents folded,
// all words in any order, the last one also as the beginning of a word), best hits first, each
// a link to its talk's page at that moment. The index of each medium comes as a script of its
// own (collectionShard), so the page works from the file system.
'use strict';

var shards = [];
var MAX_WORDS = 32;
var MAX_HITS = 50;
// A word in a title says more about a talk than one in a transcript section.
var PLACE_WEIGHT = [4, 2, 1, 1, 1];
var PLACE_TEXT = ['title', 'slide title', 'transcript', 'details', 'free text'];

function collectionShard(index, shard) {
  shard.decoded = new Map();
  shards[index] = shard;
}

function fold(text) {
  return text.normalize('NFKD').replace(/\p{M}+/gu, '').toLowerCase();
}

function queryWords(text) {
  var seen = new Set();
  var words = [];
  fold(text).split(/[^\p{L}\p{N}]+/u).forEach(function (w) {
    if (w && !seen.has(w) && words.length < MAX_WORDS) {
      seen.add(w);
      words.push(w);
    }
  });
  return words;
}

// The first term at or after word in the sorted list.
function lowerBound(terms, word) {
  var lo = 0, hi = terms.length;
  while (lo < hi) {
    var mid = (lo + hi) >> 1;
    if (terms[mid] < word) lo = mid + 1; else hi = mid;
  }
  return lo;
}

var DIGITS = '0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ-_';
var DIGIT_VALUE = new Int8Array(128);
for (var d = 0; d < DIGITS.length; d++) DIGIT_VALUE[DIGITS.charCodeAt(d)] = d;

// A passage list: each step from the passage before as five-bit groups, most significant first;
// a character from 32 on is followed by more of the same number.
function postings(shard, t) {
  var list = shard.decoded.get(t);
  if (list) return list;
  var text = shard.postings[t];
  var out = new Int32Array(text.length);
  var n = 0, at = 0, acc = 0;
  for (var i = 0; i < text.length; i++) {
    var v = DIGIT_VALUE[text.charCodeAt(i)];
    if (v >= 32) {
      acc = acc * 32 + (v - 32);
    } else {
      at += acc * 32 + v;
      out[n++] = at;
      acc = 0;
    }
  }
  list = out.slice(0, n);
  shard.decoded.set(t, list);
  return list;
}

// The passages of a shard that hold word (or, as a prefix, a word that begins with it).
function passagesWith(shard, word, prefix) {
  var terms = shard.terms;
  var t = lowerBound(terms, word);
  if (!prefix) return t < terms.length && terms[t] === word ? postings(shard, t) : new Int32Array(0);
  var lists = [];
  var total = 0;
  for (; t < terms.length && terms[t].startsWith(word); t++) {
    var l = postings(shard, t);
    lists.push(l);
    total += l.length;
  }
  if (lists.length === 1) return lists[0];
  var all = new Int32Array(total);
  var k = 0;
  lists.forEach(function (l) { all.set(l, k); k += l.length; });
  all.sort();
  var n = 0;
  for (var i = 0; i < all.length; i++) if (i === 0 || all[i] !== all[i - 1]) all[n++] = all[i];
  return all.subarray(0, n);
}

function intersect(a, b) {
  var out = new Int32Array(Math.min(a.length, b.length));
  var i = 0, j = 0, n = 0;
  while (i < a.length && j < b.length) {
    if (a[i] === b[j]) { out[n++] = a[i]; i++; j++; }
    else if (a[i] < b[j]) i++;
    else j++;
  }
  return out.subarray(0, n);
}

// Every hit of the words, best first: rare words count more, a title more than a section,
// a short passage more than a long one.
function search(text) {
  var words = queryWords(text);
  if (!words.length) return { words: words, hits: [], total: 0 };
  var perShard = [];
  var totalPassages = 0;
  var df = words.map(function () { return 0; });
  shards.forEach(function (shard, s) {
    if (!shard) return;
    totalPassages += shard.passages.length;
    var lists = words.map(function (w, i) {
      var l = passagesWith(shard, w, i === words.length - 1 && w.length >= 2);
      df[i] += l.length;
      return l;
    });
    perShard.push({ shard: shard, index: s, lists: lists });
  });
  var idf = df.map(function (d) { return Math.log(1 + (totalPassages - d + 0.5) / (d + 0.5)); });
  var weight = idf.reduce(function (a, b) { return a + b; }, 0);
  var best = [];
  var total = 0;
  perShard.forEach(function (p) {
    var order = p.lists.map(function (l, i) { return i; })
        .sort(function (a, b) { return p.lists[a].length - p.lists[b].length; });
    var found = p.lists[order[0]];
    for (var k = 1; k < order.length && found.length; k++) found = intersect(found, p.lists[order[k]]);
    total += found.length;
    for (var i = 0; i < found.length; i++) {
      var passage = p.shard.passages[found[i]];
      var score = weight * PLACE_WEIGHT[passage[1]] / (1 + passage[4].length / 400);
      if (best.length === MAX_HITS && score <= best[best.length - 1].score) continue;
      var hit = { score: score, medium: p.index, passage: passage };
      var at = best.length;
      while (at > 0 && best[at - 1].score < score) at--;
      best.splice(at, 0, hit);
      if (best.length > MAX_HITS) best.pop();
    }
  });
  return { words: words, hits: best, total: total };
}

function moment(ms) {
  var s = Math.floor(Math.max(ms, 0) / 1000);
  var pad = function (n) { return (n < 10 ? '0' : '') + n; };
  if (s >= 3600) return Math.floor(s / 3600) + ':' + pad(Math.floor(s / 60) % 60) + ':' + pad(s % 60);
  return Math.floor(s / 60) + ':' + pad(s % 60);
}

// The passage around the first word found, with every word found marked.
function snippet(text, words, into) {
  var tokens = [];
  var re = /[\p{L}\p{N}\p{M}]+/gu;
  var m;
  while ((m = re.exec(text)) !== null) tokens.push({ start: m.index, end: m.index + m[0].length, word: fold(m[0]) });
  var last = words[words.length - 1].length >= 2 ? words.length - 1 : -1;
  var matches = function (t) {
    return words.some(function (w, i) { return t.word === w || (i === last && t.word.startsWith(w)); });
  };
  var first = 0;
  for (var i = 0; i < tokens.length; i++) if (matches(tokens[i])) { first = i; break; }
  var from = Math.max(0, first - 8), to = Math.min(tokens.length, from + 24);
  var start = tokens.length ? tokens[from].start : 0;
  var end = tokens.length ? tokens[to - 1].end : text.length;
  if (from > 0) into.appendChild(document.createTextNode('… '));
  var at = start;
  for (var k = from; k < to; k++) {
    if (!matches(tokens[k])) continue;
    into.appendChild(document.createTextNode(text.slice(at, tokens[k].start)));
    var mark = document.createElement('mark');
    mark.textContent = text.slice(tokens[k].start, tokens[k].end);
    into.appendChild(mark);
    at = tokens[k].end;
  }
  into.appendChild(document.createTextNode(text.slice(at, end) + (to < tokens.length ? ' …' : '')));
}

function show(result) {
  var list = document.getElementById('hits');
  var status = document.getElementById('status');
  list.textContent = '';
  if (!result.words.length) { status.textContent = ''; return; }
  var media = window.collectionData.media;
  result.hits.forEach(function (hit) {
    var medium = media[hit.medium];
    var passage = hit.passage;
    var talk = medium.talks[passage[0]];
    var shard = shards[hit.medium];
    var where = PLACE_TEXT[passage[1]];
    if (passage[2] >= 0) where += ' (' + shard.languages[passage[2]] + ')';
    var li = document.createElement('li');
    var link = document.createElement(talk.href ? 'a' : 'div');
    if (talk.href) link.href = talk.href + '#t=' + (passage[3] / 1000);
    var title = document.createElement('span');
    title.className = 'hit-title';
    title.textContent = talk.title;
    link.appendChild(title);
    var info = document.createElement('span');
    info.className = 'hit-where';
    info.textContent = moment(passage[3]) + ' · ' + where + ' · ' + medium.name + ' / ' + talk.folder +
        (talk.href ? '' : ' (not exported)');
    if (!talk.href) info.classList.add('hit-absent');
    link.appendChild(info);
    var text = document.createElement('span');
    text.className = 'hit-snippet';
    snippet(passage[4], result.words, text);
    link.appendChild(text);
    li.appendChild(link);
    list.appendChild(li);
  });
  status.textContent = result.total === 0 ? 'No hits.' :
      result.total + (result.total === 1 ? ' hit' : ' hits') +
      (result.total > result.hits.length ? ', the best ' + result.hits.length + ' shown' : '');
}

function listMedia() {
  var into = document.getElementById('media-list');
  window.collectionData.media.forEach(function (medium) {
    var h = document.createElement('h3');
    h.textContent = medium.name + (medium.present ? '' : ' (absent)');
    into.appendChild(h);
    var ul = document.createElement('ul');
    medium.talks.forEach(function (talk) {
      var li = document.createElement('li');
      var name = document.createElement(talk.href ? 'a' : 'span');
      if (talk.href) name.href = talk.href;
      name.textContent = talk.title;
      li.appendChild(name);
      var info = document.createElement('span');
      info.className = 'talk-info';
      info.textContent = (talk.lengthMs >= 0 ? moment(talk.lengthMs) + ' · ' : '') +
          talk.slides + ' slides' + (talk.languages ? ' · ' + talk.languages : '') +
          (talk.href ? '' : ' · not exported');
      li.appendChild(info);
      ul.appendChild(li);
    });
    into.appendChild(ul);
  });
}

function collectionReady() {
  listMedia();
  var input = document.getElementById('query');
  var run = function () { show(search(input.value)); };
  input.addEventListener('input', run);
  if (input.value) run();
}
