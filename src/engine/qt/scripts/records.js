// The records that carry queries and their answers between the page's stub
// (query_stub.js, in the page's world) and the bridge (bridge.js, in the
// program's world), several to the text of one event. Requests:
//   q<id>:<1 or 0 for persistent>:<length of the request>:<request>
//   n<id>:0:<length of the request>:<request>  (see program_requests.js)
//   c<id>:
// and answers:
//   <id>:<1 or 0 for success>:<code>:<length of the text>:<text>
// Lengths count UTF-16 code units. A reader stops at the first record it cannot
// take apart.
//
// Only functions of strings here: the tests run them outside a browser. Part of
// both scripts, so the built-ins they call are taken before any page script runs.
var apply = Reflect.apply;
var indexOf = String.prototype.indexOf;
var slice = String.prototype.slice;
var charAt = String.prototype.charAt;

function queryRecord(id, persistent, request) {
  return 'q' + id + (persistent ? ':1:' : ':0:') + request.length + ':' + request;
}
function programRequestRecord(id, request) {
  return 'n' + id + ':0:' + request.length + ':' + request;
}
function cancelRecord(id) {
  return 'c' + id + ':';
}

// Calls onQuery(id, request, persistent), onProgramRequest(id, request) and
// onCancel(id) for the records of |records| in turn.
function readRequests(records, onQuery, onProgramRequest, onCancel) {
  if (typeof records !== 'string') return;
  for (var at = 0; at < records.length;) {
    var kind = apply(charAt, records, [at]);
    var colon = apply(indexOf, records, [':', at + 1]);
    if (colon < 0) return;
    var id = +apply(slice, records, [at + 1, colon]);
    if (kind === 'c') {
      onCancel(id);
      at = colon + 1;
      continue;
    }
    var lengthEnd = apply(indexOf, records, [':', colon + 3]);
    if ((kind !== 'q' && kind !== 'n') || lengthEnd < 0) return;
    var end = lengthEnd + 1 + +apply(slice, records, [colon + 3, lengthEnd]);
    if (kind === 'q') {
      onQuery(id, apply(slice, records, [lengthEnd + 1, end]),
              apply(charAt, records, [colon + 1]) === '1');
    } else {
      onProgramRequest(id, apply(slice, records, [lengthEnd + 1, end]));
    }
    at = end;
  }
}

function answerRecord(id, success, code, text) {
  text = String(text);
  return id + ':' + (success ? '1' : '0') + ':' + code + ':' + text.length + ':' + text;
}

// Calls onAnswer(id, success, code, text) for the records of |records| in turn.
function readAnswers(records, onAnswer) {
  if (typeof records !== 'string') return;
  for (var at = 0; at < records.length;) {
    var first = apply(indexOf, records, [':', at]);
    var second = apply(indexOf, records, [':', first + 3]);
    var third = apply(indexOf, records, [':', second + 1]);
    if (first < 0 || second < 0 || third < 0) return;
    var end = third + 1 + +apply(slice, records, [second + 1, third]);
    onAnswer(+apply(slice, records, [at, first]), apply(charAt, records, [first + 1]) === '1',
             +apply(slice, records, [first + 3, second]),
             apply(slice, records, [third + 1, end]));
    at = end;
  }
}
