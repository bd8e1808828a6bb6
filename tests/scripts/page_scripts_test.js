// The pure parts of the injected scripts (src/engine/qt/scripts/): the records
// that carry queries and answers between the page's world and the program's,
// the UTF-8 length check of requests, and the answers' batching by document.
// usage: node page_scripts_test.js <folder of the scripts> <lumio_protocol.js>
'use strict';
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const test = require('node:test');
const vm = require('node:vm');

const [scriptsDir, protocolFile] = process.argv.slice(2);

// As the build joins them: the files in one function after the protocol's constants.
function load(files, names) {
  const source = ["(function () {\n'use strict';", fs.readFileSync(protocolFile, 'utf8')]
      .concat(files.map((file) => fs.readFileSync(path.join(scriptsDir, file), 'utf8')))
      .concat(['return {' + names.join(', ') + '};\n})()']).join('\n');
  return vm.runInThisContext(source, {filename: files.join('+')});
}

const scripts = load(['records.js', 'request_size.js', 'answer_batches.js'], [
  'queryRecord', 'programRequestRecord', 'cancelRecord', 'readRequests', 'answerRecord',
  'readAnswers', 'isTooLong', 'deliverAnswers', 'MAX_REQUEST_BYTES', 'CANCELED_CODE',
  'CANCELED_MESSAGE']);

function requestsOf(records) {
  const seen = [];
  scripts.readRequests(records, (id, request, persistent) => seen.push(['q', id, request, persistent]),
                       (id, request) => seen.push(['n', id, request]),
                       (id) => seen.push(['c', id]));
  return seen;
}
function answersOf(records) {
  const seen = [];
  scripts.readAnswers(records, (id, success, code, text) => seen.push([id, success, code, text]));
  return seen;
}

// Texts that look like records, or count differently in code units and bytes.
const awkward = ['', ':', 'q1:1:5:', '12:1:0:3:abc', '{"command":"x"}', 'a\u0000b', '\ud83d\ude00',
                 '\ud800', '\u20ac:\n', 'c7:'];

test('request records', () => {
  assert.equal(scripts.queryRecord(7, true, 'a:b'), 'q7:1:3:a:b');
  assert.equal(scripts.queryRecord(12, false, ''), 'q12:0:0:');
  assert.equal(scripts.programRequestRecord(3, '\ud83d\ude00'), 'n3:0:2:\ud83d\ude00');
  assert.equal(scripts.cancelRecord(40), 'c40:');

  // Records as the stub writes them, read back one by one.
  assert.deepEqual(requestsOf('q7:1:3:a:bc12:n3:0:2:{}q8:0:0:c9:'),
                   [['q', 7, 'a:b', true], ['c', 12], ['n', 3, '{}'], ['q', 8, '', false],
                    ['c', 9]]);
  let records = '';
  const expected = [];
  awkward.forEach((text, i) => {
    records += scripts.queryRecord(i + 1, i % 2 === 0, text);
    expected.push(['q', i + 1, text, i % 2 === 0]);
    records += scripts.programRequestRecord(100 + i, text) + scripts.cancelRecord(200 + i);
    expected.push(['n', 100 + i, text], ['c', 200 + i]);
  });
  assert.deepEqual(requestsOf(records), expected);

  // A record that cannot be taken apart ends the reading; what came before stands.
  assert.deepEqual(requestsOf('c1:x5:0:1:a'), [['c', 1]]);
  assert.deepEqual(requestsOf('c1:q2:1'), [['c', 1]]);
  assert.deepEqual(requestsOf('q2'), []);
  assert.deepEqual(requestsOf(undefined), []);
});

test('answer records', () => {
  assert.equal(scripts.answerRecord(3, false, scripts.CANCELED_CODE, scripts.CANCELED_MESSAGE),
               '3:0:-1:27:The query has been canceled');
  assert.equal(scripts.answerRecord(12, true, 0, '{"a":1}'), '12:1:0:7:{"a":1}');
  assert.equal(scripts.answerRecord(1, true, 0, '\ud83d\ude00'), '1:1:0:2:\ud83d\ude00');

  assert.deepEqual(answersOf('3:0:-1:3:a:b12:1:0:0:4:1:0:2:{}'),
                   [[3, false, -1, 'a:b'], [12, true, 0, ''], [4, true, 0, '{}']]);
  let records = '';
  const expected = [];
  awkward.forEach((text, i) => {
    const code = i % 3 === 0 ? -2147483648 : i * 1000;
    records += scripts.answerRecord(i + 1, i % 2 === 1, code, text);
    expected.push([i + 1, i % 2 === 1, code, text]);
  });
  assert.deepEqual(answersOf(records), expected);

  assert.deepEqual(answersOf('1:1:0:1:a2:1:0'), [[1, true, 0, 'a']]);
  assert.deepEqual(answersOf(42), []);
});

test('request size in bytes of UTF-8', () => {
  const limit = scripts.MAX_REQUEST_BYTES;
  assert.equal(limit, 10 * 1024 * 1024);
  const {isTooLong} = scripts;
  // Short texts are decided by their length alone.
  assert.equal(isTooLong('\u20ac'.repeat(10), 30), false);
  assert.equal(isTooLong('a'.repeat(31), 30), true);
  assert.equal(isTooLong('\u20ac'.repeat(11), 31), true);

  // One, two, three and four bytes a character, up to the limit and one past it.
  for (const [character, bytes] of [['a', 1], ['\u00e9', 2], ['\u20ac', 3]]) {
    const text = character.repeat(Math.floor(limit / bytes)) + 'a'.repeat(limit % bytes);
    assert.equal(isTooLong(text, limit), false, character);
    assert.equal(isTooLong(text + 'a', limit), true, character);
  }
  // A surrogate pair across every boundary of the pieces the text is encoded in:
  // four bytes each, where two halves encoded apart would count six.
  const unit = 'a'.repeat(16383) + '\ud83d\ude00';
  const units = Math.floor(limit / (16383 + 4));
  const pairs = unit.repeat(units);
  const exact = pairs + '\u20ac'.repeat(Math.floor((limit - units * 16387) / 3)) +
                'a'.repeat((limit - units * 16387) % 3);
  assert.equal(Buffer.byteLength(exact), limit);
  assert.ok(exact.length * 3 > limit);
  assert.equal(isTooLong(exact, limit), false);
  assert.equal(isTooLong(exact + 'a', limit), true);
  // A lone half counts as the three bytes of U+FFFD, as the encoder writes it.
  assert.equal(isTooLong(exact.slice(0, -1) + '\ud800', limit), true);
  assert.equal(isTooLong(exact.slice(0, -3) + '\ud800', limit), false);
});

test('answers are batched by document', () => {
  const delivered = [];
  const documents = Object.create(null);
  for (const key of ['A', 'B']) {
    documents[key] = {deliver: (text) => delivered.push([key, text])};
  }
  scripts.deliverAnswers(['A', 1, true, 0, 'x', 'gone', 2, true, 0, 'y', 'B', 3, false, -1, 'no',
                          'A', 4, false, 5, 'z:', 'B', 9, true, 0], documents, 1024);
  assert.deepEqual(delivered, [['A', '1:1:0:1:x4:0:5:2:z:'], ['B', '3:0:-1:2:no']]);

  // Once at the limit, a document's records go out, and the rest follow together.
  delivered.length = 0;
  scripts.deliverAnswers(['A', 1, true, 0, 'abcd', 'A', 2, true, 0, 'efgh', 'B', 3, true, 0, '',
                          'A', 3, true, 0, 'i'], documents, 24);
  assert.deepEqual(delivered, [['A', '1:1:0:4:abcd2:1:0:4:efgh'], ['A', '3:1:0:1:i'],
                               ['B', '3:1:0:0:']]);
  delivered.length = 0;
  scripts.deliverAnswers('A,1,true,0,x', documents, 20);
  scripts.deliverAnswers([], documents, 20);
  assert.deepEqual(delivered, []);
});
