// window.cefQuery and window.cefQueryCancel, in the page's own script world of
// every frame. Runs at document creation, before any page script, and hands
// bridge.js (in the program's script world) a detached element that carries
// requests and answers; no page script can reach that element.
//
// Page scripts may later replace any built-in (JSON, Function.prototype.apply,
// Object.keys, prototype getters): everything used after start-up is taken here
// (and in the files joined with this one) first and called through Reflect.apply,
// and only primitive values cross to the other world.
//
// The page script is this file, then fetch_fallback.js and program_requests.js,
// in one function that starts with records.js and request_size.js.
var createObject = Object.create;
var ErrorType = Error;
var CustomEventType = CustomEvent;
var eventDetail = Object.getOwnPropertyDescriptor(CustomEvent.prototype, 'detail').get;
var setTimer = window.setTimeout;
var dispatch = EventTarget.prototype.dispatchEvent;
var listen = EventTarget.prototype.addEventListener;

// Requests longer than MAX_REQUEST_BYTES bytes of UTF-8 never leave the page; the
// browser refuses them as well (kMaxBridgeRequestBytes in bridge/bridge_router.h,
// where the reason is). Sent, one would hold up the program's windows while it is
// carried and parsed.

var port = apply(Document.prototype.createElement, document, ['lumio-port']);
var pending = createObject(null);  // page id -> {onSuccess, onFailure, persistent}
var nextId = 1;

// Only a string crosses to the other world: the records (records.js) of what the
// page asked in one turn of its event loop, handed over together once the turn's
// script has run, or as soon as they come to HAND_OVER_CHARACTERS.
var HAND_OVER_CHARACTERS = 1024 * 1024;
var queueTask = window.queueMicrotask;
var outgoing = '';
var handOverQueued = false;
function handOver() {
  handOverQueued = false;
  if (outgoing === '') return;
  var init = createObject(null);
  init.detail = outgoing;
  outgoing = '';
  apply(dispatch, port, [new CustomEventType('lumio-requests', init)]);
}
function post(record) {
  outgoing += record;
  if (outgoing.length >= HAND_OVER_CHARACTERS) {
    handOver();
  } else if (!handOverQueued) {
    handOverQueued = true;
    apply(queueTask, window, [handOver]);
  }
}
function report(error) {
  apply(setTimer, window, [function () { throw error; }, 0]);
}

function answer(id, success, code, text) {
  var entry = pending[id];
  if (!entry) return;
  if (!success || !entry.persistent) delete pending[id];
  var fn = success ? entry.onSuccess : entry.onFailure;
  if (typeof fn !== 'function') return;
  try {
    if (success) apply(fn, undefined, [text]);
    else apply(fn, undefined, [code, text]);
  } catch (e) {
    report(e);
  }
}
apply(listen, port, ['lumio-response', function (event) {
  readAnswers(apply(eventDetail, event, []), answer);
}]);
// The bridge takes the port by cancelling the event. An about:blank document gets
// this script twice (see bridge.js); the bridge serves the first port only, so
// the second copy leaves the first one's functions in place.
var init = createObject(null);
init.relatedTarget = port;
init.cancelable = true;
if (apply(dispatch, document, [new MouseEvent('lumio-bridge-port', init)])) return;

window.cefQuery = function (options) {
  var request = options && typeof options === 'object' ? options.request : undefined;
  if (typeof request !== 'string') {
    throw new ErrorType('Invalid arguments; expecting a single object with a string "request"');
  }
  var entry = createObject(null);
  entry.onSuccess = options.onSuccess;
  entry.onFailure = options.onFailure;
  entry.persistent = options.persistent === true;
  var id = nextId++;
  pending[id] = entry;
  if (isTooLong(request, MAX_REQUEST_BYTES)) {
    // Answered later, as the browser answers: the page may still cancel it.
    apply(setTimer, window, [function () {
      answer(id, false, CANCELED_CODE, CANCELED_MESSAGE);
    }, 0]);
    return id;
  }
  post(queryRecord(id, entry.persistent, request));
  return id;
};
window.cefQueryCancel = function (id) {
  if (typeof id !== 'number' || !pending[id]) return;
  delete pending[id];
  post(cancelRecord(id));
};
